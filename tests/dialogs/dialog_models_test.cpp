// The dialogs through their models and the line-driven front end: what they show,
// what OK stores, the 99/199-character cuts, Escape and close ignored, the end of
// input; the information dialog's tag editing, written back only when it closes and
// never into a collection or a file without a trailer.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "container/song.h"
#include "support/files.h"
#include "support/scripted_front_end.h"
#include "support/song_maker.h"
#include "ui/dialogs/config_model.h"
#include "ui/dialogs/info_model.h"
#include "ui/dialogs/information_command.h"
#include "ui/dialogs/message_boxes.h"
#include "ui/dialogs/prompt_model.h"
#include "ui/password.h"
#include "ui/player_settings.h"

namespace {

using namespace zsftest;

uint32_t Hash(std::string text) { return HashPassword(&text[0], static_cast<uint32_t>(text.size())); }

std::string Tags(const std::string& path) {
  uint16_t n = 0;
  char* text = ReadTagText(path.c_str(), &n);
  std::string out = text ? std::string(text, n) : "(none)";
  std::free(text);
  return out;
}

bool FitsEightyColumns(const std::string& text) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    if (line.size() > 80) return false;
  return true;
}

TEST(ConfigDialog, ShowsTheSettingsAndStoresThemAtOk) {
  PlayerSettings settings;
  settings.Reset();
  settings.DisableSEcho = settings.Mono = 1;
  ScriptedFrontEnd fe("title %artist% - %title%\n8bit on\nmono off\nlengths on\necho off\nescape\nclose\nok\nleft\n");
  ConfigModel dialog(settings);
  fe.front().RunDialog(dialog);
  EXPECT_TRUE(dialog.Closed());
  EXPECT_EQ(1u, settings.DisableSEcho) << "the disabled box cannot be changed";
  EXPECT_EQ(1u, settings.LoBit);
  EXPECT_EQ(0u, settings.Mono);
  EXPECT_EQ(1u, settings.LoadLen);
  EXPECT_STREQ("%artist% - %title%", settings.TitleOutput);
  EXPECT_EQ("left\n", fe.Rest());
  const std::string shown = fe.Shown();
  for (const char* part : {"ZSF Configuration", "[x] (Disable 'SEcho')", "[ ] 8 Bit", "[x] 8 Bit",
                           "Way to display titles in Winamp.", "is disabled"})
    EXPECT_NE(std::string::npos, shown.find(part)) << part;
  EXPECT_TRUE(FitsEightyColumns(shown));
  // Opened from the record; Cancel and close ignored; the template cut to 99.
  ConfigModel again(settings);
  again.Open();
  EXPECT_EQ("%artist% - %title%", again.Find(kConfigTitleEdit)->text);
  EXPECT_TRUE(again.Find(kConfigLoadLen)->checked);
  EXPECT_FALSE(again.Find(kConfigMono)->checked);
  EXPECT_FALSE(again.Find(kConfigDisableEcho)->enabled);
  again.Command(kCommandCancel);
  again.Command(kCommandClose);
  EXPECT_FALSE(again.Closed());
  again.Find(kConfigTitleEdit)->text = std::string(150, 't');
  again.Command(kCommandOk);
  EXPECT_EQ(std::string(99, 't'), settings.TitleOutput);
  ScriptedFrontEnd end("mono on\n");  // the end of input closes as if OK were pressed
  ConfigModel third(settings);
  end.front().RunDialog(third);
  EXPECT_EQ(1u, settings.Mono);
}

TEST(PromptAndMessageBoxes, PromptCopiesAtMost199AndTheEndOfInputIsNo) {
  char answer[kPromptAnswerSize] = "start";
  PromptRequest request{"Name the Tag", answer};
  PromptModel dialog(request);
  dialog.Open();
  EXPECT_EQ("Name the Tag", dialog.Caption());
  EXPECT_EQ("Name the Tag", dialog.Find(kPromptLabel)->text);
  EXPECT_EQ("start", dialog.Find(kPromptEdit)->text);
  dialog.Command(kCommandCancel);
  dialog.Command(kCommandClose);
  EXPECT_FALSE(dialog.Closed());
  EXPECT_STREQ("start", answer);
  dialog.Find(kPromptEdit)->text = std::string(500, 'a');
  dialog.Command(kCommandOk);
  EXPECT_TRUE(dialog.Closed());
  EXPECT_EQ(std::string(199, 'a'), answer);
  ScriptedFrontEnd fe("maybe\nYES\nno\n");
  MessageBoxModel q = ChangePasswordQuestion();
  EXPECT_EQ("INZSF", q.caption);
  EXPECT_EQ("Would you like to change the current password?", q.text);
  EXPECT_EQ(MessageAnswer::Yes, fe.front().ShowMessage(q));
  EXPECT_EQ(MessageAnswer::No, fe.front().ShowMessage(q));
  EXPECT_EQ(MessageAnswer::No, fe.front().ShowMessage(q));
}

