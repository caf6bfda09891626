#include "plugin/module_record.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "plugin/collection_playback.h"
#include "container/byte_stream.h"
#include "container/song.h"
#include "engine/engine.h"
#include "platform/module_handle.h"
#include "plugin/player_state.h"
#include "plugin/plugin_slots.h"
#include "ui/player_settings.h"
#include "ui/product_version.h"

namespace {

char gDescription[64];
char gFileTypes[] = "ZSF;ZTF;ZGM\0ZSF Music File (*.ZSF,*.ZTF,*.ZGM)\0";

In_Module gRecord = [] {
  In_Module r{};
  r.version = 0x100;
  r.description = gDescription;
  r.FileExtensions = gFileTypes;
  r.is_seekable = 1;
  r.UsesOutputPlug = 1;
  r.Config = Config;
  r.About = About;
  r.Init = Init;
  r.Quit = Quit;
  r.GetFileInfo = GetFileInfo;
  r.InfoBox = InfoBox;
  r.IsOurFile = IsOurFile;
  r.Play = Play;
  r.Pause = Pause;
  r.UnPause = UnPause;
  r.IsPaused = IsPaused;
  r.Stop = Stop;
  r.GetLength = GetLength;
  r.GetOutputTime = GetOutputTime;
  r.SetOutputTime = SetOutputTime;
  r.SetVolume = SetVolume;
  r.SetPan = SetPan;
  r.EQSet = EQSet;
  return r;
}();

// Frees what the player state owns outside playback: the collection, the song, a
// pending module image and the collection streams.
void ReleaseOwned(PlayerState& p) {
  ReleaseCollection();
  if (p.CurrentSong) {
    p.CurrentSong.reset();
    p.Settings = nullptr;
  }
  if (p.PendingImage.data) std::free(p.PendingImage.data);
  p.PendingImage = ModuleImage{};
  p.TrackStream.reset();
}

}  // namespace

In_Module* GetModuleRecord() {
  FormatProductLine(gDescription, sizeof gDescription);
  Player().Host = &gRecord;
  return &gRecord;
}

void Init() {
  PlayerState& p = Player();
  // Our own library, whatever its file name.
  p.InstanceHandle = CurrentModuleHandle();
  TheSettings.Load();
  // A repeated Init must not leak what the previous one made.
  ReleaseOwned(p);
  p.PlayingCollection = 0;
  p.LoadedModule = nullptr;
  p.EngineReady = 1;
  p.Settings = &TheSettings;
  p.CurrentSong.reset(new (std::nothrow) Song());
  EngineSetDefaultIgnoreJump(1);
  p.PlayName[0] = '\0';
}

void Quit() {
  PlayerState& p = Player();
  ReleaseOwned(p);
  p.Settings = nullptr;
  // Without a song no play path may start again.
  p.EngineReady = 0;
  TheSettings.Save();
}

int IsOurFile(const char* name) {
  if (!name) return 0;
  return std::strncmp(name, "zgm://", 6) == 0 || std::strstr(name, ".zgm") != nullptr;
}

void EQSet(int, char[10], int) {}
