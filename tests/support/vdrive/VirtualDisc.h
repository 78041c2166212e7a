#pragma once
// A disc in a virtual CD drive, described by a small text file (see README.md):
// its table of contents, its audio (tones computed on the fly or a raw image)
// and a fault plan. Shared by the virtual IMAPI2 server, the CD-ROM driver
// stand-in and the tests that check what they read.
#include <windows.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace VirtualDisc {

constexpr uint32_t kSectorBytes = 2352;
constexpr uint32_t kSamplesPerSector = 588;

struct Track {
  int32_t start = 0;  // LBA
  bool data = false;
  uint32_t toneHz = 0;  // 0: digital silence
};

// Sectors [first, last] fail; `times` is how many tries fail per sector
// (0 = every try).
struct FailRange {
  int32_t first = 0;
  int32_t last = 0;
  uint32_t times = 0;
};

struct SlowRange {
  int32_t first = 0;
  int32_t last = 0;
  uint32_t millis = 0;
};

// The recordable side of a drive: its CD Mastering feature, the medium in it
// and the answers to the writer's queries.
struct PerformanceRange {
  uint32_t startKb = 0, endKb = 0;  // kB/s
};
struct SpeedDescriptor {
  uint32_t kb = 0;  // kB/s
  bool cav = false;
};
struct Writer {
  unsigned char mastering = 0x59;  // feature byte 4: BUF, RAW MS, RAW, R-W
  int profile = 0;                 // current profile: 0 none, 8 CD-ROM, 9 CD-R, 10 CD-RW
  int status = 0;                  // disc status: 0 blank, 1 appendable, 2 complete
  int32_t leadInFrames = -1;       // M:S:F of the lead-in start as frames; -1 none given
  int32_t capacityFrames = -1;     // last possible lead-out start, frames; -1 none given
  bool capacityInAtipOnly = false;
  std::vector<PerformanceRange> performance;  // GET PERFORMANCE, write performance
  std::vector<SpeedDescriptor> speeds;        // GET PERFORMANCE, write speed descriptors
  struct FailCall {
    uint32_t result = 0;
    uint32_t times = 0;  // 0: every call
  };
  std::map<std::string, FailCall> failCalls;     // calls of this name fail with the HRESULT
  std::map<std::string, std::string> holdCalls;  // calls of this name wait for the named event
  int64_t failAtSector = -1;                     // a write fails on reaching this many sectors
  uint32_t failAtResult = 0;
  uint32_t sectorsPerEvent = 500;
  uint32_t eventDelayMs = 0;
  uint32_t eraseSeconds = 4;  // expected time the erase reports
  uint32_t eraseStepMs = 0;   // time per erase event
};

struct Drive {
  std::wstring id;                    // the recorder's unique id
  std::vector<std::wstring> volumes;  // volume path names, e.g. E:\ and C:\mnt\cd\ .
  wchar_t letter = 0;                 // first drive root among the volumes, 0 when none
  bool hasDisc = false;
  int firstTrack = 1;
  std::vector<Track> tracks;
  std::vector<int> sessionStarts;  // indexes of the tracks that open a later session
  bool sessionInfo = true;         // answers READ TOC format 1
  int32_t leadOut = 0;
  std::wstring image;                   // raw 2352-byte sectors from LBA 0, in place of tones
  std::vector<unsigned char> tocReply;  // given reply bytes, in place of the computed TOC
  std::vector<FailRange> failures;
  std::vector<SlowRange> slow;
  Writer writer;
};

struct Description {
  std::vector<Drive> drives;
};

// The description text of one drive holding an audio disc whose track i lasts
// trackSeconds[i] and plays a tone of 220 + 55·i Hz, starting at LBA 0.
std::string ToneDisc(const std::string& id, char letter, const std::vector<int>& trackSeconds);

// Parses a description; false with a message naming the line on a syntax error.
bool Parse(const std::string& text, Description& out, std::string& error);
bool Load(const std::wstring& path, Description& out, std::string& error);

// The READ TOC reply (format 0, MSF) of the drive's disc, header included.
std::vector<unsigned char> TocReply(const Drive& drive);

// The READ TOC reply of format 1 (session information, MSF): the last
// session's number and its first track; empty for a drive that does not answer.
std::vector<unsigned char> SessionReply(const Drive& drive);

// Index of the track holding the LBA, -1 outside the program area.
int TrackAt(const Drive& drive, int32_t lba);

// A disc image kept open from one read to the next by whoever owns it (a
// drive object of the server, say), and closed with its owner, never later:
// the server's code may be unloaded once its last object is gone.
class ImageFile {
 public:
  ImageFile() = default;
  ImageFile(const ImageFile&) = delete;
  ImageFile& operator=(const ImageFile&) = delete;
  ~ImageFile();
  // Reads one sector of the image at `path`; what cannot be read stays as it is.
  void Read(const std::wstring& path, int32_t lba, unsigned char* out);

 private:
  std::mutex lock_;
  std::wstring path_;
  HANDLE file_ = INVALID_HANDLE_VALUE;
};

// The 2352 bytes of one audio sector: a tone of the track's frequency,
// left sine, right cosine, or the image's bytes; zero past the image's end.
void FillSector(const Drive& drive, ImageFile& image, int32_t lba, unsigned char* out);
// The same, the image opened for this sector alone.
void FillSector(const Drive& drive, int32_t lba, unsigned char* out);

// Whether a try of the sector fails; `tries` counts earlier tries per sector.
bool Fails(const Drive& drive, int32_t lba, std::map<int32_t, uint32_t>& tries);
uint32_t SlowMillis(const Drive& drive, int32_t lba);

}  // namespace VirtualDisc
