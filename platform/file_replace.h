// FileReplacement: writes a file without ever leaving it half-written. The new
// contents go to a temporary file of an unpredictable name in the same folder, which
// is flushed to disk and then renamed over the old one, so a failure or a kill at
// any moment leaves either the old file (or none) or the new one.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct ByteStream;

struct FileReplacement {
  char* target;        // the file being replaced (absolute; symbolic links resolved on POSIX)
  char* temporary;     // the new contents until the commit
  ByteStream* stream;  // write stream on temporary
  int error;           // after a failure: errno (POSIX) or GetLastError (Windows), 0 if none
};

enum class ReplaceMode {
  kExisting,       // PATH must be an existing file (a song whose tags change)
  kNewOrExisting,  // PATH may not exist yet (an export, a pack, a collection)
};

// Creates the temporary file beside PATH with the permission bits (POSIX) or the
// descriptive attributes (Windows, at the commit) of the file it replaces; a new
// file gets the usual permissions. 1 when PATH cannot be replaced in that MODE or
// the folder is not writable; nothing is left behind then.
uint32_t BeginFileReplacement(const char* path, FileReplacement* replacement,
                              ReplaceMode mode = ReplaceMode::kExisting);
// Flushes and syncs the new contents and renames them over the target. 1 when a
// write failed or the rename was refused; the target then keeps its old contents.
uint32_t CommitFileReplacement(FileReplacement* replacement);
// Hands what was written so far to the disk without waiting for it, so that a long
// write (a WAV of a whole song) overlaps its own sync and the finish has only the
// tail left to wait for. Only a hint: nothing happens where the platform has no call
// for it, and a failure shows at the finish.
void StartFileWriteback(FileReplacement* replacement);
// Drops the new contents; the target is untouched.
void AbandonFileReplacement(FileReplacement* replacement);

// Files that change together (a pack and its songs), or a file whose keeping is
// decided later (a WAV of a song that may yet fail): Finish flushes, syncs and closes
// the new contents but leaves them under the temporary name, so that every one is
// known to be whole before any is renamed. A finished replacement is then committed
// (only the rename is left) or abandoned. 1 when a write failed; the temporary file
// is gone then and the target untouched.
uint32_t FinishFileReplacement(FileReplacement* replacement);

// SIZE bytes of DATA as the whole new contents of PATH, which may not exist yet: 0,
// or 1 with ERROR (errno or GetLastError) set and PATH as it was.
uint32_t WriteWholeFile(const char* path, const void* data, uint32_t size, int* error);

// Files that change together (a pack and its songs), written in two phases: Add
// writes and syncs each one under its temporary name, Commit renames them all. A
// failed Add abandons every temporary file so far, and so does going away
// uncommitted, so no target is touched unless every new file is whole.
class PendingReplace {
 public:
  PendingReplace() = default;
  ~PendingReplace() { Abandon(); }
  PendingReplace(const PendingReplace&) = delete;
  PendingReplace& operator=(const PendingReplace&) = delete;

  // SIZE bytes of DATA as the new contents of PATH, which may not exist yet. 1 when
  // it cannot be written (failedPath and error say where and why).
  uint32_t Add(const char* path, const void* data, uint32_t size);
  // Renames every added file over its target. 1 when a rename is refused: the files
  // renamed before it stay new, the others keep their old contents.
  uint32_t Commit();
  void Abandon();

  const std::string& failedPath() const { return failedPath_; }
  int error() const { return error_; }

 private:
  uint32_t Fail(const char* path, int error);

  std::vector<FileReplacement> files_;
  std::vector<std::string> paths_;  // as the caller named them, for failedPath
  std::string failedPath_;
  int error_ = 0;
};
