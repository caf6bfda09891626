// LoadCollection of one wanted entry against a full load, on a 200 MiB collection
// (a 100 MiB pack and 100 tunes of 1 MiB). Goal: the one-entry load, which is what
// a playlist title query does, takes under 1/100 of the full load. The counter
// "bytesRead" shows what each variant reads from the file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "collection/collection.h"
#include "collection/collection_stream.h"
#include "container/byte_stream.h"
#include "container/byte_writer.h"

namespace {

constexpr uint32_t kTunes = 100;
constexpr uint32_t kTuneSize = 1u << 20;
constexpr uint32_t kPackSize = 100u << 20;

[[noreturn]] void Die(const char* why) {
  std::fprintf(stderr, "bench_collection_load: setup: %s\n", why);
  std::abort();
}

// Written once per run, piece by piece (the whole file never sits in memory).
class LargeCollection {
 public:
  LargeCollection() : path_("/tmp/bench_collection_load." + std::to_string(getpid()) + ".zgm") {
    FILE* f = std::fopen(path_.c_str(), "wb");
    if (!f) Die("cannot create the collection file");
    ByteWriter head;
    head.bytes("ZGM1", 4);
    head.u8(1);
    head.u8(0);
    head.text("benchmark", 100);
    head.u32(1 + kTunes);
    std::vector<uint8_t> chunk(kTuneSize);
    for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<uint8_t>(i * 131);
    auto entry = [&](uint8_t kind, const std::string& name, uint32_t size) {
      head.u8(kind);
      head.text(name, 8);
      head.u32(size);
      std::fwrite(head.data().data(), 1, head.size(), f);
      head.data().clear();
      for (uint32_t done = 0; done < size; done += kTuneSize) std::fwrite(chunk.data(), 1, kTuneSize, f);
    };
    entry(kEntrySamplePack, "pack", kPackSize);
    for (uint32_t t = 0; t < kTunes; ++t) entry(kEntryTune, "tune" + std::to_string(t), kTuneSize);
    if (std::fclose(f) != 0) Die("cannot write the collection file");
  }
  ~LargeCollection() { std::remove(path_.c_str()); }
  const char* path() const { return path_.c_str(); }

 private:
  std::string path_;
};

const LargeCollection& Large() {
  static LargeCollection large;
  return large;
}

void Load(benchmark::State& state, const uint32_t* wanted, uint32_t n) {
  const char* path = Large().path();
  uint64_t bytesRead = 0;
  for (auto _ : state) {
    ByteStream* s = StreamOpenFile(path);
    Collection* c = CollectionCreate();
    if (!s || !c || LoadCollectionFromStream(c, s, n, wanted) != 0) Die("load failed");
    bytesRead = s->delivered;
    benchmark::DoNotOptimize(c->entries);
    CollectionDestroy(c);
    StreamClose(s);
  }
  state.counters["bytesRead"] = static_cast<double>(bytesRead);
}

void BM_LoadAllEntries(benchmark::State& state) { Load(state, nullptr, 0); }

// The last tune: every entry before it is passed over.
void BM_LoadOneTune(benchmark::State& state) {
  const uint32_t last = kTunes;
  Load(state, &last, 1);
}

BENCHMARK(BM_LoadAllEntries)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadOneTune)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
