// ZSP writer beside the reader: every accepted version, raw and Vorbis-coded
// entries, optional LZO compression and scrambling.
#include "samples/zsp_writer.h"

#include <vorbis/vorbisenc.h>

#include <cstdlib>
#include <cstring>

#include "container/block_compress.h"
#include "samples/sample_store.h"
#include "samples/zsp_format.h"
#include "ui/password.h"

namespace {

bool Refuse(std::string* error, const std::string& why) {
  if (error) *error = why;
  return false;
}

bool Typed(const ZspWriteOptions& o) { return o.major >= kZspTypedListFrom.major; }

// The inverse of the reader's descrambling for the version.
void Scramble(const ZspWriteOptions& o, std::vector<uint8_t>* bytes) {
  if (o.scrambleKey == 0) return;
  const uint8_t k = static_cast<uint8_t>(o.scrambleKey);
  if (ZspUsesXor(o.major, o.minor)) {
    for (auto& b : *bytes) b ^= k;
  } else {
    for (auto& b : *bytes) b = static_cast<uint8_t>(b + k);
  }
}

// The entry body: the stored bytes, scrambled, then compressed when asked.
bool WriteBody(const ZspWriteOptions& o, std::vector<uint8_t> stored, ByteWriter* out,
               std::string* error) {
  if (stored.size() > 0xFFFFFFFFu) return Refuse(error, "entry too large");
  Scramble(o, &stored);
  if (o.compress) {
    std::vector<uint8_t> block;
    if (!CompressBlock(stored, o.smallest, &block, error)) return false;
    out->u32(static_cast<uint32_t>(block.size()));
    out->bytes(block);
    out->u32(static_cast<uint32_t>(stored.size()));
  } else {
    out->u32(static_cast<uint32_t>(stored.size()));
    out->bytes(stored);
  }
  return true;
}

// The stored bytes of an entry and, for coded entries, the declared decoded length.
bool StoredBytes(const ZspEntry& e, const ZspWriteOptions& o, std::vector<uint8_t>* stored,
                 uint32_t* decodedLength, std::string* error) {
  if (e.kind == ZspEntry::Kind::Coded) {
    if (!e.ogg.empty()) {
      *stored = e.ogg;
      *decodedLength = e.decodedLength;
      return true;
    }
    *decodedLength = static_cast<uint32_t>(e.pcm.size());
    return EncodeVorbis(e.pcm, e.bits, e.channels, o.vorbisQuality, 0x5A53 + e.channels, stored,
                        error);
  }
  *stored = e.pcm;
  *decodedLength = static_cast<uint32_t>(e.pcm.size());
  return true;
}

bool WriteSlotV2(const ZspEntry& e, const ZspWriteOptions& o, ByteWriter* out, std::string* error) {
  if (e.kind == ZspEntry::Kind::Empty) {
    out->u8(kZspTypeEmptySlot);
    return true;
  }
  std::vector<uint8_t> stored;
  uint32_t decodedLength = 0;
  if (!StoredBytes(e, o, &stored, &decodedLength, error)) return false;
  const bool coded = e.kind == ZspEntry::Kind::Coded;
  out->u8(coded ? kZspTypeCodedEntry : kZspTypePcmEntry);
  out->u8(e.bits);
  out->u8(e.attribute);
  out->u32(e.value);
  out->text(e.name, kZspName26Length);
  if (coded) out->u32(decodedLength);
  return WriteBody(o, std::move(stored), out, error);
}

bool WriteSlotV1(const ZspEntry& e, const ZspWriteOptions& o, ByteWriter* out, std::string* error) {
  const bool typed = VersionAtLeast(o.major, o.minor, kZspTypeByteFrom);
  const bool coded = e.kind == ZspEntry::Kind::Coded;
  if (coded && !typed) return Refuse(error, "coded entries need version 1.28 or later");
  if (e.kind == ZspEntry::Kind::Empty && VersionAtLeast(o.major, o.minor, kZspEmptySlotFrom)) {
    out->u8(kZspV1TypeEmpty);
    return true;
  }
  // Before 1.29 an empty slot can only be an entry without bytes.
  std::vector<uint8_t> stored;
  uint32_t decodedLength = 0;
  if (e.kind != ZspEntry::Kind::Empty && !StoredBytes(e, o, &stored, &decodedLength, error)) {
    return false;
  }
  if (typed) {
    out->u8(coded ? kZspV1TypeCoded : kZspV1TypePcm);
    out->u32(decodedLength);
  }
  out->text(e.name, kZspName30Length);
  if (!WriteBody(o, std::move(stored), out, error)) return false;
  if (VersionAtLeast(o.major, o.minor, kZspWidthAttributeFrom)) {
    out->u8(e.bits);
    out->u8(e.attribute);
  }
  if (VersionAtLeast(o.major, o.minor, kZspAux32From)) out->u32(e.value);
  if (typed) out->text(e.name, kZspName26Length);
  return true;
}

}  // namespace

