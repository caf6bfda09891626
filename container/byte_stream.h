// ByteStream: one small record for reading and writing bytes from a file or a
// memory buffer, with free functions in the manner of the C library's stdio.
// Every file format of the system is read and written through it.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>

struct ByteStream {
  uint8_t* base;        // memory buffer; null for file streams
  uint32_t size;        // stream length; writes add to it
  uint32_t position;    // offset from the start, kept for both kinds
  char* path;           // owned copy of the file name; null for memory streams
  uint8_t ownsBuffer;   // 1 when StreamClose frees base
  FILE* file;           // open file for file streams
  uint64_t delivered;   // bytes StreamRead has delivered (lets tests check selective reads)
};

// Opens NAME for reading ("rb"); null when it cannot be opened.
ByteStream* StreamOpenFile(const char* name);
// Creates or truncates NAME for writing ("wb"); null when it cannot be created.
ByteStream* StreamCreateFile(const char* name);
// A memory stream over DATA: borrowed (copy 0, the caller keeps it alive) or copied.
ByteStream* StreamOpenMemory(const void* data, uint32_t length, uint8_t copy);
// An empty growable memory stream (StreamCloseTakingBuffer hands its bytes over).
ByteStream* StreamCreateMemory();
void StreamClose(ByteStream* s);
// Closes a memory stream it owns the buffer of and returns that buffer (the caller
// frees it), SIZE its length; null and 0 for other streams.
uint8_t* StreamCloseTakingBuffer(ByteStream* s, uint32_t* size);
// The open file of a file stream (for flushing and syncing it), null for memory.
inline FILE* StreamFile(const ByteStream* s) { return s ? s->file : nullptr; }
// Delivers at most the bytes left; never reads outside the buffer, whatever the position.
int32_t StreamRead(void* dst, uint32_t n, ByteStream* s);
// Appends: size always grows by n. Returns n.
uint32_t StreamWrite(const void* src, uint32_t n, ByteStream* s);
void StreamSkip(int32_t n, ByteStream* s);
void StreamSeek(uint32_t position, ByteStream* s);
void StreamSeekEnd(int32_t offset, ByteStream* s);

// A stream held by its owner: closed when the owner goes.
struct StreamCloser {
  void operator()(ByteStream* s) const { StreamClose(s); }
};
using StreamOwner = std::unique_ptr<ByteStream, StreamCloser>;
