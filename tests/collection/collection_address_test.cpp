// Collection addresses: the scheme, the file, the track number read like atoi.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "collection/collection_address.h"

namespace {

TEST(CollectionAddress, FormsOfTheSameAddress) {
  CollectionAddress a = ParseCollectionAddress("zgm://C:\\music\\game.zgm,3");
  EXPECT_EQ(a.file, "C:\\music\\game.zgm");
  EXPECT_EQ(a.track, 3);
  CollectionAddress b = ParseCollectionAddress("C:\\music\\game.zgm,3");
  EXPECT_EQ(b.file, a.file);
  EXPECT_EQ(b.track, 3);
  CollectionAddress upper = ParseCollectionAddress("ZGM://A.ZGM,2");
  EXPECT_EQ(upper.file, "A.ZGM");
  EXPECT_EQ(upper.track, 2);
  // Without a number: the first tune; -1 is kept as it is.
  EXPECT_EQ(ParseCollectionAddress("zgm://game.zgm").file, "game.zgm");
  EXPECT_EQ(ParseCollectionAddress("zgm://game.zgm").track, kFirstTuneTrack);
  EXPECT_EQ(ParseCollectionAddress("game.zgm,-1").track, -1);
}

TEST(CollectionAddress, TrackNumberReadsLikeAtoi) {
  EXPECT_EQ(ParseCollectionAddress("x.zgm,abc").track, 0);
  EXPECT_EQ(ParseCollectionAddress("x.zgm,").track, 0);
  EXPECT_EQ(ParseCollectionAddress("x.zgm,  +7z").track, 7);
  EXPECT_EQ(ParseCollectionAddress("x.zgm,\t12,5").track, 12);
  EXPECT_EQ(ParseCollectionAddress("x.zgm,-").track, 0);
  // Far too many digits saturate instead of overflowing.
  EXPECT_EQ(ParseCollectionAddress("x.zgm,99999999999999").track, INT32_MAX);
  EXPECT_EQ(ParseCollectionAddress("x.zgm,-99999999999999").track, INT32_MIN);
  // The file runs to the first comma only.
  EXPECT_EQ(ParseCollectionAddress("a,b.zgm,4").file, "a");
}

TEST(CollectionAddress, WhatCountsAsAnAddress) {
  EXPECT_TRUE(IsCollectionAddress("zgm://x"));
  EXPECT_TRUE(IsCollectionAddress("Zgm://x"));
  EXPECT_TRUE(IsCollectionAddress("song,1.zsf"));
  EXPECT_FALSE(IsCollectionAddress("set.zgm"));
  EXPECT_FALSE(IsCollectionAddress("zgm:/x"));
  EXPECT_FALSE(IsCollectionAddress("zgm:"));
  EXPECT_FALSE(IsCollectionAddress(""));
  EXPECT_FALSE(IsCollectionAddress(nullptr));
  // A name that is only the scheme parses to an empty file.
  EXPECT_EQ(ParseCollectionAddress("zgm://").file, "");
}

}  // namespace
