// DecodeCodedSample: the libogg/libvorbis decoding loop over one coded pack entry,
// chained logical streams included.
#include "samples/coded_sample.h"

#include <ogg/ogg.h>
#include <vorbis/codec.h>

#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "container/byte_stream.h"

namespace {

constexpr uint32_t kRefillBytes = 4096;
constexpr uint32_t kBlockValues = 4096;  // values per converted block

// One float sample to the output width: the product is exact in double, truncated
// toward zero and clamped; NaN, which no comparison catches, becomes silence.
template <typename T, int kMax, int kMin>
inline T Convert(float s, double scale) {
  double v = static_cast<double>(s) * scale;
  v = v == v ? v : 0.0;
  v = v > kMax ? kMax : v;
  v = v < kMin ? kMin : v;
  return static_cast<T>(static_cast<int32_t>(v));
}

#if defined(__SSE2__)
// Four samples at once, exactly as Convert does each: widened to double, scaled,
// NaN made 0, clamped, truncated; the four 32-bit results in one register.
inline __m128i Convert4(const float* s, __m128d scale, __m128d lo, __m128d hi) {
  const __m128 x = _mm_loadu_ps(s);
  __m128d a = _mm_mul_pd(_mm_cvtps_pd(x), scale);
  __m128d b = _mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(x, x)), scale);
  a = _mm_and_pd(a, _mm_cmpord_pd(a, a));
  b = _mm_and_pd(b, _mm_cmpord_pd(b, b));
  a = _mm_max_pd(_mm_min_pd(a, hi), lo);
  b = _mm_max_pd(_mm_min_pd(b, hi), lo);
  return _mm_unpacklo_epi64(_mm_cvttpd_epi32(a), _mm_cvttpd_epi32(b));
}

// The frames of mono or stereo PCM that whole vectors cover, converted into OUT;
// returns how many frames that was (the caller converts the rest one by one). The
// values are in range already, so the saturating packs only narrow them.
template <typename T, int kMax, int kMin>
int InterleaveVectors(float** pcm, int frames, int channels, double scale, T* out) {
  const __m128d k = _mm_set1_pd(scale), lo = _mm_set1_pd(kMin), hi = _mm_set1_pd(kMax);
  auto* dst = reinterpret_cast<__m128i*>(out);
  const float* c0 = pcm[0];
  int j = 0;
  if (sizeof(T) == 2 && channels == 1) {
    for (; j + 8 <= frames; j += 8)
      _mm_storeu_si128(dst++, _mm_packs_epi32(Convert4(c0 + j, k, lo, hi), Convert4(c0 + j + 4, k, lo, hi)));
  } else if (sizeof(T) == 2) {
    const float* c1 = pcm[1];
    for (; j + 4 <= frames; j += 4) {
      const __m128i l = Convert4(c0 + j, k, lo, hi), r = Convert4(c1 + j, k, lo, hi);
      _mm_storeu_si128(dst++, _mm_unpacklo_epi16(_mm_packs_epi32(l, l), _mm_packs_epi32(r, r)));
    }
  } else if (channels == 1) {
    for (; j + 16 <= frames; j += 16) {
      const __m128i a = _mm_packs_epi32(Convert4(c0 + j, k, lo, hi), Convert4(c0 + j + 4, k, lo, hi));
      const __m128i b = _mm_packs_epi32(Convert4(c0 + j + 8, k, lo, hi), Convert4(c0 + j + 12, k, lo, hi));
      _mm_storeu_si128(dst++, _mm_packs_epi16(a, b));
    }
  } else {
    const float* c1 = pcm[1];
    for (; j + 8 <= frames; j += 8) {
      const __m128i l = _mm_packs_epi32(Convert4(c0 + j, k, lo, hi), Convert4(c0 + j + 4, k, lo, hi));
      const __m128i r = _mm_packs_epi32(Convert4(c1 + j, k, lo, hi), Convert4(c1 + j + 4, k, lo, hi));
      _mm_storeu_si128(dst++, _mm_packs_epi16(_mm_unpacklo_epi16(l, r), _mm_unpackhi_epi16(l, r)));
    }
  }
  return j;
}
#endif

// Channels interleaved frame by frame; mono and stereo get loops of their own (and
// vectors where the processor has them).
template <typename T, int kMax, int kMin>
void Interleave(float** pcm, int frames, int channels, double scale, T* out) {
  int first = 0;
#if defined(__SSE2__)
  if (channels == 1 || channels == 2) first = InterleaveVectors<T, kMax, kMin>(pcm, frames, channels, scale, out);
#endif
  if (channels == 1) {
    const float* c0 = pcm[0];
    for (int j = first; j < frames; ++j) out[j] = Convert<T, kMax, kMin>(c0[j], scale);
  } else if (channels == 2) {
    const float* c0 = pcm[0];
    const float* c1 = pcm[1];
    for (int j = first; j < frames; ++j) {
      out[2 * j] = Convert<T, kMax, kMin>(c0[j], scale);
      out[2 * j + 1] = Convert<T, kMax, kMin>(c1[j], scale);
    }
  } else {
    for (int i = 0; i < channels; ++i) {
      const float* c = pcm[i];
      for (int j = 0; j < frames; ++j) out[j * channels + i] = Convert<T, kMax, kMin>(c[j], scale);
    }
  }
}

