// Reading tag text and the TagList operations, on real files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "container/byte_stream.h"
#include "support/files.h"
#include "support/tagged_file.h"
#include "ui/tags.h"

using zsftest::TempDir;
using zsftest::WriteFile;

namespace {

struct Tags {
  TagList list;
  uint32_t result;
  explicit Tags(const std::string& path) { result = ReadTags(path.c_str(), &list); }
  ~Tags() { FreeTagList(&list); }
  std::string name(int i) const { return list.names[i]; }
  std::string value(int i) const { return list.values[i]; }
};

std::string WriteSong(const TempDir& dir, const std::string& text, size_t bodySize = 300) {
  std::string path = dir.file("song.zsf");
  WriteFile(path, zsftest::WithTags(zsftest::NoiseBody(bodySize), text));
  return path;
}

std::string Lookup(const std::string& path, const char* name, size_t size = 100) {
  std::vector<char> value(size, '?');
  char* values[] = {value.data()};
  const char* names[] = {name};
  EXPECT_EQ(LookupTagValues(path.c_str(), names, values, 1, size), 0u);
  return std::string(value.data());
}

}  // namespace

TEST(TagReading, UnderscoresReadAsSpacesInNamesAndValues) {
  TempDir dir;
  Tags tags(WriteSong(dir, "TITLE=My_Song\nmy_tag=a_b_\n"));
  ASSERT_EQ(tags.result, 0u);
  ASSERT_EQ(tags.list.count, 2);
  EXPECT_EQ(tags.name(0), "TITLE");
  EXPECT_EQ(tags.value(0), "My Song");
  EXPECT_EQ(tags.name(1), "my tag");
  EXPECT_EQ(tags.value(1), "a b ");
}

TEST(TagReading, LastLineWithoutLineFeedStillReadsButLookupGivesEmpty) {
  TempDir dir;
  std::string path = WriteSong(dir, "title=A\nartist=B");
  Tags tags(path);
  ASSERT_EQ(tags.list.count, 2);
  EXPECT_EQ(tags.name(1), "artist");
  EXPECT_EQ(tags.value(1), "B");
  EXPECT_EQ(Lookup(path, "title"), "A");
  EXPECT_EQ(Lookup(path, "artist"), "");
}

TEST(TagReading, ValueMayHoldSeparatorAndLineWithoutSeparatorJoinsNextName) {
  TempDir dir;
  Tags tags(WriteSong(dir, "a=b=c\njunk\ntitle=x\ntrailing text"));
  ASSERT_EQ(tags.list.count, 2);
  EXPECT_EQ(tags.name(0), "a");
  EXPECT_EQ(tags.value(0), "b=c");
  EXPECT_EQ(tags.name(1), "junk\ntitle");
  EXPECT_EQ(tags.value(1), "x");
}

TEST(TagReading, EmptyMissingAndInvalidTrailers) {
  TempDir dir;
  Tags empty(WriteSong(dir, ""));
  EXPECT_EQ(empty.result, 0u);
  EXPECT_EQ(empty.list.count, 0);

  // No file, or no trailer that fits the file: no tags, the caller's buffers untouched.
  std::string path = dir.file("bad.zsf");
  const std::vector<std::vector<uint8_t>> contents = {
      {}, {0x00}, {0x05, 0x00}, {'a', '=', 'b', 0x04, 0x00}, {'x', 0xFF, 0xFF}};
  for (size_t i = 0; i <= contents.size(); ++i) {
    if (i < contents.size()) WriteFile(path, contents[i]);
    const std::string name = i < contents.size() ? path : dir.file("missing.zsf");
    uint16_t length = 77;
    EXPECT_EQ(ReadTagText(name.c_str(), &length), nullptr);
    EXPECT_EQ(length, 77);
    Tags tags(name);
    EXPECT_EQ(tags.result, 1u);
    EXPECT_EQ(tags.list.count, 0);
    char value[100] = "untouched";
    char* values[] = {value};
    const char* names[] = {"a"};
    EXPECT_EQ(LookupTagValues(name.c_str(), names, values, 1, sizeof value), 1u);
    EXPECT_STREQ(value, "untouched");
  }
}

TEST(TagLookup, SubstringRuleTakesFirstOccurrenceFollowedBySeparator) {
  TempDir dir;
  std::string path = WriteSong(dir, "subtitle=A\ntitle=B\nx=the artist=C\nartist=D\n");
  EXPECT_EQ(Lookup(path, "title"), "A");
  EXPECT_EQ(Lookup(path, "artist"), "C");
  EXPECT_EQ(Lookup(path, "TITLE"), "A");  // the request is lowered, the text is not
  EXPECT_EQ(Lookup(path, ""), "");
  EXPECT_EQ(Lookup(path, "album"), "");
  // ReadTags is tied to names: title is the second tag.
  Tags tags(path);
  EXPECT_EQ(FindTag(&tags.list, "title"), 1);
  // A name stored in upper case is not found by the lookup.
  EXPECT_EQ(Lookup(WriteSong(dir, "TITLE=Loud\n"), "title"), "");
}

TEST(TagLookup, CallerNamesStayAsWrittenAndSeveralNamesFillInOneCall) {
  TempDir dir;
  std::string path = WriteSong(dir, "title=My_Song\nartist=Me\n");
  char title[100], artist[100], none[100] = "x";
  char* values[] = {title, artist, none};
  char nameTitle[] = "Title";
  const char* names[] = {nameTitle, "ARTIST", "album"};
  ASSERT_EQ(LookupTagValues(path.c_str(), names, values, 3, 100), 0u);
  EXPECT_STREQ(title, "My Song");
  EXPECT_STREQ(artist, "Me");
  EXPECT_STREQ(none, "");
  EXPECT_STREQ(nameTitle, "Title");
}

TEST(TagLookup, LongValuesAreCutToTheBuffer) {
  TempDir dir;
  std::string longValue(150, 'v');
  std::string path = WriteSong(dir, "title=" + longValue + "\n");
  EXPECT_EQ(Lookup(path, "title", 100), std::string(99, 'v'));
  EXPECT_EQ(Lookup(path, "title", 1), "");
  EXPECT_EQ(Lookup(path, "title", 151), longValue);
}
