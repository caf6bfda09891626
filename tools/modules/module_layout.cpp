// ReadModuleLayout by kind, and the conversions between stored sample bytes and
// raw signed PCM.
#include "tools/modules/module_layout.h"

#include <algorithm>

#include "tools/modules/layout_internal.h"

namespace zsfmod {
namespace detail {

std::string Text(const uint8_t* p, size_t width) {
  size_t n = 0;
  while (n < width && p[n]) ++n;
  return std::string(reinterpret_cast<const char*>(p), n);
}

bool Fail(std::string* error, const std::string& what) {
  if (error) *error = what;
  return false;
}

bool CheckExtents(const ModuleLayout& layout, size_t fileSize, const char* format,
                  std::string* error) {
  std::vector<const SampleLayout*> sorted;
  for (const SampleLayout& s : layout.samples) {
    if (static_cast<uint64_t>(s.offset) + s.bytes > fileSize)
      return Fail(error, std::string(format) + " sample " + std::to_string(s.index + 1) +
                             ": data at " + std::to_string(s.offset) + " + " +
                             std::to_string(s.bytes) + " bytes extends past the end of the file (" +
                             std::to_string(fileSize) + " bytes)");
    sorted.push_back(&s);
  }
  std::sort(sorted.begin(), sorted.end(),
            [](const SampleLayout* a, const SampleLayout* b) { return a->offset < b->offset; });
  for (size_t i = 1; i < sorted.size(); ++i) {
    const SampleLayout& a = *sorted[i - 1];
    const SampleLayout& b = *sorted[i];
    if (static_cast<uint64_t>(a.offset) + a.bytes > b.offset)
      return Fail(error, std::string(format) + " samples " + std::to_string(a.index + 1) +
                             " and " + std::to_string(b.index + 1) + " share data at " +
                             std::to_string(b.offset));
  }
  return true;
}

}  // namespace detail

bool ReadModuleLayout(const std::vector<uint8_t>& file, uint32_t kind, ModuleLayout* out,
                      std::string* error) {
  *out = ModuleLayout();
  out->kind = kind;
  bool ok = false;
  switch (kind) {
    case kKindIt: ok = detail::ReadItLayout(file, out, error); break;
    case kKindXm: ok = detail::ReadXmLayout(file, out, error); break;
    case kKindS3m: ok = detail::ReadS3mLayout(file, out, error); break;
    case kKindMod: ok = detail::ReadModLayout(file, out, error); break;
    default: return detail::Fail(error, "unknown module kind " + std::to_string(kind));
  }
  if (!ok) {
    out->samples.clear();
    return false;
  }
  return true;
}

bool DecodeSample(const std::vector<uint8_t>& file, const SampleLayout& s,
                  std::vector<uint8_t>* pcm, std::string* error) {
  pcm->clear();
  if (static_cast<uint64_t>(s.offset) + s.bytes > file.size())
    return detail::Fail(error, "sample " + std::to_string(s.index + 1) + " lies outside the file");
  if (s.bits != 8 && s.bits != 16)
    return detail::Fail(error, "sample " + std::to_string(s.index + 1) + ": bits must be 8 or 16");
  if (s.encoding == SampleLayout::kItCompressed214 || s.encoding == SampleLayout::kItCompressed215)
    return detail::ItDecompress(file, s, pcm, error);
  std::vector<uint8_t> stored(file.begin() + s.offset, file.begin() + s.offset + s.bytes);
  const size_t bps = s.bits / 8u;
  const size_t channelBytes = static_cast<size_t>(s.frames) * bps;
  if (channelBytes * s.channels > stored.size())
    return detail::Fail(error, "sample " + std::to_string(s.index + 1) +
                                   ": fewer stored bytes than its frames need");
  *pcm = stored;
  switch (s.encoding) {
    case SampleLayout::kSigned: break;
    case SampleLayout::kUnsigned:
      for (size_t i = bps - 1; i < channelBytes * s.channels; i += bps) (*pcm)[i] ^= 0x80;
      break;
    case SampleLayout::kSignedBigEndian:
      if (bps == 2)
        for (size_t i = 0; i + 1 < channelBytes * s.channels; i += 2) std::swap((*pcm)[i], (*pcm)[i + 1]);
      break;
    case SampleLayout::kDelta:
      // Each channel is its own delta chain; bytes beyond the frames stay as stored.
      for (size_t ch = 0; ch < s.channels; ++ch) {
        uint8_t* p = pcm->data() + ch * channelBytes;
        if (bps == 1) {
          uint8_t acc = 0;
          for (size_t i = 0; i < channelBytes; ++i) p[i] = acc = static_cast<uint8_t>(acc + p[i]);
        } else {
          uint16_t acc = 0;
          for (size_t i = 0; i + 1 < channelBytes; i += 2) {
            acc = static_cast<uint16_t>(acc + (p[i] | p[i + 1] << 8));
            p[i] = static_cast<uint8_t>(acc);
            p[i + 1] = static_cast<uint8_t>(acc >> 8);
          }
        }
      }
      break;
    default:
      return detail::Fail(error, "sample " + std::to_string(s.index + 1) + ": unknown encoding");
  }
  return true;
}

bool EncodeSample(const std::vector<uint8_t>& pcm, uint8_t bits, SampleLayout::Encoding encoding,
                  std::vector<uint8_t>* stored) {
  const size_t bps = bits == 16 ? 2 : 1;
  *stored = pcm;
  const size_t whole = pcm.size() / bps * bps;
  switch (encoding) {
    case SampleLayout::kSigned: return true;
    case SampleLayout::kUnsigned:
      for (size_t i = bps - 1; i < whole; i += bps) (*stored)[i] ^= 0x80;
      return true;
    case SampleLayout::kSignedBigEndian:
      if (bps == 2)
        for (size_t i = 0; i + 1 < whole; i += 2) std::swap((*stored)[i], (*stored)[i + 1]);
      return true;
    case SampleLayout::kDelta:
      // One chain over the whole buffer: callers with planar stereo encode each
      // channel's half separately.
      if (bps == 1) {
        uint8_t prev = 0;
        for (size_t i = 0; i < whole; ++i) {
          (*stored)[i] = static_cast<uint8_t>(pcm[i] - prev);
          prev = pcm[i];
        }
      } else {
        uint16_t prev = 0;
        for (size_t i = 0; i + 1 < whole; i += 2) {
          uint16_t v = static_cast<uint16_t>(pcm[i] | pcm[i + 1] << 8);
          uint16_t d = static_cast<uint16_t>(v - prev);
          prev = v;
          (*stored)[i] = static_cast<uint8_t>(d);
          (*stored)[i + 1] = static_cast<uint8_t>(d >> 8);
        }
      }
      return true;
    default:
      stored->clear();
      return false;
  }
}

}  // namespace zsfmod
