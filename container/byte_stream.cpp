#include "container/byte_stream.h"

#include <cstdlib>
#include <cstring>

namespace {

ByteStream* NewRecord() { return static_cast<ByteStream*>(std::calloc(1, sizeof(ByteStream))); }

char* CopyText(const char* text) {
  size_t n = std::strlen(text) + 1;
  char* copy = static_cast<char*>(std::malloc(n));
  if (copy) std::memcpy(copy, text, n);
  return copy;
}

}  // namespace

ByteStream* StreamOpenFile(const char* name) {
  if (!name) return nullptr;
  ByteStream* s = NewRecord();
  if (!s) return nullptr;
  s->file = std::fopen(name, "rb");
  if (!s->file) {
    std::free(s);
    return nullptr;
  }
  std::fseek(s->file, 0, SEEK_END);
  long end = std::ftell(s->file);
  std::fseek(s->file, 0, SEEK_SET);
  s->size = end > 0 ? static_cast<uint32_t>(end) : 0;
  s->path = CopyText(name);
  return s;
}

ByteStream* StreamCreateFile(const char* name) {
  if (!name) return nullptr;
  ByteStream* s = NewRecord();
  if (!s) return nullptr;
  s->file = std::fopen(name, "wb");
  if (!s->file) {
    std::free(s);
    return nullptr;
  }
  s->path = CopyText(name);
  return s;
}

ByteStream* StreamOpenMemory(const void* data, uint32_t length, uint8_t copy) {
  ByteStream* s = NewRecord();
  if (!s) return nullptr;
  if (copy) {
    s->base = static_cast<uint8_t*>(std::malloc(length ? length : 1));
    if (!s->base) {
      std::free(s);
      return nullptr;
    }
    if (length) std::memcpy(s->base, data, length);
    s->ownsBuffer = 1;
  } else {
    s->base = static_cast<uint8_t*>(const_cast<void*>(data));
  }
  s->size = length;
  return s;
}

ByteStream* StreamCreateMemory() {
  ByteStream* s = NewRecord();
  if (!s) return nullptr;
  s->base = static_cast<uint8_t*>(std::malloc(1));
  s->ownsBuffer = 1;
  return s;
}

uint8_t* StreamCloseTakingBuffer(ByteStream* s, uint32_t* size) {
  *size = 0;
  if (!s) return nullptr;
  uint8_t* buffer = nullptr;
  if (!s->file && s->ownsBuffer) {
    buffer = s->base;
    *size = s->size;
    s->ownsBuffer = 0;
  }
  StreamClose(s);
  return buffer;
}

void StreamClose(ByteStream* s) {
  if (!s) return;
  std::free(s->path);
  if (s->file) std::fclose(s->file);
  if (s->ownsBuffer) std::free(s->base);
  std::free(s);
}

int32_t StreamRead(void* dst, uint32_t n, ByteStream* s) {
  uint32_t left = s->position < s->size ? s->size - s->position : 0;
  if (n > left) n = left;
  // A signed result must stay non-negative.
  if (n > 0x7FFFFFFFu) n = 0x7FFFFFFFu;
  if (n == 0) return 0;
  uint32_t got;
  if (s->file) {
    got = static_cast<uint32_t>(std::fread(dst, 1, n, s->file));
  } else {
    std::memcpy(dst, s->base + s->position, n);
    got = n;
  }
  s->position += got;
  s->delivered += got;
  return static_cast<int32_t>(got);
}

uint32_t StreamWrite(const void* src, uint32_t n, ByteStream* s) {
  if (n == 0) return 0;
  if (s->file) {
    std::fwrite(src, 1, n, s->file);
    s->size += n;
  } else {
    // Appending only: a write lands at the position, which writers keep at the end.
    uint64_t end = static_cast<uint64_t>(s->position) + n;
    uint64_t newSize = static_cast<uint64_t>(s->size) + n;
    if (end > newSize) newSize = end;
    if (newSize > 0xFFFFFFFFull) return 0;
    auto* grown = static_cast<uint8_t*>(std::realloc(s->base, newSize ? newSize : 1));
    if (!grown) return 0;
    s->base = grown;
    // A write made after seeking back (or past the end) still grows the stream by n;
    // the grown bytes it does not cover would be uninitialised heap, so zero them.
    if (s->position != s->size) std::memset(s->base + s->size, 0, newSize - s->size);
    std::memcpy(s->base + s->position, src, n);
    s->size = static_cast<uint32_t>(newSize);
  }
  s->position += n;
  return n;
}

void StreamSkip(int32_t n, ByteStream* s) {
  if (s->file) std::fseek(s->file, n, SEEK_CUR);
  s->position += static_cast<uint32_t>(n);
}

void StreamSeek(uint32_t position, ByteStream* s) {
  s->position = position;
  if (s->file) std::fseek(s->file, static_cast<long>(position), SEEK_SET);
}

void StreamSeekEnd(int32_t offset, ByteStream* s) {
  s->position = s->size + static_cast<uint32_t>(offset);
  if (s->file) std::fseek(s->file, offset, SEEK_END);
}
