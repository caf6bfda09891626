// What zsfplay is made of: the WAV output (true header, the file appears whole or
// not at all), the sound device on libao's null driver, the bridge the plug-in
// writes through, and the names and status line.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "host/audio_output.h"
#include "host/output_device.h"
#include "host/playlist.h"
#include "host/terminal.h"
#include "host/wav_output.h"
#include "support/files.h"
#include "support/wav_file.h"

namespace {

using namespace zsftest;

std::vector<char> Ramp(size_t n) {
  std::vector<char> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = char(i * 7 + 3);
  return v;
}

size_t FilesIn(const TempDir& dir) {
  return std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator());
}

TEST(WavOutput, HeaderSaysTheRealFormatAndSizes) {
  TempDir dir;
  struct Case {
    int channels, bits;
    size_t bytes;
    std::vector<uint32_t> header;  // fmt size, format, channels, rate, byte rate, align, bits, data, riff, file
  };
  constexpr size_t kLong = (9 << 20) + 4;  // passes the points where the disk is asked to start writing
  for (const Case& c : {Case{2, 16, 5096, {16, 1, 2, 44100, 176400, 4, 16, 5096, 36 + 5096, 44 + 5096}},
                        Case{1, 8, 1023, {16, 1, 1, 44100, 44100, 1, 8, 1023, 36 + 1024, 44 + 1024}},
                        Case{2, 16, kLong, {16, 1, 2, 44100, 176400, 4, 16, kLong, 36 + kLong, 44 + kLong}}}) {
    const std::string path = dir.file("out" + std::to_string(c.bytes) + ".wav");
    WavOutput out(path);
    ASSERT_GE(out.Open(44100, c.channels, c.bits, -1, -1), 0) << out.error();
    EXPECT_FALSE(FileExists(path)) << "the name appears only once the file is complete";
    std::vector<char> a = Ramp(c.bytes);
    EXPECT_EQ(0, out.Write(a.data(), 1000));
    for (size_t at = 1000; at < c.bytes; at += 1 << 20)
      EXPECT_EQ(0, out.Write(a.data() + at, int(std::min<size_t>(1 << 20, c.bytes - at))));
    EXPECT_EQ(0, out.IsPlaying());
    EXPECT_GT(out.CanWrite(), 8192);
    out.Close();
    ASSERT_TRUE(out.ok()) << out.error();
    Wav w = ReadWav(path);
    ASSERT_TRUE(w.ok);
    // RIFF chunks are word-aligned: an odd data size gets one pad byte, counted in the RIFF size.
    EXPECT_EQ(c.header, (std::vector<uint32_t>{w.fmtSize, w.format, w.channels, w.rate, w.byteRate, w.blockAlign,
                                               w.bits, w.dataSize, w.riffSize, uint32_t(w.fileSize)}));
    EXPECT_EQ(std::vector<uint8_t>(a.begin(), a.end()), w.pcm);
  }
  EXPECT_EQ(3u, FilesIn(dir)) << "nothing but the finished files is left";
}

TEST(WavOutput, DeferredRenameAndFailures) {
  TempDir dir;
  const std::string path = dir.file("song.wav");
  WriteFile(path, std::string("older file"));
  WavOutput out(path);
  out.SetDeferRename(true);
  std::vector<char> a = Ramp(64);
  for (int round = 0; round < 3; ++round) {  // discarded when complete, while open, then committed
    ASSERT_GE(out.Open(44100, 2, 16, -1, -1), 0);
    out.Write(a.data(), 64);
    if (round != 1) out.Close();
    if (round < 2) out.Discard();
    if (round == 2) { EXPECT_TRUE(out.Commit()) << out.error(); }
    EXPECT_EQ(round < 2 ? 10u : 44u + 64, ReadFile(path).size()) << round;
    EXPECT_EQ(1u, FilesIn(dir));
  }
  {  // a player that goes while writing leaves the older file
    WavOutput cut(path);
    ASSERT_GE(cut.Open(44100, 2, 16, -1, -1), 0);
    cut.Write(a.data(), 8);
  }
  EXPECT_EQ(44u + 64, ReadFile(path).size());
  EXPECT_EQ(1u, FilesIn(dir));
  const std::string nowhere = dir.file("no/such/folder/out.wav");
  WavOutput bad(nowhere);
  EXPECT_LT(bad.Open(44100, 2, 16, -1, -1), 0);
  EXPECT_FALSE(bad.ok());
  EXPECT_NE(std::string::npos, bad.error().find(nowhere)) << bad.error();
  EXPECT_NE(0, bad.Write(a.data(), 4));
  EXPECT_EQ(0, bad.CanWrite());
  WavOutput other(dir.file("x.wav"));  // formats a WAV of ours cannot hold
  EXPECT_LT(other.Open(44100, 3, 16, -1, -1), 0);
  EXPECT_LT(other.Open(44100, 2, 24, -1, -1), 0);
  EXPECT_FALSE(FileExists(dir.file("x.wav")));
  // Through the record: the bridge holds, counts flushes and follows their clock.
  WavOutput bridged(dir.file("bridge.wav"));
  Out_Module* rec = OutputBridge::Attach(&bridged, nullptr);
  ASSERT_GE(rec->Open(44100, 2, 16, -1, -1), 0);
  OutputBridge::SetHold(true);
  EXPECT_EQ(0, rec->CanWrite()) << "held: the plug-in must not render";
  int flushes = OutputBridge::FlushCount();
  rec->Flush(5000);
  EXPECT_EQ(flushes + 1, OutputBridge::FlushCount());
  EXPECT_EQ(5000, rec->GetOutputTime());
  OutputBridge::SetHold(false);
  EXPECT_GT(rec->CanWrite(), 0);
  EXPECT_EQ(0, rec->Write(a.data(), 8));
  rec->Close();
  EXPECT_EQ(8u, ReadWav(dir.file("bridge.wav")).dataSize);
  OutputBridge::Attach(nullptr, nullptr);
  EXPECT_LT(rec->Open(44100, 2, 16, -1, -1), 0) << "without a device the record refuses to open";
  EXPECT_EQ(0, rec->CanWrite());
}

