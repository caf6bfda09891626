#include "container/song_module.h"

#include <cstdlib>
#include <string>

#include "container/file_kind.h"
#include "container/song.h"
#include "engine/engine.h"

DUH* LoadSongModule(Song* song, ModuleImage* pending, SongModuleFailure* failure, uint32_t* imageSize) {
  SongModuleFailure ignored;
  SongModuleFailure& step = failure ? *failure : ignored;
  ModuleImage& image = *pending;
  const bool built = song->BuildModuleImage(&image) == 0;
  const uint32_t size = image.size;
  if (imageSize) *imageSize = size;
  const uint8_t kind = song->GetModuleKind();
  DUH* module = built && kind <= kFileKindMod ? EngineReadModule(kind, image.data, image.size) : nullptr;
  std::free(image.data);
  image = ModuleImage{};
  if (!built) {
    step = SongModuleFailure::kRebuild;
    return nullptr;
  }
  step = module ? SongModuleFailure::kNone : SongModuleFailure::kEngine;
  // The engine says no more than no; what it was given is what can be told.
  if (!module) {
    const char* reader = kind <= kFileKindMod ? kFileKindNames[kind].extension + 1 : "no";
    song->Refuse("engine", std::string("the engine's ") + reader + " reader refused the rebuilt module of " +
                               std::to_string(size) + " bytes");
  }
  return module;
}
