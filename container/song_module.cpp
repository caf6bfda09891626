#include "container/song_module.h"

#include <cstdlib>

#include "container/file_kind.h"
#include "container/song.h"
#include "engine/engine.h"

DUH* LoadSongModule(Song* song, ModuleImage* pending, SongModuleFailure* failure, uint32_t* imageSize) {
  SongModuleFailure ignored;
  SongModuleFailure& step = failure ? *failure : ignored;
  ModuleImage& image = *pending;
  const bool built = song->BuildModuleImage(&image) == 0;
  if (imageSize) *imageSize = image.size;
  const uint8_t kind = song->GetModuleKind();
  DUH* module = built && kind <= kFileKindMod ? EngineReadModule(kind, image.data, image.size) : nullptr;
  std::free(image.data);
  image = ModuleImage{};
  if (!built) {
    step = SongModuleFailure::kRebuild;
    return nullptr;
  }
  step = module ? SongModuleFailure::kNone : SongModuleFailure::kEngine;
  return module;
}
