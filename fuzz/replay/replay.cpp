// fuzz_replay CORPUS: every fuzz target's harness (all linked into this program, their
// entry points renamed at compile time) run over the seeds its initialiser writes and
// every input kept in CORPUS/<target>/. Ordinary builds run it as a test, so each
// harness's checks hold for the seeds our writers make, and a fault once found stays
// fixed in every build, the sanitizer ones included. A harness aborts on a fault; a
// corpus folder without a target of its name fails too, so no kept input goes unplayed.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

struct Target {
  int (*init)(int*, char***);
  int (*one)(const uint8_t*, size_t);
};

#define ZSF_FUZZ_TARGET(name)                       \
  extern "C" int ZsfFuzzInit_##name(int*, char***); \
  extern "C" int ZsfFuzzOne_##name(const uint8_t*, size_t);
ZSF_FUZZ_TARGETS
#undef ZSF_FUZZ_TARGET

namespace fs = std::filesystem;

int Replay(const Target& target, const fs::path& folder) {
  int count = 0;
  std::error_code ec;
  for (const auto& input : fs::directory_iterator(folder, ec)) {
    std::ifstream in(input.path(), std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    std::printf("%s\n", input.path().c_str());
    std::fflush(stdout);
    target.one(bytes.data(), bytes.size());
    ++count;
  }
  return count;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_replay CORPUS\n");
    return 2;
  }
  const std::map<std::string, Target> targets = {
#define ZSF_FUZZ_TARGET(name) {#name, {ZsfFuzzInit_##name, ZsfFuzzOne_##name}},
      ZSF_FUZZ_TARGETS
#undef ZSF_FUZZ_TARGET
  };
  int status = 0;
  for (const auto& folder : fs::directory_iterator(argv[1])) {
    if (!targets.count(folder.path().filename().string())) {
      std::fprintf(stderr, "fuzz_replay: %s: no fuzz target of that name\n", folder.path().c_str());
      status = 1;
    }
  }
  char scratch[] = "/tmp/fuzz_replay.XXXXXX";
  if (!mkdtemp(scratch)) return 2;
  for (const auto& [name, target] : targets) {
    const fs::path seeds = fs::path(scratch) / name;
    fs::create_directory(seeds);
    setenv("ZSF_FUZZ_SEEDS", seeds.c_str(), 1);
    target.init(nullptr, nullptr);
    const int written = Replay(target, seeds);
    if (written == 0) {
      std::fprintf(stderr, "fuzz_replay: %s wrote no seeds\n", name.c_str());
      status = 1;
    }
    std::printf("%s: %d seeds, %d kept inputs\n", name.c_str(), written, Replay(target, fs::path(argv[1]) / name));
  }
  fs::remove_all(scratch);
  return status;
}
