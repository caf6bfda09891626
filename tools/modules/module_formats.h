// On-disk constants of the four module formats, shared by the layout readers and
// the synthesiser's writers. The limits are the engine's: a module it refuses is
// refused by the readers too, with the reason.
#pragma once
#include <cstdint>
#include <cstddef>

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
constexpr uint16_t kItCmwt214 = 0x0214;
constexpr uint16_t kItFlagStereo = 1, kItFlagInstruments = 4, kItFlagLinear = 8;
constexpr uint8_t kItSmpLoop = 16, kItSmpPingPong = 64;
constexpr uint8_t kItNoteOff = 255, kItNoteCut = 254, kItOrderEnd = 255;

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
constexpr uint8_t kXmLoopForward = 1, kXmLoopPingPong = 2;
constexpr uint32_t kXmInstrumentSize = 263;      // with samples, as trackers write it
constexpr uint32_t kXmEmptyInstrumentSize = 29;  // without samples
constexpr uint32_t kXmInstrumentRead = 243;      // what the engine reads of one with samples
constexpr uint8_t kXmNoteOff = 97;

// Scream Tracker 3.
constexpr uint32_t kS3mHeaderSize = 0x60;
constexpr uint32_t kS3mSampleHeaderSize = 0x50;
constexpr uint16_t kS3mMaxCount = 256;
constexpr uint16_t kS3mFfiSigned = 1;       // anything else: unsigned
constexpr uint8_t kS3mTypeSample = 1;
constexpr uint8_t kS3mLoop = 1, kS3mStereo = 2, kS3m16Bit = 4;
constexpr uint16_t kS3mFfiUnsigned = 2;
constexpr uint8_t kS3mNoteOff = 254, kS3mNoNote = 255, kS3mOrderEnd = 255;

// ProTracker and relatives.
constexpr uint32_t kModTagAt = 1080;
constexpr uint32_t kModSampleHeaderSize = 30;
constexpr uint32_t kModTitleSize = 20;
constexpr uint32_t kModSampleSlots = 31, kModOldSampleSlots = 15;

}  // namespace zsfmod
