#include "support/host_record.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace zsftest {

namespace {

constexpr int kDefaultFreeBytes = 1 << 20;
constexpr int kDefaultLatencyMs = 500;

// Everything the callbacks touch: the behaviour asked for and what they saw.
struct State {
  int freeBytes = kDefaultFreeBytes, playingPolls = 0, openResult = kDefaultLatencyMs;
  bool dspActive = false;
  DspFunction dsp;
  std::vector<uint8_t> written;
  size_t writtenAtOpen = 0;
  std::vector<int> writeSizes, flushes, pauses;
  std::vector<OpenCall> opens;
  int closes = 0, paused = 0, canWriteCalls = 0, isPlayingCalls = 0, ends = 0, flushBaseMs = 0;
  std::vector<PcmCall> sa, vsa;
  std::vector<SetInfoCall> setInfos;
  std::vector<std::pair<int, int>> saVsaInits, vsaSetInfos;
  int64_t bytesSinceFlush = 0;
};

struct Recording : State {
  std::mutex mutex;
  std::condition_variable changed;
  uint64_t version = 0;  // bumped by every callback, so waiters miss no change
};

Recording& R() {
  static Recording* recording = new Recording;  // never destroyed: a late callback still finds it
  return *recording;
}

// Runs F under the lock and wakes the waiters.
template <typename F>
auto Record(F f) {
  std::unique_lock<std::mutex> lock(R().mutex);
  auto result = f(R());
  ++R().version;
  lock.unlock();
  R().changed.notify_all();
  return result;
}

template <typename T, typename Of>
T Copy(T Of::*field) {
  std::lock_guard<std::mutex> lock(R().mutex);
  return R().*field;
}

int OutputTime(Recording& r) {
  if (r.opens.empty()) return r.flushBaseMs;
  const OpenCall& o = r.opens.back();
  const int64_t bytesPerSecond = int64_t(o.sampleRate) * o.channels * (o.bits / 8);
  return r.flushBaseMs + (bytesPerSecond > 0 ? int(r.bytesSinceFlush * 1000 / bytesPerSecond) : 0);
}

// The recording output module.
void OutDialog(HostWindow) {}
void OutNothing() {}
void OutLevel(int) {}
int OutOpen(int rate, int channels, int bits, int bufferMs, int prebufferMs) {
  return Record([&](Recording& r) {
    r.opens.push_back({rate, channels, bits, bufferMs, prebufferMs});
    r.writtenAtOpen = r.written.size();
    r.flushBaseMs = 0;
    r.bytesSinceFlush = 0;
    return r.openResult;
  });
}
void OutClose() {
  Record([](Recording& r) { return ++r.closes; });
}
int OutWrite(char* buf, int len) {
  return Record([&](Recording& r) {
    if (len > 0) r.written.insert(r.written.end(), buf, buf + len);
    r.writeSizes.push_back(len);
    r.bytesSinceFlush += len;
    return 0;
  });
}
int OutCanWrite() {
  return Record([](Recording& r) { return ++r.canWriteCalls, r.freeBytes; });
}
int OutIsPlaying() {
  return Record([](Recording& r) {
    ++r.isPlayingCalls;
    if (r.playingPolls == 0) return 0;
    if (r.playingPolls > 0) --r.playingPolls;
    return 1;
  });
}
int OutPause(int pause) {
  return Record([&](Recording& r) {
    r.pauses.push_back(pause);
    int was = r.paused;
    r.paused = pause ? 1 : 0;
    return was;
  });
}
void OutFlush(int ms) {
  Record([&](Recording& r) {
    r.flushes.push_back(ms);
    r.flushBaseMs = ms;
    r.bytesSinceFlush = 0;
    return 0;
  });
}
int OutGetOutputTime() {
  std::lock_guard<std::mutex> lock(R().mutex);
  return OutputTime(R());
}

char gOutDescription[] = "test host recording";
Out_Module gOut = [] {
  Out_Module o{};
  o.version = 0x10;
  o.description = gOutDescription;
  o.Config = o.About = OutDialog;
  o.Init = o.Quit = OutNothing;
  o.Close = OutClose;
  o.Open = OutOpen;
  o.Write = OutWrite;
  o.CanWrite = OutCanWrite;
  o.IsPlaying = OutIsPlaying;
  o.Pause = OutPause;
  o.SetVolume = o.SetPan = OutLevel;
  o.Flush = OutFlush;
  o.GetOutputTime = o.GetWrittenTime = OutGetOutputTime;
  return o;
}();

// The player's hooks.
void SAVSAInit(int latency, int rate) {
  Record([&](Recording& r) { return r.saVsaInits.push_back({latency, rate}), 0; });
}
void SAAddPCMData(void*, int channels, int bits, int timestamp) {
  Record([&](Recording& r) { return r.sa.push_back({channels, bits, timestamp}), 0; });
}
void VSAAddPCMData(void*, int channels, int bits, int timestamp) {
  Record([&](Recording& r) { return r.vsa.push_back({channels, bits, timestamp}), 0; });
}
void VSASetInfo(int rate, int channels) {
  Record([&](Recording& r) { return r.vsaSetInfos.push_back({rate, channels}), 0; });
}
void SetInfo(int bitrate, int rate, int stereo, int synched) {
  Record([&](Recording& r) { return r.setInfos.push_back({bitrate, rate, stereo, synched}), 0; });
}
int Zero() { return 0; }
int SAAdd(void*, int, int) { return 0; }
int VSAAdd(void*, int) { return 0; }
int VSAGetMode(int* spec, int* wave) {
  if (spec) *spec = 0;
  if (wave) *wave = 0;
  return 0;
}
int DspIsActive() {
  std::lock_guard<std::mutex> lock(R().mutex);
  return R().dspActive ? 1 : 0;
}
int DspDoSamples(short* samples, int frames, int bits, int channels, int rate) {
  DspFunction dsp = Copy(&Recording::dsp);
  return dsp ? dsp(samples, frames, bits, channels, rate) : frames;
}

}  // namespace

