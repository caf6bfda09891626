// The file information dialog driven through its model: what it shows on opening,
// Add/Edit/Remove and the password button, Escape and close ignored, the tags written
// back when it is destroyed, never into a collection or a file without a trailer,
// and names and values too long for its buffers cut without overflowing.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "container/song.h"
#include "support/files.h"
#include "support/scripted_front_end.h"
#include "support/song_maker.h"
#include "ui/dialogs/info_model.h"
#include "ui/password.h"
#include "ui/tags.h"

namespace {

using namespace zsftest;

std::string FileText(const std::string& path) {
  std::vector<uint8_t> b = ReadFile(path);
  return std::string(b.begin(), b.end());
}

uint32_t Hash(std::string text) { return HashPassword(&text[0], static_cast<uint32_t>(text.size())); }

class InfoDialog : public ::testing::Test {
 protected:
  TempDir dir_;
  uint32_t key_ = 0;
};

TEST_F(InfoDialog, ATitleAndGameOnlySongShowsThemAndTheSampleCount) {
  MadeSong song = MakeTaggedSong(dir_, "tg", {{"title", "Opening"}, {"game", "Quest"}});
  uint32_t samples = 0;
  Song counter;
  counter.LoadFile(song.path.c_str(), &samples);
  ScriptedFrontEnd fe("");
  InfoModel dialog(song.path.c_str(), fe.services(), key_);
  dialog.Open();
  EXPECT_EQ(dialog.Caption(), song.path);
  EXPECT_EQ(dialog.Find(kInfoTitle)->text, "Title: Opening");
  EXPECT_EQ(dialog.Find(kInfoArtist)->text, "Artist:");
  EXPECT_EQ(dialog.Find(kInfoAlbum)->text, "Game: Quest");
  EXPECT_EQ(dialog.Find(kInfoSamples)->text, "Samples: " + std::to_string(samples));
  EXPECT_GT(samples, 0u);
  EXPECT_EQ(dialog.Find(kInfoValue)->text, "No Tag Selected");
  EXPECT_EQ(dialog.Find(kInfoTagList)->lines, (std::vector<std::string>{"title", "game"}));
  EXPECT_FALSE(dialog.Find(kInfoEditTag)->enabled);
  EXPECT_FALSE(dialog.Find(kInfoRemoveTag)->enabled);
  EXPECT_TRUE(dialog.Find(kInfoAddTag)->enabled);
  dialog.SelectionChanged(kInfoTagList, 1);
  EXPECT_EQ(dialog.Find(kInfoValue)->text, "Quest");
  EXPECT_TRUE(dialog.Find(kInfoEditTag)->enabled);
  EXPECT_TRUE(dialog.Find(kInfoRemoveTag)->enabled);
  // Escape and close leave it open; the password button sets the key only.
  dialog.Command(kCommandCancel);
  dialog.Command(kCommandClose);
  EXPECT_FALSE(dialog.Closed());
  dialog.Command(kCommandOk);
  EXPECT_TRUE(dialog.Closed());
  dialog.Destroy();
}

TEST_F(InfoDialog, PasswordButtonSetsTheKey) {
  MadeSong song = MakeTaggedSong(dir_, "pw", {{"title", "T"}});
  ScriptedFrontEnd fe("Secret\n");
  InfoModel dialog(song.path.c_str(), fe.services(), key_);
  dialog.Open();
  dialog.Command(kInfoPassword);
  ASSERT_EQ(fe.prompts.size(), 1u);
  EXPECT_EQ(fe.prompts[0].prompt, "Enter a Password");
  EXPECT_EQ(key_, Hash("secret"));
  dialog.Command(kCommandOk);
  dialog.Destroy();
}

TEST_F(InfoDialog, AddTagYearIsStoredWhenTheDialogCloses) {
  MadeSong song = MakeTaggedSong(dir_, "add", {{"title", "T"}});
  const std::vector<uint8_t> before = ReadFile(song.path);
  ScriptedFrontEnd fe("Year\n2004\n");
  InfoModel dialog(song.path.c_str(), fe.services(), key_);
  dialog.Open();
  dialog.Command(kInfoAddTag);
  ASSERT_EQ(fe.prompts.size(), 2u);
  EXPECT_EQ(fe.prompts[0].prompt, "Name the Tag");
  EXPECT_EQ(fe.prompts[1].prompt, "Set the Value");
  EXPECT_EQ(dialog.Find(kInfoTagList)->lines.back(), "Year");
  EXPECT_TRUE(ReadFile(song.path) == before) << "nothing is written while the dialog is open";
  dialog.Command(kCommandOk);
  ASSERT_TRUE(dialog.Closed());
  dialog.Destroy();
  const std::string text = FileText(song.path);
  EXPECT_NE(text.find("title=T\nyear=2004\n"), std::string::npos);
  // The song body before the tags is unchanged.
  const std::vector<uint8_t> after = ReadFile(song.path);
  const size_t oldTags = before[before.size() - 2] | (before[before.size() - 1] << 8);
  const size_t body = before.size() - 2 - oldTags;
  ASSERT_GE(after.size(), body);
  EXPECT_TRUE(std::equal(before.begin(), before.begin() + body, after.begin()));
}

TEST_F(InfoDialog, EditOffersAValueWithPercentLiterally) {
  MadeSong song = MakeTaggedSong(dir_, "pct", {{"ratio", "100%s"}});
  ScriptedFrontEnd fe("200%d\n");
  InfoModel dialog(song.path.c_str(), fe.services(), key_);
  dialog.Open();
  dialog.SelectionChanged(kInfoTagList, 0);
  EXPECT_EQ(dialog.Find(kInfoValue)->text, "100%s");
  dialog.Command(kInfoEditTag);
  ASSERT_EQ(fe.prompts.size(), 1u);
  EXPECT_EQ(fe.prompts[0].prompt, "Enter a New Value");
  EXPECT_EQ(fe.prompts[0].offered, "100%s");
  EXPECT_NE(fe.Shown().find("[100%s_"), std::string::npos) << "the prompt's field shows it as it is";
  EXPECT_STREQ(dialog.Tags().values[0], "200%d");
  EXPECT_EQ(dialog.Find(kInfoValue)->text, "100%s") << "the value text is not refreshed";
  dialog.Command(kCommandOk);
  dialog.Destroy();
  EXPECT_NE(FileText(song.path).find("ratio=200%d\n"), std::string::npos);
}

TEST_F(InfoDialog, AfterARemovalEditAndRemoveDoNothingUntilATagIsSelected) {
  MadeSong song = MakeTaggedSong(dir_, "rm", {{"title", "T"}, {"artist", "A"}, {"album", "B"}});
  ScriptedFrontEnd fe("no\nyes\nunread\n");
  InfoModel dialog(song.path.c_str(), fe.services(), key_);
  dialog.Open();
  dialog.Command(kInfoEditTag);  // nothing selected yet
  dialog.Command(kInfoRemoveTag);
  EXPECT_TRUE(fe.prompts.empty());
  EXPECT_TRUE(fe.boxes.empty());
  dialog.SelectionChanged(kInfoTagList, 1);
  dialog.Command(kInfoRemoveTag);  // answered no: kept
  EXPECT_EQ(dialog.Tags().count, 3);
  fe.boxes.clear();
  dialog.Command(kInfoRemoveTag);
  ASSERT_EQ(fe.boxes.size(), 1u);
  EXPECT_EQ(fe.boxes[0].text, "Are you sure you want to delete this tag?");
  EXPECT_EQ(fe.boxes[0].caption, "ZSFPlay");
  EXPECT_EQ(fe.boxes[0].buttons, MessageButtons::YesNo);
  EXPECT_EQ(fe.boxes[0].icon, MessageIcon::Question);
  EXPECT_EQ(dialog.Find(kInfoTagList)->lines, (std::vector<std::string>{"title", "album"}));
  EXPECT_EQ(dialog.Find(kInfoTagList)->selection, -1);
  EXPECT_EQ(dialog.Find(kInfoValue)->text, "A") << "keeps its text";
  EXPECT_TRUE(dialog.Find(kInfoEditTag)->enabled);
  EXPECT_TRUE(dialog.Find(kInfoRemoveTag)->enabled);
  dialog.Command(kInfoEditTag);
  dialog.Command(kInfoRemoveTag);
  EXPECT_TRUE(fe.prompts.empty());
  EXPECT_EQ(fe.boxes.size(), 1u);
  EXPECT_EQ(dialog.Tags().count, 2);
  EXPECT_EQ(fe.Rest(), "unread\n");
  dialog.Command(kCommandOk);
  dialog.Destroy();
  EXPECT_EQ(FileText(song.path).find("artist="), std::string::npos);
}

TEST_F(InfoDialog, ClosingNormalisesTagsWrittenByAnotherTool) {
  MadeSong song = MakeTaggedSong(dir_, "norm", {{"title", "x"}});
  // Replace the trailer by text another tool might write.
  const std::string foreign = "TITLE=Big_Song\nArtist=Someone";
  ASSERT_EQ(WriteTagText(song.path.c_str(), foreign.c_str()), 0u);
  ScriptedFrontEnd fe("");
  InfoModel dialog(song.path.c_str(), fe.services(), key_);
  dialog.Open();
  EXPECT_EQ(dialog.Find(kInfoTitle)->text, "Title: Big Song");
  dialog.Command(kCommandOk);
  dialog.Destroy();
  uint16_t n = 0;
  char* text = ReadTagText(song.path.c_str(), &n);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::string(text, n), "title=Big Song\nartist=Someone\n");
  std::free(text);
}

