// The records the module layout readers fill: where each sample of a plain tracker
// module lies and how it is stored.
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
  // Only samples that hold data (bytes > 0), in the module's own order.
  std::vector<SampleLayout> samples;
};

}  // namespace zsfmod
