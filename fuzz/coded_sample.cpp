// DecodeCodedSample over arbitrary bytes at both widths (the first byte picks the
// width). Seeds are Vorbis streams from our encoder, alone and chained.
#include "fuzz/fuzz_support.h"
#include "samples/coded_sample.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* folder = std::getenv("ZSF_FUZZ_SEEDS");
  if (!folder) return 0;
  std::vector<uint8_t> chained;
  for (uint8_t channels : {1, 2}) {
    for (uint8_t bits : {8, 16}) {
      std::vector<uint8_t> ogg;
      std::string error;
      const std::vector<uint8_t> pcm = fuzzsupport::Tone(3000, bits, channels);
      if (!EncodeVorbis(pcm, bits, channels, 0.1f, bits + channels, &ogg, &error)) continue;
      fuzzsupport::WriteSeed(folder, "seed_" + std::to_string(bits) + "_" + std::to_string(channels), ogg, {bits});
      chained.insert(chained.end(), ogg.begin(), ogg.end());
    }
  }
  fuzzsupport::WriteSeed(folder, "seed_chained", chained, {16});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 0xFFFFFFFFu) return 0;
  ByteStream* out = StreamCreateMemory();
  DecodeCodedSample(static_cast<uint32_t>(size - 1), data + 1, data[0] & 1 ? 8 : 16, out);
  StreamClose(out);
  return 0;
}
