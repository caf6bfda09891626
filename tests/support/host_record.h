// The player's side of the plug-in's record as our test hosts fill it (the Linux
// TestHost and win_host under Wine): an output that records every call and all PCM
// written, visualisation and effect hooks that record what they are given, and the
// end-of-song messages the host's window receives. The record's callbacks carry no
// context, so all of it lives in one process-wide recording; HostRecord reads and
// steers it.
#pragma once
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "plugin/host_api.h"

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

class HostRecord {
 public:
  // Fills the player's side of REC with the recording hooks and output.
  static void FillPlayerSide(In_Module* rec, HostWindow window, HostInstance instance);
  static void Reset();      // forgets everything and restores the default behaviour
  static void CountEnd();   // the host's window received the end-of-song message

  // Behaviour of the output and hooks; may change while playing.
  void SetFreeBytes(int bytes) const;     // CanWrite's answer (default 1 MiB)
  void SetPlayingPolls(int polls) const;  // IsPlaying nonzero for this many more calls; -1: for ever
  void SetOpenResult(int latencyMs) const;  // Open's result; negative fails (default 500)
  void SetDspActive(bool active) const;   // dsp_isactive (default 0)
  void SetDsp(DspFunction dsp) const;     // dsp_dosamples (default: unchanged)

  // What the plug-in did, as copies taken under the recording's lock.
  std::vector<uint8_t> Written() const;   // every Write's bytes, in order
  // The bytes written since the last Open: what a listener hears of the last start
  // (a collection address first starts the first tune, then the one it names).
  std::vector<uint8_t> WrittenSinceOpen() const;
  std::vector<int> WriteSizes() const;
  std::vector<OpenCall> Opens() const;
  std::vector<int> Flushes() const;       // the ms of every Flush
  int CloseCount() const;
  std::vector<int> PauseCalls() const;    // argument of every output Pause
  int CanWriteCalls() const;
  int IsPlayingCalls() const;
  std::vector<PcmCall> SaPcm() const;
  std::vector<PcmCall> VsaPcm() const;
  std::vector<SetInfoCall> SetInfos() const;
  std::vector<std::pair<int, int>> SaVsaInits() const;   // (latency, rate)
  std::vector<std::pair<int, int>> VsaSetInfos() const;  // (rate, channels)
  int EndMessages() const;
  int OutputTimeMs() const;  // the output clock: the last Flush's ms plus the audio since

  // Waits until PREDICATE holds (checked after every callback) or TIMEOUT_MS passed;
  // returns whether it held. The timeout only keeps a broken plug-in from hanging the
  // run; tests assert on the outcome, not on the time.
  bool WaitUntil(const std::function<bool()>& predicate, int timeoutMs = 60000) const;
  bool WaitForEndMessages(int count, int timeoutMs = 60000) const;
  bool WaitForClose(int count, int timeoutMs = 60000) const;
};

// Bytes written after the N-th Write call (0-based) onwards.
std::vector<uint8_t> WrittenFrom(const HostRecord& record, size_t firstWrite);

}  // namespace zsftest
