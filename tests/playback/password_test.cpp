// The password loop with a scrambled pack, answered on standard input as the text
// front end reads it: the right password plays exactly the unscrambled song, an
// empty answer asks again, the end of input cancels the start without hanging, and a
// later protected song plays with the first key without asking.
#include <gtest/gtest.h>
#include <stdio_ext.h>
#include <unistd.h>

#include <cstdio>

#include "support/engine_render.h"
#include "support/files.h"
#include "support/song_maker.h"
#include "support/test_host.h"

namespace {

using namespace zsftest;

// Standard input reads TEXT, then ends, until this object goes; the old input comes
// back afterwards with no buffered leftovers.
class StdinFrom {
 public:
  explicit StdinFrom(const std::string& text) {
    int fds[2];
    if (pipe(fds) != 0) return;
    if (!text.empty() && write(fds[1], text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
      close(fds[0]);
      close(fds[1]);
      return;
    }
    close(fds[1]);
    __fpurge(stdin);
    saved_ = dup(STDIN_FILENO);
    dup2(fds[0], STDIN_FILENO);
    close(fds[0]);
    clearerr(stdin);
  }
  ~StdinFrom() {
    if (saved_ < 0) return;
    __fpurge(stdin);
    dup2(saved_, STDIN_FILENO);
    close(saved_);
    clearerr(stdin);
  }
  bool ok() const { return saved_ >= 0; }
  // What the plug-in left unread.
  std::string Rest() const {
    std::string rest;
    int c;
    while ((c = std::fgetc(stdin)) != EOF) rest.push_back(static_cast<char>(c));
    clearerr(stdin);
    return rest;
  }

 private:
  int saved_ = -1;
};

class Password : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host_.ok()) << host_.error();
    host_.Init();
    SongOptions first;
    first.password = "secret";
    first_ = MakeTestSong(dir_, "first", 1, first);
    SongOptions second;
    second.password = "other";
    second.kind = 1;
    second_ = MakeTestSong(dir_, "second", 1, second);
  }
  TempDir dir_;
  TestHost host_;
  MadeSong first_, second_;
};

TEST_F(Password, AnEmptyAnswerAsksAgainAndTheRightOnePlaysTheUnscrambledSong) {
  StdinFrom input("\nsecret\nleft over\n");
  ASSERT_TRUE(input.ok());
  ASSERT_EQ(host_.Play(first_.path), 0);
  ASSERT_TRUE(host_.WaitForEndMessages(1));
  EXPECT_EQ(input.Rest(), "left over\n") << "one answer was read";
  EXPECT_TRUE(host_.Written() == RenderReference(first_).pcm);
}

TEST_F(Password, TheEndOfInputCancelsTheStart) {
  StdinFrom input("");
  ASSERT_TRUE(input.ok());
  EXPECT_EQ(host_.Play(first_.path), 1);
  EXPECT_EQ(host_.CloseCount(), static_cast<int>(host_.Opens().size())) << "the output is closed";
  EXPECT_TRUE(host_.WriteSizes().empty());
  EXPECT_EQ(host_.record()->GetLength(), -1000);
  host_.Stop();
}

TEST_F(Password, ALaterProtectedSongPlaysWithTheFirstKeyWithoutAPrompt) {
  {
    StdinFrom input("secret\n");
    ASSERT_TRUE(input.ok());
    ASSERT_EQ(host_.Play(first_.path), 0);
    ASSERT_TRUE(host_.WaitForEndMessages(1));
    host_.Stop();
  }
  // Any prompt now would meet the end of input and fail the start.
  StdinFrom input("");
  ASSERT_TRUE(input.ok());
  ASSERT_EQ(host_.Play(second_.path), 0);
  ASSERT_TRUE(host_.WaitForEndMessages(2));
  host_.Stop();
  // And the first song again, still with its own key: identical audio.
  const size_t before = host_.WriteSizes().size();
  ASSERT_EQ(host_.Play(first_.path), 0);
  ASSERT_TRUE(host_.WaitForEndMessages(3));
  EXPECT_TRUE(WrittenFrom(host_, before) == RenderReference(first_).pcm);
}

}  // namespace
