#pragma once
#include <memory>
#include <string>

#include "VOVudorod/Ombrel/CddbSession.h"
#include "tests/VOVudorod/Tocs.h"

// The disc of the examples (tracks at 0:02:00 and 3:00:00, lead-out at 5:30:00,
// disc id 0b014802) as an online session.
inline std::unique_ptr<CddbSession> TwoTrackSession() {
  auto core = CddbSession::Create(Tocs::TwoTracks());
  return std::unique_ptr<CddbSession>(static_cast<CddbSession*>(core.release()));
}

// Every entry's texts, as the host sets them before a submission: the disc in
// genre rock of 1999, tracks Artist / Song and Guest / Duet.
inline void SetExampleTexts(CddbSession& s, const std::wstring& discArtist,
                            const std::wstring& album) {
  s.SetArtist(0, discArtist);
  s.SetTitle(0, album);
  s.SetGenre(0, L"rock");
  s.SetYear(0, 1999);
  s.SetArtist(1, L"Artist");
  s.SetTitle(1, L"Song");
  s.SetArtist(2, L"Guest");
  s.SetTitle(2, L"Duet");
}
