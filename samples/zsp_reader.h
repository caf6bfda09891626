// ZSP reader: fills a sample store from a pack (its writer is zsp_writer.h).
#pragma once
#include <cstdint>

#include "samples/sample_store.h"

struct ByteStream;
struct Failure;

// Reads the pack from the stream's start; loads only WANTED entries (all when
// WANTED is null). Never closes the stream. 0 on success, 1 on failure (a wrong magic,
// a newer version, no memory for the slots) with the reason in FAILURE (may be null).
uint32_t SampleStoreLoad(SampleStore* store, ByteStream* stream, const uint32_t* wanted,
                         uint16_t wantedCount, Failure* failure = nullptr);
