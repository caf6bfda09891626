// `zsftool pack FOLDER` over 200 synthesised modules of all four kinds (2 to 7
// samples each, many of them alike across modules): listing the folder by content,
// reading and packing every module, writing the songs and the pack. Reported:
// modules per second, and the pack's size against the sum of the sample bytes the
// modules hold (identical samples are stored once).
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/pack/module_folder.h"
#include "tools/pack/module_packer.h"
#include "tools/synth/module_synth.h"

namespace {

constexpr int kModules = 200;

[[noreturn]] void Die(const std::string& why) {
  std::fprintf(stderr, "bench_pack_folder: setup: %s\n", why.c_str());
  std::abort();
}

// A folder of modules and an output folder beside it, removed at exit.
struct Workspace {
  std::string dir;
  std::vector<std::string> files;
  uint64_t moduleBytes = 0;
  uint64_t sampleBytes = 0;  // stored sample bytes over all modules

  Workspace() {
    char pattern[] = "/tmp/bench_pack_folder.XXXXXX";
    if (!mkdtemp(pattern)) Die("no temporary folder");
    dir = pattern;
    if (mkdir((dir + "/in").c_str(), 0755) != 0) Die("mkdir");
    static const char* const kExtensions[] = {".it", ".xm", ".s3m", ".mod"};
    for (int i = 0; i < kModules; ++i) {
      const uint32_t kind = static_cast<uint32_t>(i % 4);
      zsfsynth::ModuleSpec spec = zsfsynth::BasicSpec(kind, 2 + i % 6, 1 + i % 3);
      // The first sample differs from module to module; the others repeat.
      spec.samples[0].period = static_cast<uint32_t>(16 + i);
      spec.samples[0].frames = static_cast<uint32_t>(2000 + 98 * i);
      zsfsynth::ModuleFile file;
      std::string error;
      if (!zsfsynth::WriteModule(spec, kind, &file, &error)) Die(error);
      char name[32];
      std::snprintf(name, sizeof name, "/in/m%03d%s", i, kExtensions[kind]);
      files.push_back(dir + name);
      FILE* f = std::fopen(files.back().c_str(), "wb");
      if (!f || std::fwrite(file.bytes.data(), 1, file.bytes.size(), f) != file.bytes.size()) Die("write");
      std::fclose(f);
      moduleBytes += file.bytes.size();
      for (const zsfsynth::WrittenSample& s : file.samples) sampleBytes += s.bytes;
    }
  }
  ~Workspace() {
    for (const std::string& f : files) {
      unlink(f.c_str());
      const size_t slash = f.find_last_of('/'), dot = f.find_last_of('.');
      unlink((dir + "/out" + f.substr(slash, dot - slash) + ".zsf").c_str());
    }
    unlink((dir + "/out/set.zsp").c_str());
    rmdir((dir + "/out").c_str());
    rmdir((dir + "/in").c_str());
    rmdir(dir.c_str());
  }
};

void BM_PackFolder200(benchmark::State& state) {
  static Workspace w;
  zsfpack::PackOptions o;
  o.packName = "set.zsp";
  o.skipUnpackable = true;
  size_t packBytes = 0, songs = 0;
  for (auto _ : state) {
    zsfpack::ModuleListing listing;
    zsfpack::ListModules({w.dir + "/in"}, &listing);
    zsfpack::PackResult result;
    zsfpack::PackError error;
    if (!zsfpack::PackModuleFiles(listing.modules, o, &result, &error) ||
        !zsfpack::WritePackResult(result, w.dir + "/out", w.dir + "/out/set.zsp", &error)) {
      state.SkipWithError(error.Text().c_str());
      return;
    }
    packBytes = result.pack.size();
    songs = result.songs.size();
  }
  if (songs != kModules) state.SkipWithError("not every module was packed");
  state.counters["modules_per_s"] =
      benchmark::Counter(static_cast<double>(kModules), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["module_MiB"] = static_cast<double>(w.moduleBytes) / (1 << 20);
  state.counters["sample_bytes"] = static_cast<double>(w.sampleBytes);
  state.counters["pack_bytes"] = static_cast<double>(packBytes);
  state.counters["pack_per_samples"] = static_cast<double>(packBytes) / static_cast<double>(w.sampleBytes);
}

BENCHMARK(BM_PackFolder200)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
