// zsftool export: rebuilds the plain module a ZSF song holds and writes it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "container/file_kind.h"
#include "container/song.h"
#include "samples/sample_store.h"
#include "tools/zsftool/song_diagnosis.h"
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

// Writes DATA to PATH through a temporary file beside it that is synced and then
// renamed, so PATH is never left half-written.
bool WriteAtomically(const std::string& path, const uint8_t* data, size_t size, std::string* reason) {
  std::string temporary = path + ".XXXXXX";
  int fd = mkstemp(&temporary[0]);
  if (fd < 0) {
    *reason = std::strerror(errno);
    return false;
  }
  bool ok = true;
  for (size_t done = 0; ok && done < size;) {
    ssize_t n = write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else done += static_cast<size_t>(n);
  }
  if (ok) ok = fchmod(fd, 0644) == 0 && fsync(fd) == 0;
  if (!ok) *reason = std::strerror(errno);
  if (close(fd) != 0 && ok) {
    ok = false;
    *reason = std::strerror(errno);
  }
  if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) {
    ok = false;
    *reason = std::strerror(errno);
  }
  if (!ok) unlink(temporary.c_str());
  return ok;
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
  if (song.LoadFile(o.song.c_str()) != 0) {
    return Failed(o.song, "load", DescribeLoadFailure(o.song, o.passwordGiven));
  }
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
  if (song.BuildModuleImage(&image) != 0) return Failed(o.song, "rebuild", DescribeRebuildFailure(song));
  std::unique_ptr<uint8_t, decltype(&std::free)> owned(image.data, &std::free);

  std::string reason;
  if (!WriteAtomically(o.output, image.data, image.size, &reason)) return Failed(o.output, "write", reason);
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
