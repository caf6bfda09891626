#include "plugin/playback_control.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "collection/collection.h"
#include "collection/collection_address.h"
#include "collection/track_selection.h"
#include "container/byte_stream.h"
#include "container/file_kind.h"
#include "engine/engine.h"
#include "plugin/decode_thread.h"
#include "plugin/echo_stage.h"
#include "plugin/host_api.h"
#include "plugin/module_record.h"
#include "plugin/player_state.h"
#include "samples/sample_store.h"
#include "ui/password.h"
#include "ui/player_settings.h"
#include "ui/prompt_dialog.h"
#include "ui/file_info.h"
#include "ui/tags.h"

namespace {

constexpr int kOutputRateKhz = 44;
// The player's value for "use your default volume".
constexpr int kDefaultVolume = -666;
constexpr const char* kPasswordPrompt = "Enter a Password";

In_Module* Host() { return GetModuleRecord(); }

void CopyName(char* dst, const char* src) {
  std::snprintf(dst, kNameSize, "%s", src ? src : "");
}

// Opens the player's output at 44100 Hz with the configured bits and channels and
// sets the player's info and visualisation. 0, or 1 when the output refuses.
uint32_t OpenOutput() {
  PlayerState& p = Player();
  In_Module* host = Host();
  const PlayerSettings* settings = p.Settings ? p.Settings : &TheSettings;
  const int bits = settings->LoBit ? 8 : 16;
  const int channels = settings->Mono ? 1 : 2;
  p.OutputBits = bits;
  p.OutputChannels = channels;
  if (!host->outMod || !host->outMod->Open) return 1;
  int latency = host->outMod->Open(kEngineOutputRate, channels, bits, -1, -1);
  if (latency < 0) return 1;
  if (host->SetInfo) host->SetInfo(bits, kOutputRateKhz, channels, 1);
  if (host->SAVSAInit) host->SAVSAInit(latency, kEngineOutputRate);
  if (host->VSASetInfo) host->VSASetInfo(kEngineOutputRate, channels);
  if (host->outMod->SetVolume) host->outMod->SetVolume(kDefaultVolume);
  return 0;
}

// Only the decode thread closes the output while it runs; a start that fails before
// the thread exists closes it here so the player is not left with an open device.
void CloseOutputAfterFailure() {
  In_Module* host = Host();
  if (host->outMod && host->outMod->Close) host->outMod->Close();
}

void FreePendingImage() {
  PlayerState& p = Player();
  std::free(p.PendingImage.data);
  p.PendingImage.data = nullptr;
  p.PendingImage.size = 0;
}

// Loads with the current password key; while the pack turns out scrambled and no key
// is set, asks for a password and loads again. A cancelled prompt fails the start.
uint32_t PasswordLoop(const std::function<uint32_t()>& load) {
  PlayerState& p = Player();
  for (;;) {
    p.CurrentSong->SetPasswordKey(p.PasswordKey);
    if (load() != 0) return 1;
    if (p.CurrentSong->GetSampleStore()->scrambled == 0 || p.PasswordKey != 0) return 0;
    char answer[kPromptAnswerSize] = "";
    PromptRequest request{kPasswordPrompt, answer};
    if (!PromptDialog(Host()->hMainWindow, request)) return 1;
    p.PasswordKey = HashPassword(answer, static_cast<uint32_t>(std::strlen(answer)));
  }
}

// Rebuilds the song's module image and hands it to the engine. A module the engine
// cannot read fails the start (no thread, no stored length).
uint32_t LoadEngineModule() {
  PlayerState& p = Player();
  Song* song = p.CurrentSong;
  const uint8_t kind = song->GetModuleKind();
  if (song->BuildModuleImage(&p.PendingImage) != 0) {
    FreePendingImage();
    song->Reset();
    return 1;
  }
  DUH* module = nullptr;
  if (kind <= 3) module = EngineReadModule(kind, p.PendingImage.data, p.PendingImage.size);
  FreePendingImage();
  song->Reset();
  if (!(p.Settings && p.Settings->KeepSamples)) song->ReleaseSamples();
  if (!module) return 1;
  p.LoadedModuleLength = EngineGetLength(module);
  p.LoadedModule = module;
  return 0;
}

void StartDecodeThread() {
  PlayerState& p = Player();
  p.KillDecodeThread = 0;
  // Set before the thread exists, so a seek the host asks for as soon as Play returns
  // is never overwritten: the thread's first pass starts at whatever target it finds.
  p.DecodePositionMs = 0;
  p.SeekRequestMs = 0;
  In_Module* host = Host();
  p.DecodeThreadHandle = std::thread(DecodeThread, host, &p.KillDecodeThread);
}

// Every start begins from Idle; a player that forgot to stop gets its old thread
// ended here instead of two threads sharing one output.
void PrepareStart() {
  StopDecodeThread();
  PlayerState& p = Player();
  p.PausedFlag = 0;
  p.DecodePositionMs = 0;
  std::memset(p.SampleBuffer, 0, sizeof p.SampleBuffer);
}

}  // namespace