TEST(InfoDialog, ShowsTheSongAndEditsItsTagsStoredWhenItCloses) {
  TempDir dir;
  MadeSong song = MakeTaggedSong(dir, "tg", {{"title", "Opening"}, {"game", "Quest"}, {"ratio", "100%s"}});
  uint32_t samples = 0, key = 0;
  Song counter;
  counter.LoadFile(song.path.c_str(), &samples);
  const std::vector<uint8_t> before = ReadFile(song.path);
  ScriptedFrontEnd fe("no\nyes\n200%d\nYear\n2004\nSecret\n");
  InfoModel dialog(song.path.c_str(), fe.services(), key);
  dialog.Open();
  EXPECT_EQ(song.path, dialog.Caption());
  EXPECT_EQ("Title: Opening", dialog.Find(kInfoTitle)->text);
  EXPECT_EQ("Artist:", dialog.Find(kInfoArtist)->text);
  EXPECT_EQ("Game: Quest", dialog.Find(kInfoAlbum)->text);
  EXPECT_EQ("Samples: " + std::to_string(samples), dialog.Find(kInfoSamples)->text);
  EXPECT_GT(samples, 0u);
  EXPECT_EQ("No Tag Selected", dialog.Find(kInfoValue)->text);
  EXPECT_EQ((std::vector<std::string>{"title", "game", "ratio"}), dialog.Find(kInfoTagList)->lines);
  EXPECT_FALSE(dialog.Find(kInfoEditTag)->enabled);
  EXPECT_FALSE(dialog.Find(kInfoRemoveTag)->enabled);
  dialog.Command(kInfoEditTag);  // nothing selected: nothing happens
  dialog.Command(kInfoRemoveTag);
  EXPECT_TRUE(fe.prompts.empty() && fe.boxes.empty());
  dialog.SelectionChanged(kInfoTagList, 1);
  EXPECT_EQ("Quest", dialog.Find(kInfoValue)->text);
  EXPECT_TRUE(dialog.Find(kInfoEditTag)->enabled && dialog.Find(kInfoRemoveTag)->enabled);
  dialog.Command(kInfoRemoveTag);  // answered no: kept
  EXPECT_EQ(3, dialog.Tags().count);
  dialog.Command(kInfoRemoveTag);
  ASSERT_EQ(2u, fe.boxes.size());
  EXPECT_EQ("Are you sure you want to delete this tag?", fe.boxes[1].text);
  EXPECT_EQ("ZSFPlay", fe.boxes[1].caption);
  EXPECT_EQ(MessageButtons::YesNo, fe.boxes[1].buttons);
  EXPECT_EQ(MessageIcon::Question, fe.boxes[1].icon);
  EXPECT_EQ((std::vector<std::string>{"title", "ratio"}), dialog.Find(kInfoTagList)->lines);
  EXPECT_EQ(-1, dialog.Find(kInfoTagList)->selection);
  EXPECT_EQ("Quest", dialog.Find(kInfoValue)->text) << "keeps its text";
  dialog.Command(kInfoEditTag);  // after a removal: nothing until a tag is selected
  EXPECT_TRUE(fe.prompts.empty());
  // Edit offers the value with its percent sign as it is and takes the answer likewise.
  dialog.SelectionChanged(kInfoTagList, 1);
  dialog.Command(kInfoEditTag);
  ASSERT_EQ(1u, fe.prompts.size());
  EXPECT_EQ("Enter a New Value", fe.prompts[0].prompt);
  EXPECT_EQ("100%s", fe.prompts[0].offered);
  EXPECT_NE(std::string::npos, fe.Shown().find("[100%s_"));
  EXPECT_STREQ("200%d", dialog.Tags().values[1]);
  EXPECT_EQ("100%s", dialog.Find(kInfoValue)->text) << "the value text is not refreshed";
  dialog.Command(kInfoAddTag);
  ASSERT_EQ(3u, fe.prompts.size());
  EXPECT_EQ("Name the Tag", fe.prompts[1].prompt);
  EXPECT_EQ("Set the Value", fe.prompts[2].prompt);
  EXPECT_EQ("Year", dialog.Find(kInfoTagList)->lines.back());
  dialog.Command(kInfoPassword);
  EXPECT_EQ("Enter a Password", fe.prompts[3].prompt);
  EXPECT_EQ(Hash("secret"), key);
  dialog.Command(kCommandCancel);
  dialog.Command(kCommandClose);
  EXPECT_FALSE(dialog.Closed());
  EXPECT_TRUE(ReadFile(song.path) == before) << "nothing is written while the dialog is open";
  dialog.Command(kCommandOk);
  ASSERT_TRUE(dialog.Closed());
  dialog.Destroy();
  EXPECT_EQ("title=Opening\nratio=200%d\nyear=2004\n", Tags(song.path));
  const std::vector<uint8_t> after = ReadFile(song.path);
  const size_t body = before.size() - 2 - (before[before.size() - 2] | before.back() << 8);
  EXPECT_TRUE(std::equal(before.begin(), before.begin() + body, after.begin())) << "the body is unchanged";
}

