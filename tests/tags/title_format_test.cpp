// Titles from templates: placeholders, "Unknown" fill-ins, replacement order and
// the cuts that keep every value and title inside its buffer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "support/files.h"
#include "support/tagged_file.h"
#include "ui/tags.h"
#include "ui/titles.h"

using zsftest::TempDir;
using zsftest::WriteFile;

namespace {

class Titles : public ::testing::Test {
 protected:
  ~Titles() override { FreeTagList(&list_); }
  void SetUp() override { InitTagList(&list_); }
  void Tag(const char* name, const char* value) { AddTag(&list_, name, value); }

  // The title both ways: from the list, and from a song file holding the same tags.
  std::string FromList(const std::string& titleTemplate, size_t size = kHostTitleSize) {
    std::string title(size, '#');
    FormatTitle(&list_, titleTemplate.c_str(), title.data(), size);
    return title.c_str();
  }
  std::string FromFile(const std::string& titleTemplate, size_t size = kHostTitleSize) {
    std::string path = dir_.file("song.zsf");
    char* text = SerializeTags(list_.names, list_.values, list_.count);
    WriteFile(path, zsftest::WithTags(zsftest::NoiseBody(100), text));
    std::free(text);
    std::string title(size, '#');
    FormatTitleFromFile(path.c_str(), titleTemplate.c_str(), title.data(), size);
    return title.c_str();
  }
  void ExpectBoth(const std::string& titleTemplate, const std::string& expected) {
    EXPECT_EQ(FromList(titleTemplate), expected) << "template " << titleTemplate;
    EXPECT_EQ(FromFile(titleTemplate), expected) << "template " << titleTemplate;
  }

  TagList list_;
  TempDir dir_;
};

}  // namespace

TEST_F(Titles, PlaceholdersUnknownsAndUnpairedPercents) {
  ExpectBoth("%title% (%artist%)", "Unknown title (Unknown artist)");
  char title[64];
  FormatTitleFromFile(dir_.file("missing.zsf").c_str(), "%title% (%artist%)", title, sizeof title);
  EXPECT_STREQ(title, "Unknown title (Unknown artist)");
  ExpectBoth("50% %title%", "50Unknown  title%");
  ExpectBoth("a%%b", "aUnknown b");
  ExpectBoth("100%", "100%");
  ExpectBoth("", "");
  Tag("title", "Song");
  Tag("artist", "Band");
  ExpectBoth("%Title% - %ARTIST%", "Song - Band");
  ExpectBoth("%album%", "Unknown album");
}

TEST_F(Titles, ValuesAreReplacedInPlaceholderOrder) {
  Tag("title", "%artist%");
  Tag("artist", "X");
  // The first value brings a later pattern, which the later turn replaces too.
  ExpectBoth("%title% %artist%", "X X");
  // A repeated placeholder is replaced at its first turn, every occurrence.
  ExpectBoth("%artist%/%artist%", "X/X");
}

TEST_F(Titles, ListTakesLastMatchingTagFileTakesFirst) {
  Tag("title", "first");
  Tag("TITLE", "second");
  EXPECT_EQ(FromList("%title%"), "second");
  EXPECT_EQ(FromFile("%title%"), "first");
}

TEST_F(Titles, LongValuesAndNamesAreCutTo99Characters) {
  Tag("title", std::string(150, 'v').c_str());
  ExpectBoth("[%title%]", "[" + std::string(99, 'v') + "]");

  std::string name(97, 'n');
  std::string unknown = ("Unknown " + name).substr(0, 99);
  ExpectBoth("%" + name + "%", unknown);
  // So is the template.
  ExpectBoth(std::string(98, '-') + "%title%", std::string(98, '-') + "%");
}

TEST_F(Titles, TitleIsCutToTheBuffer) {
  Tag("a", std::string(99, 'a').c_str());
  std::string six = "%a%%a%%a%%a%%a%%a%";  // 6 x 99 characters > 512
  EXPECT_EQ(FromList(six), std::string(kHostTitleSize - 1, 'a'));
  EXPECT_EQ(FromFile(six), std::string(kHostTitleSize - 1, 'a'));
  EXPECT_EQ(FromList(six, 10), std::string(9, 'a'));
  EXPECT_EQ(FromFile(six, 1), "");
}

// Found by fuzzing (title_format): values that name later placeholders multiplied
// the working text at every turn, so one crafted song hung the title query and
// ate memory without bound. The working text is now bounded; the title is the
// same prefix the unbounded expansion would give.
TEST_F(Titles, ValuesNamingLaterPlaceholdersCannotGrowTheTitleWithoutBound) {
  const std::string names = "abcdefghij";
  std::string titleTemplate;
  for (char n : names) titleTemplate += std::string("%") + n + "%";
  for (size_t i = 0; i + 1 < names.size(); ++i) {
    std::string next;
    while (next.size() + 3 <= 99) next += std::string("%") + names[i + 1] + "%";
    Tag(std::string(1, names[i]).c_str(), next.c_str());
  }
  Tag("j", "z");
  ExpectBoth(titleTemplate, std::string(kHostTitleSize - 1, 'z'));
}
