// The dialogs on a terminal, driven by keys through zsfplay: Tab moves past the
// disabled box, Space ticks, Escape leaves the dialog open, Enter presses OK; the
// information dialog's Add Tag opens two prompts typed into; Ctrl-D closes as OK.
// The terminal is back in line mode afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/files.h"
#include "support/pty_session.h"
#include "support/song_maker.h"
#include "ui/tags.h"

namespace {

using namespace zsftest;

class TerminalDialogs : public ::testing::Test {
 protected:
  void Start(const std::vector<std::string>& args) {
    std::vector<std::string> argv{ZSF_BINARY_DIR "/zsfplay"};
    argv.insert(argv.end(), args.begin(), args.end());
    ASSERT_TRUE(term_.Start(argv, {"ZSF_REGISTRY=" + registry_}));
  }
  // Types KEYS one by one, each once the form has been drawn after the one before.
  void Type(const std::string& keys) {
    for (char key : keys) {
      ASSERT_TRUE(term_.ReadUntil("Ctrl-D ends", mark_)) << term_.screen();
      mark_ = term_.screen().size();
      ASSERT_TRUE(term_.Type(std::string(1, key)));
    }
  }

  TempDir dir_;
  std::string registry_ = dir_.file("registry.reg");
  PtySession term_;
  size_t mark_ = 0;
};

TEST_F(TerminalDialogs, TheConfigurationByKeys) {
  Start({"--config"});
  Type("\t\t ");   // edit -> 8 Bit -> Mono (the disabled box is skipped), tick
  Type("\x1b");    // ignored
  Type("\r");      // OK
  EXPECT_EQ(term_.Wait(), 0);
  EXPECT_NE(term_.screen().find("[x] Mono"), std::string::npos);
  EXPECT_TRUE(term_.Cooked());
  std::vector<uint8_t> store = ReadFile(registry_);
  EXPECT_NE(std::string(store.begin(), store.end()).find("\"Mono\"=dword:00000001"), std::string::npos);
}

TEST_F(TerminalDialogs, AddTagByKeysAndCtrlDClosesAsOk) {
  MadeSong song = MakeTaggedSong(dir_, "keys", {{"title", "T"}});
  Start({"--info", song.path});
  Type("\t ");          // list -> Add Tag (Edit is disabled), press
  Type("Yeaz\x7fr\r");  // the name, with a correction
  Type("2004\r");
  Type("\x04");
  EXPECT_EQ(term_.Wait(), 0);
  EXPECT_TRUE(term_.Cooked());
  uint16_t n = 0;
  char* text = ReadTagText(song.path.c_str(), &n);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::string(text, n), "title=T\nyear=2004\n");
  std::free(text);
}

}  // namespace
