// Reports which MP3 encoder this program finds in its surroundings, one
// "key=value" line each, into the file named by the first argument.
#include <cstdio>
#include <exception>
#include <string>

#include "engine/mp3/LameEncEncoder.h"
#include "engine/mp3/MP3EncoderLameImpl.h"

namespace {

std::wstring FolderOf(HMODULE module) {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(module, path, MAX_PATH);
  std::wstring folder(path);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  FILE* out = std::fopen(argv[1], "w");
  if (!out) return 2;

  std::unique_ptr<Encoders::MP3EncoderLame> encoder =
      Encoders::CreateMP3Encoder(Encoders::kEncoderAuto);
  const char* kind = !encoder                                                     ? "none"
                     : dynamic_cast<Encoders::MP3EncoderLameImpl*>(encoder.get()) ? "lame"
                                                                                  : "acm";
  std::fprintf(out, "encoder=%s\n", kind);
  HMODULE lame = GetModuleHandleW(L"lame_enc.dll");
  const char* from = !lame ? "none" : FolderOf(lame) == FolderOf(nullptr) ? "program" : "path";
  std::fprintf(out, "library=%s\n", from);
  encoder.reset();

  Encoders::EncoderSettings settings;
  Encoders::GetEncoderSettings(0, settings);
  std::fprintf(out, "q0=%u\n", settings.averageBitRate);
  try {
    boost::iostreams::lameenc_encoder filter(128, 4096);
    std::fprintf(out, "filter=ok\n");
  } catch (const std::exception& e) {
    std::fprintf(out, "filter=%s\n", e.what());
  }
  std::fclose(out);
  return 0;
}
