#include "engine/backup/BackupNames.h"

#include <windows.h>

#include "common/Localizer.h"
#include "common/TextFormat.h"
#include "engine/backup/BackupFormat.h"
#include "engine/cd/RawToc.h"

namespace BackupFile {

std::wstring FileNameOf(std::wstring name) {
  static const wchar_t kReserved[] = L":\\\"/<>|?*";
  for (wchar_t& c : name) {
    if (std::wstring(kReserved).find(c) != std::wstring::npos) c = L'.';
    if (c < 0x20) c = L' ';
  }
  return name;
}

namespace {

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring FreeName(const std::wstring& name, const std::wstring& extension,
                      const std::optional<std::wstring>& folder) {
  if (!folder) return name + extension;
  std::wstring suffix;
  for (unsigned n = 1; Exists(*folder + L"\\" + name + suffix + extension); ++n)
    suffix = L" (" + std::to_wstring(n) + L")";
  return name + suffix + extension;
}

}  // namespace

std::wstring DefaultTitle(const DiscInfo& disc) {
  const std::wstring artist = disc.tracks.empty() ? L"" : disc.tracks[0].artist;
  const std::wstring title = disc.tracks.empty() ? L"" : disc.tracks[0].title;
  if (artist.empty() && title.empty()) return Localizer::Translate(L"Unknown{UNKNOWN}");
  if (artist.empty()) return title;
  if (title.empty()) return artist;
  return artist + L" - " + title;
}

std::wstring MakeBackupFileName(const DiscInfo& disc, const std::wstring& extension,
                                const std::optional<std::wstring>& folder) {
  return FreeName(FileNameOf(DefaultTitle(disc)), extension, folder);
}

std::wstring MakeDiscImageFileName(const std::vector<BackupDisc>& discs, std::size_t disc,
                                   const std::wstring& extension,
                                   const std::optional<std::wstring>& folder) {
  std::wstring name =
      FileNameOf(disc < discs.size() ? DefaultTitle(discs[disc].disc) : DefaultTitle(DiscInfo()));
  if (discs.size() > 1)
    name +=
        L" (" +
        FileNameOf(TextFormat::Fill(Localizer::Translate(L"%d of %d{D_OF_D}"),
                                    {std::to_wstring(disc + 1), std::to_wstring(discs.size())})) +
        L")";
  return FreeName(name, extension, folder);
}

bool WriteSongTag(ID3::ByteOStream& os, unsigned k, const BackupDisc& disc) {
  std::unique_ptr<ID3::ID3TagLib> tag = ID3::CreateEmpty();
  if (!tag) return false;
  for (const TagFrame& f :
       MakeTextFrames(*tag, k, 0, 0, disc.disc, RawToc::TrackLengthMs(k, disc.toc)))
    tag->FrameData(tag->AddFrame(f.id, 0)) = f.data;
  return tag->Write(os);
}

}  // namespace BackupFile
