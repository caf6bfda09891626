// Malformed modules are refused or play safely to an end: the faults our engine
// patch closes, each made from a valid synthesised module by changing one field.
#include <gtest/gtest.h>

#include "support/engine_render.h"
#include "support/module_sets.h"
#include "support/module_fields.h"

using namespace zsftest;

namespace {

// Loads, has a finite length, and plays to its end within a minute.
void ExpectPlaysToAnEnd(uint32_t kind, const std::vector<uint8_t>& bytes, const char* what) {
  LoadedModule module(kind, bytes);
  ASSERT_NE(module.duh, nullptr) << what;
  EXPECT_GT(module.length(), 0) << what;
  EXPECT_LT(module.length(), 60 * kSecond) << what;
  SongRenderer renderer(module.duh, 2, 0);
  long frames = renderer.FramesToEnd(FramesOf(120));
  EXPECT_LT(frames, FramesOf(120)) << what << ": the song does not end";
  EXPECT_NEAR(frames / 44100.0, module.length() / double(kSecond), 0.05) << what;
}

std::vector<uint8_t> BasicIt() { return SynthBytes(zsfsynth::BasicSpec(0, 2, 2), 0); }

TEST(MalformedModule, EnvelopeWithMoreThan25NodesIsRefused) {
  // The envelope arrays hold 25 nodes; 26 overflowed the heap (CVE-2006-3668).
  const std::vector<uint8_t> good = SynthBytes(zsfsynth::ItInstrumentSpec(), 0);
  ASSERT_FALSE(good.empty());
  std::vector<uint32_t> instruments = ItInstruments(good);
  ASSERT_FALSE(instruments.empty());
  for (size_t envelope = 0; envelope < 3; ++envelope) {  // volume, panning, pitch
    size_t nodes = kItVolumeEnvelope + envelope * 82 + 1;
    std::vector<uint8_t> bytes = good;
    for (uint32_t at : instruments) bytes[at + nodes] = 25;
    LoadedModule ok(0, bytes);
    EXPECT_NE(ok.duh, nullptr) << "25 nodes fit, envelope " << envelope;
    for (uint32_t at : instruments) bytes[at + nodes] = 26;
    LoadedModule refused(0, bytes);
    EXPECT_EQ(refused.duh, nullptr) << "envelope " << envelope;
    bytes[instruments[0] + nodes] = 255;
    LoadedModule refused255(0, bytes);
    EXPECT_EQ(refused255.duh, nullptr) << "envelope " << envelope;
  }
}

TEST(MalformedModule, TempoAndSpeedZeroTakeTheDefaults) {
  std::vector<uint8_t> it = BasicIt();
  it[kItSpeed] = 0;
  it[kItTempo] = 0;
  ExpectPlaysToAnEnd(0, it, "IT");
  // Speed 6, tempo 125: two 64-row orders take 15.36 s.
  LoadedModule module(0, it);
  EXPECT_NEAR(module.length() / double(kSecond), 15.36, 0.01);

  std::vector<uint8_t> xm = SynthBytes(zsfsynth::BasicSpec(1, 2, 2), 1);
  Put16(&xm, 76, 0);  // default speed
  Put16(&xm, 78, 0);  // default tempo (BPM)
  ExpectPlaysToAnEnd(1, xm, "XM");

  std::vector<uint8_t> s3m = SynthBytes(zsfsynth::BasicSpec(2, 2, 2), 2);
  s3m[0x31] = 0;  // initial speed
  s3m[0x32] = 0;  // initial tempo
  ExpectPlaysToAnEnd(2, s3m, "S3M");
}

TEST(MalformedModule, PatternsOfZeroRowsPlayAsEmptyPatternsAndTheSongEnds) {
  std::vector<uint8_t> bytes = BasicIt();
  for (uint32_t at : ItPatterns(bytes)) Put16(&bytes, at + kItPatternRows, 0);
  ExpectPlaysToAnEnd(0, bytes, "zero rows");
}

TEST(MalformedModule, SampleWithC5SpeedZeroPlays) {
  std::vector<uint8_t> bytes = BasicIt();
  for (uint32_t at : ItSamples(bytes)) Put32(&bytes, at + kItSampleC5Speed, 0);
  ExpectPlaysToAnEnd(0, bytes, "C5 speed 0");
  std::vector<uint8_t> s3m = SynthBytes(zsfsynth::BasicSpec(2, 2, 2), 2);
  // S3M sample headers: parapointers (in 16-byte units) follow the order list.
  size_t orders = Get16(s3m, 0x20), samples = Get16(s3m, 0x22);
  for (size_t i = 0; i < samples; ++i) {
    size_t header = static_cast<size_t>(Get16(s3m, 0x60 + orders + 2 * i)) << 4;
    Put32(&s3m, header + 0x20, 0);  // C2 speed
  }
  ExpectPlaysToAnEnd(2, s3m, "S3M C2 speed 0");
}

TEST(MalformedModule, NegativeAndHugeSampleLengths) {
  std::vector<uint8_t> bytes = BasicIt();
  for (uint32_t at : ItSamples(bytes)) Put32(&bytes, at + kItSampleLength, 0xFFFFFF00u);
  ExpectPlaysToAnEnd(0, bytes, "negative length: the sample is absent");

  bytes = BasicIt();
  for (uint32_t at : ItSamples(bytes)) Put32(&bytes, at + kItSampleLength, 0x7FFFFFF0u);
  LoadedModule huge(0, bytes);
  EXPECT_EQ(huge.duh, nullptr) << "more sample data than the file holds";

  std::vector<uint8_t> xm = SynthBytes(zsfsynth::BasicSpec(1, 2, 2), 1);
  LoadedModule plain(1, xm);
  ASSERT_NE(plain.duh, nullptr);
  // The first sample header follows the first instrument header; find it by its
  // length field, which equals the first sample's frames (8-bit).
  bool changed = false;
  for (size_t at = 336; at + 4 <= xm.size() && !changed; ++at) {
    if (Get32(xm, at) == 1000 && Get32(xm, at + 4) == 0) {
      Put32(&xm, at, 0xFFFFFFF0u);
      changed = true;
    }
  }
  ASSERT_TRUE(changed);
  LoadedModule negative(1, xm);  // refused or played without the sample; never a crash
  if (negative.duh) {
    SongRenderer renderer(negative.duh, 2, 0);
    renderer.FramesToEnd(FramesOf(60));
  }
}

TEST(MalformedModule, HugeCountsAreRefused) {
  for (size_t field : {kItOrderCount, kItInstrumentCount, kItSampleCount, kItPatternCount}) {
    std::vector<uint8_t> bytes = BasicIt();
    Put16(&bytes, field, 0xFFFF);
    LoadedModule module(0, bytes);
    EXPECT_EQ(module.duh, nullptr) << "count at 0x" << std::hex << field;
  }
  std::vector<uint8_t> s3m = SynthBytes(zsfsynth::BasicSpec(2, 2, 2), 2);
  for (size_t field : {0x20, 0x22, 0x24}) {
    std::vector<uint8_t> bytes = s3m;
    Put16(&bytes, field, 0xFFFF);
    LoadedModule module(2, bytes);
    EXPECT_EQ(module.duh, nullptr) << "S3M count at 0x" << std::hex << field;
  }
}

TEST(MalformedModule, PatternDataPastItsDeclaredSize) {
  // Declared shorter than the entries it holds: the pattern ends there.
  std::vector<uint8_t> bytes = BasicIt();
  for (uint32_t at : ItPatterns(bytes)) {
    uint16_t length = Get16(bytes, at + kItPatternDataLength);
    Put16(&bytes, at + kItPatternDataLength, static_cast<uint16_t>(length > 3 ? length - 3 : 0));
  }
  ExpectPlaysToAnEnd(0, bytes, "short pattern data");

  // Declared longer than the file: refused.
  bytes = BasicIt();
  Put16(&bytes, ItPatterns(bytes).back() + kItPatternDataLength, 0xFFFF);
  LoadedModule refused(0, bytes);
  EXPECT_EQ(refused.duh, nullptr);

  // XM: packed data whose last entry runs past the declared size.
  std::vector<uint8_t> xm = SynthBytes(zsfsynth::BasicSpec(1, 2, 2), 1);
  const size_t pattern = 60 + Get32(xm, 60);
  Put16(&xm, pattern + 7, static_cast<uint16_t>(Get16(xm, pattern + 7) - 1));
  LoadedModule cut(1, xm);
  EXPECT_EQ(cut.duh, nullptr);
}

TEST(MalformedModule, EightChannelStartrekkerModLoads) {
  // FLT8 made the reader write through an unset pointer.
  zsfsynth::ModuleSpec spec = zsfsynth::BasicSpec(3, 2, 2);
  spec.channels = 8;
  for (auto& pattern : spec.patterns) {
    zsfsynth::PatternSpec wide;
    wide.Resize(64, 8);
    for (uint16_t row = 0; row < 64; ++row)
      for (uint8_t ch = 0; ch < 4; ++ch) wide.At(row, ch, 8) = pattern.At(row, ch, 4);
    pattern = wide;
  }
  spec.modVariant = zsfsynth::ModVariant::kFlt8;
  std::vector<uint8_t> bytes = SynthBytes(spec, 3);
  ASSERT_FALSE(bytes.empty());
  ExpectPlaysToAnEnd(3, bytes, "FLT8");
}

TEST(MalformedModule, CompressedSampleWithAnImpossibleBitWidthIsRefused) {
  // Found by fuzzing: a width change to 38 bits shifted past an int.
  zsfsynth::ModuleFile file;
  std::string error;
  ASSERT_TRUE(zsfsynth::WriteIt(zsfsynth::ItInstrumentSpec(), &file, &error)) << error;
  LoadedModule intact(0, file.bytes);
  ASSERT_NE(intact.duh, nullptr);
  int corrupted = 0;
  for (const zsfsynth::WrittenSample& sample : file.samples) {
    if (sample.bytes >= sample.frames * (sample.bits / 8u) * sample.channels) continue;
    // The first 9-bit value of the first block: 0x125 asks for a width of 38.
    std::vector<uint8_t> bytes = file.bytes;
    bytes[sample.offset + 2] = 0x25;
    bytes[sample.offset + 3] = static_cast<uint8_t>(bytes[sample.offset + 3] | 1);
    if (sample.bits == 16) {  // 17-bit values: 0x10000 | 38 - 1
      bytes[sample.offset + 2] = 0x25;
      bytes[sample.offset + 3] = 0x00;
      bytes[sample.offset + 4] = static_cast<uint8_t>(bytes[sample.offset + 4] | 1);
    }
    LoadedModule module(0, bytes);
    EXPECT_EQ(module.duh, nullptr) << "sample at " << sample.offset;
    ++corrupted;
  }
  EXPECT_GT(corrupted, 0) << "the description holds compressed samples";
}

TEST(MalformedModule, TruncatedModulesNeverReadPastTheirEnd) {
  std::vector<std::vector<uint8_t>> modules = {
      SynthBytes(zsfsynth::ItInstrumentSpec(), 0), SynthBytes(zsfsynth::XmMultiSampleSpec(), 1),
      SynthBytes(zsfsynth::BasicSpec(2, 3, 2), 2), SynthBytes(zsfsynth::BasicSpec(3, 3, 2), 3)};
  for (uint32_t kind = 0; kind < 4; ++kind) {
    const std::vector<uint8_t>& whole = modules[kind];
    ASSERT_FALSE(whole.empty());
    for (size_t cut = 0; cut < whole.size(); cut += 1 + whole.size() / 97) {
      // An exact-size copy, so that a read past the end is a sanitizer report.
      std::vector<uint8_t> prefix(whole.begin(), whole.begin() + cut);
      prefix.shrink_to_fit();
      DUH* duh = EngineReadModule(kind, prefix.data(), static_cast<uint32_t>(prefix.size()));
      if (duh) {
        SongRenderer renderer(duh, 2, 0);
        renderer.Frames(2048);
      }
      EngineUnload(duh);
    }
  }
}

TEST(MalformedModule, UnknownKindOrEmptyImageGivesNoModule) {
  std::vector<uint8_t> bytes = BasicIt();
  EXPECT_EQ(EngineReadModule(4, bytes.data(), static_cast<uint32_t>(bytes.size())), nullptr);
  EXPECT_EQ(EngineReadModule(0, bytes.data(), 0), nullptr);
  EXPECT_EQ(EngineReadModule(0, nullptr, 100), nullptr);
  for (uint32_t kind = 0; kind < 4; ++kind) {
    std::vector<uint8_t> zeros(4096, 0);
    DUH* duh = EngineReadModule(kind, zeros.data(), static_cast<uint32_t>(zeros.size()));
    EngineUnload(duh);
  }
}

}  // namespace
