// zsftool export: rebuilds the plain module a ZSF song holds and writes it.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "container/file_kind.h"
#include "container/song.h"
#include "platform/file_replace.h"
#include "samples/sample_store.h"
#include "tools/zsftool/zsftool.h"
#include "ui/password.h"

namespace {

struct ExportOptions {
  std::string song;
  std::string output;
  std::string password;
  bool passwordGiven = false;
};

int Failed(const std::string& path, const char* step, const std::string& reason) {
  return zsftool::Fail(path + ": " + step + ": " + reason);
}

int Export(const ExportOptions& o) {
  static const char* const kExtensions[] = {".it", ".xm", ".s3m", ".mod"};
  uint32_t outputKind = FileKindFromName(o.output.c_str());
  if (outputKind > kFileKindMod) {
    return Failed(o.output, "check", "the output must end in .it, .xm, .s3m or .mod");
  }

  Song song;
  if (o.passwordGiven) {
    std::string text = o.password;
    song.SetPasswordKey(HashPassword(&text[0], static_cast<uint32_t>(text.size())));
  }
  if (song.LoadFile(o.song.c_str()) != 0) return zsftool::Fail(o.song, song.LastFailure());
  if (song.GetSampleStore()->scrambled && !o.passwordGiven) {
    return Failed(o.song, "load", "the sample pack is password-protected; give --password");
  }
  uint8_t kind = song.GetModuleKind();
  if (kind <= kFileKindMod && kind != outputKind) {
    return Failed(o.output, "check",
                  std::string("the song's module is of kind ") + std::to_string(kind) + " (" +
                      kFileKindNames[kind].description + "); name the output *" + kExtensions[kind]);
  }

  ModuleImage image{};
  if (song.BuildModuleImage(&image) != 0) return zsftool::Fail(o.song, song.LastFailure());
  std::unique_ptr<uint8_t, decltype(&std::free)> owned(image.data, &std::free);

  int error = 0;
  if (WriteWholeFile(o.output.c_str(), image.data, image.size, &error) != 0)
    return Failed(o.output, "write", std::strerror(error));
  return 0;
}

}  // namespace

ZSF_TOOL_COMMAND(export) {
  auto options = std::make_shared<ExportOptions>();
  CLI::App* cmd = app.add_subcommand("export", "Rebuild the module a ZSF song holds (its pack beside it)");
  cmd->add_option("song", options->song, "The song (SONG.zsf or .ztf)")->required();
  cmd->add_option("-o,--output", options->output, "Module to write (OUT.it, .xm, .s3m or .mod)")->required();
  CLI::Option* password = cmd->add_option("--password", options->password, "Password of a protected pack");
  cmd->callback([options, password, &exitCode] {
    options->passwordGiven = password->count() > 0;
    exitCode = Export(*options);
  });
}
