// FileReplacement: rewrites a file without ever leaving it half-written. The new
// contents go to a temporary file in the same folder, which is flushed to disk and
// then renamed over the old one, so a failure or a kill at any moment leaves
// either the old or the new file.
#pragma once
#include <cstdint>

struct ByteStream;

struct FileReplacement {
  char* target;        // the file being replaced (absolute; symbolic links resolved on POSIX)
  char* temporary;     // the new contents until the commit
  ByteStream* stream;  // write stream on temporary
};

// Creates the temporary file beside PATH with PATH's permission bits (POSIX) or
// descriptive attributes (Windows, at the commit). 1 when PATH
// does not exist or the folder is not writable; nothing is left behind then.
uint32_t BeginFileReplacement(const char* path, FileReplacement* replacement);
// Flushes and syncs the new contents and renames them over the target. 1 when a
// write failed or the rename was refused; the target then keeps its old contents.
uint32_t CommitFileReplacement(FileReplacement* replacement);
// Drops the new contents; the target is untouched.
void AbandonFileReplacement(FileReplacement* replacement);
