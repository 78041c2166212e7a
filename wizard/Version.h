#pragma once
#include <string>

#include "wizard/resources/Version.h"

// The product's name and version as the program shows and sends them.
namespace Version {

constexpr int kMajor = TAVRIN_VERSION_MAJOR;
constexpr int kMinor = TAVRIN_VERSION_MINOR;
constexpr int kBuild = TAVRIN_VERSION_BUILD;
constexpr int kRevision = TAVRIN_VERSION_REVISION;

// "1.0.117.0": the four numbers with dots between.
std::wstring Text();

}  // namespace Version

// "TAVRIN": the settings root's last part, the language file's name, the
// application name given to the CD-database plug-ins.
const wchar_t* GetProductName();
