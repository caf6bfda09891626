// An in-process stand-in for the media player, for tests that drive the plug-in
// through its module record: it loads the built plug-in with dlopen (by default a
// fresh copy, so every test starts with the library's state as loaded), fills the
// player's side of the record with a capturing output module, visualisation and
// effect hooks, and a main window that counts the end-of-song message.
//
// The record's callbacks are plain C function pointers without a context, so what
// they see and how they behave lives in one process-wide recording, reset by each
// TestHost. One TestHost may exist at a time.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "plugin/host_api.h"
#include "support/files.h"

namespace zsftest {

struct OpenCall {
  int sampleRate, channels, bits, bufferMs, prebufferMs;
};
struct SetInfoCall {
  int bitrate, sampleRate, stereo, synched;
};
struct PcmCall {  // SAAddPCMData / VSAAddPCMData
  int channels, bits, timestamp;
};

// The effect hook: gets the block in place and returns the new frame count. The
// plug-in promises room for twice the frames it hands over.
using DspFunction = std::function<int(short* samples, int frames, int bits, int channels, int rate)>;

class TestHost {
 public:
  struct Options {
    std::string pluginPath = ZSF_PLUGIN_PATH;
    // Load a copy of the library from a temporary folder (fresh static state).
    bool freshCopy = true;
    // The file name the copy gets (a test may load the plug-in under another name).
    std::string copyName = "in_zsf.so";
    // The settings store for this test; empty: a file in the host's temporary folder.
    std::string registryPath;
  };

  TestHost();
  explicit TestHost(const Options& options);
  // Stops playback and calls Quit if the test did not, then unloads the library.
  ~TestHost();
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  bool ok() const { return record_ != nullptr; }
  const std::string& error() const { return error_; }
  In_Module* record() const { return record_; }
  HostWindow window();
  const std::string& libraryPath() const { return libraryPath_; }
  const std::string& registryPath() const { return registryPath_; }
  // The host's own temporary folder (holds the copy and the default store).
  const TempDir& dir() const { return *dir_; }

  // Record slots, remembered so that the destructor can finish what was begun.
  void Init();
  void Quit();
  int Play(const std::string& name);
  void Stop();

  // Behaviour of the capturing output and hooks; may change while playing.
  void SetFreeBytes(int bytes);                 // CanWrite's answer (default 1 MiB)
  void SetPlayingPolls(int polls);              // IsPlaying nonzero for this many more calls; -1: for ever
  void SetOpenResult(int latencyMs);            // Open's result; negative fails (default 500)
  void SetDspActive(bool active);               // dsp_isactive (default 0)
  void SetDsp(DspFunction dsp);                 // dsp_dosamples (default: unchanged)

  // What the plug-in did, as copies taken under the recording's lock.
  std::vector<uint8_t> Written() const;         // every Write's bytes, in order
  // The bytes written since the last Open: what a listener hears of the last start
  // (a collection address first starts the first tune, then the one it names).
  std::vector<uint8_t> WrittenSinceOpen() const;
  std::vector<int> WriteSizes() const;
  std::vector<OpenCall> Opens() const;
  std::vector<int> Flushes() const;             // the ms of every Flush
  int CloseCount() const;
  std::vector<int> PauseCalls() const;          // argument of every output Pause
  int CanWriteCalls() const;
  int IsPlayingCalls() const;
  std::vector<PcmCall> SaPcm() const;           // SAAddPCMData calls
  std::vector<PcmCall> VsaPcm() const;          // VSAAddPCMData calls
  std::vector<SetInfoCall> SetInfos() const;
  std::vector<std::pair<int, int>> SaVsaInits() const;  // (latency, rate)
  std::vector<std::pair<int, int>> VsaSetInfos() const; // (rate, channels)
  int EndMessages() const;                      // end-of-song messages posted to the window
  // The output clock: the last Flush's ms plus the audio written since.
  int OutputTimeMs() const;

  // Waits until PREDICATE holds (checked after every callback) or TIMEOUT_MS passed;
  // returns whether it held. The timeout only keeps a broken plug-in from hanging
  // the test run; tests assert on the outcome, not on the time.
  bool WaitUntil(const std::function<bool()>& predicate, int timeoutMs = 60000) const;
  bool WaitForEndMessages(int count, int timeoutMs = 60000) const;
  bool WaitForClose(int count, int timeoutMs = 60000) const;

 private:
  void Load(const Options& options);

  std::unique_ptr<TempDir> dir_ = std::make_unique<TempDir>();
  std::string libraryPath_;
  std::string registryPath_;
  std::string error_;
  void* library_ = nullptr;
  In_Module* record_ = nullptr;
  bool owner_ = false;
  bool initialised_ = false;
  bool playing_ = false;
  bool hadRegistry_ = false;
  std::string oldRegistry_;
};

// Bytes written after the N-th Write call (0-based) onwards.
std::vector<uint8_t> WrittenFrom(const TestHost& host, size_t firstWrite);

}  // namespace zsftest