uint32_t StartSongPlayback(const char* name) {
  PlayerState& p = Player();
  CopyName(p.SongName, name);
  if (!p.EngineReady || !p.CurrentSong) return 1;
  PrepareStart();
  p.CurrentSong->Reset();
  p.CurrentSong->SetPackStream(nullptr);
  if (OpenOutput() != 0) return 1;
  if (PasswordLoop([&] { return p.CurrentSong->LoadFile(name); }) != 0 || LoadEngineModule() != 0) {
    CloseOutputAfterFailure();
    return 1;
  }
  SEcho().Release();
  SEcho().TakeSettingsFromFile(name);
  const int32_t length = p.LoadedModuleLength.load();
  StartDecodeThread();

  // A length that is not known is not stored: file info reads a missing tag as unknown.
  if (length != kEngineLengthUnknown) {
    char value[16];
    std::snprintf(value, sizeof value, "%d", length / 65536);
    const char* names[] = {"length"};
    const char* values[] = {value};
    SetTags(name, names, values, 1);
  }
  return 0;
}

uint32_t StartEntryPlayback(const CollectionEntry& entry) {
  PlayerState& p = Player();
  if (!p.EngineReady || !p.CurrentSong) return 1;
  PrepareStart();
  p.CurrentSong->Reset();
  if (OpenOutput() != 0) return 1;
  if (!entry.data && entry.size) {
    CloseOutputAfterFailure();
    return 1;
  }
  p.TrackStream = StreamOpenMemory(entry.data, entry.size, 0);
  if (!p.TrackStream) {
    CloseOutputAfterFailure();
    return 1;
  }
  auto load = [&] {
    StreamSeek(0, p.TrackStream);
    p.CurrentSong->SetPackStream(p.PackStream);
    return p.CurrentSong->LoadStream(p.TrackStream, nullptr, kFileKindZsf);
  };
  if (PasswordLoop(load) != 0 || LoadEngineModule() != 0) {
    p.CurrentSong->SetPackStream(nullptr);
    StreamClose(p.TrackStream);
    p.TrackStream = nullptr;
    CloseOutputAfterFailure();
    return 1;
  }
  p.CurrentSong->SetPackStream(nullptr);
  StreamSeek(0, p.TrackStream);
  SEcho().Release();
  SEcho().TakeSettingsFromStream(p.TrackStream);
  StreamClose(p.TrackStream);
  p.TrackStream = nullptr;
  StartDecodeThread();
  return 0;
}

void StopDecodeThread() {
  PlayerState& p = Player();
  if (!p.DecodeThreadHandle.joinable()) return;
  p.KillDecodeThread = 1;
  p.DecodeThreadHandle.join();
}

int Play(const char* name) {
  PlayerState& p = Player();
  if (!name) return 1;
  CopyName(p.PlayName, name);
  if (!IsCollectionAddress(name)) {
    FILE* file = std::fopen(name, "rb");
    if (!file) return 1;
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
    return 1;
  }
  CopyName(p.SongName, name);
  CollectionAddress address = ParseCollectionAddress(name);
  p.PlayingCollection = 1;
  StartCollection(address.file.c_str());
  return static_cast<int>(SelectTrack(address.track));
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
