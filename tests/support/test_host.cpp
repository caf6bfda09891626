#include "support/test_host.h"

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>

namespace zsftest {

namespace {

constexpr int kDefaultFreeBytes = 1 << 20;
constexpr int kDefaultLatencyMs = 500;

// Everything the C callbacks touch, in one place.
struct Recording {
  mutable std::mutex mutex;
  mutable std::condition_variable changed;
  uint64_t version = 0;  // bumped by every callback, so waiters miss no change

  // Behaviour.
  int freeBytes = kDefaultFreeBytes;
  int playingPolls = 0;
  int openResult = kDefaultLatencyMs;
  bool dspActive = false;
  DspFunction dsp;

  // Observations.
  std::vector<uint8_t> written;
  size_t writtenAtOpen = 0;
  std::vector<int> writeSizes;
  std::vector<OpenCall> opens;
  std::vector<int> flushes;
  int closes = 0;
  std::vector<int> pauses;
  int paused = 0;
  int canWriteCalls = 0;
  int isPlayingCalls = 0;
  std::vector<PcmCall> sa;
  std::vector<PcmCall> vsa;
  std::vector<SetInfoCall> setInfos;
  std::vector<std::pair<int, int>> saVsaInits;
  std::vector<std::pair<int, int>> vsaSetInfos;
  int ends = 0;
  int flushBaseMs = 0;
  int64_t bytesSinceFlush = 0;

