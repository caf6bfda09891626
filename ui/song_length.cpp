#include "ui/song_length.h"

#include <cstdlib>
#include <memory>

#include "container/song.h"
#include "engine/engine.h"
#include "ui/file_info.h"

int ComputeSongLengthMs(const char* file) {
  auto song = std::make_unique<Song>();
  if (song->LoadFile(file) != 0) return kUnknownLengthMs;
  const uint8_t kind = song->GetModuleKind();
  ModuleImage image{};
  const uint32_t built = song->BuildModuleImage(&image);
  DUH* module = built == 0 && kind <= 3 ? EngineReadModule(kind, image.data, image.size) : nullptr;
  std::free(image.data);
  song->Reset();
  song->ReleaseSamples();
  if (!module) return kUnknownLengthMs;
  const int32_t length = EngineGetLength(module);
  EngineUnload(module);
  return length == kEngineLengthUnknown ? kUnknownLengthMs : length / 65536 * 1000;
}
