#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/mp3/MP3Encoder.h"
#include "tests/engine/mp3/Mp3TestSupport.h"
#include "tests/support/ProgramFolder.h"
#include "tests/support/TempDir.h"
#include "tests/support/TimeScale.h"

namespace {

// A file from the test build: a name in the program's folder, or "variant/name"
// for one of the altered encoder libraries.
std::wstring BuildFile(const std::wstring& name) {
  const std::size_t slash = name.find(L'/');
  if (slash == std::wstring::npos) return ProgramFolder() + name;
  return ProgramFolder() + L"lame-variants\\" + name.substr(0, slash) + L"\\" +
         name.substr(slash + 1);
}

std::wstring BaseName(const std::wstring& name) { return name.substr(name.find(L'/') + 1); }

std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

struct Scenario {
  const char* name;
  std::vector<std::wstring> besideProgram;
  std::vector<std::wstring> inWorkingFolder;
  const char* encoder;
  const char* library;
  unsigned quality0Rate;
  const char* filter;
};

// Runs the probe from its own folder in a fresh tree and returns its report.
std::string Probe(const Scenario& s) {
  TempDir dir;
  const std::wstring app = dir / L"app", work = dir / L"work";
  CreateDirectoryW(app.c_str(), nullptr);
  CreateDirectoryW(work.c_str(), nullptr);
  const std::wstring probe = app + L"\\mp3_encoder_probe.exe";
  EXPECT_TRUE(CopyFileW(BuildFile(L"mp3_encoder_probe.exe").c_str(), probe.c_str(), FALSE));
  for (const std::wstring& f : s.besideProgram)
    EXPECT_TRUE(CopyFileW(BuildFile(f).c_str(), (app + L"\\" + BaseName(f)).c_str(), FALSE));
  for (const std::wstring& f : s.inWorkingFolder)
    EXPECT_TRUE(CopyFileW(BuildFile(f).c_str(), (work + L"\\" + BaseName(f)).c_str(), FALSE));

  const std::wstring report = dir / L"report.txt";
  std::wstring command = L"\"" + probe + L"\" \"" + report + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(probe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, work.c_str(),
                      &si, &pi)) {
    ADD_FAILURE() << "cannot start the probe: " << GetLastError();
    return {};
  }
  WaitForSingleObject(pi.hProcess, ScaledMs(60000));
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  EXPECT_EQ(code, 0u);
  const Mp3Test::Bytes text = Mp3Test::ReadBytes(Narrow(report));
  return std::string(text.begin(), text.end());
}

const char kNoEncoder[] = "This system has no MP-3 encoder installed.";

class EncoderFactory : public ::testing::TestWithParam<Scenario> {};

TEST_P(EncoderFactory, ChoosesTheEncoderItsSurroundingsOffer) {
  const Scenario& s = GetParam();
  std::string expected = std::string("encoder=") + s.encoder + "\nlibrary=" + s.library +
                         "\nq0=" + std::to_string(s.quality0Rate) + "\nfilter=" + s.filter + "\n";
  std::string got = Probe(s);
  got.erase(std::remove(got.begin(), got.end(), '\r'), got.end());
  EXPECT_EQ(got, expected);
}

const std::wstring kLame = L"lame_enc.dll", kCodec = L"l3codecp.acm";
const std::wstring kMajor2 = L"major2/lame_enc.dll", kNoClose = L"no-close-stream/lame_enc.dll",
                   kNoInfoTag = L"no-info-tag/lame_enc.dll";

INSTANTIATE_TEST_SUITE_P(
    Surroundings, EncoderFactory,
    ::testing::Values(
        Scenario{"LameBesideTheProgram", {kLame, kCodec}, {}, "lame", "program", 32000, "ok"},
        Scenario{"CodecWithoutLame", {kCodec}, {}, "acm", "none", 128000, "ok"},
        Scenario{"Neither", {}, {}, "none", "none", 32000, kNoEncoder},
        Scenario{"OtherMajorVersionIsRefused", {kMajor2, kCodec}, {}, "acm", "none", 128000, "ok"},
        Scenario{
            "MissingCloseStreamIsRefused", {kNoClose, kCodec}, {}, "acm", "none", 128000, "ok"},
        Scenario{"MissingInfoTagIsAccepted", {kNoInfoTag}, {}, "lame", "program", 32000, "ok"},
        Scenario{"LameOnTheSearchPath", {}, {kLame}, "lame", "path", 32000, "ok"},
        Scenario{
            "TheProgramsFolderComesFirst", {kMajor2}, {kLame}, "none", "none", 32000, kNoEncoder}),
    [](const ::testing::TestParamInfo<Scenario>& info) { return std::string(info.param.name); });

}  // namespace
