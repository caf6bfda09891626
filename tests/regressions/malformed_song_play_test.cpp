// Malformed modules inside songs, played through the plug-in as a player would: Play
// fails or the song reaches its end; it never crashes or hangs. Each module is a
// valid synthesised one with one field broken, stored whole as the song's structure
// (no samples taken out), so the plug-in hands exactly these bytes to the engine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "container/zsf_writer.h"
#include "samples/zsp_writer.h"
#include "support/files.h"
#include "support/test_host.h"
#include "support/engine_render.h"
#include "support/module_sets.h"
#include "support/module_fields.h"

namespace {

using namespace zsftest;

const char* const kExtensions[] = {".IT", ".XM", ".S3M", ".MOD"};

// Writes DIR/<NAME>.zsf holding MODULE verbatim and an empty pack beside it.
std::string WriteSong(const zsftest::TempDir& dir, const std::string& name, uint32_t kind,
                      const std::vector<uint8_t>& module) {
  ZsfSong song;
  song.major = 2;
  song.minor = 2;
  song.packName = name + ".zsp";
  song.moduleExtension = kExtensions[kind];
  std::vector<uint32_t> offsets;
  std::string error;
  EXPECT_TRUE(CutModuleImage(module, {}, &song.structure, &offsets, &error)) << error;
  std::vector<uint8_t> songBytes, pack;
  EXPECT_TRUE(WriteZsf(song, &songBytes, &error)) << error;
  EXPECT_TRUE(WriteZsp({}, ZspWriteOptions{}, &pack, &error)) << error;
  zsftest::WriteFile(dir.file(name + ".zsf"), songBytes);
  zsftest::WriteFile(dir.file(name + ".zsp"), pack);
  return dir.file(name + ".zsf");
}

enum class Outcome { Refused, Ended };

// Plays the song; returns whether Play refused it or it played to its end.
Outcome PlayThrough(const std::vector<uint8_t>& module, uint32_t kind, const char* what) {
  zsftest::TestHost host;
  EXPECT_TRUE(host.ok()) << host.error();
  host.Init();
  const std::string song = WriteSong(host.dir(), "broken", kind, module);
  if (host.Play(song) != 0) {
    host.Quit();
    return Outcome::Refused;
  }
  EXPECT_TRUE(host.WaitUntil([&] { return host.EndMessages() > 0; })) << what << ": the song does not end";
  host.Stop();
  host.Quit();
  return Outcome::Ended;
}

std::vector<uint8_t> BasicIt() { return SynthBytes(zsfsynth::BasicSpec(0, 2, 2), 0); }

TEST(MalformedSongPlay, IntactModuleStoredWholePlaysToItsEnd) {
  // The control: the way these songs are made does not itself make Play fail.
  EXPECT_EQ(PlayThrough(BasicIt(), 0, "intact IT"), Outcome::Ended);
  EXPECT_EQ(PlayThrough(SynthBytes(zsfsynth::BasicSpec(1, 2, 2), 1), 1, "intact XM"), Outcome::Ended);
}

TEST(MalformedSongPlay, EnvelopeWithMoreThan25NodesIsRefused) {
  std::vector<uint8_t> bytes = SynthBytes(zsfsynth::ItInstrumentSpec(), 0);
  for (uint32_t at : ItInstruments(bytes)) bytes[at + kItVolumeEnvelope + 1] = 200;
  EXPECT_EQ(PlayThrough(bytes, 0, "envelope nodes"), Outcome::Refused);
}

TEST(MalformedSongPlay, FieldsTheEngineCopesWithEndTheSong) {
  std::vector<uint8_t> bytes = BasicIt();
  bytes[kItSpeed] = 0;
  bytes[kItTempo] = 0;
  EXPECT_EQ(PlayThrough(bytes, 0, "speed and tempo 0"), Outcome::Ended);

  bytes = BasicIt();
  for (uint32_t at : ItPatterns(bytes)) Put16(&bytes, at + kItPatternRows, 0);
  EXPECT_EQ(PlayThrough(bytes, 0, "zero-row patterns"), Outcome::Ended);

  bytes = BasicIt();
  for (uint32_t at : ItSamples(bytes)) Put32(&bytes, at + kItSampleC5Speed, 0);
  EXPECT_EQ(PlayThrough(bytes, 0, "C5 speed 0"), Outcome::Ended);

  bytes = BasicIt();
  for (uint32_t at : ItSamples(bytes)) Put32(&bytes, at + kItSampleLength, 0xFFFFFF00u);
  PlayThrough(bytes, 0, "negative sample length");  // either outcome, never a crash

  bytes = BasicIt();
  for (uint32_t at : ItPatterns(bytes)) {
    const uint16_t length = Get16(bytes, at + kItPatternDataLength);
    Put16(&bytes, at + kItPatternDataLength, static_cast<uint16_t>(length > 3 ? length - 3 : 0));
  }
  EXPECT_EQ(PlayThrough(bytes, 0, "pattern data past its size"), Outcome::Ended);
}

TEST(MalformedSongPlay, ImpossibleSizesAndCountsMakePlayFail) {
  std::vector<uint8_t> bytes = BasicIt();
  for (uint32_t at : ItSamples(bytes)) Put32(&bytes, at + kItSampleLength, 0x7FFFFFF0u);
  EXPECT_EQ(PlayThrough(bytes, 0, "huge sample length"), Outcome::Refused);
  for (size_t field : {kItOrderCount, kItInstrumentCount, kItSampleCount, kItPatternCount}) {
    bytes = BasicIt();
    Put16(&bytes, field, 0xFFFF);
    EXPECT_EQ(PlayThrough(bytes, 0, "huge count"), Outcome::Refused) << "field 0x" << std::hex << field;
  }
  bytes = BasicIt();
  Put16(&bytes, ItPatterns(bytes).back() + kItPatternDataLength, 0xFFFF);
  EXPECT_EQ(PlayThrough(bytes, 0, "pattern longer than the file"), Outcome::Refused);
}

TEST(MalformedSongPlay, SongLongerThanTwoHoursStartsWithAnUnknownLength) {
  // A row of 19.92 s (speed 255, tempo 32) and three 200-row patterns: 3.3 hours.
  // Play must not measure it all; the length is unknown and the song plays.
  zsfsynth::ModuleSpec spec = zsfsynth::BasicSpec(0, 1, 3);
  spec.speed = 255;
  spec.tempo = 32;
  for (auto& pattern : spec.patterns) {
    pattern.Resize(200, spec.channels);
    pattern.At(0, 0, spec.channels).note = zsfsynth::NoteOf(5, 0);
    pattern.At(0, 0, spec.channels).instrument = 1;
  }
  zsftest::TestHost host;
  ASSERT_TRUE(host.ok()) << host.error();
  host.Init();
  const std::string song = WriteSong(host.dir(), "long", 0, SynthBytes(spec, 0));
  ASSERT_EQ(host.Play(song), 0);
  EXPECT_LE(host.record()->GetLength(), 0);
  EXPECT_TRUE(host.WaitUntil([&] { return !host.Written().empty(); }));
  host.Stop();
  host.Quit();
}

}  // namespace
