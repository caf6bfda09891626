// The benchmarks' null player: the host's side of the plug-in's record, counting and
// time-stamping what the plug-in does and throwing the audio away.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>

#include "plugin/host_api.h"
#include "plugin/module_record.h"

namespace null_player {

using Clock = std::chrono::steady_clock;

inline std::atomic<bool> gFirstWrite{false};
inline std::atomic<bool> gFirstPass{false};
inline std::atomic<int> gEnds{0};
inline std::atomic<int64_t> gBytes{0};
inline Clock::time_point gFirstWriteAt, gFirstPassAt, gEndAt;

inline int OutOpen(int, int, int, int, int) { return 0; }
inline void OutClose() {}
inline int OutWrite(char*, int len) {
  if (!gFirstWrite.load(std::memory_order_relaxed)) {
    gFirstWriteAt = Clock::now();
    gFirstWrite = true;
  }
  gBytes += len;
  return 0;
}
inline int OutCanWrite() { return 1 << 20; }
inline int OutIsPlaying() { return 0; }
inline int OutPause(int) { return 0; }
inline void OutVolume(int) {}
inline void OutFlush(int) {
  if (!gFirstPass.load(std::memory_order_relaxed)) {
    gFirstPassAt = Clock::now();
    gFirstPass = true;
  }
}
inline int OutTime() { return 0; }
inline void NoInit(int, int) {}
inline void NoPcm(void*, int, int, int) {}
inline void NoInfo(int, int) {}
inline int DspOff() { return 0; }
inline void NoSetInfo(int, int, int, int) {}
inline void Post(void*, unsigned message, uintptr_t, intptr_t) {
  if (message == kWmWaMpegEof) {
    gEndAt = Clock::now();
    ++gEnds;
  }
}
inline PlatformWindow gWindow{Post};
inline Out_Module gOut = [] {
  Out_Module o{};
  o.Open = OutOpen;
  o.Close = OutClose;
  o.Write = OutWrite;
  o.CanWrite = OutCanWrite;
  o.IsPlaying = OutIsPlaying;
  o.Pause = OutPause;
  o.SetVolume = OutVolume;
  o.SetPan = OutVolume;
  o.Flush = OutFlush;
  o.GetOutputTime = OutTime;
  o.GetWrittenTime = OutTime;
  return o;
}();

// The plug-in's record with the null player attached.
inline In_Module* Attach() {
  In_Module* rec = GetModuleRecord();
  rec->hMainWindow = &gWindow;
  rec->SAVSAInit = NoInit;
  rec->SAAddPCMData = NoPcm;
  rec->VSAAddPCMData = NoPcm;
  rec->VSASetInfo = NoInfo;
  rec->dsp_isactive = DspOff;
  rec->SetInfo = NoSetInfo;
  rec->outMod = &gOut;
  return rec;
}

}  // namespace null_player
