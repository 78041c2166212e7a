// Encodes raw CD audio through the encoding filter into a file and prints the
// seconds of audio and the seconds the encoding took:
//   mp3_encode_benchmark INPUT.raw QUALITY OUTPUT.mp3
#include <windows.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "engine/mp3/LameEncEncoder.h"
#include "engine/streams/FilteringByteStream.h"
#include "engine/streams/WFile.h"

namespace io = boost::iostreams;

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  std::FILE* in = std::fopen(argv[1], "rb");
  if (!in) return 2;
  std::vector<unsigned char> pcm;
  unsigned char buffer[65536];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
    pcm.insert(pcm.end(), buffer, buffer + n);
  std::fclose(in);
  const std::string out(argv[3]);

  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  try {
    io::filtering_byte_stream<io::output> chain;
    chain.push(io::lameenc_encoder(std::atoi(argv[2]), 4096));
    chain.push(io::basic_wfile_sink<unsigned char>(std::wstring(out.begin(), out.end())));
    const std::size_t piece = 12 * 2352;  // one read of the ripper
    for (std::size_t at = 0; at < pcm.size(); at += piece)
      chain.write(pcm.data() + at, static_cast<std::streamsize>(std::min(piece, pcm.size() - at)));
    if (!chain.good()) return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  QueryPerformanceCounter(&end);
  std::printf("%.3f %.3f\n", pcm.size() / 4 / 44100.0,
              double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart));
  return 0;
}
