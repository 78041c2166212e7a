#include "common/SysUtil.h"

#include <iterator>

#include "common/CallingConvention.h"

namespace SysUtil {

namespace {

struct LocaleRow {
  LANGID langId;
  const wchar_t* name;
};

// Locale names of common language identifiers, as Windows publishes them.
const LocaleRow kLocales[] = {
    {1078, L"af-ZA"},      {1052, L"sq-AL"},      {1118, L"am-ET"},      {1025, L"ar-SA"},
    {1067, L"hy-AM"},      {1101, L"as-IN"},      {2092, L"az-Cyrl-AZ"}, {1068, L"az-Latn-AZ"},
    {1069, L"eu-ES"},      {1059, L"be-BY"},      {1093, L"bn-IN"},      {1027, L"ca-ES"},
    {2052, L"zh-CN"},      {1028, L"zh-TW"},      {1050, L"hr-HR"},      {1029, L"cs-CZ"},
    {1030, L"da-DK"},      {1043, L"nl-NL"},      {3081, L"en-AU"},      {4105, L"en-CA"},
    {2057, L"en-GB"},      {1033, L"en-US"},      {1061, L"et-EE"},      {1080, L"fo-FO"},
    {1065, L"fa-IR"},      {1035, L"fi-FI"},      {1036, L"fr-FR"},      {3084, L"fr-CA"},
    {1122, L"fy-NL"},      {1079, L"ka-GE"},      {1031, L"de-DE"},      {3079, L"de-AT"},
    {5127, L"de-LI"},      {4103, L"de-LU"},      {2055, L"de-CH"},      {1032, L"el-GR"},
    {1095, L"gu-IN"},      {1037, L"he-IL"},      {1081, L"hi-IN"},      {1038, L"hu-HU"},
    {1039, L"is-IS"},      {1057, L"id-ID"},      {1040, L"it-IT"},      {1099, L"kn-IN"},
    {1087, L"kk-KZ"},      {1111, L"kok-IN"},     {1042, L"ko-KR"},      {1062, L"lv-LV"},
    {1063, L"lt-LT"},      {1071, L"mk-MK"},      {1086, L"ms-MY"},      {1100, L"ml-IN"},
    {1102, L"mr-IN"},      {1121, L"ne-NP"},      {1044, L"nb-NO"},      {2068, L"nn-NO"},
    {1096, L"or-IN"},      {1045, L"pl-PL"},      {1046, L"pt-BR"},      {2070, L"pt-PT"},
    {1094, L"pa-IN"},      {1048, L"ro-RO"},      {1049, L"ru-RU"},      {1103, L"sa-IN"},
    {3098, L"sr-Cyrl-CS"}, {2074, L"sr-Latn-CS"}, {1051, L"sk-SK"},      {1060, L"sl-SI"},
    {3082, L"es-ES"},      {1089, L"sw-KE"},      {1053, L"sv-SE"},      {1097, L"ta-IN"},
    {1092, L"tt-RU"},      {1098, L"te-IN"},      {1054, L"th-TH"},      {1055, L"tr-TR"},
    {1058, L"uk-UA"},      {1056, L"ur-PK"},      {2115, L"uz-Cyrl-UZ"}, {1091, L"uz-Latn-UZ"},
    {1066, L"vi-VN"},
};
static_assert(std::size(kLocales) == 81, "one row per offered language");

const wchar_t* FromTable(LANGID langId) {
  for (const LocaleRow& row : kLocales)
    if (row.langId == langId) return row.name;
  return nullptr;
}

// LCIDToLocaleName, where the system has it (it is missing before Windows Vista).
std::wstring FromSystem(LANGID langId) {
  using LcidToLocaleNameFn = int(WINAPI*)(LCID, LPWSTR, int, DWORD);
  PIN_BINDING(LcidToLocaleNameFn, ::LCIDToLocaleName);
  HMODULE kernel = LoadLibraryA("kernel32.dll");
  if (kernel == nullptr) return L"";
  std::wstring name;
  const auto lookup = reinterpret_cast<LcidToLocaleNameFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "LCIDToLocaleName")));
  if (lookup != nullptr) {
    wchar_t buffer[64] = {};
    if (lookup(langId, buffer, 64, 0) != 0) name = buffer;
  }
  FreeLibrary(kernel);
  return name;
}

}  // namespace

std::wstring LcidToLocaleName(LANGID langId, SystemLocaleLookup systemLookup) {
  if (const wchar_t* name = FromTable(langId)) return name;
  if (systemLookup != nullptr) {
    std::wstring name = systemLookup(langId);
    if (!name.empty()) return name;
  }
  const wchar_t* primary = FromTable(static_cast<LANGID>((langId & 0x3FF) | 0x400));
  return primary != nullptr ? primary : L"";
}

std::wstring LcidToLocaleName(LANGID langId) { return LcidToLocaleName(langId, FromSystem); }

}  // namespace SysUtil
