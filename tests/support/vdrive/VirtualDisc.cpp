#include "tests/support/vdrive/VirtualDisc.h"

#include <windows.h>

#include <cmath>
#include <cstring>
#include <sstream>

namespace VirtualDisc {
namespace {

std::wstring Widen(const std::string& s) {
  std::wstring w;
  for (unsigned char c : s) w += static_cast<wchar_t>(c);
  return w;
}

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

bool ParseInt(const std::string& s, long long& v) {
  if (s.empty()) return false;
  char* end = nullptr;
  v = std::strtoll(s.c_str(), &end, 10);
  return *end == 0;
}

// "a" or "a-b".
bool ParseRange(const std::string& s, int32_t& first, int32_t& last) {
  long long a = 0, b = 0;
  const auto dash = s.find('-', 1);
  if (dash == std::string::npos) {
    if (!ParseInt(s, a)) return false;
    b = a;
  } else if (!ParseInt(s.substr(0, dash), a) || !ParseInt(s.substr(dash + 1), b)) {
    return false;
  }
  first = static_cast<int32_t>(a);
  last = static_cast<int32_t>(b);
  return first <= last;
}

bool ParseHex(const std::string& s, std::vector<unsigned char>& out) {
  std::string digits;
  for (char c : s)
    if (!std::isspace(static_cast<unsigned char>(c))) digits += c;
  if (digits.size() % 2) return false;
  for (size_t i = 0; i < digits.size(); i += 2) {
    char* end = nullptr;
    const std::string pair = digits.substr(i, 2);
    const long v = std::strtol(pair.c_str(), &end, 16);
    if (*end) return false;
    out.push_back(static_cast<unsigned char>(v));
  }
  return true;
}

// "MM:SS:FF" as frames.
bool ParseMsf(const std::string& s, int32_t& frames) {
  int m = 0, sec = 0, f = 0;
  char c1 = 0, c2 = 0;
  std::istringstream in(s);
  if (!(in >> m >> c1 >> sec >> c2 >> f) || c1 != ':' || c2 != ':' || sec > 59 || f > 74)
    return false;
  frames = m * 4500 + sec * 75 + f;
  return true;
}

bool ParseHexNumber(const std::string& s, uint32_t& v) {
  if (s.empty()) return false;
  char* end = nullptr;
  v = static_cast<uint32_t>(std::strtoul(s.c_str(), &end, 16));
  return *end == 0;
}

const int16_t* SineTable() {
  static int16_t table[1024];
  static bool made = false;
  if (!made) {
    for (int i = 0; i < 1024; ++i)
      table[i] = static_cast<int16_t>(std::lround(8000.0 * std::sin(i * 6.283185307179586 / 1024)));
    made = true;
  }
  return table;
}

void Put16(unsigned char* p, int16_t v) {
  p[0] = static_cast<unsigned char>(v & 0xFF);
  p[1] = static_cast<unsigned char>((v >> 8) & 0xFF);
}

// One 8-byte TOC track descriptor in MSF.
void AppendDescriptor(std::vector<unsigned char>& r, bool data, int number, int32_t lba) {
  const uint32_t a = static_cast<uint32_t>(lba + 150);
  r.insert(r.end(), {0, static_cast<unsigned char>(0x10 | (data ? 0x04 : 0x00)),
                     static_cast<unsigned char>(number), 0, 0, static_cast<unsigned char>(a / 4500),
                     static_cast<unsigned char>(a / 75 % 60), static_cast<unsigned char>(a % 75)});
}

}  // namespace

std::string ToneDisc(const std::string& id, char letter, const std::vector<int>& trackSeconds) {
  std::string text = "[drive]\nid = " + id + "\nvolumes = " + letter + ":\\\n";
  int32_t lba = 0;
  for (size_t i = 0; i < trackSeconds.size(); ++i) {
    text += "track = " + std::to_string(lba) + " audio " + std::to_string(220 + 55 * i) + "\n";
    lba += trackSeconds[i] * 75;
  }
  return text + "leadout = " + std::to_string(lba) + "\n";
}

bool Parse(const std::string& text, Description& out, std::string& error) {
  out = Description();
  std::istringstream in(text);
  std::string line;
  int number = 0;
  Drive* drive = nullptr;
  auto fail = [&](const std::string& why) {
    error = "line " + std::to_string(number) + ": " + why;
    return false;
  };
  while (std::getline(in, line)) {
    ++number;
    const auto hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    line = Trim(line);
    if (line.empty()) continue;
    if (line == "[drive]") {
      out.drives.emplace_back();
      drive = &out.drives.back();
      continue;
    }
    const auto eq = line.find('=');
    if (eq == std::string::npos) return fail("expected key = value");
    if (!drive) return fail("a key before the first [drive]");
    const std::string key = Trim(line.substr(0, eq));
    const std::string value = Trim(line.substr(eq + 1));
    std::istringstream words(value);
    long long n = 0;
    if (key == "id") {
      drive->id = Widen(value);
    } else if (key == "volumes") {
      std::string v;
      std::istringstream parts(value);
      while (std::getline(parts, v, '|')) {
        v = Trim(v);
        if (v.empty()) continue;
        drive->volumes.push_back(Widen(v));
        if (!drive->letter && v.size() == 3 && v[1] == ':' && v[2] == '\\')
          drive->letter = static_cast<wchar_t>(std::toupper(static_cast<unsigned char>(v[0])));
      }
    } else if (key == "first") {
      if (!ParseInt(value, n)) return fail("bad first track");
      drive->firstTrack = static_cast<int>(n);
    } else if (key == "track") {
      std::string start, kind, tone;
      words >> start >> kind >> tone;
      Track t;
      if (!ParseInt(start, n)) return fail("bad track start");
      t.start = static_cast<int32_t>(n);
      if (kind == "data") {
        t.data = true;
      } else if (kind != "audio") {
        return fail("track kind must be audio or data");
      }
      if (!tone.empty()) {
        if (!ParseInt(tone, n) || n < 0) return fail("bad tone");
        t.toneHz = static_cast<uint32_t>(n);
      }
      drive->tracks.push_back(t);
      drive->hasDisc = true;
    } else if (key == "session") {
      if (!ParseInt(value, n) || n - drive->firstTrack < 1 ||
          n - drive->firstTrack >= static_cast<long long>(drive->tracks.size()))
        return fail("a session must start at a later track given before it");
      drive->sessionStarts.push_back(static_cast<int>(n - drive->firstTrack));
    } else if (key == "sessioninfo") {
      if (value != "yes" && value != "no") return fail("sessioninfo must be yes or no");
      drive->sessionInfo = value == "yes";
    } else if (key == "leadout") {
      if (!ParseInt(value, n)) return fail("bad lead-out");
      drive->leadOut = static_cast<int32_t>(n);
    } else if (key == "image") {
      drive->image = Widen(value);
    } else if (key == "tocreply") {
      drive->tocReply.clear();
      if (!ParseHex(value, drive->tocReply)) return fail("bad hex");
      drive->hasDisc = true;
    } else if (key == "fail") {
      std::string range, times;
      words >> range >> times;
      FailRange f;
      if (!ParseRange(range, f.first, f.last)) return fail("bad range");
      if (!times.empty()) {
        if (!ParseInt(times, n) || n < 0) return fail("bad count");
        f.times = static_cast<uint32_t>(n);
      }
      drive->failures.push_back(f);
    } else if (key == "slow") {
      std::string range, ms;
      words >> range >> ms;
      SlowRange s;
      if (!ParseRange(range, s.first, s.last) || !ParseInt(ms, n) || n < 0)
        return fail("bad slow range");
      s.millis = static_cast<uint32_t>(n);
      drive->slow.push_back(s);
    } else if (key == "medium") {
      static const std::map<std::string, int> kProfiles = {
          {"none", 0}, {"cdrom", 8}, {"cdr", 9}, {"cdrw", 10}};
      const auto p = kProfiles.find(value);
      if (p == kProfiles.end()) return fail("medium must be none, cdrom, cdr or cdrw");
      drive->writer.profile = p->second;
    } else if (key == "status") {
      static const std::map<std::string, int> kStatus = {
          {"blank", 0}, {"appendable", 1}, {"complete", 2}};
      const auto st = kStatus.find(value);
      if (st == kStatus.end()) return fail("status must be blank, appendable or complete");
      drive->writer.status = st->second;
    } else if (key == "leadin") {
      if (!ParseMsf(value, drive->writer.leadInFrames)) return fail("bad lead-in M:S:F");
    } else if (key == "capacity") {
      std::string msf, where;
      words >> msf >> where;
      if (!ParseMsf(msf, drive->writer.capacityFrames)) return fail("bad capacity M:S:F");
      drive->writer.capacityInAtipOnly = where == "atip";
    } else if (key == "mastering") {
      uint32_t v = 0;
      if (!ParseHexNumber(value, v) || v > 0xFF) return fail("bad mastering byte");
      drive->writer.mastering = static_cast<unsigned char>(v);
    } else if (key == "performance") {
      const auto dash = value.find('-');
      long long a = 0, b = 0;
      if (dash == std::string::npos || !ParseInt(value.substr(0, dash), a) ||
          !ParseInt(value.substr(dash + 1), b) || a < 0 || b < 0)
        return fail("bad performance range");
      drive->writer.performance.push_back({uint32_t(a), uint32_t(b)});
    } else if (key == "writespeed") {
      std::string kb, kind;
      words >> kb >> kind;
      if (!ParseInt(kb, n) || n < 0) return fail("bad write speed");
      drive->writer.speeds.push_back({uint32_t(n), kind == "cav"});
    } else if (key == "failcall") {
      std::string name, hr, times;
      words >> name >> hr >> times;
      uint32_t v = 0;
      if (name.empty() || !ParseHexNumber(hr, v)) return fail("bad failcall");
      if (!times.empty() && (!ParseInt(times, n) || n < 0)) return fail("bad failcall count");
      drive->writer.failCalls[name] = {v, times.empty() ? 0u : uint32_t(n)};
    } else if (key == "holdcall") {
      std::string name, event;
      words >> name >> event;
      if (name.empty() || event.empty()) return fail("bad holdcall");
      drive->writer.holdCalls[name] = event;
    } else if (key == "writefail") {
      std::string at, hr;
      words >> at >> hr;
      uint32_t v = 0;
      if (!ParseInt(at, n) || n < 0 || !ParseHexNumber(hr, v)) return fail("bad writefail");
      drive->writer.failAtSector = n;
      drive->writer.failAtResult = v;
    } else if (key == "eventevery" || key == "eventdelay" || key == "eraseseconds" ||
               key == "erasestep") {
      if (!ParseInt(value, n) || n < 0 || (key == "eventevery" && n == 0))
        return fail("bad " + key);
      uint32_t& field = key == "eventevery"     ? drive->writer.sectorsPerEvent
                        : key == "eventdelay"   ? drive->writer.eventDelayMs
                        : key == "eraseseconds" ? drive->writer.eraseSeconds
                                                : drive->writer.eraseStepMs;
      field = static_cast<uint32_t>(n);
    } else {
      return fail("unknown key " + key);
    }
  }
  for (const Drive& d : out.drives) {
    if (d.id.empty()) return fail("a drive without id");
    for (size_t i = 1; i < d.tracks.size(); ++i)
      if (d.tracks[i].start <= d.tracks[i - 1].start) return fail("track starts must increase");
    if (!d.tracks.empty() && d.leadOut <= d.tracks.back().start)
      return fail("lead-out must follow the last track");
  }
  return true;
}

bool Load(const std::wstring& path, Description& out, std::string& error) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = "cannot open the description";
    return false;
  }
  std::string text;
  char buf[4096];
  DWORD got = 0;
  while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got) text.append(buf, got);
  CloseHandle(h);
  return Parse(text, out, error);
}