  void Reset() {
    std::lock_guard<std::mutex> lock(mutex);
    freeBytes = kDefaultFreeBytes;
    playingPolls = 0;
    openResult = kDefaultLatencyMs;
    dspActive = false;
    dsp = nullptr;
    written.clear();
    writtenAtOpen = 0;
    writeSizes.clear();
    opens.clear();
    flushes.clear();
    closes = 0;
    pauses.clear();
    paused = 0;
    canWriteCalls = isPlayingCalls = 0;
    sa.clear();
    vsa.clear();
    setInfos.clear();
    saVsaInits.clear();
    vsaSetInfos.clear();
    ends = 0;
    flushBaseMs = 0;
    bytesSinceFlush = 0;
  }
};

Recording gRec;
bool gHostAlive = false;

// Runs F under the lock and wakes the waiters.
template <typename F>
auto Record(F f) {
  std::unique_lock<std::mutex> lock(gRec.mutex);
  auto result = f();
  ++gRec.version;
  lock.unlock();
  gRec.changed.notify_all();
  return result;
}

int MsOfBytes(int64_t bytes) {
  if (gRec.opens.empty()) return 0;
  const OpenCall& o = gRec.opens.back();
  int64_t bps = int64_t(o.sampleRate) * o.channels * (o.bits / 8);
  return bps > 0 ? int(bytes * 1000 / bps) : 0;
}

// The capturing output module.
void OutConfig(HostWindow) {}
void OutAbout(HostWindow) {}
void OutInit() {}
void OutQuit() {}
int OutOpen(int rate, int channels, int bits, int bufferMs, int prebufferMs) {
  return Record([&] {
    gRec.opens.push_back({rate, channels, bits, bufferMs, prebufferMs});
    gRec.writtenAtOpen = gRec.written.size();
    gRec.flushBaseMs = 0;
    gRec.bytesSinceFlush = 0;
    return gRec.openResult;
  });
}
void OutClose() {
  Record([] { return ++gRec.closes; });
}
int OutWrite(char* buf, int len) {
  return Record([&] {
    if (len > 0) gRec.written.insert(gRec.written.end(), buf, buf + len);
    gRec.writeSizes.push_back(len);
    gRec.bytesSinceFlush += len;
    return 0;
  });
}
int OutCanWrite() {
  return Record([] {
    ++gRec.canWriteCalls;
    return gRec.freeBytes;
  });
}
int OutIsPlaying() {
  return Record([] {
    ++gRec.isPlayingCalls;
    if (gRec.playingPolls < 0) return 1;
    if (gRec.playingPolls == 0) return 0;
    --gRec.playingPolls;
    return 1;
  });
}
int OutPause(int pause) {
  return Record([&] {
    gRec.pauses.push_back(pause);
    int was = gRec.paused;
    gRec.paused = pause ? 1 : 0;
    return was;
  });
}
void OutSetVolume(int) {}
void OutSetPan(int) {}
void OutFlush(int ms) {
  Record([&] {
    gRec.flushes.push_back(ms);
    gRec.flushBaseMs = ms;
    gRec.bytesSinceFlush = 0;
    return 0;
  });
}
int OutGetOutputTime() {
  std::lock_guard<std::mutex> lock(gRec.mutex);
  return gRec.flushBaseMs + MsOfBytes(gRec.bytesSinceFlush);
}

char gOutDescription[] = "test host capture";
Out_Module gOut = [] {
  Out_Module o{};
  o.version = 0x10;
  o.description = gOutDescription;
  o.Config = OutConfig;
  o.About = OutAbout;
  o.Init = OutInit;
  o.Quit = OutQuit;
  o.Open = OutOpen;
  o.Close = OutClose;
  o.Write = OutWrite;
  o.CanWrite = OutCanWrite;
  o.IsPlaying = OutIsPlaying;
  o.Pause = OutPause;
  o.SetVolume = OutSetVolume;
  o.SetPan = OutSetPan;
  o.Flush = OutFlush;
  o.GetOutputTime = OutGetOutputTime;
  o.GetWrittenTime = OutGetOutputTime;
  return o;
}();

// The player's hooks.
void SAVSAInit(int latency, int rate) {
  Record([&] {
    gRec.saVsaInits.push_back({latency, rate});
    return 0;
  });
}
void SAVSADeInit() {}
void SAAddPCMData(void*, int channels, int bits, int timestamp) {
  Record([&] {
    gRec.sa.push_back({channels, bits, timestamp});
    return 0;
  });
}
int SAGetMode() { return 0; }
int SAAdd(void*, int, int) { return 0; }
void VSAAddPCMData(void*, int channels, int bits, int timestamp) {
  Record([&] {
    gRec.vsa.push_back({channels, bits, timestamp});
    return 0;
  });
}
int VSAGetMode(int* spec, int* wave) {
  if (spec) *spec = 0;
  if (wave) *wave = 0;
  return 0;
}
int VSAAdd(void*, int) { return 0; }
void VSASetInfo(int rate, int channels) {
  Record([&] {
    gRec.vsaSetInfos.push_back({rate, channels});
    return 0;
  });
}
int DspIsActive() {
  std::lock_guard<std::mutex> lock(gRec.mutex);
  return gRec.dspActive ? 1 : 0;
}
int DspDoSamples(short* samples, int frames, int bits, int channels, int rate) {
  DspFunction dsp;
  {
    std::lock_guard<std::mutex> lock(gRec.mutex);
    dsp = gRec.dsp;
  }
  return dsp ? dsp(samples, frames, bits, channels, rate) : frames;
}
void SetInfo(int bitrate, int rate, int stereo, int synched) {
  Record([&] {
    gRec.setInfos.push_back({bitrate, rate, stereo, synched});
    return 0;
  });
}

void PostMessage(void*, unsigned message, uintptr_t, intptr_t) {
  Record([&] {
    if (message == kWmWaMpegEof) ++gRec.ends;
    return 0;
  });
}
PlatformWindow gWindow{PostMessage};

}  // namespace

TestHost::TestHost() : TestHost(Options{}) {}

TestHost::TestHost(const Options& options) {
  if (gHostAlive) {
    error_ = "another TestHost is alive; the callbacks' recording is process-wide";
    return;
  }
  gHostAlive = true;
  owner_ = true;
  gRec.Reset();
  registryPath_ = options.registryPath.empty() ? dir_->file("registry.reg") : options.registryPath;
  if (const char* old = std::getenv("ZSF_REGISTRY")) {
    hadRegistry_ = true;
    oldRegistry_ = old;
  }
  setenv("ZSF_REGISTRY", registryPath_.c_str(), 1);
  Load(options);
}

void TestHost::Load(const Options& options) {
  libraryPath_ = options.pluginPath;
  if (options.freshCopy) {
    libraryPath_ = dir_->file(options.copyName);
    std::error_code ec;
    std::filesystem::copy_file(options.pluginPath, libraryPath_, ec);
    if (ec) {
      error_ = "cannot copy " + options.pluginPath + ": " + ec.message();
      return;
    }
  }
  library_ = dlopen(libraryPath_.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library_) {
    const char* why = dlerror();
    error_ = why ? why : "dlopen failed";
    return;
  }
  auto get = reinterpret_cast<GetInModuleFn>(dlsym(library_, kInModuleExport));
  if (!get) {
    error_ = std::string("no ") + kInModuleExport;
    return;
  }
  In_Module* rec = get();
  if (!rec) {
    error_ = "the export returned no record";
    return;
  }
  rec->hMainWindow = &gWindow;
  rec->hDllInstance = library_;
  rec->SAVSAInit = SAVSAInit;
  rec->SAVSADeInit = SAVSADeInit;
  rec->SAAddPCMData = SAAddPCMData;
  rec->SAGetMode = SAGetMode;
  rec->SAAdd = SAAdd;
  rec->VSAAddPCMData = VSAAddPCMData;
  rec->VSAGetMode = VSAGetMode;
  rec->VSAAdd = VSAAdd;
  rec->VSASetInfo = VSASetInfo;
  rec->dsp_isactive = DspIsActive;
  rec->dsp_dosamples = DspDoSamples;
  rec->SetInfo = SetInfo;
  rec->outMod = &gOut;
  record_ = rec;
}

TestHost::~TestHost() {
  if (!owner_) return;
  if (record_) {
    if (playing_ && record_->Stop) record_->Stop();
    if (initialised_ && record_->Quit) record_->Quit();
  }
  if (library_) dlclose(library_);
  if (hadRegistry_) {
    setenv("ZSF_REGISTRY", oldRegistry_.c_str(), 1);
  } else {
    unsetenv("ZSF_REGISTRY");
  }
  gRec.Reset();
  gHostAlive = false;
}

HostWindow TestHost::window() { return &gWindow; }

void TestHost::Init() {
  if (record_ && record_->Init) record_->Init();
  initialised_ = true;
}

void TestHost::Quit() {
  if (record_ && record_->Quit) record_->Quit();
  initialised_ = false;
}

int TestHost::Play(const std::string& name) {
  if (!record_ || !record_->Play) return 1;
  playing_ = true;
  return record_->Play(name.c_str());
}

void TestHost::Stop() {
  if (record_ && record_->Stop) record_->Stop();
  playing_ = false;
}

void TestHost::SetFreeBytes(int bytes) {
  Record([&] { return gRec.freeBytes = bytes; });
}
void TestHost::SetPlayingPolls(int polls) {
  Record([&] { return gRec.playingPolls = polls; });
}
void TestHost::SetOpenResult(int latencyMs) {
  Record([&] { return gRec.openResult = latencyMs; });
}
void TestHost::SetDspActive(bool active) {
  Record([&] { return gRec.dspActive = active; });
}
void TestHost::SetDsp(DspFunction dsp) {
  Record([&] {
    gRec.dsp = std::move(dsp);
    return 0;
  });
}

#define ZSF_COPY_UNDER_LOCK(field)                  \
  std::lock_guard<std::mutex> lock(gRec.mutex); \
  return gRec.field

std::vector<uint8_t> TestHost::Written() const { ZSF_COPY_UNDER_LOCK(written); }

std::vector<uint8_t> TestHost::WrittenSinceOpen() const {
  std::lock_guard<std::mutex> lock(gRec.mutex);
  return std::vector<uint8_t>(gRec.written.begin() + gRec.writtenAtOpen, gRec.written.end());
}
std::vector<int> TestHost::WriteSizes() const { ZSF_COPY_UNDER_LOCK(writeSizes); }
std::vector<OpenCall> TestHost::Opens() const { ZSF_COPY_UNDER_LOCK(opens); }
std::vector<int> TestHost::Flushes() const { ZSF_COPY_UNDER_LOCK(flushes); }
int TestHost::CloseCount() const { ZSF_COPY_UNDER_LOCK(closes); }
std::vector<int> TestHost::PauseCalls() const { ZSF_COPY_UNDER_LOCK(pauses); }
int TestHost::CanWriteCalls() const { ZSF_COPY_UNDER_LOCK(canWriteCalls); }
int TestHost::IsPlayingCalls() const { ZSF_COPY_UNDER_LOCK(isPlayingCalls); }
std::vector<PcmCall> TestHost::SaPcm() const { ZSF_COPY_UNDER_LOCK(sa); }
std::vector<PcmCall> TestHost::VsaPcm() const { ZSF_COPY_UNDER_LOCK(vsa); }
std::vector<SetInfoCall> TestHost::SetInfos() const { ZSF_COPY_UNDER_LOCK(setInfos); }
std::vector<std::pair<int, int>> TestHost::SaVsaInits() const { ZSF_COPY_UNDER_LOCK(saVsaInits); }
std::vector<std::pair<int, int>> TestHost::VsaSetInfos() const { ZSF_COPY_UNDER_LOCK(vsaSetInfos); }
int TestHost::EndMessages() const { ZSF_COPY_UNDER_LOCK(ends); }

#undef ZSF_COPY_UNDER_LOCK

int TestHost::OutputTimeMs() const { return OutGetOutputTime(); }

bool TestHost::WaitUntil(const std::function<bool()>& predicate, int timeoutMs) const {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    uint64_t seen;
    {
      std::lock_guard<std::mutex> lock(gRec.mutex);
      seen = gRec.version;
    }
    // The predicate reads through the accessors, which take the lock themselves.
    if (predicate()) return true;
    std::unique_lock<std::mutex> lock(gRec.mutex);
    if (!gRec.changed.wait_until(lock, deadline, [&] { return gRec.version != seen; })) {
      lock.unlock();
      return predicate();
    }
  }
}

bool TestHost::WaitForEndMessages(int count, int timeoutMs) const {
  return WaitUntil([&] { return EndMessages() >= count; }, timeoutMs);
}

bool TestHost::WaitForClose(int count, int timeoutMs) const {
  return WaitUntil([&] { return CloseCount() >= count; }, timeoutMs);
}

std::vector<uint8_t> WrittenFrom(const TestHost& host, size_t firstWrite) {
  std::vector<int> sizes = host.WriteSizes();
  std::vector<uint8_t> all = host.Written();
  size_t skip = 0;
  for (size_t i = 0; i < firstWrite && i < sizes.size(); ++i) skip += static_cast<size_t>(sizes[i]);
  return std::vector<uint8_t>(all.begin() + static_cast<long>(std::min(skip, all.size())), all.end());
}

}  // namespace zsftest
