// The whole playing path on one input: a song and its sample pack (see
// fuzz_support.h) through Song::LoadStream and the module image rebuild; an image
// the engine reads is rendered around as the decode thread would, then unloaded.
#include "container/song.h"
#include "container/song_module.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  EngineSetDefaultIgnoreJump(1);
  if (const char* dir = std::getenv("ZSF_FUZZ_SEEDS")) fuzzsupport::WriteSongSeeds(dir);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4 || size > (1u << 20)) return 0;
  fuzzsupport::SongInput input(data, size);
  Song song;
  song.SetPackStream(input.pack);
  ModuleImage image{};
  if (song.LoadStream(input.song, nullptr, 4) != 0) return 0;
  DUH* module = LoadSongModule(&song, &image);  // the image is freed before the render: the engine keeps nothing of it
  if (module) fuzzsupport::RenderAround(module, 65536);
  EngineUnload(module);
  return 0;
}