void HostRecord::FillPlayerSide(In_Module* rec, HostWindow window, HostInstance instance) {
  rec->hMainWindow = window;
  rec->hDllInstance = instance;
  rec->SAVSAInit = SAVSAInit;
  rec->SAVSADeInit = OutNothing;
  rec->SAAddPCMData = SAAddPCMData;
  rec->SAGetMode = Zero;
  rec->SAAdd = SAAdd;
  rec->VSAAddPCMData = VSAAddPCMData;
  rec->VSAGetMode = VSAGetMode;
  rec->VSAAdd = VSAAdd;
  rec->VSASetInfo = VSASetInfo;
  rec->dsp_isactive = DspIsActive;
  rec->dsp_dosamples = DspDoSamples;
  rec->SetInfo = SetInfo;
  rec->outMod = &gOut;
}

void HostRecord::Reset() {
  Record([](Recording& r) { return static_cast<State&>(r) = State{}, 0; });
}

void HostRecord::CountEnd() {
  Record([](Recording& r) { return ++r.ends; });
}

void HostRecord::SetFreeBytes(int bytes) const { Record([&](Recording& r) { return r.freeBytes = bytes; }); }
void HostRecord::SetPlayingPolls(int polls) const { Record([&](Recording& r) { return r.playingPolls = polls; }); }
void HostRecord::SetOpenResult(int latencyMs) const { Record([&](Recording& r) { return r.openResult = latencyMs; }); }
void HostRecord::SetDspActive(bool active) const { Record([&](Recording& r) { return r.dspActive = active; }); }
void HostRecord::SetDsp(DspFunction dsp) const {
  Record([&](Recording& r) { return r.dsp = std::move(dsp), 0; });
}

std::vector<uint8_t> HostRecord::Written() const { return Copy(&Recording::written); }
std::vector<uint8_t> HostRecord::WrittenSinceOpen() const {
  std::lock_guard<std::mutex> lock(R().mutex);
  return std::vector<uint8_t>(R().written.begin() + R().writtenAtOpen, R().written.end());
}
std::vector<int> HostRecord::WriteSizes() const { return Copy(&Recording::writeSizes); }
std::vector<OpenCall> HostRecord::Opens() const { return Copy(&Recording::opens); }
std::vector<int> HostRecord::Flushes() const { return Copy(&Recording::flushes); }
int HostRecord::CloseCount() const { return Copy(&Recording::closes); }
std::vector<int> HostRecord::PauseCalls() const { return Copy(&Recording::pauses); }
int HostRecord::CanWriteCalls() const { return Copy(&Recording::canWriteCalls); }
int HostRecord::IsPlayingCalls() const { return Copy(&Recording::isPlayingCalls); }
std::vector<PcmCall> HostRecord::SaPcm() const { return Copy(&Recording::sa); }
std::vector<PcmCall> HostRecord::VsaPcm() const { return Copy(&Recording::vsa); }
std::vector<SetInfoCall> HostRecord::SetInfos() const { return Copy(&Recording::setInfos); }
std::vector<std::pair<int, int>> HostRecord::SaVsaInits() const { return Copy(&Recording::saVsaInits); }
std::vector<std::pair<int, int>> HostRecord::VsaSetInfos() const { return Copy(&Recording::vsaSetInfos); }
int HostRecord::EndMessages() const { return Copy(&Recording::ends); }
int HostRecord::OutputTimeMs() const { return OutGetOutputTime(); }

bool HostRecord::WaitUntil(const std::function<bool()>& predicate, int timeoutMs) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    uint64_t seen = Copy(&Recording::version);
    if (predicate()) return true;  // it reads through the accessors, which lock themselves
    std::unique_lock<std::mutex> lock(R().mutex);
    if (!R().changed.wait_until(lock, deadline, [&] { return R().version != seen; })) {
      lock.unlock();
      return predicate();
    }
  }
}

bool HostRecord::WaitForEndMessages(int count, int timeoutMs) const {
  return WaitUntil([&] { return EndMessages() >= count; }, timeoutMs);
}

bool HostRecord::WaitForClose(int count, int timeoutMs) const {
  return WaitUntil([&] { return CloseCount() >= count; }, timeoutMs);
}

std::vector<uint8_t> WrittenFrom(const HostRecord& record, size_t firstWrite) {
  std::vector<int> sizes = record.WriteSizes();
  std::vector<uint8_t> all = record.Written();
  size_t skip = 0;
  for (size_t i = 0; i < firstWrite && i < sizes.size(); ++i) skip += static_cast<size_t>(sizes[i]);
  return std::vector<uint8_t>(all.begin() + static_cast<long>(std::min(skip, all.size())), all.end());
}

}  // namespace zsftest
