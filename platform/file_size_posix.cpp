#include "platform/file_size.h"

#include <sys/stat.h>

bool OpenFileSize(std::FILE* file, uint64_t* size) {
  struct stat info;
  if (!file || fstat(fileno(file), &info) != 0) return false;
  *size = static_cast<uint64_t>(info.st_size);
  return true;
}
