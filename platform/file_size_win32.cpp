#include "platform/file_size.h"

#include <io.h>
#include <windows.h>

bool OpenFileSize(std::FILE* file, uint64_t* size) {
  if (!file) return false;
  // The C library's stat holds 32-bit sizes; the system's answer does not.
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  LARGE_INTEGER bytes;
  if (handle == INVALID_HANDLE_VALUE || !GetFileSizeEx(handle, &bytes)) return false;
  *size = static_cast<uint64_t>(bytes.QuadPart);
  return true;
}
