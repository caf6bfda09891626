// A song and its sample pack (see fuzz_support.h) through Song::LoadStream and, when
// the song loads, the module image rebuild twice: the results must agree, and a
// failed load must leave nothing in the song's body. The same song loaded as
// playback loads it (the image assembled while loading) must load or fail alike and
// give the same image.
#include <cstring>

#include "container/byte_stream.h"
#include "container/song.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (const char* dir = std::getenv("ZSF_FUZZ_SEEDS")) fuzzsupport::WriteSongSeeds(dir);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  fuzzsupport::SongInput input(data, size);
  Song song;
  song.SetPackStream(input.pack);
  uint32_t count = 0;
  const uint32_t loaded = song.LoadStream(input.song, &count, 4);
  Song played;
  played.SetBuildWhileLoading(true);
  played.SetPackStream(input.pack);
  StreamSeek(0, input.song);
  if (played.LoadStream(input.song, nullptr, 4) != loaded) std::abort();
  if (loaded == 0) {
    if (count != song.Body().sampleCount) std::abort();
    ModuleImage first{}, second{}, third{};
    uint32_t a = song.BuildModuleImage(&first);
    uint32_t b = song.BuildModuleImage(&second);
    uint32_t c = played.BuildModuleImage(&third);
    if (a != b || first.size != second.size || a != c || first.size != third.size) std::abort();
    if (a == 0 && std::memcmp(first.data, second.data, first.size) != 0) std::abort();
    if (a == 0 && std::memcmp(first.data, third.data, first.size) != 0) std::abort();
    if (a != 0 && (first.data || first.size)) std::abort();
    std::free(first.data);
    std::free(second.data);
    std::free(third.data);
  } else if (song.Loaded() || song.Body().structure || song.Body().records) {
    std::abort();
  }
  return 0;
}
