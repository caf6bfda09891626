#include "platform/file_replace.h"

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

// The file a replacement writes: an existing PATH with symbolic links resolved
// (replacing a link would turn it into a plain file, so its target is rewritten), or
// a new one in PATH's folder. Null when there is none in MODE.
char* TargetOf(const char* path, ReplaceMode mode, mode_t* permissions) {
  char* target = realpath(path, nullptr);
  struct stat info;
  if (target && stat(target, &info) == 0) {
    *permissions = info.st_mode & 07777;
    if (S_ISREG(info.st_mode)) return target;
    errno = EISDIR;
  } else if (!target && errno == ENOENT && mode == ReplaceMode::kNewOrExisting) {
    const char* slash = std::strrchr(path, '/');
    char* folder = realpath(FolderOf(path).c_str(), nullptr);
    if (!folder) return nullptr;
    std::string whole = std::string(folder) + "/" + (slash ? slash + 1 : path);
    std::free(folder);
    const mode_t mask = umask(0);
    umask(mask);
    *permissions = 0666 & ~mask;
    return strdup(whole.c_str());
  }
  std::free(target);
  return nullptr;
}

}  // namespace

uint32_t BeginFileReplacement(const char* path, FileReplacement* r, ReplaceMode mode) {
  *r = FileReplacement{};
  if (!path || !*path) {
    r->error = ENOENT;
    return 1;
  }
  mode_t permissions = 0;
  r->target = TargetOf(path, mode, &permissions);
  if (!r->target) {
    r->error = errno;
    return 1;
  }
  const char* slash = std::strrchr(r->target, '/');
  std::string pattern = FolderOf(r->target) + "/." + (slash ? slash + 1 : r->target) + ".new-XXXXXX";
  r->temporary = strdup(pattern.c_str());
  int fd = r->temporary ? mkstemp(r->temporary) : -1;
  if (fd < 0) {
    r->error = errno;
    Release(r);
    return 1;
  }
  bool ok = fchmod(fd, permissions) == 0;
  close(fd);
  // The name is ours now (mkstemp made it exclusively); reopen it as a stream.
  if (ok) r->stream = StreamCreateFile(r->temporary);
  if (!r->stream) {
    r->error = errno;
    unlink(r->temporary);
    Release(r);
    return 1;
  }
  return 0;
}

uint32_t FinishFileReplacement(FileReplacement* r) {
  if (!r->stream) return 1;
  FILE* file = StreamFile(r->stream);
  bool ok = std::fflush(file) == 0 && !std::ferror(file) && fsync(fileno(file)) == 0;
  if (!ok) r->error = errno ? errno : EIO;
  StreamClose(r->stream);
  r->stream = nullptr;
  if (!ok) {
    unlink(r->temporary);
    Release(r);
  }
  return ok ? 0 : 1;
}

void StartFileWriteback(FileReplacement* r) {
  if (!r->stream) return;
  FILE* file = StreamFile(r->stream);
  if (std::fflush(file) != 0) return;
#ifdef __linux__
  sync_file_range(fileno(file), 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
}

uint32_t CommitFileReplacement(FileReplacement* r) {
  if (r->stream && FinishFileReplacement(r) != 0) return 1;
  if (!r->temporary) return 1;
  bool ok = std::rename(r->temporary, r->target) == 0;
  if (ok) {
    SyncFolder(r->target);
  } else {
    r->error = errno;
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
