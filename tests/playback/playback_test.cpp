// Songs played through the plug-in's record as the player drives it: the output holds
// exactly what the engine renders, in blocks of the settings' size stamped every
// 23 ms, written only when the output has room; seeks, pauses, stops and starts that
// fail; lengths and titles; the password prompt answered on standard input.
#include <gtest/gtest.h>
#include <stdio_ext.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "collection/zgm_writer.h"
#include "container/zsf_writer.h"
#include "samples/zsp_writer.h"
#include "support/engine_render.h"
#include "support/files.h"
#include "support/settings_file.h"
#include "support/song_maker.h"
#include "support/test_host.h"
#include "ui/tags.h"

namespace {

using namespace zsftest;

constexpr int kFree = 1 << 20;

class Playback : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(host_.ok()) << host_.error(); }
  void Init(bool eightBitMono = false, bool loadLen = false, const std::string& title = "%title% (%artist%)") {
    StoredSettings s;
    s.loBit = s.mono = eightBitMono;
    s.loadLen = loadLen;
    s.titleOutput = title;
    WriteSettings(host_.registryPath(), s);
    host_.Init();
  }
  bool HasFlush(int ms) const {
    std::vector<int> f = host_.Flushes();
    return std::find(f.begin(), f.end(), ms) != f.end();
  }
  // Plays SONG from TARGET on (asked for as soon as Play returns, before any block).
  void PlayFrom(const MadeSong& song, int target) {
    host_.SetFreeBytes(0);
    ASSERT_EQ(0, host_.Play(song.path));
    host_.record()->SetOutputTime(target);
    ASSERT_TRUE(host_.WaitUntil([&] { return HasFlush(std::max(target, 0)); })) << target;
    EXPECT_EQ(std::max(target, 0), host_.OutputTimeMs());
    host_.SetFreeBytes(kFree);
  }
  int Length(const std::string& name) {
    int length = 12345;
    host_.record()->GetFileInfo(name.c_str(), nullptr, &length);
    return length;
  }
  TempDir dir_;
  TestHost host_;
};

TEST_F(Playback, OutputHoldsExactlyTheEnginesPcmInStampedBlocksAndTheSongEndsOnce) {
  Init();
  MadeSong song = MakeTestSong(dir_, "song", 1, [] { SongOptions o; o.kind = 3; return o; }());  // a MOD
  Reference ref = RenderReference(song);
  ASSERT_GT(ref.blockFrames.size(), 100u);
  ASSERT_LT(ref.blockFrames.back(), 1024) << "the song must end inside a block";
  ASSERT_EQ(0, host_.Play(song.path));
  ASSERT_TRUE(host_.WaitForEndMessages(1));
  ASSERT_TRUE(host_.WaitForClose(1));
  EXPECT_TRUE(host_.Written() == ref.pcm) << "written PCM differs from the engine's";
  std::vector<PcmCall> sa = host_.SaPcm(), vsa = host_.VsaPcm();
  ASSERT_EQ(ref.blockFrames.size(), sa.size());
  ASSERT_EQ(ref.blockFrames.size(), vsa.size());
  for (size_t i = 0; i < sa.size(); ++i) {
    EXPECT_EQ(static_cast<int>(i) * 23, sa[i].timestamp);
    EXPECT_EQ(sa[i].timestamp, vsa[i].timestamp);
    EXPECT_EQ(2 * 100 + 16, sa[i].channels * 100 + sa[i].bits);
  }
  EXPECT_EQ(std::vector<int>{0}, host_.Flushes());
  EXPECT_EQ((std::vector<std::pair<int, int>>{{44100, 2}}), host_.VsaSetInfos());
  host_.Stop();
  EXPECT_EQ(1, host_.EndMessages()) << "Stop after the end posts nothing more";
  EXPECT_EQ(1, host_.CloseCount());
}

