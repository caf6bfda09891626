// Reads back the WAV files the player writes: every header field, and the PCM.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "container/byte_cursor.h"
#include "support/files.h"

namespace zsftest {

struct Wav {
  bool ok = false;  // RIFF/WAVE/fmt /data in place and the data all there
  uint32_t riffSize = 0, fmtSize = 0, rate = 0, byteRate = 0, dataSize = 0;
  uint16_t format = 0, channels = 0, blockAlign = 0, bits = 0;
  size_t fileSize = 0;
  std::vector<uint8_t> pcm;
};

inline Wav ReadWav(const std::string& path) {
  std::vector<uint8_t> bytes = ReadFile(path);
  Wav w;
  w.fileSize = bytes.size();
  ByteCursor c(bytes.data(), bytes.size());
  bool tags = c.u32() == 0x46464952; /* RIFF */
  w.riffSize = c.u32();
  tags = tags && c.u32() == 0x45564157 /* WAVE */ && c.u32() == 0x20746d66 /* fmt  */;
  w.fmtSize = c.u32();
  w.format = c.u16();
  w.channels = c.u16();
  w.rate = c.u32();
  w.byteRate = c.u32();
  w.blockAlign = c.u16();
  w.bits = c.u16();
  tags = tags && c.u32() == 0x61746164 /* data */;
  w.dataSize = c.u32();
  const uint8_t* data = c.span(w.dataSize);
  w.ok = tags && c.ok() && data;
  if (w.ok) w.pcm.assign(data, data + w.dataSize);
  return w;
}

}  // namespace zsftest
