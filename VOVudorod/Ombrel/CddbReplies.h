#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "VOVudorod/core/Records.h"

// What the online database's replies to a query and a read come to.
namespace Cddb {

// The matches of a query reply: one for an exact match (200), the entries of a
// list (210, 211) with duplicate titles merged, none for any other code. Every
// match carries the given marker.
std::vector<DbCore::MatchRecord> ParseQueryReply(const std::wstring& reply, int32_t marker);

// The entries of a read reply (210) in xmcd form, taken into disc, whose
// category, disc id and hash the caller has set; for any other reply the disc
// is left without entries. A value continued on further lines with the same
// keyword is joined before it is taken apart into artist and title.
void ParseReadReply(const std::wstring& reply, DbCore::DiscRecord& disc);

}  // namespace Cddb