TEST_F(InfoDialog, NeverWritesIntoACollectionOrAFileWithoutATrailer) {
  // A collection-like file: its last bytes happen to form a valid trailer.
  const std::string tags = "title=Set\n";
  std::string zgm = "ZGM1" + std::string(12, '\0') + tags;
  zgm.push_back(static_cast<char>(tags.size()));
  zgm.push_back('\0');
  WriteFile(dir_.file("set.zgm"), zgm);
  // A file whose trailer announces more text than it holds.
  WriteFile(dir_.file("broken.zsf"), std::string("ZSF1abc\xff\xff", 9));
  for (const char* name : {"set.zgm", "broken.zsf"}) {
    const std::string path = dir_.file(name);
    const std::vector<uint8_t> before = ReadFile(path);
    ScriptedFrontEnd fe("Year\n2004\n");
    InfoModel dialog(path.c_str(), fe.services(), key_);
    dialog.Open();
    EXPECT_FALSE(dialog.WritesBack()) << name;
    dialog.Command(kInfoAddTag);
    dialog.Command(kCommandOk);
    dialog.Destroy();
    EXPECT_TRUE(ReadFile(path) == before) << name << " is left untouched";
  }
  // What could be read is still shown.
  ScriptedFrontEnd fe("");
  InfoModel dialog(dir_.file("set.zgm").c_str(), fe.services(), key_);
  dialog.Open();
  EXPECT_EQ(dialog.Find(kInfoTitle)->text, "Title: Set");
  dialog.Destroy();
}

