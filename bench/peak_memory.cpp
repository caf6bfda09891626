// Peak memory of playing a song whose module is 16 MiB (16 MiB of raw samples) against
// the module's size. Each play runs in a fresh process (this program run again with
// ZSF_PEAK_PLAY naming the song) so its peak resident size is its own; a small song
// played the same way gives the baseline of the process, the plug-in and the engine.
// Reported: "extra_per_module" = (peak of the big song - baseline) / module size.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "plugin/host_api.h"
#include "plugin/module_record.h"
#include "bench/null_player.h"
#include "tools/pack/module_packer.h"
#include "tools/synth/module_synth.h"

namespace {

using namespace null_player;

// The child: plays SONG until a second of audio has been written, then stops.
int PlayInThisProcess(const char* song) {
  In_Module* rec = Attach();
  rec->Init();
  if (rec->Play(song) != 0) return 1;
  while (gBytes < 44100 * 4 && gEnds == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  rec->Stop();
  rec->Quit();
  return 0;
}

// Peak resident size in bytes of a fresh process playing SONG; negative on failure.
double PeakOfPlaying(const std::string& song) {
  pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    setenv("ZSF_PEAK_PLAY", song.c_str(), 1);
    execl("/proc/self/exe", "bench_peak_memory", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return usage.ru_maxrss * 1024.0;
}

bool Pack(const std::string& dir, const zsfsynth::ModuleSpec& spec, const std::string& base, std::string* song,
          size_t* moduleSize) {
  zsfsynth::ModuleFile file;
  std::string error;
  if (!zsfsynth::WriteModule(spec, 0, &file, &error)) return false;
  zsfpack::PackOptions options;
  options.packName = base + ".zsp";
  zsfpack::PackResult result;
  zsfpack::PackError packError;
  if (!zsfpack::PackModules({{dir + "/" + base + ".it", file.bytes}}, options, &result, &packError)) return false;
  if (!zsfpack::WritePackResult(result, dir, dir + "/" + options.packName, &packError)) return false;
  *song = dir + "/" + result.songs[0].fileName;
  *moduleSize = result.songs[0].module.size();
  return true;
}

void BM_PeakMemory16MiB(benchmark::State& state) {
  char tmpl[] = "/tmp/bench_peak_XXXXXX";
  if (!mkdtemp(tmpl)) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const std::string dir = tmpl;
  setenv("ZSF_REGISTRY", (dir + "/registry.reg").c_str(), 1);
  // 32 samples of 262144 16-bit frames: 16 MiB of raw sample data.
  zsfsynth::ModuleSpec big = zsfsynth::BasicSpec(0, 32, 2);
  for (zsfsynth::SampleSpec& s : big.samples) {
    s.frames = 262144;
    s.bits = 16;
    s.channels = 1;
  }
  std::string bigSong, smallSong;
  size_t bigSize = 0, smallSize = 0;
  if (!Pack(dir, big, "big", &bigSong, &bigSize) ||
      !Pack(dir, zsfsynth::BasicSpec(0, 2, 2), "small", &smallSong, &smallSize)) {
    state.SkipWithError("the songs could not be made");
    return;
  }
  double peak = 0, base = 0;
  for (auto _ : state) {
    peak = PeakOfPlaying(bigSong);
    base = PeakOfPlaying(smallSong);
    if (peak < 0 || base < 0) {
      state.SkipWithError("a play failed");
      break;
    }
  }
  state.counters["module_MiB"] = bigSize / 1048576.0;
  state.counters["peak_MiB"] = peak / 1048576.0;
  state.counters["baseline_MiB"] = base / 1048576.0;
  state.counters["extra_per_module"] = (peak - base) / static_cast<double>(bigSize);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}
BENCHMARK(BM_PeakMemory16MiB)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (const char* song = std::getenv("ZSF_PEAK_PLAY")) return PlayInThisProcess(song);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
