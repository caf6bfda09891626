// Storing tags: the body stays byte for byte, the trailer is replaced, and files
// that cannot be stored safely are refused unchanged.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/tagged_file.h"
#include "ui/tags.h"

using zsftest::ReadFile;
using zsftest::TempDir;
using zsftest::WriteFile;

namespace {

std::string TextOf(const std::vector<uint8_t>& file, size_t bodySize) {
  return std::string(file.begin() + static_cast<long>(bodySize), file.end() - 2);
}

size_t FilesIn(const std::string& dir) {
  size_t n = 0;
  for (auto& entry : std::filesystem::directory_iterator(dir)) {
    (void)entry;
    ++n;
  }
  return n;
}

}  // namespace

TEST(TagStoring, RewriteKeepsBodyAndGivesSizeBodyPlusTextPlusTwo) {
  TempDir dir;
  std::string path = dir.file("song.zsf");
  // Larger than one copy piece, and an old block of a different size.
  std::vector<uint8_t> body = zsftest::NoiseBody(200000, 7);
  WriteFile(path, zsftest::WithTags(body, "title=old\nartist=someone with a long name\n"));

  const std::string text = "title=new\n";
  ASSERT_EQ(WriteTagText(path.c_str(), text.c_str()), 0u);
  std::vector<uint8_t> after = ReadFile(path);
  ASSERT_EQ(after.size(), body.size() + text.size() + 2);
  EXPECT_TRUE(std::equal(body.begin(), body.end(), after.begin()));
  EXPECT_EQ(after, zsftest::WithTags(body, text));
  EXPECT_EQ(FilesIn(dir.path()), 1u);  // nothing left beside the song

  // No tags: exactly two zero bytes after the body.
  ASSERT_EQ(WriteTags(path.c_str(), nullptr, nullptr, 0), 0u);
  EXPECT_EQ(ReadFile(path), zsftest::WithTags(body, ""));
}

TEST(TagStoring, RewriteLowersNamesAndAddsLastLineFeed) {
  TempDir dir;
  std::string path = dir.file("song.zsf");
  std::vector<uint8_t> body = zsftest::NoiseBody(64);
  WriteFile(path, zsftest::WithTags(body, "TITLE=My_Song\nArtist=B"));
  TagList list;
  ASSERT_EQ(ReadTags(path.c_str(), &list), 0u);
  ASSERT_EQ(WriteTags(path.c_str(), list.names, list.values, list.count), 0u);
  EXPECT_STREQ(list.names[0], "TITLE");  // the caller's names stay as they were
  FreeTagList(&list);
  EXPECT_EQ(TextOf(ReadFile(path), body.size()), "title=My Song\nartist=B\n");
}

TEST(TagStoring, SetTagsReplacesInPlaceOrAppends) {
  TempDir dir;
  std::string path = dir.file("song.zsf");
  std::vector<uint8_t> body = zsftest::NoiseBody(500);
  const char* names[] = {"length"};
  const char* values[] = {"215"};

  WriteFile(path, zsftest::WithTags(body, "TITLE=t\nLENGTH=12\nartist=a\n"));
  ASSERT_EQ(SetTags(path.c_str(), names, values, 1), 0u);
  EXPECT_EQ(TextOf(ReadFile(path), body.size()), "title=t\nlength=215\nartist=a\n");

  WriteFile(path, zsftest::WithTags(body, "title=t\nartist=a"));
  ASSERT_EQ(SetTags(path.c_str(), names, values, 1), 0u);
  EXPECT_EQ(TextOf(ReadFile(path), body.size()), "title=t\nartist=a\nlength=215\n");

  // Several pairs: an existing one in place, a new one with its name lowered.
  const char* more[] = {"ARTIST", "Game"};
  const char* moreValues[] = {"b", "g"};
  ASSERT_EQ(SetTags(path.c_str(), more, moreValues, 2), 0u);
  EXPECT_EQ(TextOf(ReadFile(path), body.size()), "title=t\nartist=b\nlength=215\ngame=g\n");
  EXPECT_EQ(ReadFile(path).size(), body.size() + std::string("title=t\nartist=b\nlength=215\ngame=g\n").size() + 2);
}

TEST(TagStoring, TextOverLimitIsRefusedAndFileUnchanged) {
  TempDir dir;
  std::string path = dir.file("song.zsf");
  std::vector<uint8_t> original = zsftest::WithTags(zsftest::NoiseBody(300), "title=x\n");
  WriteFile(path, original);

  std::string tooLong = "note=" + std::string(65531, 'n');  // 65,536 bytes
  ASSERT_EQ(tooLong.size(), 65536u);
  EXPECT_EQ(WriteTagText(path.c_str(), tooLong.c_str()), 1u);
  EXPECT_EQ(ReadFile(path), original);

  std::string value(65600, 'v');
  const char* names[] = {"note"};
  const char* values[] = {value.c_str()};
  EXPECT_EQ(SetTags(path.c_str(), names, values, 1), 1u);
  EXPECT_EQ(ReadFile(path), original);
  EXPECT_EQ(FilesIn(dir.path()), 1u);

  std::string longest = tooLong.substr(1);  // exactly 65,535 bytes fits
  ASSERT_EQ(WriteTagText(path.c_str(), longest.c_str()), 0u);
  std::vector<uint8_t> after = ReadFile(path);
  EXPECT_EQ(after.size(), 300u + 65535u + 2u);
  EXPECT_EQ(after[after.size() - 2], 0xFF);
  EXPECT_EQ(after[after.size() - 1], 0xFF);
  uint16_t length = 0;
  char* text = ReadTagText(path.c_str(), &length);
  EXPECT_EQ(length, 65535);
  free(text);
}

TEST(TagStoring, FileWithoutValidTrailerIsNotRewritten) {
  TempDir dir;
  std::string path = dir.file("song.zsf");
  const char* names[] = {"length"};
  const char* values[] = {"1"};
  for (const std::vector<uint8_t>& bytes :
       {std::vector<uint8_t>{}, std::vector<uint8_t>{0x01}, std::vector<uint8_t>{'a', 'b', 0x10, 0x00}}) {
    WriteFile(path, bytes);
    EXPECT_EQ(WriteTagText(path.c_str(), "title=x\n"), 1u);
    EXPECT_EQ(SetTags(path.c_str(), names, values, 1), 1u);
    EXPECT_EQ(WriteTags(path.c_str(), names, values, 1), 1u);
    EXPECT_EQ(ReadFile(path), bytes);
  }
  EXPECT_EQ(FilesIn(dir.path()), 1u);
  // A missing song is not created.
  EXPECT_EQ(SetTags(dir.file("missing.zsf").c_str(), names, values, 1), 1u);
  EXPECT_EQ(FilesIn(dir.path()), 1u);
}

TEST(TagStoring, PermissionsAndSymbolicLinksAreKept) {
  TempDir dir;
  std::string path = dir.file("song.zsf");
  std::vector<uint8_t> body = zsftest::NoiseBody(100);
  for (mode_t mode : {0640, 0604, 0755, 0600}) {
    WriteFile(path, zsftest::WithTags(body, ""));
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
    ASSERT_EQ(WriteTagText(path.c_str(), "title=p\n"), 0u);
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, mode);
  }

  std::string link = dir.file("link.zsf");
  ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
  ASSERT_EQ(WriteTagText(link.c_str(), "title=via link\n"), 0u);
  struct stat info;
  ASSERT_EQ(lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(ReadFile(path), zsftest::WithTags(body, "title=via link\n"));
}