TEST_F(InfoDialog, AFileThatCannotBeOpenedShowsNoTagsAndWritesNothing) {
  const std::string path = dir_.file("missing.zsf");
  ScriptedFrontEnd fe("");
  InfoModel dialog(path.c_str(), fe.services(), key_);
  dialog.Open();
  EXPECT_EQ(dialog.Find(kInfoValue)->text, "No Tags!");
  EXPECT_EQ(dialog.Find(kInfoSamples)->text, "Samples: 0");
  dialog.Command(kCommandOk);
  dialog.Destroy();
  EXPECT_FALSE(FileExists(path));
}

TEST_F(InfoDialog, LongNamesAndValuesAreCutNotOverflowed) {
  // A path of more than 199 characters.
  std::string folder = dir_.path();
  while (folder.size() < 230) {
    folder += "/" + std::string(40, 'd');
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  }
  const std::string longValue(300, 'v');
  MadeSong song = MakeTaggedSong(dir_, "long", {{"title", longValue}, {"note", longValue}});
  const std::string path = folder + "/long.zsf";
  ASSERT_EQ(std::rename(song.path.c_str(), path.c_str()), 0);
  ASSERT_GT(path.size(), 199u);

  // The offered text taken back as it is.
  ScriptedFrontEnd fe(longValue.substr(0, 199) + "\n");
  InfoModel dialog(path.c_str(), fe.services(), key_);
  dialog.Open();
  EXPECT_EQ(dialog.Caption(), path.substr(0, 199));
  EXPECT_EQ(dialog.Find(kInfoTitle)->text, ("Title: " + longValue).substr(0, 199));
  dialog.SelectionChanged(kInfoTagList, 1);
  EXPECT_EQ(dialog.Find(kInfoValue)->text, longValue.substr(0, 199));
  dialog.Command(kInfoEditTag);
  ASSERT_EQ(fe.prompts.size(), 1u);
  EXPECT_EQ(fe.prompts[0].offered, longValue.substr(0, 199));
  EXPECT_EQ(std::string(dialog.Tags().values[1]), longValue) << "an unchanged cut offer keeps the value";
  dialog.Command(kCommandOk);
  dialog.Destroy();
  EXPECT_NE(FileText(path).find("note=" + longValue + "\n"), std::string::npos)
      << "the tags go to the file opened, not to a name cut to 199 characters";
}

}  // namespace
