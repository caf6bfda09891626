#include "plugin/playback_control.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "collection/collection_address.h"
#include "engine/engine.h"
#include "plugin/collection_playback.h"
#include "plugin/host_api.h"
#include "plugin/playback_start.h"
#include "plugin/player_state.h"
#include "ui/file_info.h"  // kUnknownLengthMs

namespace {

In_Module* Host() { return Player().Host; }

int StartByName(const char* name) {
  PlayerState& p = Player();
  if (!name) return 1;
  CopyName(p.PlayName, name);
  if (!IsCollectionAddress(name)) {
    FILE* file = std::fopen(name, "rb");
    if (!file) return static_cast<int>(Refuse(&p.PlayFailure, "open", std::strerror(errno)));
    char magic[3] = {0, 0, 0};
    size_t got = std::fread(magic, 1, sizeof magic, file);
    std::fclose(file);
    if (got == 3 && std::memcmp(magic, "ZSF", 3) == 0) {
      p.PlayingCollection = 0;
      return static_cast<int>(StartSongPlayback(name));
    }
    if (got == 3 && std::memcmp(magic, "ZGM", 3) == 0) {
      p.PlayingCollection = 1;
      return static_cast<int>(StartCollection(name));
    }
    p.PlayingCollection = 0;
    return static_cast<int>(
        Refuse(&p.PlayFailure, "header", "neither a ZSF song nor a ZGM collection (no \"ZSF\" or \"ZGM\" magic)"));
  }
  CopyName(p.SongName, name);
  CollectionAddress address = ParseCollectionAddress(name);
  p.PlayingCollection = 1;
  StartCollection(address.file.c_str());
  return static_cast<int>(SelectTrack(address.track));
}

}  // namespace

// The player hears only 0 or 1; a host on Linux is also told why.
int Play(const char* name) {
  PlayerState& p = Player();
  p.PlayFailure = Failure{};
  const int result = StartByName(name);
  if (result != 0 && p.PlayFailure && Host()) {
    const std::string reason = p.PlayFailure.step + ": " + p.PlayFailure.reason;
    TellPlayRefused(Host()->hMainWindow, reason.c_str());
  }
  return result;
}

void Pause() {
  Player().PausedFlag = 1;
  Out_Module* out = Host()->outMod;
  if (out && out->Pause) out->Pause(1);
}

void UnPause() {
  Player().PausedFlag = 0;
  Out_Module* out = Host()->outMod;
  if (out && out->Pause) out->Pause(0);
}

int IsPaused() { return static_cast<int>(Player().PausedFlag.load()); }

void Stop() { StopDecodeThread(); }

int GetLength() {
  PlayerState& p = Player();
  const int32_t length = p.LoadedModuleLength.load();
  if (!p.LoadedModule.load() || length == kEngineLengthUnknown) return kUnknownLengthMs;
  return length / 65536 * 1000;
}

int GetOutputTime() {
  Out_Module* out = Host()->outMod;
  return out && out->GetOutputTime ? out->GetOutputTime() : 0;
}

// No time lies before the song's start; a negative target would also stamp blocks and
// restart the output clock below zero (and -1 is the thread's "no request" mark).
void SetOutputTime(int ms) { Player().SeekRequestMs = ms < 0 ? 0 : ms; }

void SetVolume(int volume) {
  Out_Module* out = Host()->outMod;
  if (out && out->SetVolume) out->SetVolume(volume);
}

void SetPan(int pan) {
  Out_Module* out = Host()->outMod;
  if (out && out->SetPan) out->SetPan(pan);
}
