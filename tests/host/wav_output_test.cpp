// The WAV output: the header says the real format and sizes, the file appears under
// its name only when complete, and the clock follows Flush.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "container/byte_cursor.h"
#include "host/output_device.h"
#include "host/wav_output.h"
#include "support/files.h"

namespace {

using zsftest::ReadFile;
using zsftest::TempDir;

struct ParsedWav {
  std::string riff, wave, fmt, data;
  uint32_t riffSize = 0, fmtSize = 0, rate = 0, byteRate = 0, dataSize = 0;
  uint16_t format = 0, channels = 0, blockAlign = 0, bits = 0;
  std::vector<uint8_t> pcm;
  size_t fileSize = 0;
};

std::string Tag(ByteCursor& c) {
  std::string s(4, ' ');
  for (char& ch : s) ch = char(c.u8());
  return s;
}

ParsedWav Parse(const std::vector<uint8_t>& bytes) {
  ParsedWav w;
  w.fileSize = bytes.size();
  ByteCursor c(bytes.data(), bytes.size());
  w.riff = Tag(c);
  w.riffSize = c.u32();
  w.wave = Tag(c);
  w.fmt = Tag(c);
  w.fmtSize = c.u32();
  w.format = c.u16();
  w.channels = c.u16();
  w.rate = c.u32();
  w.byteRate = c.u32();
  w.blockAlign = c.u16();
  w.bits = c.u16();
  w.data = Tag(c);
  w.dataSize = c.u32();
  EXPECT_TRUE(c.ok());
  if (w.dataSize <= bytes.size() - 44) w.pcm.assign(bytes.begin() + 44, bytes.begin() + 44 + w.dataSize);
  return w;
}

std::vector<char> Ramp(size_t n) {
  std::vector<char> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = char(i * 7 + 3);
  return v;
}

TEST(WavOutput, SixteenBitStereoHeaderAndData) {
  TempDir dir;
  const std::string path = dir.file("out.wav");
  WavOutput out(path);
  ASSERT_GE(out.Open(44100, 2, 16, -1, -1), 0) << out.error();
  EXPECT_FALSE(zsftest::FileExists(path)) << "the name appears only once the file is complete";
  std::vector<char> a = Ramp(4096), b = Ramp(1000);
  EXPECT_EQ(out.Write(a.data(), int(a.size())), 0);
  EXPECT_EQ(out.Write(b.data(), int(b.size())), 0);
  EXPECT_EQ(out.IsPlaying(), 0);
  EXPECT_GT(out.CanWrite(), 8192);
  out.Close();
  ASSERT_TRUE(out.ok()) << out.error();

  ParsedWav w = Parse(ReadFile(path));
  EXPECT_EQ(w.riff, "RIFF");
  EXPECT_EQ(w.wave, "WAVE");
  EXPECT_EQ(w.fmt, "fmt ");
  EXPECT_EQ(w.fmtSize, 16u);
  EXPECT_EQ(w.format, 1u);
  EXPECT_EQ(w.channels, 2u);
  EXPECT_EQ(w.rate, 44100u);
  EXPECT_EQ(w.byteRate, 44100u * 4);
  EXPECT_EQ(w.blockAlign, 4u);
  EXPECT_EQ(w.bits, 16u);
  EXPECT_EQ(w.data, "data");
  EXPECT_EQ(w.dataSize, 5096u);
  EXPECT_EQ(w.riffSize, 36u + 5096);
  EXPECT_EQ(w.fileSize, 44u + 5096);
  std::vector<uint8_t> expected(a.begin(), a.end());
  expected.insert(expected.end(), b.begin(), b.end());
  EXPECT_EQ(w.pcm, expected);
  // Nothing but the finished file is left in the folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()), 1);
}

TEST(WavOutput, EightBitMonoOddLengthIsPadded) {
  TempDir dir;
  const std::string path = dir.file("mono8.wav");
  WavOutput out(path);
  ASSERT_GE(out.Open(44100, 1, 8, -1, -1), 0);
  std::vector<char> a = Ramp(1023);
  EXPECT_EQ(out.Write(a.data(), int(a.size())), 0);
  out.Close();
  ASSERT_TRUE(out.ok()) << out.error();
  ParsedWav w = Parse(ReadFile(path));
  EXPECT_EQ(w.channels, 1u);
  EXPECT_EQ(w.bits, 8u);
  EXPECT_EQ(w.byteRate, 44100u);
  EXPECT_EQ(w.blockAlign, 1u);
  EXPECT_EQ(w.dataSize, 1023u);
  // RIFF chunks are word-aligned: one pad byte, counted in the RIFF size.
  EXPECT_EQ(w.fileSize, 44u + 1024);
  EXPECT_EQ(w.riffSize, 36u + 1024);
  EXPECT_EQ(w.pcm, std::vector<uint8_t>(a.begin(), a.end()));
}

TEST(WavOutput, AnEmptySongGivesAValidEmptyFile) {
  TempDir dir;
  WavOutput out(dir.file("empty.wav"));
  ASSERT_GE(out.Open(44100, 2, 16, -1, -1), 0);
  out.Close();
  ParsedWav w = Parse(ReadFile(dir.file("empty.wav")));
  EXPECT_EQ(w.dataSize, 0u);
  EXPECT_EQ(w.riffSize, 36u);
}

TEST(WavOutput, ReopeningReplacesTheFileWithTheNewFormat) {
  TempDir dir;
  const std::string path = dir.file("again.wav");
  WavOutput out(path);
  std::vector<char> a = Ramp(400);
  ASSERT_GE(out.Open(44100, 2, 16, -1, -1), 0);
  out.Write(a.data(), 400);
  out.Close();
  ASSERT_GE(out.Open(44100, 1, 8, -1, -1), 0);
  out.Write(a.data(), 100);
  out.Close();
  ParsedWav w = Parse(ReadFile(path));
  EXPECT_EQ(w.channels, 1u);
  EXPECT_EQ(w.bits, 8u);
  EXPECT_EQ(w.dataSize, 100u);
}

TEST(WavOutput, ClockFollowsFlushAndWrites) {
  TempDir dir;
  WavOutput out(dir.file("clock.wav"));
  ASSERT_GE(out.Open(44100, 2, 16, -1, -1), 0);
  EXPECT_EQ(out.GetOutputTime(), 0);
  std::vector<char> second(44100 * 4);
  out.Write(second.data(), int(second.size()));
  EXPECT_EQ(out.GetOutputTime(), 1000);
  EXPECT_EQ(out.GetWrittenTime(), 1000);
  out.Flush(61500);
  EXPECT_EQ(out.GetOutputTime(), 61500);
  out.Write(second.data(), int(second.size()) / 2);
  EXPECT_EQ(out.GetOutputTime(), 62000);
  EXPECT_EQ(out.Pause(1), 0);
  EXPECT_EQ(out.Pause(0), 1);
  out.Close();
  // Both seconds and a half stay in the file: what was written has been "played".
  EXPECT_EQ(Parse(ReadFile(dir.file("clock.wav"))).dataSize, 44100u * 4 * 3 / 2);
}

TEST(WavOutput, DeferredRenameKeepsAnOlderFileUntilCommit) {
  TempDir dir;
  const std::string path = dir.file("song.wav");
  zsftest::WriteFile(path, std::string("older file"));
  WavOutput out(path);
  out.SetDeferRename(true);
  std::vector<char> a = Ramp(64);

  // Completed but discarded: the older file stays, nothing else is left.
  ASSERT_GE(out.Open(44100, 2, 16, -1, -1), 0);
  out.Write(a.data(), 64);
  out.Close();
  EXPECT_EQ(ReadFile(path).size(), 10u);
  out.Discard();
  EXPECT_EQ(ReadFile(path).size(), 10u);

  // Discarded while still open.
  ASSERT_GE(out.Open(44100, 2, 16, -1, -1), 0);
  out.Write(a.data(), 64);
  out.Discard();
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()), 1);

  // Committed: the new file replaces the older one.
  ASSERT_GE(out.Open(44100, 2, 16, -1, -1), 0);
  out.Write(a.data(), 64);
  out.Close();
  EXPECT_TRUE(out.Commit()) << out.error();
  EXPECT_EQ(Parse(ReadFile(path)).dataSize, 64u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()), 1);
}

