// `zsfplay -o` as a whole process against a bare render loop over the same plain
// module, also a whole process (this program started again with --bare-render): the
// real S3M and XM of ../shared/modules packed into songs, both sides writing the
// same samples to a WAV file beside them. The player writes its WAV durably (synced,
// then renamed over the old one), so the bare loop runs twice: writing plainly, and
// writing the same durable way, which leaves only the player's own work between the
// two. The three alternate, seven rounds each, and the medians are compared (goal:
// zsfplay's wall time against the durable loop's, and its CPU time, at most 1.05x).
// Skipped when the modules are absent. --player=PATH measures another build of the
// player (an older one, for a before/after figure).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "container/byte_stream.h"
#include "engine/engine.h"
#include "platform/file_replace.h"
#include "tools/pack/module_packer.h"

extern char** environ;

namespace {

constexpr int kRounds = 7;
constexpr long kBlockFrames = 1024;
constexpr long kWritebackBytes = 4 << 20;  // as the player's WAV output asks the disk to start

// The bare side: read the module, render it as the players do (16-bit stereo, from
// the start, stopping at its end) and write the samples after a WAV header; DURABLE
// writes through a file replacement as the player does.
int BareRender(const char* module, int kind, const char* wav, bool durable) {
  std::ifstream in(module, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EngineSetDefaultIgnoreJump(1);
  DUH* duh = EngineReadModule(static_cast<uint32_t>(kind), bytes.data(), static_cast<uint32_t>(bytes.size()));
  if (!duh) return 1;
  DUH_SIGRENDERER* r = EngineStartPlayback(duh, EngineGetLength(duh), 2, 0);
  FileReplacement replacement{};
  FILE* out = nullptr;
  if (durable) {
    if (BeginFileReplacement(wav, &replacement, ReplaceMode::kNewOrExisting) != 0) return 1;
    out = StreamFile(replacement.stream);
  } else {
    out = std::fopen(wav, "wb");
  }
  if (!out) return 1;
  uint8_t header[44] = {};
  std::fwrite(header, 1, sizeof header, out);
  std::vector<int16_t> block(kBlockFrames * 2);
  long frames, unsynced = 0;
  while ((frames = EngineRender(r, 16, 0, kEngineVolume, kEngineDelta, kBlockFrames, block.data())) > 0) {
    std::fwrite(block.data(), 4, static_cast<size_t>(frames), out);
    if (durable && (unsynced += frames * 4) >= kWritebackBytes) {
      StartFileWriteback(&replacement);
      unsynced = 0;
    }
  }
  if (durable) {
    if (CommitFileReplacement(&replacement) != 0) return 1;
  } else {
    std::fclose(out);
  }
  EngineEndRenderer(r);
  EngineUnload(duh);
  return 0;
}

// Runs ARGS to its end: wall seconds, CPU seconds (user + system) in *CPU.
double Run(const std::vector<std::string>& args, double* cpu) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const auto t0 = std::chrono::steady_clock::now();
  pid_t pid;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) return -1;
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  *cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec * 1e-6;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? wall : -1;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// True when the two WAV files hold the same bytes after their 44-byte headers.
bool SameSamples(const std::string& a, const std::string& b) {
  std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
  std::vector<char> p((std::istreambuf_iterator<char>(x)), std::istreambuf_iterator<char>());
  std::vector<char> q((std::istreambuf_iterator<char>(y)), std::istreambuf_iterator<char>());
  return p.size() == q.size() && p.size() >= 44 && std::equal(p.begin() + 44, p.end(), q.begin() + 44);
}

std::string gSelf;
std::string gPlayer = ZSFPLAY;

void Pair(benchmark::State& state, const char* subfolder, const char* file, int kind) {
  const std::string source = std::string(ZSF_SHARED_MODULES) + "/" + subfolder + "/" + file;
  std::ifstream in(source, std::ios::binary);
  if (!in) {
    state.SkipWithError("the shared modules are absent");
    return;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  char tmpl[] = "/tmp/bench_zsfplay_XXXXXX";
  if (!mkdtemp(tmpl)) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const std::string dir = tmpl;
  setenv("ZSF_REGISTRY", (dir + "/registry.reg").c_str(), 1);
  zsfpack::PackOptions options;
  options.packName = "music.zsp";
  zsfpack::PackResult result;
  zsfpack::PackError error;
  zsfpack::PackError writeError;
  if (!zsfpack::PackModules({{dir + "/" + file, bytes}}, options, &result, &error) ||
      !zsfpack::WritePackResult(result, dir, dir + "/music.zsp", &writeError)) {
    state.SkipWithError("the module does not pack");
    return;
  }
  const std::string song = dir + "/" + result.songs[0].fileName;
  const std::string plain = dir + "/plain.module";
  std::ofstream(plain, std::ios::binary)
      .write(reinterpret_cast<const char*>(result.songs[0].module.data()),
             static_cast<std::streamsize>(result.songs[0].module.size()));
  const std::vector<std::string> player = {gPlayer, "-q", "-o", dir + "/played.wav", song};
  const std::vector<std::string> bare = {gSelf, "--bare-render", plain, std::to_string(kind), dir + "/bare.wav"};
  const std::vector<std::string> durable = {gSelf, "--bare-render-durable", plain, std::to_string(kind),
                                            dir + "/durable.wav"};
  const std::vector<const std::vector<std::string>*> sides = {&player, &bare, &durable};
  double cpu = 0;
  Run(player, &cpu);  // the first play stores the song's length; the rounds play it as it then is
  std::vector<double> wall[3], cpuTime[3];
  for (auto _ : state) {
    for (int round = 0; round < kRounds; ++round) {
      for (int step = 0; step < 3; ++step) {
        const int side = (round + step) % 3;  // each side goes first in turn
        const double seconds = Run(*sides[side], &cpu);
        if (seconds < 0) {
          state.SkipWithError(side == 0 ? "zsfplay failed" : "the bare render failed");
          return;
        }
        wall[side].push_back(seconds);
        cpuTime[side].push_back(cpu);
      }
    }
  }
  std::error_code ec;
  const bool same = SameSamples(dir + "/played.wav", dir + "/bare.wav") &&
                    SameSamples(dir + "/played.wav", dir + "/durable.wav");
  std::filesystem::remove_all(dir, ec);
  if (!same) {
    state.SkipWithError("the two sides wrote different samples");
    return;
  }
  state.counters["zsfplay_s"] = Median(wall[0]);
  state.counters["bare_s"] = Median(wall[1]);
  state.counters["durable_s"] = Median(wall[2]);
  state.counters["zsfplay_cpu_s"] = Median(cpuTime[0]);
  state.counters["bare_cpu_s"] = Median(cpuTime[1]);
  state.counters["ratio"] = Median(wall[0]) / Median(wall[1]);
  state.counters["durable_ratio"] = Median(wall[0]) / Median(wall[2]);
  state.counters["cpu_ratio"] = Median(cpuTime[0]) / Median(cpuTime[1]);
}

void BM_ZsfplayS3m(benchmark::State& state) { Pair(state, "s3m", "monsterz-data__music.s3m", 2); }
void BM_ZsfplayXm(benchmark::State& state) { Pair(state, "xm", "ceferino-data__menu.xm", 1); }
BENCHMARK(BM_ZsfplayS3m)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_ZsfplayXm)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--bare-render") == 0)
    return BareRender(argv[2], std::atoi(argv[3]), argv[4], false);
  if (argc == 5 && std::strcmp(argv[1], "--bare-render-durable") == 0)
    return BareRender(argv[2], std::atoi(argv[3]), argv[4], true);
  gSelf = std::filesystem::canonical("/proc/self/exe").string();
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--player=", 9) == 0) gPlayer = argv[i] + 9;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
