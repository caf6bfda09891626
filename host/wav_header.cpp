#include "host/wav_header.h"

#include <cstring>

namespace {

void Put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v & 0xFFFF);
  Put16(p + 2, v >> 16);
}

}  // namespace

void BuildWavHeader(const PcmFormat& format, uint32_t dataBytes, uint8_t out[wav::kHeaderBytes]) {
  // A data chunk of odd size is followed by one pad byte, which RIFF counts.
  uint32_t padded = dataBytes + (dataBytes & 1);
  std::memcpy(out, "RIFF", 4);
  Put32(out + 4, uint32_t(wav::kHeaderBytes - 8) + padded);
  std::memcpy(out + 8, "WAVE", 4);
  std::memcpy(out + 12, "fmt ", 4);
  Put32(out + 16, wav::kFmtChunkBytes);
  Put16(out + 20, wav::kFormatPcm);
  Put16(out + 22, uint32_t(format.channels));
  Put32(out + 24, uint32_t(format.sampleRate));
  Put32(out + 28, uint32_t(format.BytesPerSecond()));
  Put16(out + 32, uint32_t(format.FrameBytes()));
  Put16(out + 34, uint32_t(format.bits));
  std::memcpy(out + 36, "data", 4);
  Put32(out + 40, dataBytes);
}