TEST_F(Playback, BlocksWaitForRoomInEitherFormatAndAnEffectHookMayLengthenThem) {
  MadeSong song = MakeTestSong(dir_, "song", 1);
  TestHost& stereo = host_;
  for (bool eightBitMono : {true, false}) {
    if (!eightBitMono) host_.Quit();
    Init(eightBitMono);
    const int channels = eightBitMono ? 1 : 2, bits = eightBitMono ? 8 : 16, block = 1024 * channels * bits / 8;
    // Nothing written while the output has less room than a block, or than twice a
    // block with an active effect hook; without the hook the song plays to its end.
    for (bool dsp : {false, true}) {
      const int enough = dsp ? 2 * block : block, ends = host_.EndMessages(), polls = host_.CanWriteCalls();
      const size_t before = host_.WriteSizes().size();
      host_.SetDspActive(dsp);
      host_.SetFreeBytes(enough - 1);
      ASSERT_EQ(0, host_.Play(song.path));
      ASSERT_TRUE(host_.WaitUntil([&] { return host_.CanWriteCalls() >= polls + 4; }));
      EXPECT_EQ(before, host_.WriteSizes().size()) << "written with " << enough - 1 << " bytes free";
      host_.SetFreeBytes(enough);
      ASSERT_TRUE(dsp ? host_.WaitUntil([&] { return host_.WriteSizes().size() >= before + 2; })
                      : host_.WaitForEndMessages(ends + 1));
      host_.Stop();
      if (dsp) continue;
      EXPECT_EQ(ends + 1, host_.EndMessages()) << "a later song ends once too";
      Reference ref = RenderReference(song, channels, bits);
      std::vector<int> sizes = host_.WriteSizes();
      ASSERT_EQ(before + ref.blockFrames.size(), sizes.size());
      for (size_t i = 0; i < ref.blockFrames.size(); ++i) ASSERT_EQ(ref.blockFrames[i] * block / 1024, sizes[before + i]);
      EXPECT_TRUE(WrittenFrom(host_, before) == ref.pcm) << "the engine's PCM of " << bits << " bits";
      EXPECT_EQ(bits * 10 + channels, host_.Opens().back().bits * 10 + host_.Opens().back().channels);
      const SetInfoCall info = host_.SetInfos().back();
      EXPECT_EQ((std::vector<int>{bits, 44, channels}), (std::vector<int>{info.bitrate, info.sampleRate, info.stereo}));
      EXPECT_EQ((std::pair<int, int>{44100, channels}), host_.VsaSetInfos().back());
      EXPECT_EQ(bits, host_.SaPcm().back().bits);
    }
  }
  // Every frame twice: the block grows to 2048 frames in place and is written whole;
  // visualisation saw the block before the effect, stamped as usual.
  stereo.SetDsp([](short* samples, int frames, int, int channels, int) {
    for (int f = frames - 1; f >= 0; --f)
      for (int c = 0; c < channels; ++c)
        samples[(2 * f + 1) * channels + c] = samples[(2 * f) * channels + c] = samples[f * channels + c];
    return frames * 2;
  });
  stereo.SetFreeBytes(kFree);
  const size_t first = stereo.WriteSizes().size(), firstSa = stereo.SaPcm().size();
  const int ends = stereo.EndMessages();  // a loaded machine may have ended a song above before its Stop
  ASSERT_EQ(0, stereo.Play(song.path));
  ASSERT_TRUE(stereo.WaitForEndMessages(ends + 1));
  Reference ref = RenderReference(song);
  std::vector<int> sizes = stereo.WriteSizes();
  ASSERT_EQ(first + ref.blockFrames.size(), sizes.size());
  for (size_t i = 0; i < ref.blockFrames.size(); ++i) ASSERT_EQ(ref.blockFrames[i] * 8, sizes[first + i]);
  std::vector<uint8_t> written = WrittenFrom(stereo, first);
  ASSERT_EQ(ref.pcm.size() * 2, written.size());
  for (size_t f = 0; f < ref.pcm.size() / 4; f += 997) {
    EXPECT_EQ(0, std::memcmp(&written[f * 8], &ref.pcm[f * 4], 4)) << "frame " << f;
    EXPECT_EQ(0, std::memcmp(&written[f * 8 + 4], &ref.pcm[f * 4], 4)) << "frame " << f;
  }
  EXPECT_EQ(static_cast<int>(ref.blockFrames.size() - 1) * 23, stereo.SaPcm().back().timestamp);
  EXPECT_EQ(firstSa + ref.blockFrames.size(), stereo.SaPcm().size());
}

