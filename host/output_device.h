// The player's audio outputs. The plug-in sees one Out_Module record of plain C
// function pointers without a context argument, so the record forwards to whichever
// device the player attached last; each device is an ordinary object behind it.
#pragma once
#include <atomic>
#include <cstdint>

#include "plugin/host_api.h"

// The PCM format the plug-in opened the output with.
struct PcmFormat {
  int sampleRate = 0;
  int channels = 0;
  int bits = 0;

  int FrameBytes() const { return channels * (bits / 8); }
  int64_t BytesPerSecond() const { return int64_t(sampleRate) * FrameBytes(); }
  // Milliseconds that BYTES of audio last; 0 while no format is known.
  int64_t MsOf(int64_t bytes) const {
    int64_t bps = BytesPerSecond();
    return bps > 0 ? bytes * 1000 / bps : 0;
  }
  bool Valid() const {
    return sampleRate > 0 && (channels == 1 || channels == 2) && (bits == 8 || bits == 16);
  }
};

class OutputDevice {
 public:
  virtual ~OutputDevice() = default;
  // Returns the latency in ms, negative on failure.
  virtual int Open(int sampleRate, int channels, int bits, int bufferMs, int prebufferMs) = 0;
  virtual void Close() = 0;
  virtual int Write(const char* buf, int len) = 0;  // 0 on success
  virtual int CanWrite() = 0;                       // free bytes
  virtual int IsPlaying() = 0;
  virtual int Pause(int pause) = 0;                 // returns the previous state
  virtual void SetVolume(int volume) {}
  virtual void SetPan(int pan) {}
  virtual void Flush(int ms) = 0;
  virtual int GetOutputTime() = 0;
  virtual int GetWrittenTime() = 0;
};

// The one Out_Module record handed to the plug-in.
class OutputBridge {
 public:
  // Points the record at DEVICE (may be null: then the record refuses to open) and
  // returns it, with WINDOW as its main window.
  static Out_Module* Attach(OutputDevice* device, HostWindow window);
  static Out_Module* Record();

  // While held, CanWrite reports no room, so the plug-in renders nothing; the player
  // holds the output around a seek at the start of a song so that no audio from
  // before the target reaches the device or the file.
  static void SetHold(bool hold);
  // Flush calls seen so far; the decode thread flushes once per performed seek.
  static int FlushCount();
  // The position the last Flush named; -1 before any.
  static int LastFlushMs();
};
