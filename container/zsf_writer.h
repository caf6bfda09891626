// ZSF writer: song files of every version the reader accepts, in both body
// layouts, with the tag trailer; and the cut that turns a module image into the
// structure image a song stores. For tools, tests and fuzz seeds.
#pragma once
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

// Version 1 sample entry; the fields a version does not have must keep their
// defaults (offset 0 before 1.12; code 0, parameter 0, volume 100 before 1.15).
struct ZsfV1Sample {
  uint32_t entry = 0;
  uint32_t size = 0;
  uint32_t offset = 0;
  uint8_t code = 0;
  uint32_t parameter = 0;
  uint8_t volume = 100;
};

// Version 2 source entry. A NaN gain means "unchanged": written as 100.0 for a
// plain copy (code 0, the derivation's block-copy shortcut) and as 1.0 otherwise.
struct ZsfV2Source {
  uint32_t entry = 0;
  uint8_t code = 0;
  uint32_t a = 0;
  uint32_t b = 0;
  float gain = NAN;
};

struct ZsfV2Sample {
  uint32_t source = 0;
  uint32_t size = 0;
  uint32_t offset = 0;
};

struct ZsfSong {
  uint8_t major = 2;
  uint8_t minor = 2;
  std::string packName;               // at most 26 characters
  std::string moduleExtension = ".IT";  // at most 5; written from 1.11 on
  std::vector<uint8_t> structure;     // the structure image, compressed by the writer
  // Declared structure size when it should differ from structure.size() (tests).
  int64_t declaredStructureSize = -1;
  // Bytes appended to the compressed block and counted in its length (tests).
  std::vector<uint8_t> blockTrailer;
  // Version 1 body (major below 2).
  std::vector<ZsfV1Sample> samples;
  std::vector<uint32_t> extraEntries;  // from 1.19 only
  uint32_t spare = 0;
  // Version 2 body (major 2).
  std::vector<ZsfV2Source> sources;
  std::vector<ZsfV2Sample> v2Samples;
  // The tag trailer's text ("name=value\n" lines); empty gives 00 00.
  std::string tagText;
};

// The whole file in OUT. False (reason in ERROR) when the song cannot be expressed
// in its version: a version the reader refuses, a field the version lacks, a name
// too long, a tag text above 65535 bytes.
bool WriteZsf(const ZsfSong& song, std::vector<uint8_t>* out, std::string* error);

// One sample's data inside a module image, in sample order.
struct SampleSpan {
  uint32_t offset = 0;
  uint32_t length = 0;
};

// Cuts a module image: every span is replaced by a 4-byte zero placeholder, and
// OFFSETS receives, for sample i, its position in the image that already holds
// samples 0..i-1 (what the rebuild expects). Spans may come in any order but must
// be non-empty, inside the image and not overlap.
bool CutModuleImage(const std::vector<uint8_t>& module, const std::vector<SampleSpan>& spans,
                    std::vector<uint8_t>* structure, std::vector<uint32_t>* offsets,
                    std::string* error);
