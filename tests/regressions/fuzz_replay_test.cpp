// Replays every input the fuzzers once stopped on through the same harness, so a
// fault fixed in our code or in the engine patch stays fixed. The sanitizer build of
// this test is where a regression would show.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/files.h"

// The whole-path harness: song and pack bytes -> rebuild -> engine -> render with seeks.
#include "../../fuzz/song_to_render.cpp"

namespace {

const std::string kRegressions = std::string(ZSF_SOURCE_DIR) + "/tests/regressions";

// empty_pattern_null_entries: an IT pattern without entries made the renderer do
// pointer arithmetic on a null entry array (undefined behaviour in the engine).
TEST(FuzzReplay, SongToRenderInputsPlayWithoutFault) {
  LLVMFuzzerInitialize(nullptr, nullptr);
  const std::string dir = kRegressions + "/song_to_render";
  int replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    std::vector<uint8_t> bytes = zsftest::ReadFile(entry.path().string());
    SCOPED_TRACE(entry.path().filename().string());
    EXPECT_EQ(LLVMFuzzerTestOneInput(bytes.data(), bytes.size()), 0);
    ++replayed;
  }
  EXPECT_GT(replayed, 0);
}

}  // namespace
