#include "platform/file_map.h"

#include <windows.h>

#include <string>

namespace {

// File names arrive in the player's ANSI code page.
HANDLE OpenForReading(const char* name) {
  return CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

}  // namespace

bool MapFile(const char* name, FileMap* map) {
  *map = FileMap{};
  HANDLE file = OpenForReading(name);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  bool ok = GetFileSizeEx(file, &size) && static_cast<uint64_t>(size.QuadPart) <= UINT32_MAX;
  if (ok && size.QuadPart > 0) {
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    const void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
    ok = view != nullptr;
    if (ok) {
      map->data = static_cast<const uint8_t*>(view);
      map->size = static_cast<uint32_t>(size.QuadPart);
      map->handle = mapping;
    } else if (mapping) {
      CloseHandle(mapping);
    }
  }
  CloseHandle(file);
  return ok;
}

void UnmapFile(FileMap* map) {
  if (map->data) UnmapViewOfFile(map->data);
  if (map->handle) CloseHandle(static_cast<HANDLE>(map->handle));
  *map = FileMap{};
}
