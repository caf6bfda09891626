// zsftool info: describes a ZSF/ZTF song (header, samples, the engine's length) or,
// for a ZGM collection, lists its entries.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "container/byte_cursor.h"
#include "container/failure.h"
#include "container/file_kind.h"
#include "container/format_version.h"
#include "container/song.h"
#include "container/song_module.h"
#include "container/zsf_header.h"
#include "engine/engine.h"
#include "samples/sample_store.h"
#include "tools/zsftool/collection_info.h"
#include "tools/zsftool/zsftool.h"
#include "ui/password.h"

namespace {

struct InfoOptions {
  std::string path;
  std::string password;
  bool passwordGiven = false;
};

int Failed(const std::string& path, const char* step, const std::string& reason) {
  return zsftool::Fail(path + ": " + step + ": " + reason);
}

bool EndsWithIgnoringCase(const std::string& text, const char* suffix) {
  size_t n = std::strlen(suffix);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    char a = text[text.size() - n + i], b = suffix[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a + 32);
    if (a != b) return false;
  }
  return true;
}

std::string ModuleKindText(unsigned kind, const std::string& extension) {
  std::string text = std::to_string(kind);
  if (kind < kFileKindNameCount) text += std::string(" (") + kFileKindNames[kind].description + ")";
  else text += " (not a module kind)";
  if (!extension.empty()) text += ", extension \"" + extension + "\"";
  return text;
}

int SongInfo(const InfoOptions& o, const std::vector<uint8_t>& file) {
  const std::string& path = o.path;
  ByteCursor cursor(file.data(), file.size());
  ZsfHeader header;
  Failure refused;
  if (ReadZsfHeader(cursor, &header, &refused) != 0) return zsftool::Fail(path, refused);

  std::printf("file: %s\n", path.c_str());
  std::printf("kind: %s\n", EndsWithIgnoringCase(path, ".ztf") ? "ZTF tune (Zorbel Tune File)"
                                                               : "ZSF song (Zorbel Sound Format)");
  std::printf("version: %s\n", VersionText(header.major, header.minor).c_str());
  std::printf("module kind: %s\n", ModuleKindText(header.moduleKind, header.moduleExtension).c_str());
  std::printf("pack: %s\n", header.packName.c_str());

  Song song;
  if (o.passwordGiven) {
    std::string text = o.password;
    song.SetPasswordKey(HashPassword(&text[0], static_cast<uint32_t>(text.size())));
  }
  if (song.LoadFile(path.c_str()) != 0) return zsftool::Fail(path, song.LastFailure());
  const SongBody& body = song.Body();
  std::printf("pack protected: %s\n", song.GetSampleStore()->scrambled ? "yes" : "no");
  std::printf("samples: %u\n", body.sampleCount);
  std::printf("structure size: %u\n", body.structureSize);
  for (uint32_t i = 0; i < body.sampleCount; ++i) {
    std::printf("sample %u: size %u, offset %u, %u-bit\n", i, body.sampleSizes[i], body.sampleOffsets[i],
                body.records[i].bits == 16 ? 16u : 8u);
  }

  // Lengths are measured with jump-to-order ignored, as the player plays them.
  EngineSetDefaultIgnoreJump(1);
  SongModuleFailure failure;
  uint32_t imageSize = 0;
  ModuleImage image{};
  DUH* module = LoadSongModule(&song, &image, &failure, &imageSize);
  if (failure == SongModuleFailure::kRebuild) return zsftool::Fail(path, song.LastFailure());
  std::printf("module size: %u\n", imageSize);
  if (!module) return zsftool::Fail(path, song.LastFailure());
  int32_t length = EngineGetLength(module);
  EngineUnload(module);
  if (length == kEngineLengthUnknown) {
    std::printf("length: unknown (longer than two hours)\n");
  } else {
    std::printf("length: %d s\n", length / 65536);
  }
  return 0;
}

int Info(const InfoOptions& o) {
  std::ifstream in(o.path, std::ios::binary);
  if (!in) return Failed(o.path, "open", std::strerror(errno));
  std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), {});
  if (file.size() >= 3 && std::memcmp(file.data(), "ZGM", 3) == 0) return PrintCollectionInfo(o.path);
  if (file.size() >= 3 && std::memcmp(file.data(), "ZSF", 3) == 0) return SongInfo(o, file);
  return Failed(o.path, "check", "neither a ZSF/ZTF song nor a ZGM collection (no \"ZSF\" or \"ZGM\" magic)");
}

}  // namespace

ZSF_TOOL_COMMAND(info) {
  auto options = std::make_shared<InfoOptions>();
  CLI::App* cmd = app.add_subcommand("info", "Describe a ZSF/ZTF song or a ZGM collection");
  cmd->add_option("file", options->path, "The song or collection")->required();
  CLI::Option* password = cmd->add_option("--password", options->password, "Password of a protected pack");
  cmd->callback([options, password, &exitCode] {
    options->passwordGiven = password->count() > 0;
    exitCode = Info(*options);
  });
}
