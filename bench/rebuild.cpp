// Module image rebuild of a large song (200 samples, 8 MiB image) against one copy
// of the final image. Goal: the IT rebuild takes at most 3x the copy. The XM
// rebuild also converts every sample (saved copy, delta coding, restore) and is
// shown for comparison. Before every run (untimed) 64 MiB are written over, so both
// sides read their sources from memory, not from a cache that holds the last run's
// 8 MiB, as a rebuild at the start of a song does.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "container/byte_stream.h"
#include "container/song.h"
#include "container/zsf_writer.h"
#include "samples/zsp_writer.h"

namespace {

constexpr uint32_t kSamples = 200;
constexpr uint32_t kImageSize = 8u << 20;
constexpr uint32_t kSampleSize = 32u << 10;

[[noreturn]] void Die(const char* why) {
  std::fprintf(stderr, "bench_rebuild: setup: %s\n", why);
  std::abort();
}

// A loaded song whose rebuilt image is exactly 8 MiB: samples of 32 KiB spread
// evenly through a structure image that holds the rest.
struct LargeSong {
  std::unique_ptr<Song> song{new Song};
  uint32_t imageSize = 0;

  explicit LargeSong(const char* extension) {
    const uint32_t structureSize = kImageSize - kSamples * (kSampleSize - 4);
    ZsfSong spec;
    spec.major = 2;
    spec.minor = 2;
    spec.packName = "bench.zsp";
    spec.moduleExtension = extension;
    spec.structure.resize(structureSize);
    for (uint32_t i = 0; i < structureSize; ++i) spec.structure[i] = static_cast<uint8_t>(i * 7 + (i >> 11));
    std::vector<ZspEntry> entries(kSamples);
    const uint32_t gap = structureSize / kSamples;
    for (uint32_t i = 0; i < kSamples; ++i) {
      entries[i].kind = ZspEntry::Kind::Pcm;
      entries[i].bits = i % 2 ? 16 : 8;
      entries[i].pcm.resize(kSampleSize);
      for (uint32_t j = 0; j < kSampleSize; ++j) entries[i].pcm[j] = static_cast<uint8_t>(i + j * 3);
      ZsfV2Source source;
      source.entry = i;
      spec.sources.push_back(source);
      // Sample i goes in after samples 0..i-1, each of which grew the image (and an
      // offset of 0 would read as "no offsets stored").
      spec.v2Samples.push_back(ZsfV2Sample{i, kSampleSize, gap / 2 + i * gap + i * (kSampleSize - 4)});
    }
    std::vector<uint8_t> songBytes, pack;
    std::string error;
    if (!WriteZsf(spec, &songBytes, &error) || !WriteZsp(entries, ZspWriteOptions{}, &pack, &error)) {
      Die(error.c_str());
    }
    ByteStream* packStream = StreamOpenMemory(pack.data(), static_cast<uint32_t>(pack.size()), 0);
    ByteStream* songStream = StreamOpenMemory(songBytes.data(), static_cast<uint32_t>(songBytes.size()), 0);
    song->SetPackStream(packStream);
    if (song->LoadStream(songStream, nullptr, 4) != 0) Die("the song does not load");
    song->SetPackStream(nullptr);
    StreamClose(songStream);
    StreamClose(packStream);
    ModuleImage image{};
    if (song->BuildModuleImage(&image) != 0 || image.size != kImageSize) Die("the rebuild fails");
    imageSize = image.size;
    std::free(image.data);
  }
};

// Pushes everything out of the caches: writes a buffer larger than any of them.
void EvictCaches(benchmark::State& state) {
  static std::vector<uint8_t> sweep(64u << 20);
  state.PauseTiming();
  for (size_t i = 0; i < sweep.size(); i += 64) sweep[i] = static_cast<uint8_t>(sweep[i] + 1);
  benchmark::ClobberMemory();
  state.ResumeTiming();
}

void Rebuild(benchmark::State& state, const char* extension) {
  LargeSong large(extension);
  for (auto _ : state) {
    EvictCaches(state);
    ModuleImage image{};
    if (large.song->BuildModuleImage(&image) != 0) state.SkipWithError("rebuild failed");
    benchmark::DoNotOptimize(image.data);
    std::free(image.data);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * large.imageSize);
}

void BM_RebuildIt(benchmark::State& state) { Rebuild(state, ".IT"); }
void BM_RebuildXm(benchmark::State& state) { Rebuild(state, ".XM"); }

// The yardstick: allocate the final image and copy it once.
void BM_CopyFinalImage(benchmark::State& state) {
  std::vector<uint8_t> source(kImageSize);
  for (uint32_t i = 0; i < kImageSize; ++i) source[i] = static_cast<uint8_t>(i * 13);
  for (auto _ : state) {
    EvictCaches(state);
    auto* copy = static_cast<uint8_t*>(std::malloc(kImageSize));
    std::memcpy(copy, source.data(), kImageSize);
    benchmark::DoNotOptimize(copy);
    benchmark::ClobberMemory();
    std::free(copy);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kImageSize);
}

}  // namespace

BENCHMARK(BM_CopyFinalImage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RebuildIt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RebuildXm)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
