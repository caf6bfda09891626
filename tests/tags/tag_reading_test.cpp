// Reading tag trailers of real files: the list, the lookup by name, a song's title
// and length for the playlist, and titles from templates cut to their buffers.
#include <gtest/gtest.h>

#include <cstring>

#include "support/files.h"
#include "support/tagged_file.h"
#include "ui/file_info.h"
#include "ui/player_settings.h"
#include "ui/tags.h"
#include "ui/titles.h"

using namespace zsftest;

namespace {

std::string Song(const TempDir& dir, const std::string& text, size_t bodySize = 300) {
  WriteFile(dir.file("song.zsf"), WithTags(NoiseBody(bodySize), text));
  return dir.file("song.zsf");
}

// "name=value|..." of the tags ReadTags finds, or "failed".
std::string List(const std::string& path) {
  TagList list;
  if (ReadTags(path.c_str(), &list) != 0) return list.count ? "failed with tags" : "failed";
  std::string out;
  for (int i = 0; i < list.count; ++i) out += std::string(list.names[i]) + "=" + list.values[i] + "|";
  FreeTagList(&list);
  return out;
}

int computed = 0;
int ComputeLength(const char*) { return ++computed, 125000; }

std::string Lookup(const std::string& path, const char* name, size_t size = 100) {
  std::vector<char> value(size, '?');
  char* values[] = {value.data()};
  const char* names[] = {name};
  EXPECT_EQ(0u, LookupTagValues(path.c_str(), names, values, 1, size));
  return value.data();
}

}  // namespace

TEST(TagReading, ListAndLookup) {
  TempDir dir;
  // Underscores read as spaces; a value may hold the separator; a line without one
  // joins the next name; a last line without its line feed is listed, not looked up.
  EXPECT_EQ("TITLE=My Song|my tag=a b |", List(Song(dir, "TITLE=My_Song\nmy_tag=a_b_\n")));
  EXPECT_EQ("a=b=c|junk\ntitle=x|", List(Song(dir, "a=b=c\njunk\ntitle=x\ntrailing text")));
  const std::string noFeed = Song(dir, "title=A\nartist=B");
  EXPECT_EQ("title=A|artist=B|", List(noFeed));
  EXPECT_EQ("A", Lookup(noFeed, "title"));
  EXPECT_EQ("", Lookup(noFeed, "artist"));
  EXPECT_EQ("", List(Song(dir, "")));
  // The lookup takes the first occurrence of the lowered name followed by "=", also
  // inside another name or a value; the list is tied to whole names.
  const std::string path = Song(dir, "subtitle=A\ntitle=B\nx=the artist=C\nartist=D\n");
  for (auto [name, value] : std::vector<std::pair<const char*, const char*>>{
           {"title", "A"}, {"artist", "C"}, {"TITLE", "A"}, {"", ""}, {"album", ""}})
    EXPECT_EQ(value, Lookup(path, name)) << name;
  TagList list;
  ASSERT_EQ(0u, ReadTags(path.c_str(), &list));
  EXPECT_EQ(1, FindTag(&list, "title"));
  FreeTagList(&list);
  EXPECT_EQ("", Lookup(Song(dir, "TITLE=Loud\n"), "title")) << "the text is not lowered";
  // Several names in one call; the caller's names stay as written; values cut to the buffer.
  const std::string two = Song(dir, "title=My_Song\nartist=Me\nnote=" + std::string(150, 'v') + "\n");
  char title[100], artist[100], none[100] = "x", nameTitle[] = "Title";
  char* values[] = {title, artist, none};
  const char* names[] = {nameTitle, "ARTIST", "album"};
  ASSERT_EQ(0u, LookupTagValues(two.c_str(), names, values, 3, 100));
  EXPECT_EQ((std::vector<std::string>{"My Song", "Me", "", "Title"}), (std::vector<std::string>{title, artist, none, nameTitle}));
  EXPECT_EQ(std::string(99, 'v'), Lookup(two, "note", 100));
  EXPECT_EQ("", Lookup(two, "note", 1));
  EXPECT_EQ(std::string(150, 'v'), Lookup(two, "note", 151));
  // A trailer longer than one read of the file's tail is read in a second pass.
  EXPECT_EQ("title=" + std::string(5000, 'w') + "|", List(Song(dir, "title=" + std::string(5000, 'w') + "\n", 10)));
}