TEST_F(Playback, SeeksRestartTheEngineAtTheWholeSecondAndStampTheTarget) {
  Init();
  MadeSong song = MakeTestSong(dir_, "long", 17);  // 65.28 s
  Reference from61 = RenderReference(song, 2, 16, 61);
  PlayFrom(song, 61500);
  EXPECT_TRUE(host_.Written().empty());
  EXPECT_EQ(61500, host_.record()->GetOutputTime());
  ASSERT_TRUE(host_.WaitForEndMessages(1));
  EXPECT_TRUE(host_.Written() == from61.pcm) << "the engine's output from 61 s";
  ASSERT_GE(host_.SaPcm().size(), 2u);
  EXPECT_EQ(61500, host_.SaPcm()[0].timestamp);
  EXPECT_EQ(61523, host_.SaPcm()[1].timestamp);
  EXPECT_EQ(61500, host_.VsaPcm()[0].timestamp);
  host_.Stop();
  // At or past the end, also beyond what 32 bits or the engine can address: the song
  // ends without audio, never wrapping to its start; just before, only the rest plays.
  MadeSong shortSong = MakeTestSong(dir_, "short", 1);  // 3.84 s
  int ends = 1;
  for (int target : {3850, 3900, 40000, 100000, 40000000, 0x7FFFFFFF, 3500, -5000}) {
    const size_t before = host_.WriteSizes().size();
    PlayFrom(shortSong, target);  // a negative target: no time before the start
    ASSERT_TRUE(host_.WaitForEndMessages(++ends)) << target;
    host_.Stop();
    EXPECT_EQ(ends, host_.EndMessages()) << target;
    const std::vector<uint8_t> written = WrittenFrom(host_, before);
    if (target == 3500 || target < 0) {
      EXPECT_TRUE(written == RenderReference(shortSong, 2, 16, target < 0 ? 0 : 3).pcm) << target;
    } else {
      EXPECT_TRUE(written.empty()) << target << ": " << written.size() << " bytes";
    }
  }
  EXPECT_EQ(0, host_.Flushes().back());
  // A collection track returns from Play at once, so the request races the decode
  // thread's start (a player resuming where it left off): it is never lost.
  ZgmContents set;
  set.entries = {{kEntrySamplePack, "pack", ReadFile(song.packPath)}, {kEntryTune, "one", ReadFile(song.path)}};
  std::string reason;
  ASSERT_TRUE(WriteZgmFile(dir_.file("set.zgm"), set, &reason)) << reason;
  for (int round = 0; round < 20; ++round) {
    host_.SetFreeBytes(0);
    ASSERT_EQ(0, host_.Play("zgm://" + dir_.file("set.zgm") + ",1"));
    host_.record()->SetOutputTime(3000 + round);
    const int polls = host_.CanWriteCalls();  // two polls after the request: a kept one is done
    ASSERT_TRUE(host_.WaitUntil([&] { return host_.CanWriteCalls() >= polls + 2; }));
    EXPECT_TRUE(HasFlush(3000 + round)) << "round " << round << ": the seek was lost";
    host_.Stop();
  }
}

TEST_F(Playback, SeeksWhilePausedOrDrainingArePerformed) {
  Init();
  MadeSong song = MakeTestSong(dir_, "song", 3);
  host_.SetPlayingPolls(-1);  // the thread may render the whole song before the pause
  ASSERT_EQ(0, host_.Play(song.path));
  ASSERT_TRUE(host_.WaitUntil([&] { return host_.WriteSizes().size() >= 3; }));
  host_.record()->Pause();
  host_.SetFreeBytes(0);  // a paused output fills up and takes nothing more
  EXPECT_EQ(1, host_.record()->IsPaused());
  host_.record()->SetOutputTime(5000);
  ASSERT_TRUE(host_.WaitUntil([&] { return HasFlush(5000); }));
  // Counted from here: a thread that finished the song before the pause drained already.
  size_t atSeek = host_.WriteSizes().size();
  int drains = host_.IsPlayingCalls();
  host_.record()->UnPause();
  EXPECT_EQ(0, host_.record()->IsPaused());
  EXPECT_EQ((std::vector<int>{1, 0}), host_.PauseCalls());
  host_.SetFreeBytes(kFree);
  ASSERT_TRUE(host_.WaitUntil([&] { return host_.IsPlayingCalls() >= drains + 2; })) << "draining";
  EXPECT_TRUE(WrittenFrom(host_, atSeek) == RenderReference(song, 2, 16, 5).pcm) << "from 5 s";
  ASSERT_GT(host_.SaPcm().size(), atSeek);
  EXPECT_EQ(5000, host_.SaPcm()[atSeek].timestamp);
  // After the last block, while the output still plays: rendering resumes from the
  // target, and the thread drains again with no end message.
  atSeek = host_.WriteSizes().size();
  const Reference from1 = RenderReference(song, 2, 16, 1);
  host_.record()->SetOutputTime(1500);
  ASSERT_TRUE(host_.WaitUntil([&] { return host_.WriteSizes().size() >= atSeek + from1.blockFrames.size(); }));
  drains = host_.IsPlayingCalls();
  ASSERT_TRUE(host_.WaitUntil([&] { return host_.IsPlayingCalls() >= drains + 2; }));
  EXPECT_TRUE(HasFlush(1500));
  EXPECT_EQ(0, host_.EndMessages());
  host_.SetPlayingPolls(0);
  ASSERT_TRUE(host_.WaitForEndMessages(1));
  ASSERT_TRUE(host_.WaitForClose(1));
  EXPECT_EQ(1, host_.EndMessages());
  EXPECT_TRUE(WrittenFrom(host_, atSeek) == from1.pcm) << "from 1 s";
  ASSERT_GT(host_.SaPcm().size(), atSeek);
  EXPECT_EQ(1500, host_.SaPcm()[atSeek].timestamp);
}