bool ZspWriteHeader(const ZspWriteOptions& o, uint32_t entryCount, ByteWriter* out,
                    std::string* error) {
  if (!ZspAccepted(o.major, o.minor)) return Refuse(error, "version not accepted by the reader");
  const bool flag = ZspHasScrambleFlag(o.major, o.minor);
  if (o.scrambleKey != 0 && !flag) return Refuse(error, "scrambling needs version 1.23 or later");
  if (o.scrambleKey < -49 || o.scrambleKey > 49) return Refuse(error, "scramble key outside -49..49");
  out->bytes(kZspMagic, 4);
  out->u8(o.major);
  out->u8(o.minor);
  if (flag) out->u8(o.scrambleKey != 0 || o.scrambledFlag ? 1 : 0);
  out->u8(o.compress ? 1 : 0);
  out->u32(entryCount);
  return true;
}

bool ZspWriteSlot(const ZspEntry& e, const ZspWriteOptions& o, ByteWriter* out,
                  std::string* error) {
  return Typed(o) ? WriteSlotV2(e, o, out, error) : WriteSlotV1(e, o, out, error);
}

void ZspWriteEnd(const ZspWriteOptions& o, ByteWriter* out) {
  if (Typed(o)) out->u8(kZspTypeEndOfList);
}

bool WriteZsp(const std::vector<ZspEntry>& entries, const ZspWriteOptions& options,
              std::vector<uint8_t>* out, std::string* error) {
  ByteWriter w;
  if (entries.size() > 0xFFFFFFFFu) return Refuse(error, "too many entries");
  if (!ZspWriteHeader(options, static_cast<uint32_t>(entries.size()), &w, error)) return false;
  for (const ZspEntry& e : entries) {
    if (!ZspWriteSlot(e, options, &w, error)) return false;
  }
  ZspWriteEnd(options, &w);
  *out = w.take();
  return true;
}

bool EncodeVorbis(const std::vector<uint8_t>& pcm, uint8_t bits, uint8_t channels, float quality,
                  int serial, std::vector<uint8_t>* ogg, std::string* error) {
  if (bits != 8 && bits != 16) return Refuse(error, "Vorbis input must be 8 or 16 bit");
  if (channels < 1 || channels > 2) return Refuse(error, "Vorbis input must be mono or stereo");
  const size_t frameBytes = static_cast<size_t>(bits / 8) * channels;
  const size_t frames = pcm.size() / frameBytes;
  ogg->clear();

  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, channels, 44100, quality) != 0) {
    vorbis_info_clear(&vi);
    return Refuse(error, "Vorbis encoder refused the settings");
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, serial);

  auto append = [&](const ogg_page& page) {
    ogg->insert(ogg->end(), page.header, page.header + page.header_len);
    ogg->insert(ogg->end(), page.body, page.body + page.body_len);
  };
  ogg_packet header, commentHeader, codeHeader;
  vorbis_analysis_headerout(&vd, &vc, &header, &commentHeader, &codeHeader);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &commentHeader);
  ogg_stream_packetin(&os, &codeHeader);
  ogg_page page;
  while (ogg_stream_flush(&os, &page) != 0) append(page);

  constexpr size_t kChunk = 1024;
  size_t done = 0;
  bool eos = false;
  bool ended = false;
  while (!eos) {
    const size_t n = frames - done < kChunk ? frames - done : kChunk;
    if (n == 0) {
      if (ended) break;  // the end was signalled and everything is out
      vorbis_analysis_wrote(&vd, 0);
      ended = true;
    } else {
      float** buffer = vorbis_analysis_buffer(&vd, static_cast<int>(n));
      for (size_t j = 0; j < n; ++j) {
        for (size_t c = 0; c < channels; ++c) {
          const size_t at = ((done + j) * channels + c) * (bits / 8);
          float s;
          if (bits == 8) {
            s = static_cast<int8_t>(pcm[at]) / 128.0f;
          } else {
            s = static_cast<int16_t>(static_cast<uint16_t>(pcm[at] | pcm[at + 1] << 8)) / 32768.0f;
          }
          buffer[c][j] = s;
        }
      }
      vorbis_analysis_wrote(&vd, static_cast<int>(n));
      done += n;
    }
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&vd, &packet)) {
        ogg_stream_packetin(&os, &packet);
        while (!eos && ogg_stream_pageout(&os, &page) != 0) {
          append(page);
          if (ogg_page_eos(&page)) eos = true;
        }
      }
    }
  }
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return true;
}

int32_t ZspKeyFromPassword(const std::string& password) {
  std::string text = password;
  return SampleStoreKeyFromPasswordKey(
      HashPassword(text.data(), static_cast<uint32_t>(text.size())));
}