TEST(InfoDialog, WritesOnlyWhereItSafelyCan) {
  TempDir dir;
  uint32_t key = 0;
  // A collection whose last bytes happen to form a trailer, and a file whose trailer
  // announces more than it holds: shown, never written.
  const std::string tags = "title=Set\n";
  WriteFile(dir.file("set.zgm"), "ZGM1" + std::string(12, '\0') + tags + char(tags.size()) + '\0');
  WriteFile(dir.file("broken.zsf"), std::string("ZSF1abc\xff\xff", 9));
  for (const char* name : {"set.zgm", "broken.zsf", "missing.zsf"}) {
    const std::string path = dir.file(name);
    const std::vector<uint8_t> before = ReadFile(path);
    ScriptedFrontEnd fe("Year\n2004\n");
    InfoModel dialog(path.c_str(), fe.services(), key);
    dialog.Open();
    if (name[0] == 's') { EXPECT_EQ("Title: Set", dialog.Find(kInfoTitle)->text); }
    if (name[0] == 'm') { EXPECT_EQ("No Tags!", dialog.Find(kInfoValue)->text); }
    if (name[0] == 'm') { EXPECT_EQ("Samples: 0", dialog.Find(kInfoSamples)->text); }
    dialog.Command(kInfoAddTag);
    dialog.Command(kCommandOk);
    dialog.Destroy();
    EXPECT_TRUE(ReadFile(path) == before) << name << " is left untouched";
    EXPECT_EQ(name[0] != 'm', FileExists(path));
  }
  // Names and values too long for the buffers are cut, not overflowed; the tags go to
  // the file opened, not to a name cut to 199 characters.
  std::string folder = dir.path();
  while (folder.size() < 230) ASSERT_EQ(0, mkdir((folder += "/" + std::string(40, 'd')).c_str(), 0700));
  const std::string longValue(300, 'v'), path = folder + "/long.zsf";
  ASSERT_EQ(0, std::rename(MakeTaggedSong(dir, "long", {{"title", longValue}, {"note", longValue}}).path.c_str(),
                           path.c_str()));
  ScriptedFrontEnd fe(longValue.substr(0, 199) + "\n");
  InfoModel dialog(path.c_str(), fe.services(), key);
  dialog.Open();
  EXPECT_EQ(path.substr(0, 199), dialog.Caption());
  EXPECT_EQ(("Title: " + longValue).substr(0, 199), dialog.Find(kInfoTitle)->text);
  dialog.SelectionChanged(kInfoTagList, 1);
  EXPECT_EQ(longValue.substr(0, 199), dialog.Find(kInfoValue)->text);
  dialog.Command(kInfoEditTag);
  ASSERT_EQ(1u, fe.prompts.size());
  EXPECT_EQ(longValue.substr(0, 199), fe.prompts[0].offered);
  EXPECT_EQ(longValue, dialog.Tags().values[1]) << "an unchanged cut offer keeps the value";
  dialog.Command(kCommandOk);
  dialog.Destroy();
  EXPECT_EQ("title=" + longValue + "\nnote=" + longValue + "\n", Tags(path));
}

TEST(InformationCommand, AfterACollectionOnlyThePasswordIsAskedElseTheLinesDriveTheDialog) {
  TempDir dir;
  MadeSong song = MakeTaggedSong(dir, "cmds", {{"title", "T"}, {"artist", "A"}});
  const std::vector<uint8_t> before = ReadFile(song.path);
  uint32_t key = 0;
  {
    ScriptedFrontEnd fe("yes\nOpen Sesame\n");
    EXPECT_EQ(0, RunInformationCommand(song.path.c_str(), true, key, fe.services()));
    ASSERT_EQ(1u, fe.boxes.size());
    EXPECT_EQ("INZSF", fe.boxes[0].caption);
    ASSERT_EQ(1u, fe.prompts.size());
    EXPECT_EQ("Enter a Password", fe.prompts[0].prompt);
    EXPECT_EQ(std::string::npos, fe.Shown().find("Title: T")) << "no dialog about the file";
  }
  EXPECT_EQ(Hash("open sesame"), key);
  ScriptedFrontEnd no("no\nother\n");
  RunInformationCommand(song.path.c_str(), true, key, no.services());
  EXPECT_TRUE(no.prompts.empty());
  EXPECT_EQ("other\n", no.Rest());
  EXPECT_TRUE(ReadFile(song.path) == before);
  ScriptedFrontEnd fe("edit\nselect 9\nselect 2\nedit\nB\nadd\nYear\n2004\nselect 1\nremove\nyes\npassword\npw\nbogus\nok\n");
  RunInformationCommand(song.path.c_str(), false, key, fe.services());
  const std::string shown = fe.Shown();
  for (const char* part : {"Title: T", "is disabled", "no line 9", "unknown command: bogus"})
    EXPECT_NE(std::string::npos, shown.find(part)) << part;
  EXPECT_TRUE(FitsEightyColumns(shown));
  EXPECT_EQ(Hash("pw"), key);
  EXPECT_EQ("artist=B\nyear=2004\n", Tags(song.path));
}

}  // namespace