// The state of one decode. Each call has its own, conversion buffer included, so
// decodes on two threads never meet; Close releases whatever was set up.
struct Decoder {
  ByteStream* input = nullptr;
  ogg_sync_state sync;
  ogg_stream_state stream;
  ogg_page page;
  ogg_packet packet;
  vorbis_info info;
  vorbis_comment comment;
  vorbis_dsp_state dsp;
  vorbis_block block;
  bool streamOpen = false;  // ogg_stream_init, vorbis_info_init, vorbis_comment_init
  bool synthesisOpen = false;  // vorbis_synthesis_init, vorbis_block_init
  int32_t width = 16;
  int blockFrames = 0;
  // Where the PCM goes: appended to OUTPUT, or into FILL's CAPACITY bytes, after
  // which decoding stops (nothing later could change what the buffer holds).
  ByteStream* output = nullptr;
  uint8_t* fill = nullptr;
  uint32_t capacity = 0;
  uint32_t filled = 0;
  bool full() const { return fill && filled == capacity; }
  union {
    int16_t wide[kBlockValues];
    int8_t narrow[kBlockValues];
  } conversion;

  // Reads up to 4096 more bytes into the sync layer; -1 when libogg refuses.
  long Refill() {
    char* buffer = ogg_sync_buffer(&sync, kRefillBytes);
    if (!buffer) return -1;
    int32_t got = StreamRead(buffer, kRefillBytes, input);
    if (got < 0) got = 0;
    ogg_sync_wrote(&sync, got);
    return got;
  }

  void CloseLogicalStream() {
    if (synthesisOpen) {
      vorbis_block_clear(&block);
      vorbis_dsp_clear(&dsp);
      synthesisOpen = false;
    }
    if (streamOpen) {
      ogg_stream_clear(&stream);
      vorbis_comment_clear(&comment);
      vorbis_info_clear(&info);
      streamOpen = false;
    }
  }

  void Put(const void* bytes, uint32_t n) {
    if (!fill) {
      StreamWrite(bytes, n, output);
      return;
    }
    // The declared length may end inside a value: its first byte is kept.
    const uint32_t room = capacity - filled;
    if (n > room) n = room;
    std::memcpy(fill + filled, bytes, n);
    filled += n;
  }

  // Converts and writes one block of FRAMES frames of CHANNELS channels: straight
  // into the caller's buffer when the whole block fits there.
  void WriteBlock(float** pcm, int frames, int channels) {
    const uint32_t values = static_cast<uint32_t>(frames * channels);
    if (fill && capacity - filled >= values * static_cast<uint32_t>(width / 8)) {
      if (width == 16) {
        Interleave<int16_t, 32767, -32768>(pcm, frames, channels, 32767.0,
                                           reinterpret_cast<int16_t*>(fill + filled));
      } else {
        Interleave<int8_t, 127, -128>(pcm, frames, channels, 127.0, reinterpret_cast<int8_t*>(fill + filled));
      }
      filled += values * static_cast<uint32_t>(width / 8);
      return;
    }
    if (width == 16) {
      Interleave<int16_t, 32767, -32768>(pcm, frames, channels, 32767.0, conversion.wide);
      // Little-endian on disk; the host order is little-endian on every target we build.
      Put(conversion.wide, static_cast<uint32_t>(frames * channels) * 2u);
    } else {
      Interleave<int8_t, 127, -128>(pcm, frames, channels, 127.0, conversion.narrow);
      Put(conversion.narrow, static_cast<uint32_t>(frames * channels));
    }
  }

  void Drain() {
    float** pcm = nullptr;
    int frames;
    while (!full() && (frames = vorbis_synthesis_pcmout(&dsp, &pcm)) > 0) {
      int take = frames < blockFrames ? frames : blockFrames;
      if (fill) {
        // Only the frames the buffer still has room for are converted.
        const uint32_t frameBytes = static_cast<uint32_t>(info.channels) * (width == 16 ? 2u : 1u);
        const uint32_t room = (capacity - filled + frameBytes - 1) / frameBytes;
        if (static_cast<uint32_t>(take) > room) take = static_cast<int>(room);
      }
      WriteBlock(pcm, take, info.channels);
      vorbis_synthesis_read(&dsp, take);
    }
  }

