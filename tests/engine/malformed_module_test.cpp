// Malformed modules are refused or play safely to an end: the faults our engine
// patch closes, each made from a valid synthesised module by changing one field.
#include <gtest/gtest.h>

#include <functional>

#include "support/engine_render.h"
#include "support/module_fields.h"
#include "support/module_sets.h"

using namespace zsftest;

namespace {

enum class Outcome { Refused, Ends, Either };

using Change = std::function<void(std::vector<uint8_t>*)>;

// Every IT sample (or pattern) header, changed by F.
Change EachIt(std::vector<uint32_t> (*table)(const std::vector<uint8_t>&), std::function<void(std::vector<uint8_t>*, uint32_t)> f) {
  return [=](std::vector<uint8_t>* b) {
    for (uint32_t at : table(*b)) f(b, at);
  };
}

void Check(uint32_t kind, const std::vector<uint8_t>& bytes, Outcome outcome, const std::string& what) {
  SCOPED_TRACE(what);
  LoadedModule module(kind, bytes);
  if (outcome == Outcome::Refused) { EXPECT_EQ(nullptr, module.duh); }
  if (outcome == Outcome::Ends) { ASSERT_NE(nullptr, module.duh); }
  if (!module.duh) return;
  EXPECT_LT(module.length(), 60 * kSecond);
  SongRenderer renderer(module.duh, 2, 0);
  long frames = renderer.FramesToEnd(FramesOf(120));
  EXPECT_LT(frames, FramesOf(120)) << "the song does not end";
  if (outcome == Outcome::Ends) {
    EXPECT_GT(module.length(), 0);
    EXPECT_NEAR(frames / 44100.0, module.length() / double(kSecond), 0.05);
  }
}

}  // namespace

TEST(MalformedModule, OneBrokenFieldIsRefusedOrPlaysToAnEnd) {
  const std::vector<uint8_t> it = SynthBytes(zsfsynth::BasicSpec(0, 2, 2), 0), xm = SynthBytes(zsfsynth::BasicSpec(1, 2, 2), 1);
  const std::vector<uint8_t> s3m = SynthBytes(zsfsynth::BasicSpec(2, 2, 2), 2);
  auto s3mSamples = [](std::vector<uint8_t>* b, uint32_t field, uint32_t value) {  // parapointers after the orders
    for (size_t i = 0; i < Get16(*b, 0x22); ++i) Put32(b, (size_t{Get16(*b, 0x60 + Get16(*b, 0x20) + 2 * i)} << 4) + field, value);
  };
  struct Case {
    const char* what;
    uint32_t kind;
    const std::vector<uint8_t>* base;
    Change change;
    Outcome outcome;
  };
  const Case cases[] = {
      {"IT speed and tempo 0 take the defaults", 0, &it, [](auto* b) { (*b)[kItSpeed] = (*b)[kItTempo] = 0; }, Outcome::Ends},
      {"XM speed and tempo 0", 1, &xm, [](auto* b) { Put16(b, 76, 0), Put16(b, 78, 0); }, Outcome::Ends},
      {"S3M speed and tempo 0", 2, &s3m, [](auto* b) { (*b)[0x31] = (*b)[0x32] = 0; }, Outcome::Ends},
      {"patterns of zero rows", 0, &it, EachIt(ItPatterns, [](auto* b, uint32_t at) { Put16(b, at + kItPatternRows, 0); }), Outcome::Ends},
      {"C5 speed 0", 0, &it, EachIt(ItSamples, [](auto* b, uint32_t at) { Put32(b, at + kItSampleC5Speed, 0); }), Outcome::Ends},
      {"S3M C2 speed 0", 2, &s3m, [&](auto* b) { s3mSamples(b, 0x20, 0); }, Outcome::Ends},
      {"a negative sample length: the sample is absent", 0, &it,
       EachIt(ItSamples, [](auto* b, uint32_t at) { Put32(b, at + kItSampleLength, 0xFFFFFF00u); }), Outcome::Ends},
      {"more sample data than the file holds", 0, &it,
       EachIt(ItSamples, [](auto* b, uint32_t at) { Put32(b, at + kItSampleLength, 0x7FFFFFF0u); }), Outcome::Refused},
      {"XM negative sample length", 1, &xm,
       [](auto* b) {  // the first sample header: its length field equals the first sample's 1000 frames
         for (size_t at = 336; at + 8 <= b->size(); ++at)
           if (Get32(*b, at) == 1000 && Get32(*b, at + 4) == 0) return Put32(b, at, 0xFFFFFFF0u);
         ADD_FAILURE() << "no sample header";
       },
       Outcome::Either},
      {"pattern data declared shorter: the pattern ends there", 0, &it,
       EachIt(ItPatterns, [](auto* b, uint32_t at) { Put16(b, at, uint16_t(Get16(*b, at) > 3 ? Get16(*b, at) - 3 : 0)); }),
       Outcome::Ends},
      {"pattern data declared past the file", 0, &it, [](auto* b) { Put16(b, ItPatterns(*b).back(), 0xFFFF); }, Outcome::Refused},
      {"XM packed data running past its declared size", 1, &xm,
       [](auto* b) { Put16(b, 60 + Get32(*b, 60) + 7, static_cast<uint16_t>(Get16(*b, 60 + Get32(*b, 60) + 7) - 1)); },
       Outcome::Refused},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = *c.base;
    c.change(&bytes);
    Check(c.kind, bytes, c.outcome, c.what);
  }
  for (size_t field : {kItOrderCount, kItInstrumentCount, kItSampleCount, kItPatternCount}) {
    std::vector<uint8_t> bytes = it;
    Put16(&bytes, field, 0xFFFF);
    Check(0, bytes, Outcome::Refused, "IT count at " + std::to_string(field));
  }
  for (size_t field : {0x20, 0x22, 0x24}) {
    std::vector<uint8_t> bytes = s3m;
    Put16(&bytes, field, 0xFFFF);
    Check(2, bytes, Outcome::Refused, "S3M count at " + std::to_string(field));
  }
  // Speed 6, tempo 125 by default: two 64-row orders take 15.36 s.
  std::vector<uint8_t> defaults = it;
  defaults[kItSpeed] = defaults[kItTempo] = 0;
  EXPECT_NEAR(15.36, LoadedModule(0, defaults).length() / double(kSecond), 0.01);
}