std::vector<unsigned char> TocReply(const Drive& drive) {
  if (!drive.tocReply.empty()) return drive.tocReply;
  std::vector<unsigned char> r(4);
  for (size_t i = 0; i < drive.tracks.size(); ++i)
    AppendDescriptor(r, drive.tracks[i].data, drive.firstTrack + static_cast<int>(i),
                     drive.tracks[i].start);
  AppendDescriptor(r, !drive.tracks.empty() && drive.tracks.back().data, 0xAA, drive.leadOut);
  const size_t length = r.size() - 2;
  r[0] = static_cast<unsigned char>(length >> 8);
  r[1] = static_cast<unsigned char>(length);
  r[2] = static_cast<unsigned char>(drive.firstTrack);
  r[3] = static_cast<unsigned char>(drive.firstTrack + drive.tracks.size() - 1);
  return r;
}

std::vector<unsigned char> SessionReply(const Drive& drive) {
  if (!drive.sessionInfo || drive.tracks.empty()) return {};
  const int first = drive.sessionStarts.empty() ? 0 : drive.sessionStarts.back();
  std::vector<unsigned char> r = {0, 10, 1,
                                  static_cast<unsigned char>(1 + drive.sessionStarts.size())};
  AppendDescriptor(r, drive.tracks[first].data, drive.firstTrack + first,
                   drive.tracks[first].start);
  return r;
}

