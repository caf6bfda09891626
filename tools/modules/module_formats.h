// On-disk constants of the four module formats and the per-format readers behind
// ReadModuleLayout. The limits are the engine's: a module it refuses is refused
// here too, with the reason.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "container/byte_cursor.h"
#include "tools/modules/module_layout.h"

namespace zsfmod {

// Impulse Tracker.
constexpr uint32_t kItHeaderSize = 0xC0;
constexpr uint32_t kItSampleHeaderSize = 0x50;
constexpr uint32_t kItInstrumentSize = 554;
constexpr uint16_t kItMaxCount = 256;       // instruments, samples, patterns
constexpr uint16_t kItCmwt215 = 0x0215;     // compressed samples use the 2.15 form
constexpr uint8_t kItSmpExists = 1, kItSmp16 = 2, kItSmpStereo = 4, kItSmpCompressed = 8;
constexpr uint8_t kItCvtSigned = 1, kItCvtBigEndian = 2, kItCvtDelta = 4;
constexpr size_t kItSmpFlagsAt = 0x12, kItSmpCvtAt = 0x2E, kItSmpLengthAt = 0x30,
                 kItSmpPointerAt = 0x48, kItMessageOffsetAt = 0x38;
constexpr uint32_t kItBlockFrames8 = 0x8000, kItBlockFrames16 = 0x4000;

// FastTracker 2.
constexpr uint16_t kXmVersion = 0x0104;
constexpr uint32_t kXmHeaderSize = 0x114;   // counted from offset 60
constexpr uint32_t kXmHeaderSizeAt = 60;
constexpr uint32_t kXmPatternHeaderSize = 9;
constexpr uint32_t kXmSampleHeaderSize = 0x28;
constexpr uint16_t kXmMaxOrders = 256, kXmMaxPatterns = 256, kXmMaxInstruments = 128;
constexpr uint16_t kXmMaxChannels = 64;
constexpr uint16_t kXmMaxSamplesPerInstrument = 16;
constexpr uint8_t kXmSmp16 = 16, kXmSmpStereo = 32;

// Scream Tracker 3.
constexpr uint32_t kS3mHeaderSize = 0x60;
constexpr uint32_t kS3mSampleHeaderSize = 0x50;
constexpr uint16_t kS3mMaxCount = 256;
constexpr uint16_t kS3mFfiSigned = 1;       // anything else: unsigned
constexpr uint8_t kS3mTypeSample = 1;
constexpr uint8_t kS3mLoop = 1, kS3mStereo = 2, kS3m16Bit = 4;

// ProTracker and relatives.
constexpr uint32_t kModTagAt = 1080;
constexpr uint32_t kModSampleHeaderSize = 30;
constexpr uint32_t kModTitleSize = 20;

namespace detail {

bool ReadItLayout(const std::vector<uint8_t>& file, ModuleLayout* out, std::string* error);
bool ReadXmLayout(const std::vector<uint8_t>& file, ModuleLayout* out, std::string* error);
bool ReadS3mLayout(const std::vector<uint8_t>& file, ModuleLayout* out, std::string* error);
bool ReadModLayout(const std::vector<uint8_t>& file, ModuleLayout* out, std::string* error);

// Bytes of the compressed blocks of FRAMES points per channel, starting at OFFSET.
bool ItCompressedExtent(const std::vector<uint8_t>& file, uint32_t offset, uint32_t frames,
                        uint8_t bits, uint8_t channels, uint32_t* bytes, std::string* error);
// Decompresses SAMPLE (2.14 or 2.15 by its encoding) into planar signed PCM.
bool ItDecompress(const std::vector<uint8_t>& file, const SampleLayout& sample,
                  std::vector<uint8_t>* pcm, std::string* error);

// A fixed-width text field up to its first NUL.
std::string Text(const uint8_t* p, size_t width);
bool Fail(std::string* error, const std::string& what);
// Sorts nothing; fails when two samples' data overlap or one leaves the file.
bool CheckExtents(const ModuleLayout& layout, size_t fileSize, const char* format,
                  std::string* error);

}  // namespace detail
}  // namespace zsfmod
