// Scream Tracker 3: sample headers by parapointer (offset / 16), each naming its
// data by a 24-bit paragraph number; signed or unsigned by the header's ffi.
#include "tools/modules/layout_internal.h"

namespace zsfmod {
namespace detail {

bool ReadS3mLayout(const std::vector<uint8_t>& file, ModuleLayout* out, std::string* error) {
  ByteCursor c(file.data(), file.size());
  const uint8_t* h = c.span(kS3mHeaderSize);
  if (!h) return Fail(error, "S3M: file shorter than the 96-byte header");
  if (h[0x1C] != 0x1A || h[0x1D] != 16) return Fail(error, "S3M: not a Scream Tracker 3 module (type byte)");
  if (!(h[0x2C] == 'S' && h[0x2D] == 'C' && h[0x2E] == 'R' && h[0x2F] == 'M'))
    return Fail(error, "S3M: no SCRM signature");
  out->title = Text(h, 28);
  const uint16_t ordNum = static_cast<uint16_t>(h[0x20] | h[0x21] << 8);
  const uint16_t insNum = static_cast<uint16_t>(h[0x22] | h[0x23] << 8);
  const uint16_t patNum = static_cast<uint16_t>(h[0x24] | h[0x25] << 8);
  const uint16_t ffi = static_cast<uint16_t>(h[0x2A] | h[0x2B] << 8);
  if (ordNum == 0) return Fail(error, "S3M: no orders");
  if (insNum > kS3mMaxCount) return Fail(error, "S3M: " + std::to_string(insNum) + " instruments (at most 256)");
  if (patNum > kS3mMaxCount) return Fail(error, "S3M: " + std::to_string(patNum) + " patterns (at most 256)");
  const SampleLayout::Encoding encoding =
      ffi == kS3mFfiSigned ? SampleLayout::kSigned : SampleLayout::kUnsigned;

  c.skip(ordNum);
  std::vector<uint16_t> insPara(insNum), patPara(patNum);
  for (uint16_t& p : insPara) p = c.u16();
  for (uint16_t& p : patPara) p = c.u16();
  if (!c.ok()) return Fail(error, "S3M: order and parapointer tables extend past the end of the file");
  const size_t tablesEnd = c.position();

  for (uint16_t i = 0; i < insNum; ++i) {
    const std::string where = "S3M sample " + std::to_string(i + 1) + ": ";
    const size_t at = static_cast<size_t>(insPara[i]) << 4;
    ByteCursor sc(file.data(), file.size());
    if (at < tablesEnd || !sc.seek(at)) return Fail(error, where + "header offset " + std::to_string(at) + " outside the file");
    const uint8_t* p = sc.span(kS3mSampleHeaderSize);
    if (!p) return Fail(error, where + "header extends past the end of the file");
    const uint8_t type = p[0];
    const uint32_t para = static_cast<uint32_t>(p[0x0D]) << 16 | static_cast<uint32_t>(p[0x0E] | p[0x0F] << 8);
    const uint32_t length = static_cast<uint32_t>(p[0x10] | p[0x11] << 8 | p[0x12] << 16) |
                            static_cast<uint32_t>(p[0x13]) << 24;
    const uint32_t loopEnd = static_cast<uint32_t>(p[0x18] | p[0x19] << 8 | p[0x1A] << 16) |
                             static_cast<uint32_t>(p[0x1B]) << 24;
    const uint32_t loopStart = static_cast<uint32_t>(p[0x14] | p[0x15] << 8 | p[0x16] << 16) |
                               static_cast<uint32_t>(p[0x17]) << 24;
    const uint8_t pack = p[0x1E];
    const uint8_t flags = p[0x1F];
    if (pack != 0) return Fail(error, where + "packed sample data is not supported");
    if (type == 0) continue;
    if (type != kS3mTypeSample) return Fail(error, where + "AdLib instruments are not supported");
    if (!(p[0x4C] == 'S' && p[0x4D] == 'C' && p[0x4E] == 'R' && p[0x4F] == 'S'))
      return Fail(error, where + "no SCRS signature");
    if (length == 0) continue;

    SampleLayout s;
    s.index = i;
    s.headerOffset = static_cast<uint32_t>(at);
    s.name = Text(p + 0x30, 28);
    s.offset = para << 4;
    s.bits = flags & kS3m16Bit ? 16 : 8;
    s.channels = flags & kS3mStereo ? 2 : 1;
    s.encoding = encoding;
    s.frames = length;
    const uint64_t frameBytes = static_cast<uint64_t>(s.bits / 8u) * s.channels;
    // Data cut short after the loop end is what the engine reads of a looped
    // sample; accept it when the full length would leave the file.
    if (s.offset + length * frameBytes > file.size() && (flags & kS3mLoop) && loopStart < loopEnd &&
        loopEnd <= length && s.offset + loopEnd * frameBytes <= file.size())
      s.frames = loopEnd;
    const uint64_t bytes = s.frames * frameBytes;
    if (s.offset < tablesEnd || s.offset + bytes > file.size())
      return Fail(error, where + "data at " + std::to_string(s.offset) + " + " + std::to_string(bytes) +
                             " bytes lies outside the file (" + std::to_string(file.size()) + " bytes)");
    s.bytes = static_cast<uint32_t>(bytes);
    out->samples.push_back(s);
  }
  // As in IT files, the engine reads parts in offset order: data lying over a
  // sample header or a pattern cannot be played.
  for (const SampleLayout& s : out->samples) {
    const uint64_t from = s.offset, to = from + s.bytes;
    for (uint16_t i = 0; i < insNum; ++i) {
      const uint64_t at = uint64_t{insPara[i]} << 4;
      if (at < to && from < at + kS3mSampleHeaderSize)
        return Fail(error, "S3M sample " + std::to_string(s.index + 1) + ": data at " +
                               std::to_string(from) + " lies over the header of sample " +
                               std::to_string(i + 1));
    }
    for (uint16_t i = 0; i < patNum; ++i) {
      const uint64_t at = uint64_t{patPara[i]} << 4;
      if (at == 0) continue;
      const uint64_t end = at + 2 <= file.size() ? at + (file[at] | file[at + 1] << 8) : at + 1;
      if (at < to && from < (end > at ? end : at + 1))
        return Fail(error, "S3M sample " + std::to_string(s.index + 1) + ": data at " +
                               std::to_string(from) + " lies over pattern " + std::to_string(i));
    }
  }
  return CheckExtents(*out, file.size(), "S3M", error);
}

}  // namespace detail
}  // namespace zsfmod
