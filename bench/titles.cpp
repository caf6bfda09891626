// Playlist titles: GetSongFileInfo on song files that carry a stored length, warm
// cache. Goal: at least 20,000 titles a second, which only reading the tag trailer
// (never the body) can give.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ui/file_info.h"
#include "ui/titles.h"

namespace {

constexpr double kGoalTitlesPerSecond = 20000;

class SongFolder {
 public:
  SongFolder(int count, size_t bodySize) {
    char pattern[] = "/tmp/zsf-bench-titles-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    folder_ = pattern;
    std::vector<char> body(bodySize);
    for (size_t i = 0; i < bodySize; ++i) body[i] = static_cast<char>(i * 131 + 7);
    for (int i = 0; i < count; ++i) {
      std::string path = folder_ + "/song" + std::to_string(i) + ".zsf";
      std::string text = "title=Song number " + std::to_string(i) +
                         "\nartist=The_Synthesisers\nalbum=Bench\nlength=" +
                         std::to_string(60 + i) + "\n";
      FILE* f = std::fopen(path.c_str(), "wb");
      if (!f) std::abort();
      std::fwrite(body.data(), 1, body.size(), f);
      std::fwrite(text.data(), 1, text.size(), f);
      const unsigned char trailer[2] = {static_cast<unsigned char>(text.size()),
                                        static_cast<unsigned char>(text.size() >> 8)};
      std::fwrite(trailer, 1, 2, f);
      std::fclose(f);
      paths_.push_back(path);
    }
  }
  ~SongFolder() {
    for (const std::string& p : paths_) unlink(p.c_str());
    rmdir(folder_.c_str());
  }
  const std::vector<std::string>& paths() const { return paths_; }

 private:
  std::string folder_;
  std::vector<std::string> paths_;
};

int NeverComputed(const char*) {
  std::abort();  // every file has a stored length
}

void BM_SongFileInfo(benchmark::State& state) {
  SongFolder songs(64, static_cast<size_t>(state.range(0)));
  PlayerSettings settings;
  settings.LoadLen = 1;  // a stored length must still never load the song
  char title[kHostTitleSize];
  int lengthMs = 0;
  size_t i = 0;
  for (auto _ : state) {
    const std::string& path = songs.paths()[i++ % songs.paths().size()];
    GetSongFileInfo(path.c_str(), title, &lengthMs, settings, NeverComputed);
    benchmark::DoNotOptimize(title);
    benchmark::DoNotOptimize(lengthMs);
  }
  if (lengthMs <= 0) state.SkipWithError("no stored length read");
  state.SetItemsProcessed(state.iterations());
  state.counters["goal_titles_per_s"] = kGoalTitlesPerSecond;
}
// Body sizes: the rate must not depend on them.
BENCHMARK(BM_SongFileInfo)->Arg(64 * 1024)->Arg(4 * 1024 * 1024)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
