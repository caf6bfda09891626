// Sample data the engine's readers used to take from the wrong place: stereo IT
// samples, stored one channel after the other, and S3M samples lying beyond the
// first megabyte, found through a 24-bit paragraph number. Each module must also
// come back whole from a packed song.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/engine_render.h"
#include "support/module_sets.h"
#include "support/song_maker.h"

using namespace zsftest;
using zsfsynth::ItStorage;
using zsfsynth::ModuleSpec;
using zsfsynth::SampleSpec;

namespace {

// More points than one compressed block holds, for 8 and 16-bit samples alike.
constexpr uint32_t kRampFrames = 40000;
// The sample's rate, played at C-5 (IT) or C-4 (S3M): one point per output frame.
constexpr uint32_t kOutputRate = 44100;

// A ramp rising over the whole sample from low to high.
SampleSpec Ramp(uint8_t bits) {
  SampleSpec s;
  s.name = "ramp";
  s.wave = zsfsynth::Wave::kSaw;
  s.frames = kRampFrames;
  s.period = kRampFrames;
  s.bits = bits;
  s.c5speed = kOutputRate;
  return s;
}

// One channel, 16 rows at speed 6 (1.92 s): sample SAMPLE (1-based) once on row 0.
ModuleSpec OneNote(uint32_t kind, std::vector<SampleSpec> samples, uint8_t sample) {
  ModuleSpec spec;
  spec.title = "one note";
  spec.channels = 1;
  spec.speed = 6;
  spec.tempo = 125;
  spec.samples = std::move(samples);
  zsfsynth::PatternSpec p;
  p.Resize(16, 1);
  p.At(0, 0, 1).note = zsfsynth::NoteOf(kind == zsfmod::kKindS3m ? 4 : 5, 0);
  p.At(0, 0, 1).instrument = sample;
  spec.patterns = {p};
  spec.orders = {0};
  return spec;
}

std::vector<int16_t> Channel(const std::vector<uint8_t>& pcm, int channel) {
  std::vector<int16_t> out;
  for (size_t at = 2u * channel; at + 1 < pcm.size(); at += 4)
    out.push_back(static_cast<int16_t>(pcm[at] | pcm[at + 1] << 8));
  return out;
}

// Packs SPEC, checks that the song rebuilds to the module as written, and returns
// the engine's render of that module (16-bit stereo).
std::vector<uint8_t> PlayedAsTheModule(const ModuleSpec& spec, uint32_t kind) {
  TempDir dir;
  SongOptions options;
  options.kind = kind;
  MadeSong song = MakeSongFromSpec(dir, "song", spec, options);
  EXPECT_TRUE(song.ok) << song.error;
  int result = -1;
  EXPECT_TRUE(Export(song.path, "", &result) == song.module) << "the rebuild lost sample bytes";
  Reference played = RenderModule(kind, song.module);
  EXPECT_FALSE(played.pcm.empty()) << "the engine refused the module";
  return played.pcm;
}

// The ramp plays on the left from frame 0 and rises until frame TOP; when ENDS, the
// sample ends there and the left falls silent (after the click remover's tail).
void ExpectRamp(const std::vector<int16_t>& left, uint32_t top, bool ends) {
  ASSERT_GT(left.size(), top + 8000u);
  int range = 0;
  for (int16_t v : left) range = std::max(range, std::abs(v));
  ASSERT_GT(range, 1000) << "the ramp is not heard";
  // From a fifth on: the click remover softens the sample's first step.
  int previous = left[top / 5];
  for (double at : {0.4, 0.6, 0.8, 0.95}) {
    const int v = left[static_cast<size_t>(at * top)];
    EXPECT_GT(v - previous, range / 8) << "not rising at " << at << " of the ramp";
    previous = v;
  }
  if (ends) {
    int after = 0;
    for (size_t f = top + 6000; f < top + 8000; ++f) after = std::max(after, std::abs(left[f]));
    EXPECT_LT(after, range / 50) << "sound after the sample's end";
  }
}

TEST(StereoItSamples, BothChannelsPlayOverTheWholeLength) {
  struct Case {
    const char* name;
    uint8_t bits;
    ItStorage storage;
    bool loop;  // a loop ending short of the sample's end: the engine keeps nothing past it
  };
  const Case cases[] = {
      {"8-bit plain", 8, ItStorage::kSigned, false},
      {"16-bit plain", 16, ItStorage::kSigned, false},
      {"8-bit compressed", 8, ItStorage::kCompressed214, false},
      {"16-bit compressed", 16, ItStorage::kCompressed214, false},
      {"16-bit plain, looped", 16, ItStorage::kSigned, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SampleSpec s = Ramp(c.bits);
    s.channels = 2;
    s.rightWave = zsfsynth::Wave::kSilence;
    s.itStorage = c.storage;
    s.loop = c.loop;
    s.loopStart = kRampFrames / 4;
    s.loopEnd = c.loop ? kRampFrames * 3 / 4 : 0;
    const std::vector<uint8_t> pcm = PlayedAsTheModule(OneNote(zsfmod::kKindIt, {s}, 1), zsfmod::kKindIt);
    // The channel is panned to the centre: the sample's left and right channels
    // reach the left and right outputs alone.
    ExpectRamp(Channel(pcm, 0), c.loop ? s.loopEnd : kRampFrames, !c.loop);
    const std::vector<int16_t> right = Channel(pcm, 1);
    EXPECT_TRUE(std::all_of(right.begin(), right.end(), [](int16_t v) { return v == 0; }))
        << "the right channel is not silent";
  }
}

TEST(FarS3mSamples, DataBeyondTheFirstMegabyteIsTheSamplesOwn) {
  SampleSpec filler;
  filler.name = "filler";
  filler.wave = zsfsynth::Wave::kSilence;
  filler.frames = 1100000;
  const ModuleSpec spec = OneNote(zsfmod::kKindS3m, {filler, Ramp(8)}, 2);
  zsfsynth::ModuleFile file;
  std::string error;
  ASSERT_TRUE(zsfsynth::WriteS3m(spec, &file, &error)) << error;
  ASSERT_EQ(file.samples.size(), 2u);
  ASSERT_GT(file.samples[1].offset, 1u << 20) << "the ramp must lie beyond the first megabyte";
  ExpectRamp(Channel(PlayedAsTheModule(spec, zsfmod::kKindS3m), 0), kRampFrames, true);
}

}  // namespace