  // One logical stream from its first page. 0: decoded (or no further stream),
  // 1: failed, 2: the data is used up.
  uint32_t DecodeLogicalStream() {
    const long got = Refill();
    if (got < 0) return kCodedError;
    if (ogg_sync_pageout(&sync, &page) != 1) {
      return got < static_cast<long>(kRefillBytes) ? 2 : kCodedError;
    }
    ogg_stream_init(&stream, ogg_page_serialno(&page));
    vorbis_info_init(&info);
    vorbis_comment_init(&comment);
    streamOpen = true;
    if (ogg_stream_pagein(&stream, &page) < 0) return kCodedError;
    if (ogg_stream_packetout(&stream, &packet) != 1) return kCodedError;
    if (vorbis_synthesis_headerin(&info, &comment, &packet) < 0) return kCodedError;

    // The comment and setup headers.
    int headers = 0;
    while (headers < 2) {
      while (headers < 2) {
        int result = ogg_sync_pageout(&sync, &page);
        if (result == 0) break;
        if (result < 0) continue;
        ogg_stream_pagein(&stream, &page);
        while (headers < 2) {
          result = ogg_stream_packetout(&stream, &packet);
          if (result == 0) break;
          if (result < 0) return kCodedError;
          vorbis_synthesis_headerin(&info, &comment, &packet);
          ++headers;
        }
      }
      const long more = Refill();
      if (more < 0) return kCodedError;
      if (more == 0 && headers < 2) return kCodedError;
    }

    // Damaged comment or setup headers leave the info unusable; the synthesis
    // set-up notices and the entry fails instead of decoding garbage.
    if (info.channels <= 0) return kCodedError;
    blockFrames = static_cast<int>(kBlockValues) / info.channels;
    if (blockFrames <= 0) return kCodedError;
    if (vorbis_synthesis_init(&dsp, &info) != 0) return kCodedError;
    if (vorbis_block_init(&dsp, &block) != 0) {
      vorbis_dsp_clear(&dsp);
      return kCodedError;
    }
    synthesisOpen = true;

    bool end = false;
    while (!end && !full()) {
      while (!end && !full()) {
        int result = ogg_sync_pageout(&sync, &page);
        if (result == 0) break;
        if (result < 0) continue;  // damaged data before the page: go on
        ogg_stream_pagein(&stream, &page);
        while (!full()) {
          result = ogg_stream_packetout(&stream, &packet);
          if (result == 0) break;
          if (result < 0) continue;  // a hole
          if (vorbis_synthesis(&block, &packet) == 0) vorbis_synthesis_blockin(&dsp, &block);
          Drain();
        }
        if (ogg_page_eos(&page)) end = true;
      }
      if (!end && !full()) {
        const long more = Refill();
        if (more <= 0) end = true;
      }
    }
    CloseLogicalStream();
    return kCodedOk;
  }
};

}  // namespace

namespace {

uint32_t Decode(uint32_t codedSize, const uint8_t* coded, int32_t width, ByteStream* output,
                uint8_t* fill, uint32_t capacity, uint32_t* filled) {
  if (width != 8 && width != 16) return kCodedError;
  if (!coded && codedSize) return kCodedError;
  static const uint8_t kNothing = 0;
  auto* decoder = new (std::nothrow) Decoder;
  if (!decoder) return kCodedError;
  decoder->width = width;
  decoder->output = output;
  decoder->fill = fill;
  decoder->capacity = capacity;
  decoder->input = StreamOpenMemory(coded ? coded : &kNothing, codedSize, 0);
  if (!decoder->input) {
    delete decoder;
    return kCodedError;
  }
  ogg_sync_init(&decoder->sync);

  uint32_t result = kCodedOk;
  while (!decoder->full()) {
    const uint32_t step = decoder->DecodeLogicalStream();
    if (step == kCodedOk) continue;
    if (step == kCodedError) result = kCodedError;
    break;
  }
  if (filled) *filled = decoder->filled;
  decoder->CloseLogicalStream();
  ogg_sync_clear(&decoder->sync);
  StreamClose(decoder->input);
  delete decoder;
  return result;
}

}  // namespace

uint32_t DecodeCodedSample(uint32_t codedSize, const uint8_t* coded, int32_t width,
                           ByteStream* output) {
  if (!output) return kCodedError;
  return Decode(codedSize, coded, width, output, nullptr, 0, nullptr);
}

uint32_t DecodeCodedSampleInto(uint32_t codedSize, const uint8_t* coded, int32_t width, uint8_t* out,
                               uint32_t capacity, uint32_t* produced) {
  *produced = 0;
  if (!out && capacity) return kCodedError;
  return Decode(codedSize, coded, width, nullptr, out, capacity, produced);
}
