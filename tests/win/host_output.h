// The player's output for the Windows test host: one Out_Module record whose
// functions write the plug-in's PCM to a WAV file as fast as it is rendered, with the
// header zsfplay writes, so that files made under Windows and on Linux compare byte
// for byte. A test can also hold the output (no room to write) or keep it "playing"
// for ever, to stop the decode thread where it wants it.
#pragma once
#include <cstdint>
#include <string>

#include "plugin/host_api.h"

namespace winhost {

struct OutputCounts {
  int opens = 0;
  int closes = 0;
  int flushes = 0;
  int lastFlushMs = -1;  // the position the last Flush named
  int canWriteCalls = 0;
  int isPlayingCalls = 0;
  int64_t dataBytes = 0;  // written since the last Open
  int rate = 0, channels = 0, bits = 0;
  bool held = false;
};

// The one record, with WINDOW as the player's main window.
Out_Module* OutputRecord(HWND window);
// The file the next Open writes; empty: the audio is only counted.
void SetOutputPath(const std::string& path);
// While held, CanWrite reports no room, so the plug-in renders nothing.
void SetOutputHold(bool hold);
// Holds the output by itself once BYTES were written since Open; negative: never.
void HoldOutputAfter(int64_t bytes);
// A device whose buffered audio never finishes playing: the song never ends by itself.
void SetOutputPlayingForever(bool forever);
OutputCounts OutputState();
// Why the last file was not completed; empty when it was.
std::string OutputError();

}  // namespace winhost
