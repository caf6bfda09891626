// DecodeCodedSample: the libogg/libvorbis decoding loop over one coded pack entry,
// chained logical streams included.
#include "samples/coded_sample.h"

#include <ogg/ogg.h>
#include <vorbis/codec.h>

#include <cstring>
#include <new>

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

// Channels interleaved frame by frame; mono and stereo get loops of their own.
template <typename T, int kMax, int kMin>
void Interleave(float** pcm, int frames, int channels, double scale, T* out) {
  if (channels == 1) {
    const float* c0 = pcm[0];
    for (int j = 0; j < frames; ++j) out[j] = Convert<T, kMax, kMin>(c0[j], scale);
  } else if (channels == 2) {
    const float* c0 = pcm[0];
    const float* c1 = pcm[1];
    for (int j = 0; j < frames; ++j) {
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
  ByteStream* output = nullptr;
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

  // Converts and writes one block of FRAMES frames of CHANNELS channels.
  void WriteBlock(float** pcm, int frames, int channels) {
    uint32_t bytes;
    if (width == 16) {
      Interleave<int16_t, 32767, -32768>(pcm, frames, channels, 32767.0, conversion.wide);
      bytes = static_cast<uint32_t>(frames * channels) * 2u;
      // Little-endian on disk; the host order is little-endian on every target we build.
      StreamWrite(conversion.wide, bytes, output);
    } else {
      Interleave<int8_t, 127, -128>(pcm, frames, channels, 127.0, conversion.narrow);
      bytes = static_cast<uint32_t>(frames * channels);
      StreamWrite(conversion.narrow, bytes, output);
    }
  }

  void Drain() {
    float** pcm = nullptr;
    int frames;
    while ((frames = vorbis_synthesis_pcmout(&dsp, &pcm)) > 0) {
      const int take = frames < blockFrames ? frames : blockFrames;
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
    while (!end) {
      while (!end) {
        int result = ogg_sync_pageout(&sync, &page);
        if (result == 0) break;
        if (result < 0) continue;  // damaged data before the page: go on
        ogg_stream_pagein(&stream, &page);
        for (;;) {
          result = ogg_stream_packetout(&stream, &packet);
          if (result == 0) break;
          if (result < 0) continue;  // a hole
          if (vorbis_synthesis(&block, &packet) == 0) vorbis_synthesis_blockin(&dsp, &block);
          Drain();
        }
        if (ogg_page_eos(&page)) end = true;
      }
      if (!end) {
        const long more = Refill();
        if (more <= 0) end = true;
      }
    }
    CloseLogicalStream();
    return kCodedOk;
  }
};

}  // namespace

uint32_t DecodeCodedSample(uint32_t codedSize, const uint8_t* coded, int32_t width,
                           ByteStream* output) {
  if (width != 8 && width != 16) return kCodedError;
  if (!output || (!coded && codedSize)) return kCodedError;
  static const uint8_t kNothing = 0;
  auto* decoder = new (std::nothrow) Decoder;
  if (!decoder) return kCodedError;
  decoder->width = width;
  decoder->output = output;
  decoder->input = StreamOpenMemory(coded ? coded : &kNothing, codedSize, 0);
  if (!decoder->input) {
    delete decoder;
    return kCodedError;
  }
  ogg_sync_init(&decoder->sync);

  uint32_t result = kCodedOk;
  for (;;) {
    const uint32_t step = decoder->DecodeLogicalStream();
    if (step == kCodedOk) continue;
    if (step == kCodedError) result = kCodedError;
    break;
  }
  decoder->CloseLogicalStream();
  ogg_sync_clear(&decoder->sync);
  StreamClose(decoder->input);
  delete decoder;
  return result;
}
