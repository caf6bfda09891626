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

namespace zsfmod {

constexpr uint32_t kKindIt = 0;
constexpr uint32_t kKindXm = 1;
constexpr uint32_t kKindS3m = 2;
constexpr uint32_t kKindMod = 3;

struct SampleLayout {
  enum Encoding : uint8_t {
    kSigned,          // signed PCM (IT, MOD, S3M ffi 1)
    kUnsigned,        // unsigned PCM (S3M ffi 2, old IT cvt bit 0 clear)
    kDelta,           // XM delta-coded signed PCM
    kSignedBigEndian, // IT cvt bit 1: 16-bit words stored big-endian
    kItCompressed214, // IT 2.14 compressed blocks
    kItCompressed215, // IT 2.15 compressed blocks (double delta)
  };
  uint32_t offset = 0;    // where the stored data begins in the file
  uint32_t bytes = 0;     // stored bytes (for compressed samples: all blocks)
  uint32_t frames = 0;    // sample points per channel
  uint8_t bits = 8;       // 8 or 16
  uint8_t channels = 1;   // 2 for stereo samples (IT, S3M); stored planar
  Encoding encoding = kSigned;
  uint16_t index = 0;     // the module's own sample number, 0-based (XM: running
                          // count of sample headers over all instruments)
  uint16_t instrument = 0;// XM: the instrument (0-based) the sample belongs to
  uint32_t headerOffset = 0;  // where the sample's header begins
  std::string name;
  // Bytes of the decoded PCM: frames * channels * bits / 8.
  uint32_t pcmBytes() const { return frames * channels * (bits / 8u); }
};

struct ModuleLayout {
  uint32_t kind = 0;  // 0 IT, 1 XM, 2 S3M, 3 MOD
  std::string title;
  std::string artist; // only where the format has a place for it (else empty)
  std::string variant;// MOD: the tag ("M.K.", "8CHN", ...) or "15-sample"
  uint16_t channels = 0;
  // Only samples that hold data (bytes > 0), in the module's own order.
  std::vector<SampleLayout> samples;
};

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
