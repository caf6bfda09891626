#include "platform/file_replace.h"

#include <io.h>
#include <windows.h>

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

char* CopyText(const std::string& text) {
  char* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy) std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

// The absolute name, so that the temporary file lands in the target's own folder
// (a rename across volumes would copy) whatever the current folder becomes.
std::string FullPath(const char* path) {
  DWORD need = GetFullPathNameA(path, 0, nullptr, nullptr);
  if (need == 0) return std::string();
  std::string full(need, '\0');
  DWORD got = GetFullPathNameA(path, need, &full[0], nullptr);
  if (got == 0 || got >= need) return std::string();
  full.resize(got);
  return full;
}

// Attributes that describe the file rather than forbid its replacement.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

}  // namespace

uint32_t BeginFileReplacement(const char* path, FileReplacement* r, ReplaceMode mode) {
  *r = FileReplacement{};
  if (!path || !*path) {
    r->error = ERROR_INVALID_NAME;
    return 1;
  }
  std::string target = FullPath(path);
  if (target.empty()) {
    r->error = static_cast<int>(GetLastError());
    return 1;
  }
  DWORD attributes = GetFileAttributesA(target.c_str());
  const bool missing = attributes == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_FILE_NOT_FOUND;
  // A read-only song is one its owner does not want changed.
  if (!(missing && mode == ReplaceMode::kNewOrExisting) &&
      (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))) {
    r->error = attributes == INVALID_FILE_ATTRIBUTES ? static_cast<int>(GetLastError()) : ERROR_ACCESS_DENIED;
    return 1;
  }

  // A name of our own beside the target, created exclusively (CREATE_NEW), so that
  // nothing the user or another writer owns is ever opened or truncated.
  std::string temporary;
  for (unsigned attempt = 0; attempt < 1000 && temporary.empty(); ++attempt) {
    char suffix[40];
    std::snprintf(suffix, sizeof suffix, ".new-%lx-%u",
                  static_cast<unsigned long>(GetCurrentProcessId()), attempt);
    std::string candidate = target + suffix;
    HANDLE h = CreateFileA(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      CloseHandle(h);
      temporary = candidate;
    } else if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
      r->error = static_cast<int>(GetLastError());
      return 1;  // the folder is not writable
    }
  }
  if (temporary.empty()) {
    r->error = ERROR_FILE_EXISTS;
    return 1;
  }

  r->target = CopyText(target);
  r->temporary = CopyText(temporary);
  if (r->target && r->temporary) r->stream = StreamCreateFile(r->temporary);
  if (!r->stream) {
    DeleteFileA(temporary.c_str());
    Release(r);
    return 1;
  }
  return 0;
}

uint32_t FinishFileReplacement(FileReplacement* r) {
  if (!r->stream) return 1;
  FILE* file = StreamFile(r->stream);
  bool ok = std::fflush(file) == 0 && !std::ferror(file);
  if (ok) {
    // The new contents must be on the disk before the name points at them.
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    ok = h != INVALID_HANDLE_VALUE && FlushFileBuffers(h);
  }
  if (!ok) r->error = static_cast<int>(GetLastError());
  StreamClose(r->stream);
  r->stream = nullptr;
  if (!ok) {
    DeleteFileA(r->temporary);
    Release(r);
  }
  return ok ? 0 : 1;
}

uint32_t CommitFileReplacement(FileReplacement* r) {
  if (r->stream && FinishFileReplacement(r) != 0) return 1;
  if (!r->temporary) return 1;
  DWORD attributes = GetFileAttributesA(r->target);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kKeptAttributes))
    SetFileAttributesA(r->temporary, attributes & kKeptAttributes);
  // Refused while another program holds the target open; it then keeps its old
  // contents.
  bool ok = MoveFileExA(r->temporary, r->target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  if (!ok) {
    r->error = static_cast<int>(GetLastError());
    DeleteFileA(r->temporary);
  }
  Release(r);
  return ok ? 0 : 1;
}

// Windows has no call that starts a file's write-back without waiting for it.
void StartFileWriteback(FileReplacement*) {}

void AbandonFileReplacement(FileReplacement* r) {
  if (r->stream) StreamClose(r->stream);
  if (r->temporary) DeleteFileA(r->temporary);
  Release(r);
}
