// Shared pieces of the playback tests: songs made by our own packer, the PCM the
// engine renders for a module image when driven directly (the reference the plug-in
// must reproduce), and a settings store written before Init.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "support/files.h"
#include "support/song_maker.h"
#include "support/test_host.h"
#include "tools/synth/module_synth.h"

namespace zsftest {

// The engine rendered as the decode thread drives it, from whole second START_S:
// every block of up to 1024 frames in order, until the engine gives no more.
struct Reference {
  std::vector<uint8_t> pcm;
  std::vector<long> blockFrames;
  int32_t length = 0;  // 1/65536 s
};

inline Reference RenderReference(const MadeSong& song, int channels = 2, int bits = 16,
                                 int startSeconds = 0, size_t maxBlocks = SIZE_MAX) {
  Reference ref;
  // The plug-in's Init turns ignore-jump on for the process; so does the reference.
  EngineSetDefaultIgnoreJump(1);
  DUH* module = EngineReadModule(song.moduleKind, song.module.data(),
                                 static_cast<uint32_t>(song.module.size()));
  EXPECT_NE(module, nullptr);
  if (!module) return ref;
  ref.length = EngineGetLength(module);
  DUH_SIGRENDERER* r = EngineStartRenderer(module, channels, startSeconds << 16);
  ConfigureRenderer(r);
  const size_t frameBytes = static_cast<size_t>(channels * bits / 8);
  std::vector<uint8_t> block(1024 * frameBytes);
  for (size_t i = 0; i < maxBlocks; ++i) {
    long frames = EngineRender(r, bits, bits == 8 ? 1 : 0, 0.8f, 65536.0f / 44100, 1024, block.data());
    if (frames <= 0) break;
    ref.blockFrames.push_back(frames);
    ref.pcm.insert(ref.pcm.end(), block.begin(), block.begin() + frames * frameBytes);
  }
  EngineEndRenderer(r);
  EngineUnload(module);
  return ref;
}

// A song of ORDERS orders of 3.84 s each (IT unless KIND says otherwise).
inline MadeSong MakeTestSong(const TempDir& dir, const std::string& base, int orders,
                             SongOptions options = {}) {
  MadeSong song = MakeSongFromSpec(dir, base, zsfsynth::BasicSpec(options.kind, 2, orders), options);
  EXPECT_TRUE(song.ok) << song.error;
  return song;
}

struct StoredSettings {
  bool loBit = false, mono = false, loadLen = false;
  std::string titleOutput = "%title% (%artist%)";
};

// The settings store as the registry editor exports it; read by Init.
inline void WriteSettings(const std::string& path, const StoredSettings& s) {
  auto dword = [](bool on) { return on ? std::string("dword:00000001") : std::string("dword:00000000"); };
  WriteFile(path, std::string("Windows Registry Editor Version 5.00\r\n\r\n"
                              "[HKEY_LOCAL_MACHINE\\Software\\Quorvath Entertainment\\ZSFPlay]\r\n"
                              "@=dword:0000029a\r\n"
                              "\"DisableSEcho\"=dword:00000000\r\n") +
                      "\"LoBit\"=" + dword(s.loBit) + "\r\n\"Mono\"=" + dword(s.mono) +
                      "\r\n\"LoadLen\"=" + dword(s.loadLen) + "\r\n\"TitleOutput\"=\"" +
                      s.titleOutput + "\"\r\n");
}

// Bytes written after the N-th Write call (0-based) onwards.
inline std::vector<uint8_t> WrittenFrom(const TestHost& host, size_t firstWrite) {
  std::vector<int> sizes = host.WriteSizes();
  std::vector<uint8_t> all = host.Written();
  size_t skip = 0;
  for (size_t i = 0; i < firstWrite && i < sizes.size(); ++i) skip += static_cast<size_t>(sizes[i]);
  return std::vector<uint8_t>(all.begin() + static_cast<long>(std::min(skip, all.size())), all.end());
}

}  // namespace zsftest
