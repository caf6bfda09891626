#include "platform/file_replace.h"

#include "container/byte_stream.h"

uint32_t WriteWholeFile(const char* path, const void* data, uint32_t size, int* error) {
  FileReplacement file;
  if (BeginFileReplacement(path, &file, ReplaceMode::kNewOrExisting) == 0) {
    StreamWrite(data, size, file.stream);
    if (CommitFileReplacement(&file) == 0) return 0;
  }
  *error = file.error;
  return 1;
}
