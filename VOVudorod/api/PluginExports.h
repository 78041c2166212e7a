#pragma once
#include <memory>
#include <string>
#include <vector>

#include "VOVudorod/api/DbInterface.h"
#include "VOVudorod/core/SessionCore.h"

// The common side of the nine exports: each plug-in's exported functions forward
// here with its own session factory. Nothing thrown inside leaves these functions.
namespace DbPlugin {

using SessionFactory =
    std::unique_ptr<DbCore::SessionCore> (*)(const std::vector<unsigned char>& rawToc);

// The bytes of the raw TOC that a session is built on: the header and one
// descriptor per track and for the lead-out, but never more than the TOC's own
// data length promises.
std::vector<unsigned char> CopyRawToc(const unsigned char* rawToc);

DbSessionHandle CreateSession(const unsigned char* rawToc, SessionFactory factory);
void CloseSession(DbSessionHandle handle);
uint32_t Query(DbSessionHandle handle, uint32_t index, DbMatch* out);
uint32_t Lookup(DbSessionHandle handle, const wchar_t* category, uint32_t discId, int32_t marker,
                uint32_t index, DbDiscInfo* out);
int32_t Submit(DbSessionHandle handle, int32_t revision);
void SetGenre(DbSessionHandle handle, const DbString* genre);
void SetTrackInfo(DbSessionHandle handle, int32_t index, const DbTrackInfo* info);

// Hands a text out: capacity 0 asks for the size; a buffer too small gets an
// empty text; otherwise the text with its NUL.
void WriteText(DbString& out, const std::wstring& text);

}  // namespace DbPlugin