TEST_F(Playback, LengthIsWholeSecondsStoredAtPlayAndKnownWhileLoaded) {
  Init();
  SongOptions tagged;
  tagged.tags = {{"title", "Tune"}, {"artist", "Maker"}};
  MadeSong song = MakeTestSong(dir_, "song", 2, tagged);  // 7.68 s
  In_Module* rec = host_.record();
  EXPECT_EQ(-1000, rec->GetLength()) << "nothing loaded";
  EXPECT_EQ(-1000, Length(song.path)) << "without LoadLen only a stored length counts";
  host_.SetPlayingPolls(-1);  // the output keeps playing: the module stays loaded
  ASSERT_EQ(0, host_.Play(song.path));
  EXPECT_EQ(7000, rec->GetLength());
  EXPECT_EQ(7000, Length(song.path)) << "Play stored the length tag";
  // A null or empty name means the song last started; a given name is taken as it is.
  char title[512];
  int length = 0;
  rec->GetFileInfo(nullptr, title, &length);
  EXPECT_EQ("Tune (Maker)", std::string(title));
  EXPECT_EQ(7000, length);
  EXPECT_EQ(7000, Length(""));
  MadeSong other = MakeTestSong(dir_, "other", 1);
  rec->GetFileInfo(other.path.c_str(), title, &length);
  EXPECT_NE("Tune (Maker)", std::string(title));
  ASSERT_TRUE(host_.WaitUntil([&] { return host_.IsPlayingCalls() >= 3; }));
  EXPECT_EQ(7000, rec->GetLength()) << "still loaded while draining";
  host_.Stop();  // a kill while draining posts no end message
  EXPECT_EQ(0, host_.EndMessages());
  EXPECT_EQ(1, host_.CloseCount());
  EXPECT_EQ(-1000, rec->GetLength());
  host_.SetPlayingPolls(0);
  ASSERT_EQ(0, host_.Play(song.path));
  ASSERT_TRUE(host_.WaitForClose(2));
  EXPECT_EQ(-1000, rec->GetLength()) << "the thread released the module at the end";
}

TEST_F(Playback, LoadLenComputesLengths) {
  Init(false, true);
  MadeSong song = MakeTestSong(dir_, "song", 2);
  EXPECT_EQ(7000, Length(song.path)) << "2 orders of 3.84 s, whole seconds";
  EXPECT_EQ(126000, Length(MakeTestSong(dir_, "longer", 33).path));
  EXPECT_EQ(-1000, Length(dir_.file("missing.zsf")));
  // A song too long to measure: the length is unknown everywhere, none is stored, and it plays.
  MadeSong endless = MakeSongFromSpec(dir_, "endless", EndlessSpec());
  ASSERT_TRUE(endless.ok) << endless.error;
  EXPECT_EQ(-1000, Length(endless.path));
  host_.SetFreeBytes(0);
  ASSERT_EQ(0, host_.Play(endless.path));
  EXPECT_EQ(-1000, host_.record()->GetLength());
  host_.SetFreeBytes(kFree);
  ASSERT_TRUE(host_.WaitUntil([&] { return host_.WriteSizes().size() >= 2; })) << "it plays";
  host_.Stop();
  uint16_t n = 0;
  char* text = ReadTagText(endless.path.c_str(), &n);
  EXPECT_EQ(std::string::npos, std::string(text ? text : "", n).find("length"));
  std::free(text);
}

