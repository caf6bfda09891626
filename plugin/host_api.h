// The media player's two records, declared from their published layout: the input
// module record the plug-in fills and returns from its export, and the player's
// output module record. Field order is the player's; do not reorder.
#pragma once
#include <cstdint>

#include "platform/window.h"

// The end-of-song message posted to the player's main window.
inline constexpr unsigned kWmWaMpegEof = 0x402;  // WM_USER + 2

struct Out_Module {
  int version;
  char* description;
  intptr_t id;
  HostWindow hMainWindow;
  HostInstance hDllInstance;
  void(ZSF_CDECL* Config)(HostWindow parent);
  void(ZSF_CDECL* About)(HostWindow parent);
  void(ZSF_CDECL* Init)();
  void(ZSF_CDECL* Quit)();
  // Returns the latency in ms, negative on failure.
  int(ZSF_CDECL* Open)(int sampleRate, int channels, int bits, int bufferMs, int prebufferMs);
  void(ZSF_CDECL* Close)();
  int(ZSF_CDECL* Write)(char* buf, int len);  // 0 on success
  int(ZSF_CDECL* CanWrite)();                 // free bytes
  int(ZSF_CDECL* IsPlaying)();                // nonzero while buffered audio still plays
  int(ZSF_CDECL* Pause)(int pause);           // returns the previous state
  void(ZSF_CDECL* SetVolume)(int volume);
  void(ZSF_CDECL* SetPan)(int pan);
  void(ZSF_CDECL* Flush)(int ms);
  int(ZSF_CDECL* GetOutputTime)();
  int(ZSF_CDECL* GetWrittenTime)();
};

struct In_Module {
  int version;
  char* description;
  HostWindow hMainWindow;      // filled by the player
  HostInstance hDllInstance;   // filled by the player
  char* FileExtensions;        // double-NUL-terminated list
  int is_seekable;
  int UsesOutputPlug;
  void(ZSF_CDECL* Config)(HostWindow parent);
  void(ZSF_CDECL* About)(HostWindow parent);
  void(ZSF_CDECL* Init)();
  void(ZSF_CDECL* Quit)();
  void(ZSF_CDECL* GetFileInfo)(const char* file, char* title, int* lengthInMs);
  int(ZSF_CDECL* InfoBox)(const char* file, HostWindow parent);
  int(ZSF_CDECL* IsOurFile)(const char* name);
  int(ZSF_CDECL* Play)(const char* name);
  void(ZSF_CDECL* Pause)();
  void(ZSF_CDECL* UnPause)();
  int(ZSF_CDECL* IsPaused)();
  void(ZSF_CDECL* Stop)();
  int(ZSF_CDECL* GetLength)();
  int(ZSF_CDECL* GetOutputTime)();
  void(ZSF_CDECL* SetOutputTime)(int ms);
  void(ZSF_CDECL* SetVolume)(int volume);
  void(ZSF_CDECL* SetPan)(int pan);
  // Filled by the player: visualisation.
  void(ZSF_CDECL* SAVSAInit)(int maxLatencyMs, int sampleRate);
  void(ZSF_CDECL* SAVSADeInit)();
  void(ZSF_CDECL* SAAddPCMData)(void* pcm, int channels, int bits, int timestamp);
  int(ZSF_CDECL* SAGetMode)();
  int(ZSF_CDECL* SAAdd)(void* data, int timestamp, int csa);
  void(ZSF_CDECL* VSAAddPCMData)(void* pcm, int channels, int bits, int timestamp);
  int(ZSF_CDECL* VSAGetMode)(int* specChannels, int* waveChannels);
  int(ZSF_CDECL* VSAAdd)(void* data, int timestamp);
  void(ZSF_CDECL* VSASetInfo)(int sampleRate, int channels);
  // Filled by the player: effect hooks. dsp_dosamples returns the new frame count.
  int(ZSF_CDECL* dsp_isactive)();
  int(ZSF_CDECL* dsp_dosamples)(short* samples, int frames, int bits, int channels, int sampleRate);
  void(ZSF_CDECL* EQSet)(int on, char data[10], int preamp);
  // Filled by the player.
  void(ZSF_CDECL* SetInfo)(int bitrate, int sampleRate, int stereo, int synched);
  Out_Module* outMod;
};

// The plug-in's one export.
using GetInModuleFn = In_Module*(ZSF_CDECL*)();
inline constexpr const char* kInModuleExport = "winampGetInModule2";