TEST(WavOutput, AnUnwritableFolderFailsTheOpenWithItsName) {
  TempDir dir;
  const std::string path = dir.file("no/such/folder/out.wav");
  WavOutput out(path);
  EXPECT_LT(out.Open(44100, 2, 16, -1, -1), 0);
  EXPECT_FALSE(out.ok());
  EXPECT_NE(out.error().find(path), std::string::npos) << out.error();
  std::vector<char> a = Ramp(4);
  EXPECT_NE(out.Write(a.data(), 4), 0);
  EXPECT_EQ(out.CanWrite(), 0);
}

TEST(WavOutput, AnUnsupportedFormatIsRefused) {
  TempDir dir;
  WavOutput out(dir.file("x.wav"));
  EXPECT_LT(out.Open(44100, 3, 16, -1, -1), 0);
  EXPECT_LT(out.Open(44100, 2, 24, -1, -1), 0);
  EXPECT_FALSE(zsftest::FileExists(dir.file("x.wav")));
}

TEST(WavOutput, ThroughTheRecordTheBridgeHoldsAndCountsFlushes) {
  TempDir dir;
  WavOutput out(dir.file("bridge.wav"));
  Out_Module* rec = OutputBridge::Attach(&out, nullptr);
  ASSERT_GE(rec->Open(44100, 2, 16, -1, -1), 0);
  EXPECT_GT(rec->CanWrite(), 0);
  OutputBridge::SetHold(true);
  EXPECT_EQ(rec->CanWrite(), 0) << "held: the plug-in must not render";
  int flushes = OutputBridge::FlushCount();
  rec->Flush(5000);
  EXPECT_EQ(OutputBridge::FlushCount(), flushes + 1);
  EXPECT_EQ(rec->GetOutputTime(), 5000);
  OutputBridge::SetHold(false);
  EXPECT_GT(rec->CanWrite(), 0);
  std::vector<char> a = Ramp(8);
  EXPECT_EQ(rec->Write(a.data(), 8), 0);
  rec->Close();
  EXPECT_EQ(Parse(ReadFile(dir.file("bridge.wav"))).dataSize, 8u);
  // Without a device the record refuses to open rather than crash.
  OutputBridge::Attach(nullptr, nullptr);
  EXPECT_LT(rec->Open(44100, 2, 16, -1, -1), 0);
  EXPECT_EQ(rec->CanWrite(), 0);
}

}  // namespace
