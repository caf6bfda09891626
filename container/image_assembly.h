// Assembling a module image: the structure image with each sample's stored form
// written over its 4-byte placeholder.
#pragma once
#include <cstdint>

#include "container/song_body.h"

class ModuleFormat;
struct Failure;

// Inserts the body's samples in order: sample i replaces the 4 bytes at its offset
// in the image that already holds samples 0..i-1. A body without offsets (the first
// is 0) asks FORMAT to locate them. Fails (1) for missing offsets, a sample without
// data, an empty sample when VERSION_MAJOR is 2 or more (older songs keep the
// placeholder), or an offset with fewer than 4 bytes after it. The result is
// materialised once from a list of pieces, so the cost is about one copy of the
// final image. On success OUT holds a malloc'd buffer (never null); on failure OUT
// is {0, null} and FAILURE (may be null) says which sample and limit refused it.
uint32_t AssembleModuleImage(const SongBody& body, uint8_t versionMajor, ModuleFormat* format,
                             ModuleImage* out, Failure* failure = nullptr);

// The layout nearly every song has, where each sample's placeholder lies after the
// samples before it: sample i then starts at OFFSETS[i] of the finished image and the
// structure fills the gaps. True with TOTAL the image's size when the COUNT samples
// (SIZES bytes each, none empty) lie so and assembling them would succeed; false
// otherwise (AssembleModuleImage then decides).
bool PlanInOrderLayout(uint32_t structureSize, uint32_t count, const uint32_t* sizes, const uint32_t* offsets,
                       uint64_t* total);
// Copies the structure around the samples' places of a planned layout into IMAGE;
// the samples are written into their places by the caller.
void CopyStructureAround(const uint8_t* structure, uint32_t structureSize, uint32_t count, const uint32_t* sizes,
                         const uint32_t* offsets, uint8_t* image);
