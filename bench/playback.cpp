// The playback path against the bare engine, with the plug-in's record driven in
// process over a null output:
// - Play to the first Write for a song whose module holds 4 MiB of raw samples, vs the
//   engine alone reading the same module image (goal: "ratio" <= 2; "cpu_ratio" is the
//   same for the CPU time of the thread that calls Play, apart from waiting);
// - decode-thread throughput from its first pass to the end message, vs the bare
//   render loop over the same module (goal: "ratio" >= 0.95).
// Both sides run interleaved in one measurement so other load hits them alike.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/engine.h"
#include "plugin/host_api.h"
#include "plugin/module_record.h"
#include "bench/null_player.h"
#include "tools/pack/module_packer.h"
#include "tools/synth/module_synth.h"

namespace {

using namespace null_player;

struct Fixture {
  std::string dir;
  std::string bigSong, longSong;
  std::vector<uint8_t> bigModule, longModule;
  In_Module* rec = nullptr;
  bool ok = false;

  // Packs SPEC as DIR/<BASE>.zsf with its pack; returns the module the song gives back.
  bool Pack(const zsfsynth::ModuleSpec& spec, const std::string& base, std::string* song,
            std::vector<uint8_t>* module) {
    zsfsynth::ModuleFile file;
    std::string error;
    if (!zsfsynth::WriteModule(spec, 0, &file, &error)) return false;
    zsfpack::PackOptions options;
    options.packName = base + ".zsp";
    zsfpack::PackResult result;
    zsfpack::PackError packError;
    if (!zsfpack::PackModules({{dir + "/" + base + ".it", file.bytes}}, options, &result, &packError))
      return false;
    zsfpack::PackError writeError;
    if (!zsfpack::WritePackResult(result, dir, dir + "/" + options.packName, &writeError)) return false;
    *song = dir + "/" + result.songs[0].fileName;
    *module = result.songs[0].module;
    return true;
  }

  Fixture() {
    char tmpl[] = "/tmp/bench_playback_XXXXXX";
    if (!mkdtemp(tmpl)) return;
    dir = tmpl;
    setenv("ZSF_REGISTRY", (dir + "/registry.reg").c_str(), 1);
    // 8 samples of 262144 16-bit frames: 4 MiB of raw sample data.
    zsfsynth::ModuleSpec big = zsfsynth::BasicSpec(0, 8, 2);
    for (zsfsynth::SampleSpec& s : big.samples) {
      s.frames = 262144;
      s.bits = 16;
      s.channels = 1;
    }
    if (!Pack(big, "big", &bigSong, &bigModule)) return;
    if (!Pack(zsfsynth::BasicSpec(0, 2, 8), "long", &longSong, &longModule)) return;  // 30.7 s
    rec = Attach();
    rec->Init();
    ok = true;
  }
  ~Fixture() {
    if (rec) rec->Quit();
    std::error_code ec;
    if (!dir.empty()) std::filesystem::remove_all(dir, ec);
  }
};

Fixture& TheFixture() {
  static Fixture f;
  return f;
}

void Reset() {
  gFirstWrite = false;
  gFirstPass = false;
  gBytes = 0;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// CPU time of the calling thread: the host-side share of Play (load, rebuild, engine
// read) measured apart from the waiting a busy machine adds to the wall time.
double ThreadSeconds() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

void BM_PlayToFirstWrite(benchmark::State& state) {
  Fixture& f = TheFixture();
  if (!f.ok) {
    state.SkipWithError("the songs could not be made");
    return;
  }
  double play = 0, engine = 0, playCpu = 0, engineCpu = 0;
  for (auto _ : state) {
    Reset();
    Clock::time_point t0 = Clock::now();
    double c0 = ThreadSeconds();
    if (f.rec->Play(f.bigSong.c_str()) != 0) {
      state.SkipWithError("Play failed");
      return;
    }
    playCpu += ThreadSeconds() - c0;
    while (!gFirstWrite) std::this_thread::yield();
    play += Seconds(gFirstWriteAt - t0);
    f.rec->Stop();

    t0 = Clock::now();
    c0 = ThreadSeconds();
    DUH* module = EngineReadModule(0, f.bigModule.data(), static_cast<uint32_t>(f.bigModule.size()));
    engineCpu += ThreadSeconds() - c0;
    engine += Seconds(Clock::now() - t0);
    EngineUnload(module);
  }
  state.counters["play_cpu_ms"] = 1000 * playCpu / state.iterations();
  state.counters["engine_cpu_ms"] = 1000 * engineCpu / state.iterations();
  state.counters["play_ms"] = 1000 * play / state.iterations();
  state.counters["engine_ms"] = 1000 * engine / state.iterations();
  if (engine > 0) state.counters["ratio"] = play / engine;
  if (engineCpu > 0) state.counters["cpu_ratio"] = playCpu / engineCpu;
}
BENCHMARK(BM_PlayToFirstWrite)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_DecodeThroughput(benchmark::State& state) {
  Fixture& f = TheFixture();
  if (!f.ok) {
    state.SkipWithError("the songs could not be made");
    return;
  }
  DUH* module = EngineReadModule(0, f.longModule.data(), static_cast<uint32_t>(f.longModule.size()));
  std::vector<int16_t> block(2048);
  double threadSeconds = 0, bareSeconds = 0;
  int64_t threadFrames = 0, bareFrames = 0;
  for (auto _ : state) {
    Reset();
    const int ends = gEnds;
    if (f.rec->Play(f.longSong.c_str()) != 0) {
      state.SkipWithError("Play failed");
      break;
    }
    while (gEnds == ends) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    threadSeconds += Seconds(gEndAt - gFirstPassAt);
    threadFrames += gBytes / 4;
    f.rec->Stop();

    Clock::time_point t0 = Clock::now();
    DUH_SIGRENDERER* r = EngineStartRenderer(module, 2, 0);
    ConfigureRenderer(r);
    long frames;
    while ((frames = EngineRender(r, 16, 0, 0.8f, 65536.0f / 44100, 1024, block.data())) > 0) {
      benchmark::DoNotOptimize(block.data());
      bareFrames += frames;
    }
    EngineEndRenderer(r);
    bareSeconds += Seconds(Clock::now() - t0);
  }
  EngineUnload(module);
  if (threadSeconds > 0 && bareSeconds > 0 && bareFrames > 0) {
    state.counters["thread_frames/s"] = threadFrames / threadSeconds;
    state.counters["bare_frames/s"] = bareFrames / bareSeconds;
    state.counters["ratio"] = (threadFrames / threadSeconds) / (bareFrames / bareSeconds);
  }
}
BENCHMARK(BM_DecodeThroughput)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
