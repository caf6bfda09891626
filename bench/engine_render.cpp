// Rendering through our patched engine with the render hook installed against the
// same engine without it: same module, same settings as the decode thread (16-bit
// stereo, 1024-frame blocks, volume 0.8, 44100 Hz). The hook is the echo stage's own
// in the state every song leaves it (level 0.0: it looks at its buffers and passes
// the mix on). The module is the real S3M of ../shared/modules when present (all its
// channels busy), else our demo tune. Goal: the hooked throughput is at least 0.97
// of the plain one (counter "ratio").
#include <benchmark/benchmark.h>

#include <time.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "plugin/echo_stage.h"
#include "tools/synth/module_synth.h"

namespace {

constexpr float kDelta = 65536.0f / 44100.0f;
constexpr long kBlock = 1024;
constexpr int kBlocksPerRun = 200;  // about 4.6 s of music

void EchoHook(void* data, int32_t** samples, int channels, long frames) {
  EchoStage::Hook(data, samples, channels, frames);
}

struct Song {
  DUH* duh = nullptr;
  std::string name;
  Song() {
    EngineSetDefaultIgnoreJump(1);
    std::ifstream in(std::string(ZSF_SHARED_MODULES) + "/s3m/monsterz-data__music.s3m", std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    uint32_t kind = 2;
    name = "monsterz-data__music.s3m";
    if (bytes.empty()) {
      bytes = zsfsynth::MakeDemoTune();
      kind = 0;
      name = "demo tune";
    }
    duh = EngineReadModule(kind, bytes.data(), static_cast<uint32_t>(bytes.size()));
  }
  ~Song() { EngineUnload(duh); }
};

Song& TheSong() {
  static Song song;
  return song;
}

// Renders kBlocksPerRun blocks from a fresh renderer; returns the frames made.
long RenderRun(bool hooked, int32_t start) {
  static int16_t buffer[kBlock * 2];
  DUH_SIGRENDERER* renderer = EngineStartRenderer(TheSong().duh, 2, start);
  ConfigureRenderer(renderer);
  if (hooked) EngineSetRenderHook(renderer, EchoHook, nullptr);
  long total = 0;
  for (int i = 0; i < kBlocksPerRun; ++i) {
    long frames = EngineRender(renderer, 16, 0, 0.8f, kDelta, kBlock, buffer);
    benchmark::DoNotOptimize(buffer);
    total += frames;
    if (frames == 0) break;
  }
  EngineEndRenderer(renderer);
  return total;
}

void BM_EngineRender(benchmark::State& state, bool hooked) {
  if (TheSong().duh == nullptr) {
    state.SkipWithError("the demo tune did not load");
    return;
  }
  long frames = 0;
  state.SetLabel(TheSong().name);
  for (auto _ : state) frames += RenderRun(hooked, 0);
  state.SetItemsProcessed(frames);
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(frames),
                                                  benchmark::Counter::kIsRate);
}
BENCHMARK_CAPTURE(BM_EngineRender, plain, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EngineRender, hooked, true)->Unit(benchmark::kMillisecond);

double ThreadSeconds() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

// Both variants interleaved in one measurement, timed in this thread's CPU time,
// so that other work on the machine hits both alike; "ratio" is hooked throughput
// / plain throughput.
void BM_EngineRenderHookRatio(benchmark::State& state) {
  if (TheSong().duh == nullptr) {
    state.SkipWithError("the demo tune did not load");
    return;
  }
  double plainSeconds = 0, hookedSeconds = 0;
  long plainFrames = 0, hookedFrames = 0;
  bool hookedFirst = false;
  for (auto _ : state) {
    for (int pass = 0; pass < 2; ++pass) {
      bool hooked = (pass == 0) == hookedFirst;
      double t0 = ThreadSeconds();
      long frames = RenderRun(hooked, 0);
      double s = ThreadSeconds() - t0;
      (hooked ? hookedSeconds : plainSeconds) += s;
      (hooked ? hookedFrames : plainFrames) += frames;
    }
    hookedFirst = !hookedFirst;
  }
  if (plainSeconds > 0 && hookedSeconds > 0 && plainFrames > 0)
    state.counters["ratio"] = (hookedFrames / hookedSeconds) / (plainFrames / plainSeconds);
}
BENCHMARK(BM_EngineRenderHookRatio)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
