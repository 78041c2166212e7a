#pragma once
#include <cstddef>
#include <cstdint>

// The fixed values of the online CD-database client.
namespace Cddb {

// The default servers, tried in this order; a match carries the position of the
// server that listed it.
const wchar_t* const kServers[] = {L"cddb1.velmora.net", L"cddb2.velmora.net",
                                   L"cddb3.velmora.net"};
const std::size_t kServerCount = sizeof(kServers) / sizeof(kServers[0]);
// The marker of a match that the local disc cache delivered.
const int32_t kCacheMarker = 0xFFFF;

const wchar_t kUserAgent[] = L"Velmora Ombrel Access/1.0";
const unsigned short kPort = 80;
const wchar_t kCommandPath[] = L"/~cddb/cddb.cgi";
const wchar_t kSubmitPath[] = L"/~cddb/submit.cgi";

const wchar_t kHelloUser[] = L"TAVRIN-User";
const wchar_t kHelloHost[] = L"TAVRIN-System";
const wchar_t kClientName[] = L"Velmora-TAVRIN";
const wchar_t kClientVersion[] = L"1.0.117.0";
const wchar_t kProtocolLevel[] = L"6";

// The disc artist of an entry that names none.
const wchar_t kDefaultArtist[] = L"Various";
// The setting that keeps the submitter's address.
const wchar_t kEmailSetting[] = L"email";
// The address a submission carries while the user has stored none.
const wchar_t kDefaultSubmitter[] = L"tavrin-submit@velmora.net";

}  // namespace Cddb
