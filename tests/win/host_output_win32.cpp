#include "host_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/wav_header.h"

namespace winhost {

namespace {

// Room reported while not held: many blocks, so the plug-in never waits.
constexpr int kAlwaysRoom = 1 << 20;

// The record's functions get no context, so their state is process-wide. The
// decode thread and the host's threads both reach it; one lock guards it all.
struct State {
  CRITICAL_SECTION lock;
  std::string path;
  std::string partPath;
  FILE* file = nullptr;
  PcmFormat format;
  bool ok = true;
  std::string error;
  bool hold = false;
  int64_t holdAfter = -1;
  bool playingForever = false;
  int paused = 0;
  int flushBaseMs = 0;
  int64_t bytesSinceFlush = 0;
  OutputCounts counts;

  State() { InitializeCriticalSection(&lock); }
};

State& S() {
  static State state;
  return state;
}

class Locked {
 public:
  Locked() { EnterCriticalSection(&S().lock); }
  ~Locked() { LeaveCriticalSection(&S().lock); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
};

void Fail(const std::string& what) {
  State& s = S();
  if (s.ok) s.error = s.path + ": " + what;
  s.ok = false;
}

void DiscardFile() {
  State& s = S();
  if (!s.file) return;
  std::fclose(s.file);
  s.file = nullptr;
  DeleteFileA(s.partPath.c_str());
}

bool Held() {
  State& s = S();
  return s.hold || (s.holdAfter >= 0 && s.counts.dataBytes >= s.holdAfter);
}

void Config(HWND) {}
void About(HWND) {}
void Init() {}
void Quit() {}

int Open(int rate, int channels, int bits, int bufferMs, int prebufferMs) {
  Locked lock;
  State& s = S();
  DiscardFile();
  ++s.counts.opens;
  s.counts.dataBytes = 0;
  s.counts.rate = rate;
  s.counts.channels = channels;
  s.counts.bits = bits;
  s.ok = true;
  s.error.clear();
  s.paused = 0;
  s.flushBaseMs = 0;
  s.bytesSinceFlush = 0;
  s.format = PcmFormat{rate, channels, bits};
  if (!s.format.Valid()) {
    Fail("unsupported format (" + std::to_string(rate) + " Hz, " + std::to_string(channels) +
         " channels, " + std::to_string(bits) + " bits)");
    return -1;
  }
  if (s.path.empty()) return 0;
  // Written beside the target and renamed at Close, so a run that dies midway
  // leaves no WAV that looks complete.
  s.partPath = s.path + ".part";
  s.file = std::fopen(s.partPath.c_str(), "wb");
  if (!s.file) {
    Fail(std::string("cannot create: ") + std::strerror(errno));
    return -1;
  }
  uint8_t header[wav::kHeaderBytes];
  BuildWavHeader(s.format, 0, header);
  if (std::fwrite(header, 1, sizeof header, s.file) != sizeof header) {
    Fail(std::string("write failed: ") + std::strerror(errno));
    DiscardFile();
    return -1;
  }
  return 0;
}

void Close() {
  Locked lock;
  State& s = S();
  ++s.counts.closes;
  if (!s.file) return;
  uint64_t bytes = uint64_t(s.counts.dataBytes);
  if (s.ok && (bytes & 1) && std::fputc(0, s.file) == EOF) Fail("write failed");
  uint8_t header[wav::kHeaderBytes];
  BuildWavHeader(s.format, uint32_t(bytes), header);
  if (s.ok && (std::fseek(s.file, 0, SEEK_SET) != 0 ||
               std::fwrite(header, 1, sizeof header, s.file) != sizeof header)) {
    Fail("write failed");
  }
  if (std::fclose(s.file) != 0) Fail("write failed");
  s.file = nullptr;
  if (!s.ok) {
    DeleteFileA(s.partPath.c_str());
  } else if (!MoveFileExA(s.partPath.c_str(), s.path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    Fail("cannot rename the finished file (error " + std::to_string(GetLastError()) + ")");
    DeleteFileA(s.partPath.c_str());
  }
}

int Write(char* buf, int len) {
  Locked lock;
  State& s = S();
  if (len < 0 || !s.ok) return 1;
  if (uint64_t(s.counts.dataBytes) + uint64_t(len) > wav::kMaxDataBytes) {
    Fail("the song is too long for a WAV file");
    return 1;
  }
  if (s.file && len > 0 && std::fwrite(buf, 1, size_t(len), s.file) != size_t(len)) {
    Fail(std::string("write failed: ") + std::strerror(errno));
    return 1;
  }
  s.counts.dataBytes += len;
  s.bytesSinceFlush += len;
  return 0;
}

int CanWrite() {
  Locked lock;
  State& s = S();
  ++s.counts.canWriteCalls;
  s.counts.held = Held();
  return s.counts.held ? 0 : kAlwaysRoom;
}

int IsPlaying() {
  Locked lock;
  State& s = S();
  ++s.counts.isPlayingCalls;
  return s.playingForever ? 1 : 0;
}

int Pause(int pause) {
  Locked lock;
  int was = S().paused;
  S().paused = pause ? 1 : 0;
  return was;
}

void SetVolume(int) {}
void SetPan(int) {}

void Flush(int ms) {
  Locked lock;
  State& s = S();
  ++s.counts.flushes;
  s.counts.lastFlushMs = ms;
  s.flushBaseMs = ms;
  s.bytesSinceFlush = 0;
}

int GetOutputTime() {
  Locked lock;
  State& s = S();
  return s.flushBaseMs + int(s.format.MsOf(s.bytesSinceFlush));
}

char gDescription[] = "win_host WAV recorder";

Out_Module gRecord = [] {
  Out_Module o{};
  o.version = 0x10;
  o.description = gDescription;
  o.Config = Config;
  o.About = About;
  o.Init = Init;
  o.Quit = Quit;
  o.Open = Open;
  o.Close = Close;
  o.Write = Write;
  o.CanWrite = CanWrite;
  o.IsPlaying = IsPlaying;
  o.Pause = Pause;
  o.SetVolume = SetVolume;
  o.SetPan = SetPan;
  o.Flush = Flush;
  o.GetOutputTime = GetOutputTime;
  o.GetWrittenTime = GetOutputTime;
  return o;
}();

}  // namespace

Out_Module* OutputRecord(HWND window) {
  Locked lock;
  gRecord.hMainWindow = window;
  gRecord.hDllInstance = GetModuleHandleA(nullptr);
  return &gRecord;
}

void SetOutputPath(const std::string& path) {
  Locked lock;
  S().path = path;
}

void SetOutputHold(bool hold) {
  Locked lock;
  S().hold = hold;
}

void HoldOutputAfter(int64_t bytes) {
  Locked lock;
  S().holdAfter = bytes;
}

void SetOutputPlayingForever(bool forever) {
  Locked lock;
  S().playingForever = forever;
}

OutputCounts OutputState() {
  Locked lock;
  return S().counts;
}

std::string OutputError() {
  Locked lock;
  return S().error;
}

}  // namespace winhost