TEST(MalformedModule, EnvelopesOfMoreThan25NodesAreRefused) {
  // The envelope arrays hold 25 nodes; 26 overflowed the heap (CVE-2006-3668).
  const std::vector<uint8_t> good = SynthBytes(zsfsynth::ItInstrumentSpec(), 0);
  for (size_t envelope = 0; envelope < 3; ++envelope) {  // volume, panning, pitch
    for (uint8_t nodes : {25, 26, 255}) {
      std::vector<uint8_t> bytes = good;
      for (uint32_t at : ItInstruments(bytes)) bytes[at + kItVolumeEnvelope + envelope * 82 + 1] = nodes;
      EXPECT_EQ(nodes == 25, LoadedModule(0, bytes).duh != nullptr) << "envelope " << envelope << ", " << int(nodes);
    }
  }
}

TEST(MalformedModule, StartrekkerEightChannelsAndImpossibleCompressedWidths) {
  // FLT8 made the reader write through an unset pointer.
  zsfsynth::ModuleSpec flt8 = WithChannels(zsfsynth::BasicSpec(3, 2, 2), 8);
  flt8.modVariant = zsfsynth::ModVariant::kFlt8;
  Check(3, SynthBytes(flt8, 3), Outcome::Ends, "FLT8");
  // Found by fuzzing: a width change to 38 bits shifted past an int.
  zsfsynth::ModuleFile file;
  std::string error;
  ASSERT_TRUE(zsfsynth::WriteIt(zsfsynth::ItInstrumentSpec(), &file, &error)) << error;
  int corrupted = 0;
  for (const zsfsynth::WrittenSample& sample : file.samples) {
    if (sample.bytes >= sample.frames * (sample.bits / 8u) * sample.channels) continue;  // not compressed
    std::vector<uint8_t> bytes = file.bytes;
    uint8_t* first = &bytes[sample.offset + 2];  // the first value of the first block: 0x125 (or 17 bits) asks for 38
    first[0] = 0x25;
    if (sample.bits == 16) first[1] = 0;
    first[sample.bits == 16 ? 2 : 1] |= 1;
    EXPECT_EQ(nullptr, LoadedModule(0, bytes).duh) << "sample at " << sample.offset;
    ++corrupted;
  }
  EXPECT_GT(corrupted, 0);
}

TEST(MalformedModule, TruncatedOrEmptyModulesNeverReadPastTheirEnd) {
  const std::vector<std::vector<uint8_t>> modules = {
      SynthBytes(zsfsynth::ItInstrumentSpec(), 0), SynthBytes(zsfsynth::XmMultiSampleSpec(), 1),
      SynthBytes(zsfsynth::BasicSpec(2, 3, 2), 2), SynthBytes(zsfsynth::BasicSpec(3, 3, 2), 3)};
  for (uint32_t kind = 0; kind < 4; ++kind) {
    const std::vector<uint8_t>& whole = modules[kind];
    for (size_t cut = 0; cut < whole.size(); cut += 1 + whole.size() / 97) {
      std::vector<uint8_t> prefix(whole.begin(), whole.begin() + cut);
      prefix.shrink_to_fit();  // an exact-size copy: a read past the end is a sanitizer report
      LoadedModule module(kind, prefix);
      if (module.duh) SongRenderer(module.duh, 2, 0).Frames(2048);
    }
    LoadedModule zeros(kind, std::vector<uint8_t>(4096, 0));
  }
  EXPECT_EQ(nullptr, EngineReadModule(4, modules[0].data(), static_cast<uint32_t>(modules[0].size())));
  EXPECT_EQ(nullptr, EngineReadModule(0, modules[0].data(), 0));
  EXPECT_EQ(nullptr, EngineReadModule(0, nullptr, 100));
}