int TrackAt(const Drive& drive, int32_t lba) {
  if (drive.tracks.empty() || lba < drive.tracks.front().start || lba >= drive.leadOut) return -1;
  int t = 0;
  while (t + 1 < static_cast<int>(drive.tracks.size()) && drive.tracks[t + 1].start <= lba) ++t;
  return t;
}

ImageFile::~ImageFile() {
  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
}

void ImageFile::Read(const std::wstring& path, int32_t lba, unsigned char* out) {
  std::lock_guard<std::mutex> hold(lock_);
  if (path_ != path) {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    path_ = path;
    // Opened so that the tests may still replace or delete the file.
    file_ = CreateFileW(path.c_str(), GENERIC_READ,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(lba) * kSectorBytes;
  DWORD got = 0;
  if (file_ != INVALID_HANDLE_VALUE && lba >= 0 && SetFilePointerEx(file_, at, nullptr, FILE_BEGIN))
    ReadFile(file_, out, kSectorBytes, &got, nullptr);
}

void FillSector(const Drive& drive, int32_t lba, unsigned char* out) {
  ImageFile image;
  FillSector(drive, image, lba, out);
}

void FillSector(const Drive& drive, ImageFile& image, int32_t lba, unsigned char* out) {
  std::memset(out, 0, kSectorBytes);
  if (!drive.image.empty()) {
    image.Read(drive.image, lba, out);
    return;
  }
  const int t = TrackAt(drive, lba);
  if (t < 0 || !drive.tracks[t].toneHz) return;
  const int16_t* table = SineTable();
  const uint64_t first = static_cast<uint64_t>(lba - drive.tracks[t].start) * kSamplesPerSector;
  const uint64_t hz = drive.tracks[t].toneHz;
  for (uint32_t i = 0; i < kSamplesPerSector; ++i) {
    const uint32_t phase = static_cast<uint32_t>((first + i) * hz * 1024 / 44100 % 1024);
    Put16(out + i * 4, table[phase]);
    Put16(out + i * 4 + 2, table[(phase + 256) % 1024]);
  }
}

bool Fails(const Drive& drive, int32_t lba, std::map<int32_t, uint32_t>& tries) {
  for (const FailRange& f : drive.failures) {
    if (lba < f.first || lba > f.last) continue;
    if (f.times == 0) return true;
    uint32_t& n = tries[lba];
    if (n < f.times) {
      ++n;
      return true;
    }
  }
  return false;
}

uint32_t SlowMillis(const Drive& drive, int32_t lba) {
  uint32_t ms = 0;
  for (const SlowRange& s : drive.slow)
    if (lba >= s.first && lba <= s.last && s.millis > ms) ms = s.millis;
  return ms;
}

}  // namespace VirtualDisc
