// Storing tags: the body stays byte for byte, the trailer is replaced, files that
// cannot be stored safely are refused unchanged, and a kill at any moment of a
// rewrite leaves the old or the new file, never a mixture.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <random>

#include "support/files.h"
#include "support/tagged_file.h"
#include "ui/tags.h"

using namespace zsftest;

namespace {

size_t FilesIn(const TempDir& dir) {
  return std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator());
}

}  // namespace

TEST(TagStoring, TheBodyStaysAndTheTrailerIsReplaced) {
  TempDir dir;
  const std::string path = dir.file("song.zsf");
  // Larger than one copy piece, and an old block of another size.
  const std::vector<uint8_t> body = NoiseBody(200000, 7);
  WriteFile(path, WithTags(body, "title=old\nartist=someone with a long name\n"));
  ASSERT_EQ(0u, WriteTagText(path.c_str(), "title=new\n"));
  EXPECT_EQ(WithTags(body, "title=new\n"), ReadFile(path));
  EXPECT_EQ(1u, FilesIn(dir)) << "nothing left beside the song";
  ASSERT_EQ(0u, WriteTags(path.c_str(), nullptr, nullptr, 0));
  EXPECT_EQ(WithTags(body, ""), ReadFile(path)) << "no tags: two zero bytes";
  // A rewrite lowers names and ends the last line; the caller's names stay.
  WriteFile(path, WithTags(body, "TITLE=My_Song\nArtist=B"));
  TagList list;
  ASSERT_EQ(0u, ReadTags(path.c_str(), &list));
  ASSERT_EQ(0u, WriteTags(path.c_str(), list.names, list.values, list.count));
  EXPECT_STREQ("TITLE", list.names[0]);
  FreeTagList(&list);
  EXPECT_EQ(WithTags(body, "title=My Song\nartist=B\n"), ReadFile(path));
  // SetTags replaces a tag in place or appends it, its name lowered.
  const char* names[] = {"length", "ARTIST", "Game"};
  const char* values[] = {"215", "b", "g"};
  WriteFile(path, WithTags(body, "TITLE=t\nLENGTH=12\nartist=a\n"));
  ASSERT_EQ(0u, SetTags(path.c_str(), names, values, 1));
  EXPECT_EQ(WithTags(body, "title=t\nlength=215\nartist=a\n"), ReadFile(path));
  WriteFile(path, WithTags(body, "title=t\nartist=a"));
  ASSERT_EQ(0u, SetTags(path.c_str(), names, values, 1));
  EXPECT_EQ(WithTags(body, "title=t\nartist=a\nlength=215\n"), ReadFile(path));
  ASSERT_EQ(0u, SetTags(path.c_str(), names + 1, values + 1, 2));
  EXPECT_EQ(WithTags(body, "title=t\nartist=b\nlength=215\ngame=g\n"), ReadFile(path));
}

TEST(TagStoring, WhatCannotBeStoredSafelyIsRefusedUnchanged) {
  TempDir dir;
  const std::string path = dir.file("song.zsf");
  const std::vector<uint8_t> original = WithTags(NoiseBody(300), "title=x\n");
  WriteFile(path, original);
  const std::string tooLong = "note=" + std::string(65531, 'n');  // 65,536 bytes
  EXPECT_EQ(1u, WriteTagText(path.c_str(), tooLong.c_str()));
  const std::string value(65600, 'v');
  const char* names[] = {"note"};
  const char* values[] = {value.c_str()};
  EXPECT_EQ(1u, SetTags(path.c_str(), names, values, 1));
  EXPECT_EQ(original, ReadFile(path));
  EXPECT_EQ(1u, FilesIn(dir));
  ASSERT_EQ(0u, WriteTagText(path.c_str(), tooLong.substr(1).c_str())) << "exactly 65,535 bytes fit";
  EXPECT_EQ(WithTags(NoiseBody(300), tooLong.substr(1)), ReadFile(path));
  // No valid trailer, or a missing song (which is not created).
  const char* one[] = {"1"};
  for (const std::vector<uint8_t>& bytes : {std::vector<uint8_t>{}, {0x01}, {'a', 'b', 0x10, 0x00}}) {
    WriteFile(path, bytes);
    EXPECT_EQ(1u, WriteTagText(path.c_str(), "title=x\n"));
    EXPECT_EQ(1u, SetTags(path.c_str(), names, one, 1));
    EXPECT_EQ(1u, WriteTags(path.c_str(), names, one, 1));
    EXPECT_EQ(bytes, ReadFile(path));
  }
  EXPECT_EQ(1u, SetTags(dir.file("missing.zsf").c_str(), names, one, 1));
  EXPECT_EQ(1u, FilesIn(dir));
  // Permissions and symbolic links are kept.
  for (mode_t mode : {0640, 0604, 0755, 0600}) {
    WriteFile(path, WithTags(NoiseBody(100), ""));
    ASSERT_EQ(0, chmod(path.c_str(), mode));
    ASSERT_EQ(0u, WriteTagText(path.c_str(), "title=p\n"));
    struct stat info;
    ASSERT_EQ(0, stat(path.c_str(), &info));
    EXPECT_EQ(mode, info.st_mode & 07777);
  }
  ASSERT_EQ(0, symlink(path.c_str(), dir.file("link.zsf").c_str()));
  ASSERT_EQ(0u, WriteTagText(dir.file("link.zsf").c_str(), "title=via link\n"));
  struct stat info;
  ASSERT_EQ(0, lstat(dir.file("link.zsf").c_str(), &info));
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(WithTags(NoiseBody(100), "title=via link\n"), ReadFile(path));
}

TEST(TagStoring, AKilledRewriteLeavesTheOldOrTheNewFile) {
  TempDir dir;
  const std::string path = dir.file("song.zsf");
  // Big enough that a rewrite takes a while, so kills land inside it.
  const std::vector<uint8_t> body = NoiseBody(2 * 1024 * 1024, 3);
  const std::string textA = "title=A\nlength=12\n", textB = "title=B with a longer value\nartist=x\nlength=345\n";
  WriteFile(path, WithTags(body, textA));
  std::mt19937 random(20261206);
  for (int round = 0; round < 30; ++round) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (;;) {
        WriteTagText(path.c_str(), textA.c_str());
        WriteTagText(path.c_str(), textB.c_str());
      }
    }
    usleep(static_cast<useconds_t>(random() % 30000));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    const std::vector<uint8_t> now = ReadFile(path);
    ASSERT_TRUE(now == WithTags(body, textA) || now == WithTags(body, textB)) << "round " << round << ": " << now.size();
  }
}
