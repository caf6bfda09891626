// LoadCollection over a stream the caller opened (tests count the bytes it reads).
#pragma once
#include <cstdint>

struct ByteStream;
struct Collection;
struct Failure;

// Reads a collection from the stream's current position; offsets are stream
// positions. Never closes the stream. Same results as LoadCollection.
uint32_t LoadCollectionFromStream(Collection* collection, ByteStream* stream, uint32_t n,
                                  const uint32_t* wanted, Failure* failure = nullptr);
