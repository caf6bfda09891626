// Sample data the engine's readers used to take from the wrong place: stereo IT
// samples, stored one channel after the other, and S3M samples lying beyond the first
// megabyte, found through a 24-bit paragraph number. Each module must also come back
// whole from a packed song.
#include <gtest/gtest.h>

#include "support/engine_render.h"
#include "support/module_sets.h"

using namespace zsftest;

namespace {

constexpr uint32_t kFrames = 40000;  // more points than one compressed block holds

// One channel, 16 rows at speed 6 (1.92 s): SAMPLE (1-based) once on row 0, at the
// note that plays one point per output frame; a ramp rising over the whole sample.
zsfsynth::ModuleSpec OneNote(uint32_t kind, std::vector<zsfsynth::SampleSpec> samples, uint8_t sample) {
  zsfsynth::ModuleSpec spec;
  spec.title = "one note";
  spec.channels = 1;
  spec.speed = 6;
  spec.tempo = 125;
  spec.samples = std::move(samples);
  spec.patterns.resize(1);
  spec.patterns[0].Resize(16, 1);
  spec.patterns[0].At(0, 0, 1).note = zsfsynth::NoteOf(kind == zsfmod::kKindS3m ? 4 : 5, 0);
  spec.patterns[0].At(0, 0, 1).instrument = sample;
  spec.orders = {0};
  return spec;
}

zsfsynth::SampleSpec Ramp(uint8_t bits) {
  zsfsynth::SampleSpec s;
  s.name = "ramp";
  s.wave = zsfsynth::Wave::kSaw;
  s.frames = s.period = kFrames;
  s.bits = bits;
  s.c5speed = 44100;
  return s;
}

// Packs SPEC (the song must rebuild to the module) and checks the engine's render of
// the module: the ramp rises on the left until frame TOP, then (when ENDS) falls
// silent after the click remover's tail; for a stereo IT sample, the right channel
// (silence in the sample) stays silent.
void ExpectRampOnTheLeft(const zsfsynth::ModuleSpec& spec, uint32_t kind, uint32_t top, bool ends) {
  TempDir dir;
  SongOptions options;
  options.kind = kind;
  MadeSong song = MakeSongFromSpec(dir, "song", spec, options);
  ASSERT_TRUE(song.ok) << song.error;
  int result = -1;
  EXPECT_TRUE(Export(song.path, "", &result) == song.module) << "the rebuild lost sample bytes";
  const std::vector<uint8_t> pcm = RenderModule(kind, song.module).pcm;
  std::vector<int> left, right;
  for (size_t at = 0; at + 3 < pcm.size(); at += 4) {
    left.push_back(int16_t(pcm[at] | pcm[at + 1] << 8));
    right.push_back(int16_t(pcm[at + 2] | pcm[at + 3] << 8));
  }
  ASSERT_GT(left.size(), top + 8000u);
  int range = 0;
  for (int v : left) range = std::max(range, std::abs(v));
  ASSERT_GT(range, 1000) << "the ramp is not heard";
  int previous = left[top / 5];  // from a fifth on: the click remover softens the first step
  for (double at : {0.4, 0.6, 0.8, 0.95}) {
    EXPECT_GT(left[size_t(at * top)] - previous, range / 8) << "not rising at " << at << " of the ramp";
    previous = left[size_t(at * top)];
  }
  int after = 0;
  for (size_t f = top + 6000; f < top + 8000; ++f) after = std::max(after, std::abs(left[f]));
  if (ends) {
    EXPECT_LT(after, range / 50) << "sound after the sample's end";
  }
  if (kind == zsfmod::kKindIt) {
    EXPECT_TRUE(std::all_of(right.begin(), right.end(), [](int v) { return v == 0; })) << "the right channel is not silent";
  }
}

}  // namespace

TEST(StereoItSamples, BothChannelsPlayOverTheWholeLength) {
  // The channel is panned to the centre: the sample's left and right channels reach
  // the left and right outputs alone. A loop ending short of the sample's end keeps
  // nothing past it.
  for (auto [bits, storage, loop] : std::vector<std::tuple<uint8_t, zsfsynth::ItStorage, bool>>{
           {8, zsfsynth::ItStorage::kSigned, false}, {16, zsfsynth::ItStorage::kSigned, false},
           {8, zsfsynth::ItStorage::kCompressed214, false}, {16, zsfsynth::ItStorage::kCompressed214, false},
           {16, zsfsynth::ItStorage::kSigned, true}}) {
    SCOPED_TRACE(testing::Message() << int(bits) << " bits, storage " << int(storage) << (loop ? ", looped" : ""));
    zsfsynth::SampleSpec s = Ramp(bits);
    s.channels = 2;
    s.rightWave = zsfsynth::Wave::kSilence;
    s.itStorage = storage;
    s.loop = loop;
    s.loopStart = kFrames / 4;
    s.loopEnd = loop ? kFrames * 3 / 4 : 0;
    ExpectRampOnTheLeft(OneNote(zsfmod::kKindIt, {s}, 1), zsfmod::kKindIt, loop ? s.loopEnd : kFrames, !loop);
  }
}

TEST(FarS3mSamples, DataBeyondTheFirstMegabyteIsTheSamplesOwn) {
  zsfsynth::SampleSpec filler;
  filler.name = "filler";
  filler.wave = zsfsynth::Wave::kSilence;
  filler.frames = 1100000;
  const zsfsynth::ModuleSpec spec = OneNote(zsfmod::kKindS3m, {filler, Ramp(8)}, 2);
  zsfsynth::ModuleFile file;
  std::string error;
  ASSERT_TRUE(zsfsynth::WriteS3m(spec, &file, &error)) << error;
  ASSERT_GT(file.samples.at(1).offset, 1u << 20) << "the ramp must lie beyond the first megabyte";
  ExpectRampOnTheLeft(spec, zsfmod::kKindS3m, kFrames, true);
}
