// Fuzz target: DecodeCodedSample over arbitrary bytes at both widths (the first
// byte picks the width). Seeds are Vorbis streams from our encoder.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "container/byte_stream.h"
#include "fuzz/fuzz_support.h"
#include "samples/coded_sample.h"
#include "samples/zsp_writer.h"

namespace {

std::vector<uint8_t> Tone(size_t frames, uint8_t bits, uint8_t channels) {
  std::vector<uint8_t> out;
  uint32_t seed = 99;
  for (size_t j = 0; j < frames * channels; ++j) {
    seed = seed * 1103515245u + 12345u;
    const int v = static_cast<int>((j * 37) % 200) - 100 + static_cast<int>(seed >> 28);
    if (bits == 16) {
      out.push_back(static_cast<uint8_t>(v * 100));
      out.push_back(static_cast<uint8_t>((v * 100) >> 8));
    } else {
      out.push_back(static_cast<uint8_t>(v));
    }
  }
  return out;
}

void WriteSeeds(const std::string& folder) {
  int n = 0;
  std::vector<uint8_t> chained = {16};
  for (uint8_t channels : {1, 2}) {
    for (uint8_t bits : {8, 16}) {
      std::vector<uint8_t> ogg;
      std::string error;
      if (!EncodeVorbis(Tone(3000, bits, channels), bits, channels, 0.1f, n + 1, &ogg, &error)) continue;
      fuzzsupport::WriteSeed(folder, "seed_" + std::to_string(n++), ogg, {bits});
      chained.insert(chained.end(), ogg.begin(), ogg.end());
    }
  }
  fuzzsupport::WriteSeed(folder, "seed_chained", chained);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (const char* folder = std::getenv("ZSF_FUZZ_SEEDS")) WriteSeeds(folder);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 0xFFFFFFFFu) return 0;
  const int32_t width = data[0] & 1 ? 8 : 16;
  ByteStream* out = StreamCreateMemory();
  if (!out) return 0;
  DecodeCodedSample(static_cast<uint32_t>(size - 1), data + 1, width, out);
  StreamClose(out);
  return 0;
}
