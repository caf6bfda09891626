#include "platform/file_map.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

bool MapFile(const char* name, FileMap* map) {
  *map = FileMap{};
  const int fd = open(name, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) <= UINT32_MAX;
  if (ok && st.st_size > 0) {
    // Populated at once: one call sets up every page instead of a fault per page.
    void* bytes = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    ok = bytes != MAP_FAILED;
    if (ok) {
      map->data = static_cast<const uint8_t*>(bytes);
      map->size = static_cast<uint32_t>(st.st_size);
    }
  }
  close(fd);
  return ok;
}

void UnmapFile(FileMap* map) {
  if (map->data) munmap(const_cast<uint8_t*>(map->data), map->size);
  *map = FileMap{};
}
