// Collection addresses: a collection file name with an optional "zgm://" scheme in
// front and an optional ",N" track number behind, naming one entry of a ZGM file.
#pragma once
#include <cstdint>
#include <string>

inline constexpr char kCollectionScheme[] = "zgm://";
inline constexpr size_t kCollectionSchemeSize = 6;
// The track number of an address without a comma: the first tune.
inline constexpr int32_t kFirstTuneTrack = -1;

struct CollectionAddress {
  std::string file;                // the collection file, scheme dropped
  int32_t track = kFirstTuneTrack; // position in the collection, or -1
};

// True when NAME begins with "zgm://" (ASCII case ignored) or holds a comma.
bool IsCollectionAddress(const char* name);

// Splits NAME into file and track on a copy; NAME itself is never changed. The
// scheme, if present (any case), is dropped; the file runs to the first comma; the
// text after it reads like atoi (leading blanks and a sign, stops at the first
// non-digit, no digits give 0, clamped to the 32-bit range); no comma gives -1.
CollectionAddress ParseCollectionAddress(const char* name);