TEST(AudioOutput, BuffersHalfASecondAndReportsItTruthfully) {
  std::string why;
  EXPECT_FALSE(AudioOutput::Probe(&why, "no-such-driver"));
  EXPECT_NE(std::string::npos, why.find("no-such-driver")) << why;
  AudioOutput unknown("no-such-driver");
  EXPECT_LT(unknown.Open(44100, 2, 16, -1, -1), 0);
  EXPECT_NE(std::string::npos, unknown.error().find("no-such-driver"));
  if (!AudioOutput::Probe(&why, "null")) GTEST_SKIP() << "libao null driver: " << why;
  AudioOutput out("null");
  EXPECT_LT(out.Open(44100, 6, 16, -1, -1), 0);
  constexpr int kHalfSecond = 44100 * 4 / 2;
  ASSERT_EQ(500, out.Open(44100, 2, 16, -1, -1));
  EXPECT_EQ(kHalfSecond, out.CanWrite());
  EXPECT_EQ(0, out.IsPlaying());
  EXPECT_EQ(0, out.Pause(1));
  std::vector<char> block(4096, 1);
  EXPECT_EQ(0, out.Write(block.data(), 4096));
  EXPECT_EQ(kHalfSecond - 4096, out.CanWrite());
  EXPECT_EQ(1, out.IsPlaying()) << "paused audio is still to be played";
  EXPECT_EQ(23, out.GetWrittenTime());
  EXPECT_EQ(0, out.GetOutputTime()) << "nothing played while paused";
  // Filled to the nominal size no room is offered, yet a lengthened block still fits;
  // far more is refused rather than overwriting what waits to be played.
  int filled = 4096;
  while (out.CanWrite() >= 4096) filled += 4096 * (out.Write(block.data(), 4096) == 0);
  int rest = out.CanWrite();
  ASSERT_EQ(0, out.Write(block.data(), rest));
  EXPECT_EQ(0, out.CanWrite());
  EXPECT_EQ(0, out.Write(block.data(), 4096));
  filled += rest + 4096;
  std::vector<char> huge(1 << 20);
  EXPECT_NE(0, out.Write(huge.data(), int(huge.size())));
  EXPECT_EQ(1, out.Pause(0));
  for (int i = 0; i < 10000 && out.IsPlaying(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(0, out.IsPlaying());
  EXPECT_EQ(filled * 1000LL / (44100 * 4), out.GetOutputTime());
  EXPECT_EQ(out.GetWrittenTime(), out.GetOutputTime());
  EXPECT_EQ(kHalfSecond, out.CanWrite());
  out.Close();
}

TEST(PlayerText, WavNamesAndTheStatusLine) {
  for (auto [name, base] : std::vector<std::pair<const char*, const char*>>{
           {"music/tune.zsf", "tune"}, {"tune", "tune"}, {"zgm://music/set.zgm,2", "set-2"}, {"set.zgm, 3", "set-3"},
           {"zgm://set.zgm", "set"}, {"set.zgm,1/../../x", "set-1_.._.._x"}, {"music/.zsf", ".zsf"}, {"music/", "song"}})
    EXPECT_EQ(base, SongBaseName(name)) << name;
  EXPECT_EQ((std::vector<std::string>{"0:00", "0:59", "1:01", "1:02:03", "--:--"}),
            (std::vector<std::string>{FormatTime(0), FormatTime(59999), FormatTime(61500), FormatTime(3723000),
                                      FormatTime(-1000)}));
  EXPECT_EQ("  0:30 / 1:00 [#####-----]", FormatStatus(30000, 60000, false, 10));
  EXPECT_EQ("  1:30 / 1:00 [####] (paused)", FormatStatus(90000, 60000, true, 4));
  EXPECT_EQ("  0:05 / --:--", FormatStatus(5000, -1000, false, 10));
  EXPECT_EQ("  0:00 / 0:01 [--]", FormatStatus(-20, 1000, false, 2));
}

}  // namespace