TEST(TagReading, NoFileOrNoTrailerThatFitsGivesNoTagsAndLeavesBuffersAlone) {
  TempDir dir;
  const std::string path = dir.file("bad.zsf");
  const std::vector<std::vector<uint8_t>> contents = {{}, {0x00}, {0x05, 0x00}, {'a', '=', 'b', 0x04, 0x00}, {'x', 0xFF, 0xFF}};
  for (size_t i = 0; i <= contents.size(); ++i) {
    if (i < contents.size()) WriteFile(path, contents[i]);
    const std::string name = i < contents.size() ? path : dir.file("missing.zsf");
    uint16_t length = 77;
    EXPECT_EQ(nullptr, ReadTagText(name.c_str(), &length));
    EXPECT_EQ(77, length);
    EXPECT_EQ("failed", List(name));
    char value[100] = "untouched";
    char* values[] = {value};
    const char* names[] = {"a"};
    EXPECT_EQ(1u, LookupTagValues(name.c_str(), names, values, 1, sizeof value));
    EXPECT_STREQ("untouched", value);
  }
}

TEST(SongFileInfo, StoredLengthInWholeSecondsAndTheTitle) {
  TempDir dir;
  PlayerSettings settings;
  auto get = [&](const std::string& path, std::string* title = nullptr) {
    char text[kHostTitleSize];
    int length = 4242;
    GetSongFileInfo(path.c_str(), text, &length, settings, ComputeLength);
    if (title) *title = text;
    return length;
  };
  for (auto [text, ms] : std::vector<std::pair<const char*, int>>{
           {"title=T\nlength=215\n", 215000}, {"LENGTH=7\n", 7000}, {"length= +9x\n", 9000}, {"length=0\n", -1000},
           {"length=abc\n", -1000}, {"length=-5\n", -1000}, {"length=99999999999\n", -1000}, {"length=3", 3000}})
    EXPECT_EQ(ms, get(Song(dir, text, 2000))) << text;
  EXPECT_EQ(0, computed) << "without LoadLen no length is computed";
  std::string title;
  EXPECT_EQ(-1000, get(dir.file("missing.zsf"), &title));
  EXPECT_EQ("Unknown title (Unknown artist)", title);
  // Only the trailer of a big file is read: a body that looks like tags is no tags.
  std::string fake;
  while (fake.size() < 8u * 1024 * 1024) fake += "title=body\nlength=1\n";
  WriteFile(dir.file("big.zsf"), WithTags(std::vector<uint8_t>(fake.begin(), fake.end()), "title=real\n"));
  EXPECT_EQ(-1000, get(dir.file("big.zsf"), &title));
  EXPECT_EQ("real (Unknown artist)", title);
  // The title is cut to the player's buffer, nothing written past it.
  std::strcpy(settings.TitleOutput, "%v%%v%%v%%v%%v%%v%");
  const std::string path = Song(dir, "v=" + std::string(150, 'v') + "\n");
  GetSongFileInfo(path.c_str(), nullptr, nullptr, settings, ComputeLength);
  char text[kHostTitleSize + 1];
  text[kHostTitleSize] = '#';
  GetSongFileInfo(path.c_str(), text, nullptr, settings, ComputeLength);
  EXPECT_EQ(std::string(kHostTitleSize - 1, 'v'), text);
  EXPECT_EQ('#', text[kHostTitleSize]);
}

