#include "ui/song_length.h"

#include <memory>

#include "container/song.h"
#include "container/song_module.h"
#include "engine/engine.h"
#include "ui/file_info.h"

int ComputeSongLengthMs(const char* file) {
  auto song = std::make_unique<Song>();
  song->SetBuildWhileLoading(true);
  if (song->LoadFile(file) != 0) return kUnknownLengthMs;
  ModuleImage image{};
  DUH* module = LoadSongModule(song.get(), &image);
  song->Reset();
  song->ReleaseSamples();
  if (!module) return kUnknownLengthMs;
  const int32_t length = EngineGetLength(module);
  EngineUnload(module);
  return length == kEngineLengthUnknown ? kUnknownLengthMs : length / 65536 * 1000;
}
