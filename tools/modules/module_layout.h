// Where the sample data of a plain tracker module lies: the readers that `zsftool
// pack` uses to cut samples out of IT, XM, S3M and MOD files, and the decoders that
// turn each sample's stored bytes into raw signed PCM.
//
// Every reader takes its fields through ByteCursor, so a malformed file gives an
// error naming what is wrong and never reads outside the file.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/modules/layout_records.h"

namespace zsfmod {

// Reads FILE as a module of KIND. On failure returns false and sets ERROR to a text
// naming what is wrong ("IT sample 3: data at 81234 + 4000 bytes extends past the
// end of the file (82000 bytes)").
bool ReadModuleLayout(const std::vector<uint8_t>& file, uint32_t kind, ModuleLayout* out,
                      std::string* error);

// Decodes the stored bytes of SAMPLE (from FILE) into raw signed little-endian PCM:
// XM delta-decoded (each stereo half its own chain), unsigned made signed,
// big-endian words swapped, IT compressed blocks decompressed exactly as the engine
// decodes them. Planar channel order is kept. The result has sample.bytes bytes for
// the plain encodings (the odd bytes some XM files keep beyond the last whole frame
// are copied as stored) and sample.pcmBytes() for compressed ones.
bool DecodeSample(const std::vector<uint8_t>& file, const SampleLayout& sample,
                  std::vector<uint8_t>* pcm, std::string* error);

// The stored form of signed PCM for the plain encodings (kSigned, kUnsigned, kDelta,
// kSignedBigEndian): the inverse of DecodeSample. False for compressed encodings.
bool EncodeSample(const std::vector<uint8_t>& pcm, uint8_t bits, SampleLayout::Encoding encoding,
                  std::vector<uint8_t>* stored);

// Rewrites an IT module so that every sample is stored as plain signed
// little-endian PCM: compressed samples are decompressed, unsigned ones made
// signed, big-endian ones swapped; the sample headers' flags and conversion bytes
// are rewritten and every file offset behind a sample whose size changed is moved.
// Other bytes stay as they were. A module that already stores plain signed PCM comes
// back unchanged.
bool StoreItSamplesAsPlainPcm(const std::vector<uint8_t>& file, std::vector<uint8_t>* out,
                              std::string* error);

}  // namespace zsfmod
