// `zsftool pack` of a 10 MiB module (48 synthesised instrument samples, 8 and
// 16-bit, decaying tones and noise): reading the module, cutting it, building
// and writing the song and the pack, raw and with --compress.
// Goals: with LZO under 2 s; --compress at least 20% smaller than raw.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/pack/module_packer.h"
#include "tools/synth/module_synth.h"

namespace {

[[noreturn]] void Die(const std::string& why) {
  std::fprintf(stderr, "bench_pack: setup: %s\n", why.c_str());
  std::abort();
}

// A folder with big.it in it, removed at exit.
struct Workspace {
  std::string dir;
  std::string module;
  size_t moduleBytes = 0;

  Workspace() {
    char pattern[] = "/tmp/bench_pack.XXXXXX";
    if (!mkdtemp(pattern)) Die("no temporary folder");
    dir = pattern;
    module = dir + "/big.it";

    zsfsynth::ModuleSpec spec = zsfsynth::BasicSpec(0, 48, 4);
    const zsfsynth::Wave waves[] = {zsfsynth::Wave::kSine, zsfsynth::Wave::kSquare, zsfsynth::Wave::kSaw,
                                    zsfsynth::Wave::kNoise};
    for (size_t i = 0; i < spec.samples.size(); ++i) {
      zsfsynth::SampleSpec& s = spec.samples[i];
      s.wave = waves[i % 4];
      s.bits = i % 3 == 0 ? 8 : 16;
      s.frames = s.bits == 16 ? 110000 : 200000;
      s.period = static_cast<uint32_t>(24 + (i * 37) % 90);
      s.seed = static_cast<uint32_t>(i + 1);
      s.amplitude = 0.4 + 0.1 * static_cast<double>(i % 5);
      s.decay = 1.0 + static_cast<double>(i % 4);
      s.loop = false;
    }
    zsfsynth::ModuleFile file;
    std::string error;
    if (!zsfsynth::WriteIt(spec, &file, &error)) Die(error);
    moduleBytes = file.bytes.size();
    FILE* f = std::fopen(module.c_str(), "wb");
    if (!f || std::fwrite(file.bytes.data(), 1, file.bytes.size(), f) != file.bytes.size()) Die("write");
    std::fclose(f);
  }
  ~Workspace() {
    for (const char* name : {"big.it", "big.zsf", "big.zsp"}) unlink((dir + "/" + name).c_str());
    rmdir(dir.c_str());
  }
};

Workspace& Space() {
  static Workspace w;
  return w;
}

// What `zsftool pack big.it --pack big.zsp -o DIR [--compress]` does.
void Pack(benchmark::State& state, bool compress) {
  Workspace& w = Space();
  zsfpack::PackOptions o;
  o.packName = "big.zsp";
  o.compress = compress;
  size_t packBytes = 0, raw = 0;
  for (auto _ : state) {
    zsfpack::PackResult result;
    zsfpack::PackError error;
    if (!zsfpack::PackModuleFiles({zsfpack::ModuleSource{w.module, "", 0}}, o, &result, &error) ||
        !zsfpack::WritePackResult(result, w.dir, w.dir + "/big.zsp", &error)) {
      state.SkipWithError(error.Text().c_str());
      return;
    }
    packBytes = result.pack.size();
    raw = result.rawSampleBytes;
  }
  state.counters["module_MiB"] = static_cast<double>(w.moduleBytes) / (1 << 20);
  state.counters["pack_MiB"] = static_cast<double>(packBytes) / (1 << 20);
  state.counters["pack_per_raw"] = static_cast<double>(packBytes) / static_cast<double>(raw);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * w.moduleBytes));
}

void BM_PackRaw(benchmark::State& state) { Pack(state, false); }
void BM_PackCompressed(benchmark::State& state) { Pack(state, true); }

BENCHMARK(BM_PackRaw)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PackCompressed)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