class Titles : public ::testing::Test {
 protected:
  ~Titles() override { FreeTagList(&list_); }
  void SetUp() override { InitTagList(&list_); }
  void Tag(const std::string& name, const std::string& value) { AddTag(&list_, name.c_str(), value.c_str()); }
  // The title from the list; from the tag text of a song file holding the same tags
  // only when FILE.
  std::string Title(const std::string& titleTemplate, size_t size = kHostTitleSize, bool file = false) {
    std::string title(size, '#');
    if (!file) {
      FormatTitle(&list_, titleTemplate.c_str(), title.data(), size);
    } else {
      char* text = SerializeTags(list_.names, list_.values, list_.count);
      uint16_t length = 0;
      char* read = ReadTagText(Song(dir_, text).c_str(), &length);
      FormatTitleFromText(read, length, titleTemplate.c_str(), title.data(), size);
      std::free(read);
      std::free(text);
    }
    return title.c_str();
  }
  void ExpectBoth(const std::string& titleTemplate, const std::string& expected) {
    EXPECT_EQ(expected, Title(titleTemplate)) << titleTemplate;
    EXPECT_EQ(expected, Title(titleTemplate, kHostTitleSize, true)) << titleTemplate;
  }
  TagList list_;
  TempDir dir_;
};

TEST_F(Titles, PlaceholdersUnknownsOrderAndCuts) {
  ExpectBoth("%title% (%artist%)", "Unknown title (Unknown artist)");
  char title[64];
  FormatTitleFromText(nullptr, 0, "%title% (%artist%)", title, sizeof title);
  EXPECT_STREQ("Unknown title (Unknown artist)", title);
  ExpectBoth("50% %title%", "50Unknown  title%");
  ExpectBoth("a%%b", "aUnknown b");
  ExpectBoth("100%", "100%");
  ExpectBoth("", "");
  Tag("title", "%artist%");
  Tag("artist", "X");
  // The first value brings a later pattern, which the later turn replaces too; a
  // repeated placeholder is replaced at its first turn, every occurrence.
  ExpectBoth("%title% - %artist%", "X - X");
  ExpectBoth("%Title% - %ARTIST%", "%artist% - X");
  ExpectBoth("%artist%/%artist% %album%", "X/X Unknown album");
  Tag("TITLE", "second");  // the list takes the last matching tag, the file the first
  EXPECT_EQ("second", Title("%title%"));
  EXPECT_EQ("%artist%", Title("%title%", kHostTitleSize, true));
  // Values, names and the template are cut to 99 characters; the title to its buffer.
  Tag("v", std::string(150, 'v'));
  ExpectBoth("[%v%]", "[" + std::string(99, 'v') + "]");
  ExpectBoth("%" + std::string(97, 'n') + "%", ("Unknown " + std::string(97, 'n')).substr(0, 99));
  ExpectBoth(std::string(98, '-') + "%title%", std::string(98, '-') + "%");
  const std::string six = "%v%%v%%v%%v%%v%%v%";  // 6 x 99 characters > 512
  ExpectBoth(six, std::string(kHostTitleSize - 1, 'v'));
  EXPECT_EQ(std::string(9, 'v'), Title(six, 10));
  EXPECT_EQ("", Title(six, 1, true));
}

// Found by fuzzing (title_format): values that name later placeholders multiplied the
// working text at every turn, so one crafted song hung the title query. The working
// text is bounded; the title is the prefix the unbounded expansion would give.
TEST_F(Titles, ValuesNamingLaterPlaceholdersCannotGrowTheTitleWithoutBound) {
  const std::string names = "abcdefghij";
  std::string titleTemplate;
  for (char n : names) titleTemplate += std::string("%") + n + "%";
  for (size_t i = 0; i + 1 < names.size(); ++i) {
    std::string next;
    while (next.size() + 3 <= 99) next += std::string("%") + names[i + 1] + "%";
    Tag(std::string(1, names[i]), next);
  }
  Tag("j", "z");
  ExpectBoth(titleTemplate, std::string(kHostTitleSize - 1, 'z'));
}
