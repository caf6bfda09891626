// The real modules in the shared folder (when present) parse, every sample
// decodes, and the compressed IT ones rewrite to plain PCM with the same sound data.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/files.h"
#include "tools/modules/module_layout.h"

namespace {

namespace fs = std::filesystem;
using zsfmod::ModuleLayout;
using zsfmod::SampleLayout;

struct Found {
  std::string path;
  uint32_t kind;
};

std::vector<Found> SharedModules() {
  std::vector<Found> out;
  const std::pair<const char*, uint32_t> folders[] = {
      {"it", zsfmod::kKindIt}, {"xm", zsfmod::kKindXm}, {"s3m", zsfmod::kKindS3m}, {"mod", zsfmod::kKindMod}};
  for (const auto& f : folders) {
    fs::path dir = fs::path(ZSF_SHARED_MODULES) / f.first;
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) continue;
    for (const auto& entry : fs::directory_iterator(dir, ec))
      if (entry.is_regular_file()) out.push_back({entry.path().string(), f.second});
  }
  return out;
}

bool IsCompressed(const SampleLayout& s) {
  return s.encoding == SampleLayout::kItCompressed214 || s.encoding == SampleLayout::kItCompressed215;
}

TEST(RealModulesLayout, EverySampleDecodes) {
  const std::vector<Found> modules = SharedModules();
  if (modules.empty()) GTEST_SKIP() << "no modules in " << ZSF_SHARED_MODULES;
  for (const Found& m : modules) {
    SCOPED_TRACE(m.path);
    const std::vector<uint8_t> file = zsftest::ReadFile(m.path);
    ModuleLayout layout;
    std::string error;
    ASSERT_TRUE(zsfmod::ReadModuleLayout(file, m.kind, &layout, &error)) << error;
    EXPECT_FALSE(layout.samples.empty());
    uint64_t previousEnd = 0;
    for (const SampleLayout& s : layout.samples) {
      std::vector<uint8_t> pcm;
      ASSERT_TRUE(zsfmod::DecodeSample(file, s, &pcm, &error)) << error;
      EXPECT_EQ(pcm.size(), IsCompressed(s) ? s.pcmBytes() : s.bytes);
      if (m.kind != zsfmod::kKindIt) {  // the other formats keep data in sample order
        EXPECT_GE(s.offset, previousEnd);
        previousEnd = static_cast<uint64_t>(s.offset) + s.bytes;
      }
      if (m.kind == zsfmod::kKindXm) {
        EXPECT_EQ(s.encoding, SampleLayout::kDelta);
      }
      if (m.kind == zsfmod::kKindMod) {
        EXPECT_EQ(s.bits, 8);
      }
    }
  }
}

TEST(RealModulesLayout, CompressedItRewritesToPlainPcm) {
  const std::vector<Found> modules = SharedModules();
  int compressedFiles = 0;
  for (const Found& m : modules) {
    if (m.kind != zsfmod::kKindIt) continue;
    SCOPED_TRACE(m.path);
    const std::vector<uint8_t> file = zsftest::ReadFile(m.path);
    ModuleLayout before;
    std::string error;
    ASSERT_TRUE(zsfmod::ReadModuleLayout(file, m.kind, &before, &error)) << error;
    std::vector<uint8_t> plain;
    ASSERT_TRUE(zsfmod::StoreItSamplesAsPlainPcm(file, &plain, &error)) << error;
    ModuleLayout after;
    ASSERT_TRUE(zsfmod::ReadModuleLayout(plain, m.kind, &after, &error)) << error;
    ASSERT_EQ(after.samples.size(), before.samples.size());
    bool anyCompressed = false;
    for (size_t i = 0; i < before.samples.size(); ++i) {
      anyCompressed |= IsCompressed(before.samples[i]);
      const SampleLayout& s = after.samples[i];
      EXPECT_EQ(s.encoding, SampleLayout::kSigned);
      std::vector<uint8_t> original, stored;
      ASSERT_TRUE(zsfmod::DecodeSample(file, before.samples[i], &original, &error)) << error;
      ASSERT_TRUE(zsfmod::DecodeSample(plain, s, &stored, &error)) << error;
      EXPECT_EQ(stored, original) << "sample " << s.index;
    }
    if (anyCompressed) {
      ++compressedFiles;
      EXPECT_GT(plain.size(), file.size());
    } else {
      EXPECT_EQ(plain, file);
    }
  }
  if (compressedFiles == 0) GTEST_SKIP() << "no compressed IT module in " << ZSF_SHARED_MODULES;
}

}  // namespace