TEST_F(Playback, StartsThatFailLeaveNothingOpenAndStoreNoLength) {
  Init();
  auto expectNothingLeft = [&](size_t opens) {
    EXPECT_EQ(opens, host_.Opens().size());
    EXPECT_EQ(static_cast<int>(opens), host_.CloseCount());
    EXPECT_EQ(0, host_.EndMessages());
    EXPECT_TRUE(host_.WriteSizes().empty());
    EXPECT_EQ(-1000, host_.record()->GetLength());
  };
  WriteFile(dir_.file("short.zsf"), std::string("ZS"));
  WriteFile(dir_.file("other.zsf"), std::string("RIFF....WAVE"));
  for (const char* name : {"short.zsf", "other.zsf", "missing.zsf"}) EXPECT_EQ(1, host_.Play(dir_.file(name))) << name;
  expectNothingLeft(0);
  // A well-formed song whose module image the engine refuses (an IT header cut short).
  ZsfSong broken;
  broken.packName = "empty.zsp";
  broken.structure.assign(64, 0);
  std::memcpy(broken.structure.data(), "IMPM", 4);
  std::vector<uint8_t> bytes, pack;
  std::string error;
  ASSERT_TRUE(WriteZsf(broken, &bytes, &error)) << error;
  ASSERT_TRUE(WriteZsp({}, ZspWriteOptions{}, &pack, &error)) << error;
  WriteFile(dir_.file("broken.zsf"), bytes);
  WriteFile(dir_.file("empty.zsp"), pack);
  EXPECT_EQ(1, host_.Play(dir_.file("broken.zsf")));
  expectNothingLeft(1);  // the output was opened before the load
  EXPECT_TRUE(ReadFile(dir_.file("broken.zsf")) == bytes) << "no length tag stored";
  host_.Stop();
  EXPECT_EQ(1, host_.CloseCount()) << "Stop closes nothing more";
  // A missing pack.
  MadeSong song = MakeTestSong(dir_, "song", 1);
  const std::vector<uint8_t> before = ReadFile(song.path);
  ASSERT_EQ(0, std::rename(song.packPath.c_str(), dir_.file("aside.zsp").c_str()));
  EXPECT_EQ(1, host_.Play(song.path));
  expectNothingLeft(2);
  // An output that refuses to open: nothing opened, nothing closed; then it works.
  ASSERT_EQ(0, std::rename(dir_.file("aside.zsp").c_str(), song.packPath.c_str()));
  const size_t inits = host_.SaVsaInits().size();
  host_.SetOpenResult(-1);
  EXPECT_EQ(1, host_.Play(song.path));
  EXPECT_EQ(3u, host_.Opens().size());
  EXPECT_EQ(2, host_.CloseCount()) << "nothing was opened";
  EXPECT_TRUE(host_.WriteSizes().empty());
  EXPECT_EQ(inits, host_.SaVsaInits().size());
  EXPECT_TRUE(ReadFile(song.path) == before);
  host_.SetOpenResult(500);
  EXPECT_EQ(0, host_.Play(song.path)) << "the next play works";
  ASSERT_TRUE(host_.WaitForEndMessages(1));
  host_.Stop();
  // A song that loads but whose samples the rebuild cannot place (a version before
  // sample offsets).
  SongOptions old;
  old.version = {1, 11};
  MadeSong unplaced = MakeTestSong(dir_, "old", 1, old);
  const size_t opens = host_.Opens().size();
  const int closes = host_.CloseCount();
  EXPECT_EQ(1, host_.Play(unplaced.path));
  EXPECT_EQ(host_.Opens().size() - opens, static_cast<size_t>(host_.CloseCount() - closes));
  EXPECT_EQ(1, host_.EndMessages());
  EXPECT_EQ(-1000, host_.record()->GetLength());
}

// Standard input reads TEXT, then ends, until this object goes.
class StdinFrom {
 public:
  explicit StdinFrom(const std::string& text) {
    int fds[2];
    if (pipe(fds) != 0 || write(fds[1], text.data(), text.size()) != static_cast<ssize_t>(text.size())) return;
    close(fds[1]);
    __fpurge(stdin);
    saved_ = dup(STDIN_FILENO);
    dup2(fds[0], STDIN_FILENO);
    close(fds[0]);
    clearerr(stdin);
  }
  ~StdinFrom() {
    __fpurge(stdin);
    dup2(saved_, STDIN_FILENO);
    close(saved_);
    clearerr(stdin);
  }

 private:
  int saved_ = -1;
};

// The prompt itself, its cancel and one song's answer are zsfplay's tests; here what
// only the plug-in's state shows: an empty answer asks again, and a key once given
// serves the next protected song without a prompt (which would meet the end of input).
TEST_F(Playback, ThePasswordPromptOnStandardInput) {
  Init();
  SongOptions first, second;
  first.password = "secret";
  second.password = "other";
  second.kind = 1;
  MadeSong locked = MakeTestSong(dir_, "first", 1, first), other = MakeTestSong(dir_, "second", 1, second);
  StdinFrom input("\nsecret\n");
  ASSERT_EQ(0, host_.Play(locked.path));
  ASSERT_TRUE(host_.WaitForEndMessages(1));
  EXPECT_TRUE(host_.Written() == RenderReference(locked).pcm);
  host_.Stop();
  ASSERT_EQ(0, host_.Play(other.path));
  ASSERT_TRUE(host_.WaitForEndMessages(2));
}

}  // namespace
