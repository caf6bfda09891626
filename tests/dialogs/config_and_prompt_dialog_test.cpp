// The configuration dialog and the prompt through their models and the line-driven
// front end: what they show, what OK stores, the 99/199-character cuts, Escape and
// close ignored, the end of input; the About box and the collection's password
// question; every form fits 80 columns.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "support/files.h"
#include "support/scripted_front_end.h"
#include "support/song_maker.h"
#include "ui/dialogs/config_model.h"
#include "ui/dialogs/message_boxes.h"
#include "ui/dialogs/prompt_model.h"
#include "ui/password.h"
#include "ui/player_settings.h"
#include "ui/tags.h"

namespace {

using namespace zsftest;

uint32_t Hash(std::string text) { return HashPassword(&text[0], static_cast<uint32_t>(text.size())); }

bool FitsEightyColumns(const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line))
    if (line.size() > 80) return false;
  return true;
}

TEST(ConfigDialog, ShowsTheSettingsAndStoresThemAtOk) {
  PlayerSettings settings;
  settings.Reset();
  settings.DisableSEcho = 1;
  settings.Mono = 1;
  ScriptedFrontEnd fe("title %artist% - %title%\n8bit on\nmono off\nlengths on\necho off\nescape\nclose\nok\nleft\n");
  ConfigModel dialog(settings);
  fe.front().RunDialog(dialog);
  EXPECT_TRUE(dialog.Closed());
  EXPECT_EQ(settings.DisableSEcho, 1u) << "the disabled box cannot be changed";
  EXPECT_EQ(settings.LoBit, 1u);
  EXPECT_EQ(settings.Mono, 0u);
  EXPECT_EQ(settings.LoadLen, 1u);
  EXPECT_STREQ(settings.TitleOutput, "%artist% - %title%");
  EXPECT_EQ(fe.Rest(), "left\n");
  const std::string shown = fe.Shown();
  EXPECT_NE(shown.find("ZSF Configuration"), std::string::npos);
  EXPECT_NE(shown.find("[x] (Disable 'SEcho')"), std::string::npos);
  EXPECT_NE(shown.find("[ ] 8 Bit"), std::string::npos);
  EXPECT_NE(shown.find("[x] 8 Bit"), std::string::npos);
  EXPECT_NE(shown.find("Way to display titles in Winamp."), std::string::npos);
  EXPECT_NE(shown.find("is disabled"), std::string::npos);
  EXPECT_TRUE(FitsEightyColumns(shown));
}

TEST(ConfigDialog, OpensWithTheRecordAndCutsTheTemplateTo99) {
  PlayerSettings settings;
  settings.Reset();
  settings.LoadLen = 1;
  ConfigModel dialog(settings);
  dialog.Open();
  EXPECT_EQ(dialog.Find(kConfigTitleEdit)->text, "%title% (%artist%)");
  EXPECT_TRUE(dialog.Find(kConfigLoadLen)->checked);
  EXPECT_FALSE(dialog.Find(kConfigMono)->checked);
  EXPECT_FALSE(dialog.Find(kConfigDisableEcho)->enabled);
  dialog.Command(kCommandCancel);
  dialog.Command(kCommandClose);
  EXPECT_FALSE(dialog.Closed());
  dialog.Find(kConfigTitleEdit)->text = std::string(150, 't');
  dialog.Command(kCommandOk);
  EXPECT_EQ(std::string(settings.TitleOutput), std::string(99, 't'));

  // Through the front end, the end of input closes as if OK were pressed.
  ScriptedFrontEnd fe("mono on\n");
  ConfigModel again(settings);
  fe.front().RunDialog(again);
  EXPECT_EQ(settings.Mono, 1u);
}

