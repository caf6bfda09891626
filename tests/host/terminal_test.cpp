// zsfplay on a pseudo-terminal, as a person at a terminal uses it: the status line,
// the player's keys, the dialogs worked by keys, and the terminal back in line mode
// however the program ends. The sound card is libao's null driver, which plays in
// real time, so a song lasts as long as it sounds.
#include <gtest/gtest.h>
#include <signal.h>

#include <memory>

#include "support/build_paths.h"
#include "support/files.h"
#include "support/pty_session.h"
#include "support/song_maker.h"
#include "ui/tags.h"

namespace {

using namespace zsftest;

class Terminal : public ::testing::Test {
 protected:
  void Start(const std::vector<std::string>& args) {
    std::vector<std::string> argv{ZSF_BINARY_DIR "/zsfplay"};
    argv.insert(argv.end(), args.begin(), args.end());
    WriteFile(dir_.file(".libao"), std::string("default_driver=null\n"));
    term_ = std::make_unique<PtySession>();
    mark_ = 0;
    ASSERT_TRUE(term_->Start(argv, {"HOME=" + dir_.path(), "ZSF_REGISTRY=" + dir_.file("registry.reg")}, dir_.path()));
  }
  // The demo tune lasts about 35 s: long enough for keys, never played to its end.
  void StartDemo() {
    ASSERT_TRUE(MakeSongFromSpec(dir_, "demo", zsfsynth::DemoTuneSpec(), Titled("Demo")).ok);
    Start({"demo.zsf"});
    ASSERT_TRUE(term_->ReadUntil("Demo (Unknown artist) (")) << term_->screen();
    ASSERT_TRUE(term_->ReadUntil(" / 0:3")) << "status line: " << term_->screen();
  }
  // Types KEY (one key, perhaps an escape sequence) once the dialog has been drawn
  // after the key before.
  void PressInDialog(const std::string& key) {
    if (HasFatalFailure()) return;  // the dialog went astray already: no more waiting
    ASSERT_TRUE(term_->ReadUntil("Ctrl-D ends", mark_)) << term_->screen();
    mark_ = term_->screen().size();
    ASSERT_TRUE(term_->Type(key));
  }
  void TypeInDialog(const std::string& keys) {
    for (char key : keys) PressInDialog(std::string(1, key));
  }
  TempDir dir_;
  std::unique_ptr<PtySession> term_;
  size_t mark_ = 0;
};

TEST_F(Terminal, PauseSeekAndQuitByKeys) {
  StartDemo();
  EXPECT_FALSE(term_->Cooked()) << "keys are read one by one";
  term_->Type(" ");
  ASSERT_TRUE(term_->ReadUntil("(paused)")) << term_->screen();
  size_t pausedAt = term_->screen().size();
  // Two steps forward from the first seconds while paused: only the seek moves the clock.
  term_->Type("\x1b[C\x1b[C");
  ASSERT_TRUE(term_->ReadUntil("  0:1", pausedAt)) << term_->screen();
  pausedAt = term_->screen().size();
  term_->Type(" ");
  ASSERT_TRUE(term_->ReadUntil("]\x1b[K", pausedAt)) << "resumed: a status line without the mark";
  term_->Type("q");
  EXPECT_EQ(0, term_->Wait()) << term_->screen();
  EXPECT_TRUE(term_->Cooked()) << "the terminal is restored";
}

TEST_F(Terminal, NextEndsTheLastSongAndASignalFails) {
  StartDemo();
  term_->Type("n");
  EXPECT_EQ(0, term_->Wait()) << term_->screen();
  EXPECT_TRUE(term_->Cooked());
  StartDemo();
  term_->Signal(SIGTERM);
  EXPECT_EQ(1, term_->Wait()) << term_->screen();
  EXPECT_NE(std::string::npos, term_->screen().find("interrupted")) << term_->screen();
  EXPECT_TRUE(term_->Cooked());
}

TEST_F(Terminal, DialogsByKeys) {
  Start({"--config"});
  TypeInDialog("\t\t\t");  // edit -> 8 Bit -> Mono (the disabled box is skipped) -> the next
  PressInDialog("\x1b[Z");  // and back (Shift-Tab)
  TypeInDialog(" ");       // tick
  TypeInDialog("\x1b");   // ignored
  TypeInDialog("\r");     // OK
  EXPECT_EQ(0, term_->Wait());
  EXPECT_NE(std::string::npos, term_->screen().find(">[x] Mono")) << "ticked, with the focus mark";
  EXPECT_TRUE(term_->Cooked());
  std::vector<uint8_t> store = ReadFile(dir_.file("registry.reg"));
  EXPECT_NE(std::string::npos, std::string(store.begin(), store.end()).find("\"Mono\"=dword:00000001"));

  MadeSong song = MakeTaggedSong(dir_, "keys", {{"title", "T"}});
  Start({"--info", song.path});
  PressInDialog("\x1b[B");  // the arrow selects the first tag in the list
  TypeInDialog("\t ");      // -> Edit Tag, press
  TypeInDialog("\x7fU\r");  // the value offered, replaced
  TypeInDialog("\t ");          // -> Add Tag, press
  TypeInDialog("Yeaz\x7fr\r");  // the name, with a correction
  TypeInDialog("2004\r");
  TypeInDialog("\x04");  // Ctrl-D closes as OK
  EXPECT_EQ(0, term_->Wait());
  EXPECT_TRUE(term_->Cooked());
  uint16_t n = 0;
  char* text = ReadTagText(song.path.c_str(), &n);
  EXPECT_EQ("title=U\nyear=2004\n", std::string(text ? text : "", n));
  std::free(text);
}

}  // namespace
