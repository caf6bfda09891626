#include "ui/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "container/byte_stream.h"

namespace {

void Release(FileReplacement* r) {
  std::free(r->target);
  std::free(r->temporary);
  r->target = nullptr;
  r->temporary = nullptr;
  r->stream = nullptr;
}

std::string FolderOf(const char* path) {
  const char* slash = std::strrchr(path, '/');
  if (!slash) return ".";
  if (slash == path) return "/";
  return std::string(path, static_cast<size_t>(slash - path));
}

// The rename is only durable once the folder entry itself reached the disk.
void SyncFolder(const char* path) {
  int fd = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

uint32_t BeginFileReplacement(const char* path, FileReplacement* r) {
  *r = FileReplacement{};
  if (!path || !*path) return 1;
  // Replacing a symbolic link would turn it into a plain file; rewrite its target.
  r->target = realpath(path, nullptr);
  if (!r->target) return 1;
  struct stat info;
  if (stat(r->target, &info) != 0 || !S_ISREG(info.st_mode)) {
    Release(r);
    return 1;
  }
  const char* slash = std::strrchr(r->target, '/');
  std::string pattern = FolderOf(r->target) + "/." + (slash ? slash + 1 : r->target) + ".tags-XXXXXX";
  r->temporary = static_cast<char*>(std::malloc(pattern.size() + 1));
  if (!r->temporary) {
    Release(r);
    return 1;
  }
  std::memcpy(r->temporary, pattern.c_str(), pattern.size() + 1);
  int fd = mkstemp(r->temporary);
  if (fd < 0) {
    Release(r);
    return 1;
  }
  bool ok = fchmod(fd, info.st_mode & 07777) == 0;
  close(fd);
  // The name is ours now (mkstemp made it exclusively); reopen it as a stream.
  if (ok) r->stream = StreamCreateFile(r->temporary);
  if (!r->stream) {
    unlink(r->temporary);
    Release(r);
    return 1;
  }
  return 0;
}

uint32_t CommitFileReplacement(FileReplacement* r) {
  if (!r->stream) return 1;
  FILE* file = r->stream->file;
  bool ok = std::fflush(file) == 0 && !std::ferror(file) && fsync(fileno(file)) == 0;
  StreamClose(r->stream);
  r->stream = nullptr;
  if (ok) ok = std::rename(r->temporary, r->target) == 0;
  if (ok) {
    SyncFolder(r->target);
  } else {
    unlink(r->temporary);
  }
  Release(r);
  return ok ? 0 : 1;
}

void AbandonFileReplacement(FileReplacement* r) {
  if (r->stream) StreamClose(r->stream);
  if (r->temporary) unlink(r->temporary);
  Release(r);
}