TEST(PromptDialogModel, ShowsThePromptAndCopiesAtMost199Characters) {
  char answer[kPromptAnswerSize] = "start";
  PromptRequest request{"Name the Tag", answer};
  PromptModel dialog(request);
  dialog.Open();
  EXPECT_EQ(dialog.Caption(), "Name the Tag");
  EXPECT_EQ(dialog.Find(kPromptLabel)->text, "Name the Tag");
  EXPECT_EQ(dialog.Find(kPromptEdit)->text, "start");
  dialog.Command(kCommandCancel);
  dialog.Command(kCommandClose);
  EXPECT_FALSE(dialog.Closed());
  EXPECT_STREQ(answer, "start");
  dialog.Find(kPromptEdit)->text = std::string(500, 'a');
  dialog.Command(kCommandOk);
  EXPECT_TRUE(dialog.Closed());
  EXPECT_EQ(std::string(answer), std::string(199, 'a'));
}

TEST(MessageBoxes, YesNoReadsAnAnswerAndTheEndOfInputIsNo) {
  ScriptedFrontEnd fe("maybe\nYES\nno\n");
  MessageBoxModel q = ChangePasswordQuestion();
  EXPECT_EQ(q.caption, "INZSF");
  EXPECT_EQ(q.text, "Would you like to change the current password?");
  EXPECT_EQ(fe.front().ShowMessage(q), MessageAnswer::Yes);
  EXPECT_EQ(fe.front().ShowMessage(q), MessageAnswer::No);
  EXPECT_EQ(fe.front().ShowMessage(q), MessageAnswer::No);
}

TEST(InformationCommand, AfterACollectionOnlyThePasswordIsAsked) {
  TempDir dir;
  MadeSong song = MakeTaggedSong(dir, "any", {{"title", "T"}});
  const std::vector<uint8_t> before = ReadFile(song.path);
  uint32_t key = 0;
  {
    ScriptedFrontEnd fe("yes\nOpen Sesame\n");
    EXPECT_EQ(RunInformationCommand(song.path.c_str(), true, key, fe.services()), 0);
    ASSERT_EQ(fe.boxes.size(), 1u);
    EXPECT_EQ(fe.boxes[0].caption, "INZSF");
    ASSERT_EQ(fe.prompts.size(), 1u);
    EXPECT_EQ(fe.prompts[0].prompt, "Enter a Password");
    EXPECT_EQ(fe.Shown().find("ZSF File Info"), std::string::npos);
    EXPECT_EQ(fe.Shown().find("Title: T"), std::string::npos) << "no dialog about the file";
  }
  EXPECT_EQ(key, Hash("open sesame"));
  {
    ScriptedFrontEnd fe("no\nother\n");
    RunInformationCommand(song.path.c_str(), true, key, fe.services());
    EXPECT_TRUE(fe.prompts.empty());
    EXPECT_EQ(fe.Rest(), "other\n");
  }
  EXPECT_EQ(key, Hash("open sesame"));
  EXPECT_TRUE(ReadFile(song.path) == before);
  {
    // Without a collection the information dialog opens; the end of input closes it.
    ScriptedFrontEnd fe("select 1\n");
    RunInformationCommand(song.path.c_str(), false, key, fe.services());
    EXPECT_NE(fe.Shown().find("Title: T"), std::string::npos);
    EXPECT_TRUE(fe.boxes.empty());
    EXPECT_TRUE(FitsEightyColumns(fe.Shown()));
  }
}

TEST(InformationCommand, TheLineCommandsDriveTheDialog) {
  TempDir dir;
  MadeSong song = MakeTaggedSong(dir, "cmds", {{"title", "T"}, {"artist", "A"}});
  uint32_t key = 0;
  ScriptedFrontEnd fe("edit\nselect 9\nselect 2\nedit\nB\nadd\nYear\n2004\nselect 1\nremove\nyes\npassword\npw\nbogus\nok\n");
  RunInformationCommand(song.path.c_str(), false, key, fe.services());
  const std::string shown = fe.Shown();
  EXPECT_NE(shown.find("is disabled"), std::string::npos) << "Edit is disabled before a selection";
  EXPECT_NE(shown.find("no line 9"), std::string::npos);
  EXPECT_NE(shown.find("unknown command: bogus"), std::string::npos);
  EXPECT_EQ(key, Hash("pw"));
  uint16_t n = 0;
  char* text = ReadTagText(song.path.c_str(), &n);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::string(text, n), "artist=B\nyear=2004\n");
  std::free(text);
}

}  // namespace
