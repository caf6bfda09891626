// The WAV output: the header says the real format and sizes, the file appears under
// its name only when complete, and the clock follows Flush.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "host/output_device.h"
#include "host/wav_output.h"
#include "support/files.h"
#include "support/wav_file.h"

namespace {

using zsftest::ReadFile;
using zsftest::TempDir;

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

  zsftest::Wav w = zsftest::ReadWav(path);
  ASSERT_TRUE(w.ok);
  EXPECT_EQ(w.fmtSize, 16u);
  EXPECT_EQ(w.format, 1u);
  EXPECT_EQ(w.channels, 2u);
  EXPECT_EQ(w.rate, 44100u);
  EXPECT_EQ(w.byteRate, 44100u * 4);
  EXPECT_EQ(w.blockAlign, 4u);
  EXPECT_EQ(w.bits, 16u);
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
  zsftest::Wav w = zsftest::ReadWav(path);
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
  EXPECT_EQ(zsftest::ReadWav(path).dataSize, 64u);
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
  // Formats a WAV of ours cannot hold are refused without a file.
  WavOutput other(dir.file("x.wav"));
  EXPECT_LT(other.Open(44100, 3, 16, -1, -1), 0);
  EXPECT_LT(other.Open(44100, 2, 24, -1, -1), 0);
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
  EXPECT_EQ(zsftest::ReadWav(dir.file("bridge.wav")).dataSize, 8u);
  // Without a device the record refuses to open rather than crash.
  OutputBridge::Attach(nullptr, nullptr);
  EXPECT_LT(rec->Open(44100, 2, 16, -1, -1), 0);
  EXPECT_EQ(rec->CanWrite(), 0);
}

}  // namespace
