// Throughput of a backup: sectors per second of a whole rip from a virtual
// drive that answers at once, beside the encoding filter alone on the same
// audio, at 128 and 320 kbit/s. Run through "ninja ripper_benchmark".
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/cd/CdDevice.h"
#include "engine/jobs/RipperData.h"
#include "engine/mp3/LameEncEncoder.h"
#include "engine/streams/FilteringByteStream.h"
#include "tests/support/JobNotifications.h"
#include "tests/support/vdrive/VirtualDriveSetup.h"
#include "wizard/WizardInfo.h"

namespace {

const int32_t kSectors = 22500;  // five minutes
const int kTracks = 10;

double Seconds(const LARGE_INTEGER& from) {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return double(now.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

// The encoding filter alone, fed the disc's audio in the ripper's blocks of 12 sectors.
double EncoderOnly(const VirtualDisc::Drive& disc, int quality) {
  std::vector<unsigned char> pcm(std::size_t(kSectors) * VirtualDisc::kSectorBytes);
  for (int32_t s = 0; s < kSectors; ++s)
    VirtualDisc::FillSector(disc, s, pcm.data() + std::size_t(s) * VirtualDisc::kSectorBytes);
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  {
    boost::iostreams::filtering_byte_stream<boost::iostreams::output> chain;
    chain.push(boost::iostreams::lameenc_encoder(quality, 4096));
    chain.push(boost::iostreams::basic_null_sink<unsigned char>());
    const std::size_t block = 12 * VirtualDisc::kSectorBytes;
    for (std::size_t at = 0; at < pcm.size(); at += block)
      chain.write(pcm.data() + at, std::streamsize(std::min(block, pcm.size() - at)));
  }
  return kSectors / Seconds(start);
}

// A whole rip into a new backup file, from Start to JOB_DONE.
double Rip(const std::wstring& path, int quality) {
  CWizardInfo info;
  std::vector<CdDevice::DriveEntry> drives = CdDevice::GetDriveList();
  if (drives.empty()) return 0;
  info->drive = &drives[0];
  info->disc.tracks.resize(kTracks + 1);
  info->backupPath = path;
  info->quality = quality;
  DeleteFileW(path.c_str());
  JobNotifications page;
  RipperData job;
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  if (job.Start(page.window(), info) == 0 || !page.WaitDone(600000) || !job.Finish()) return 0;
  const double rate = kSectors / Seconds(start);
  DeleteFileW(path.c_str());
  return rate;
}

}  // namespace

int main() {
  CoInitialize(nullptr);
  VirtualDriveSetup drive;
  std::string text = "[drive]\nid = BENCH\nvolumes = B:\\\n";
  for (int t = 0; t < kTracks; ++t)
    text += "track = " + std::to_string(t * kSectors / kTracks) + " audio " +
            std::to_string(220 + 110 * t) + "\n";
  text += "leadout = " + std::to_string(kSectors) + "\n";
  const VirtualDisc::Description disc = drive.Describe(text);
  std::printf("%d sectors (%d s of audio) per run; sectors per second:\n", kSectors, kSectors / 75);
  std::printf("%-10s %12s %12s %8s\n", "bit rate", "rip", "encoder", "rip/enc");
  for (const auto& q : {std::make_pair(102, "128 kbit/s"), std::make_pair(255, "320 kbit/s")}) {
    const double encoder = EncoderOnly(disc.drives[0], q.first);
    const double rip = Rip(drive.dir() / L"bench.mp3", q.first);
    std::printf("%-10s %12.0f %12.0f %7.0f%%\n", q.second, rip, encoder, 100 * rip / encoder);
  }
  CoUninitialize();
  return 0;
}
