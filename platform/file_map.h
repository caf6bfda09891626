// A whole file mapped read-only into memory: read once by the system, straight from
// its cache, instead of copied into a buffer of our own.
#pragma once
#include <cstdint>

struct FileMap {
  const uint8_t* data = nullptr;  // the file's bytes (null for an empty file)
  uint32_t size = 0;
  void* handle = nullptr;         // the system's mapping object where it has one
};

// True with MAP holding NAME's bytes; false (MAP empty) when the file cannot be
// opened or mapped, or is larger than 4 GiB - 1, the most a stream addresses.
bool MapFile(const char* name, FileMap* map);
// Releases a mapping (an empty one too) and empties MAP.
void UnmapFile(FileMap* map);

// A mapping released when its owner goes.
class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile() { UnmapFile(&map_); }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  bool Open(const char* name) {
    UnmapFile(&map_);
    return MapFile(name, &map_);
  }
  const uint8_t* data() const { return map_.data; }
  uint32_t size() const { return map_.size; }

 private:
  FileMap map_;
};
