#include "plugin/playback_start.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "collection/collection.h"
#include "container/byte_stream.h"
#include "container/file_kind.h"
#include "container/song_module.h"
#include "engine/engine.h"
#include "plugin/decode_thread.h"
#include "plugin/echo_stage.h"
#include "plugin/host_api.h"
#include "plugin/player_state.h"
#include "samples/sample_store.h"
#include "ui/dialogs/dialog_front_end.h"
#include "ui/dialogs/password_prompt.h"
#include "ui/player_settings.h"
#include "ui/tags.h"

namespace {

constexpr int kOutputRateKhz = 44;
// The player's value for "use your default volume".
constexpr int kDefaultVolume = -666;

In_Module* Host() { return Player().Host; }

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

// Loads with the current password key; while the pack turns out scrambled and no key
// is set, asks for a password and loads again. A cancelled prompt fails the start.
uint32_t PasswordLoop(const std::function<uint32_t()>& load) {
  PlayerState& p = Player();
  // Unless the samples are to be kept, the load assembles the module image itself.
  p.CurrentSong->SetBuildWhileLoading(!(p.Settings && p.Settings->KeepSamples));
  for (;;) {
    p.CurrentSong->SetPasswordKey(p.PasswordKey);
    if (load() != 0) {
      p.PlayFailure = p.CurrentSong->LastFailure();
      return 1;
    }
    if (p.CurrentSong->GetSampleStore()->scrambled == 0 || p.PasswordKey != 0) return 0;
    if (!AskPassword(DialogFrontEnd(Host()->hMainWindow), &p.PasswordKey)) {
      return Refuse(&p.PlayFailure, "password", "the sample pack is protected and no password was given");
    }
  }
}

// Rebuilds the song's module image and hands it to the engine. A module the engine
// cannot read fails the start (no thread, no stored length).
uint32_t LoadEngineModule() {
  PlayerState& p = Player();
  Song* song = p.CurrentSong.get();
  SongModuleFailure failure;
  DUH* module = LoadSongModule(song, &p.PendingImage, &failure);
  if (!module) p.PlayFailure = song->LastFailure();
  song->Reset();
  if (failure == SongModuleFailure::kRebuild) return 1;
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

// Where a start reads its song: a file, or a collection entry with the player's
// PackStream as its pack (then TrackStream reads the entry's data while it loads).
struct PlaybackSource {
  const char* fileName;
  const CollectionEntry* entry;
};

// Loads the song of SOURCE into the engine: 0, or 1 with nothing left open but the
// output, which the caller closes.
uint32_t LoadSource(const PlaybackSource& source) {
  PlayerState& p = Player();
  if (source.fileName)
    return PasswordLoop([&] { return p.CurrentSong->LoadFile(source.fileName); }) || LoadEngineModule();
  if (!source.entry->data && source.entry->size) return Refuse(&p.PlayFailure, "track", "its data was not loaded");
  p.TrackStream.reset(StreamOpenMemory(source.entry->data, source.entry->size, 0));
  if (!p.TrackStream) return Refuse(&p.PlayFailure, "track", "out of memory");
  auto load = [&] {
    StreamSeek(0, p.TrackStream.get());
    p.CurrentSong->SetPackStream(p.PackStream.get());
    return p.CurrentSong->LoadStream(p.TrackStream.get(), nullptr, kFileKindZsf);
  };
  const uint32_t failed = PasswordLoop(load) || LoadEngineModule();
  p.CurrentSong->SetPackStream(nullptr);
  if (failed) p.TrackStream.reset();
  return failed;
}

// The file's length in whole seconds as its tag "length"; a length that is not known
// is not stored (file info reads a missing tag as unknown).
void StoreLength(const char* fileName, int32_t length) {
  if (length == kEngineLengthUnknown) return;
  char value[16];
  std::snprintf(value, sizeof value, "%d", length / 65536);
  const char* names[] = {"length"};
  const char* values[] = {value};
  SetTags(fileName, names, values, 1);
}

uint32_t StartPlayback(const PlaybackSource& source) {
  PlayerState& p = Player();
  if (source.fileName) CopyName(p.SongName, source.fileName);
  if (!p.EngineReady || !p.CurrentSong) return Refuse(&p.PlayFailure, "engine", "the module engine did not start");
  PrepareStart();
  p.CurrentSong->Reset();
  p.CurrentSong->SetPackStream(nullptr);
  if (OpenOutput() != 0) return Refuse(&p.PlayFailure, "output", "the player's output did not open");
  if (LoadSource(source) != 0) {
    CloseOutputAfterFailure();
    return 1;
  }
  SEcho().Release();
  if (source.fileName) {
    SEcho().TakeSettingsFromFile(source.fileName);
  } else {
    StreamSeek(0, p.TrackStream.get());
    SEcho().TakeSettingsFromStream(p.TrackStream.get());
    p.TrackStream.reset();
  }
  const int32_t length = p.LoadedModuleLength.load();
  StartDecodeThread();
  if (source.fileName) StoreLength(source.fileName, length);
  return 0;
}

}  // namespace

uint32_t StartSongPlayback(const char* name) { return StartPlayback({name, nullptr}); }

uint32_t StartEntryPlayback(const CollectionEntry& entry) { return StartPlayback({nullptr, &entry}); }

void StopDecodeThread() {
  PlayerState& p = Player();
  if (!p.DecodeThreadHandle.joinable()) return;
  p.KillDecodeThread = 1;
  p.DecodeThreadHandle.join();
}

