// SampleRecord: one sample or pack entry. Pack entries use it, and a song keeps
// its samples in the same type.
#pragma once
#include <cstdint>

struct SampleRecord {
  uint32_t size;        // bytes of sample data (PCM bytes once loaded and decoded)
  uint8_t* data;        // owned (malloc); null when the entry was not loaded
  char name30[31];      // entry name of version 0 and 1 packs
  uint16_t aux8;        // attribute byte, carried, not interpreted
  uint32_t frames;      // sample points; filled by EncodeSamples
  uint16_t bits;        // 8 or 16 (signed, 16-bit little-endian); 0 before pack 1.26
  uint8_t coded;        // stored as Ogg Vorbis data
  uint32_t fullSize;    // declared size of the stored bytes after decompression
  uint32_t storedSize;  // bytes the body occupies in the pack file
  char name26[27];      // entry name of 1.28 and later packs
  uint32_t aux32;       // value carried into derived samples, not interpreted
};
