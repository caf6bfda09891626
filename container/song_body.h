// The records a song load produces and a rebuild consumes: the song's body and the
// module image rebuilt from it.
#pragma once
#include <cstdint>

#include "samples/sample_record.h"

// An ordinary module file rebuilt in memory; the caller owns data (free()).
struct ModuleImage {
  uint32_t size;
  uint8_t* data;
};

// What a load produces; owned by the Song.
struct SongBody {
  uint32_t sampleCount;
  uint8_t* structure;        // decompressed structure image (malloc)
  uint32_t structureSize;
  SampleRecord* records;     // sampleCount records, each owning its data
  uint32_t* sampleSizes;     // as stored in the file
  uint32_t spare;            // version 1 spare value, else 0
  uint8_t moduleKind;        // ModuleKind after a load (the FileKind being loaded before)
  uint32_t* sampleOffsets;   // as stored in the file (0 where absent)
};

// Releases everything a body owns and zeroes it (also what a failed load left).
void ReleaseSongBody(SongBody* body);
