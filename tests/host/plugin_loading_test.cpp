// The plug-in is found by its export alone, whatever its file is called, and the
// player fills its side of the record.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "host/output_device.h"
#include "host/plugin_loader.h"
#include "support/files.h"
#include "support/process.h"

namespace {

using zsftest::TempDir;

TEST(PluginLoading, PlayerLoadsARenamedCopyAndFillsItsSide) {
  TempDir dir;
  const std::string copy = dir.file("some_other_name.so");
  std::filesystem::copy_file(ZSF_PLUGIN_PATH, copy);
  LoadedPlugin plugin;
  std::string error;
  ASSERT_TRUE(plugin.Load(copy, &error)) << error;
  In_Module* rec = plugin.record();
  EXPECT_EQ(rec->version, 0x100);
  EXPECT_EQ(rec->hMainWindow, static_cast<PlatformWindow*>(&plugin.window()));
  EXPECT_NE(rec->hDllInstance, nullptr);
  // The effect hook changes nothing and keeps the frame count.
  short block[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(rec->dsp_isactive(), 0);
  EXPECT_EQ(rec->dsp_dosamples(block, 4, 16, 2, 44100), 4);
  EXPECT_EQ(block[7], 8);
  rec->SetInfo(16, 44, 2, 1);
  StreamInfo info = LoadedPlugin::LastStreamInfo();
  EXPECT_EQ(info.bitrate, 16);
  EXPECT_EQ(info.sampleRateKhz, 44);
  EXPECT_EQ(info.channels, 2);

  // The end-of-song message, posted as the decode thread posts it.
  int seen = plugin.window().EndCount();
  rec->hMainWindow->post_message(rec->hMainWindow, kWmWaMpegEof, 0, 0);
  EXPECT_TRUE(plugin.window().WaitForEnd(seen, 0));
  rec->hMainWindow->post_message(rec->hMainWindow, 0x401, 0, 0);
  EXPECT_EQ(plugin.window().EndCount(), seen + 1);
}

TEST(PluginLoading, ZsfplayRunsARenamedCopy) {
  TempDir dir;
  const std::string copy = dir.file("renamed.so");
  std::filesystem::copy_file(ZSF_PLUGIN_PATH, copy);
  const std::string song = dir.file("present.zsf");
  zsftest::WriteFile(song, std::string("ZSF"));
  zsftest::ProcessOptions options;
  options.env = {{"ZSF_REGISTRY", dir.file("registry.reg")}};
  zsftest::ProcessResult r =
      zsftest::RunProcess({ZSF_BINARY_DIR "/zsfplay", "--plugin", copy, "--titles", song}, options);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\t'), 1) << r.out;
}

}  // namespace
