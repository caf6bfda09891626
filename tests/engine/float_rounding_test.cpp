// The engine's arithmetic rounds the same way in every build: the glide tune, whose
// rendering moves with any change in how the pitch and volume products are rounded,
// renders to the bytes it always has. Other floating-point options (x87 arithmetic,
// -ffast-math, fused multiply-adds) fail here before they make one build of the
// plug-in sound different from another.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "support/engine_render.h"

using namespace zsftest;

namespace {

// FNV-1a (64-bit) in hexadecimal, as the values below are written.
std::string Fnv1a64(const std::vector<uint8_t>& bytes) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (uint8_t b : bytes) h = (h ^ b) * 0x100000001b3ull;
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
  return text;
}

TEST(FloatRounding, GlideTuneRendersToItsKnownBytes) {
  zsfsynth::ModuleFile file;
  std::string error;
  ASSERT_TRUE(zsfsynth::WriteS3m(zsfsynth::GlideSpec(), &file, &error)) << error;
  // A changed tune renders differently whatever the options: its stored renderings
  // must then be made again.
  ASSERT_EQ(Fnv1a64(file.bytes), "df2e641b8663af10") << "the glide tune's S3M changed";

  struct Case {
    int channels;
    int bits;
    size_t bytes;
    const char* fnv;
  };
  const Case cases[] = {
      {2, 16, 2709488, "bba661c3ba4e3736"},
      {1, 8, 677372, "c4c3ce2bc01e0103"},
  };
  for (const Case& c : cases) {
    Reference ref = RenderModule(2, file.bytes, c.channels, c.bits);
    EXPECT_EQ(ref.pcm.size(), c.bytes) << c.channels << " channels, " << c.bits << " bits";
    EXPECT_EQ(Fnv1a64(ref.pcm), c.fnv)
        << c.channels << " channels, " << c.bits << " bits: the engine rounds differently";
  }
}

}  // namespace
