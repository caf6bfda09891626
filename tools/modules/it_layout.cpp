// Impulse Tracker: sample headers found through the header's offset tables, each
// pointing at its data; compressed data is measured by walking its blocks.
#include "tools/modules/layout_internal.h"

namespace zsfmod {
namespace detail {
namespace {

std::string Where(uint16_t index) { return "IT sample " + std::to_string(index + 1) + ": "; }

}  // namespace

bool ReadItLayout(const std::vector<uint8_t>& file, ModuleLayout* out, std::string* error) {
  ByteCursor c(file.data(), file.size());
  ByteCursor header = c.sub(kItHeaderSize);
  if (!header.ok()) return Fail(error, "IT: file shorter than the 192-byte header");
  const uint8_t* h = header.span(kItHeaderSize);
  if (!(h[0] == 'I' && h[1] == 'M' && h[2] == 'P' && h[3] == 'M'))
    return Fail(error, "IT: no IMPM signature");
  out->title = Text(h + 4, 26);
  header.seek(0x20);
  const uint16_t ordNum = header.u16();   // 0x20
  const uint16_t insNum = header.u16();   // 0x22
  const uint16_t smpNum = header.u16();   // 0x24
  const uint16_t patNum = header.u16();   // 0x26
  header.u16();                            // created with
  const uint16_t cmwt = header.u16();     // 0x2A compatible with
  // The engine's limits.
  if (ordNum == 0) return Fail(error, "IT: no orders");
  if (insNum > kItMaxCount) return Fail(error, "IT: " + std::to_string(insNum) + " instruments (at most 256)");
  if (smpNum > kItMaxCount) return Fail(error, "IT: " + std::to_string(smpNum) + " samples (at most 256)");
  if (patNum > kItMaxCount) return Fail(error, "IT: " + std::to_string(patNum) + " patterns (at most 256)");

  c.skip(ordNum);
  std::vector<uint32_t> insOff(insNum), smpOff(smpNum);
  for (uint32_t& o : insOff) o = c.u32();
  for (uint32_t& o : smpOff) o = c.u32();
  c.skip(4u * patNum);
  if (!c.ok())
    return Fail(error, "IT: order and offset tables (" + std::to_string(ordNum) + " orders, " +
                           std::to_string(insNum) + " instruments, " + std::to_string(smpNum) +
                           " samples, " + std::to_string(patNum) +
                           " patterns) extend past the end of the file");
  const size_t tablesEnd = c.position();

  for (uint16_t i = 0; i < insNum; ++i) {
    ByteCursor in(file.data(), file.size());
    const uint8_t* p = in.seek(insOff[i]) ? in.span(4) : nullptr;
    if (!p || insOff[i] < tablesEnd)
      return Fail(error, "IT instrument " + std::to_string(i + 1) + ": offset " +
                             std::to_string(insOff[i]) + " outside the file");
    if (!(p[0] == 'I' && p[1] == 'M' && p[2] == 'P' && p[3] == 'I'))
      return Fail(error, "IT instrument " + std::to_string(i + 1) + ": no IMPI signature");
  }

  const bool it215 = cmwt == kItCmwt215;
  for (uint16_t i = 0; i < smpNum; ++i) {
    ByteCursor sc(file.data(), file.size());
    if (smpOff[i] < tablesEnd || !sc.seek(smpOff[i]))
      return Fail(error, Where(i) + "header offset " + std::to_string(smpOff[i]) + " outside the file");
    ByteCursor sh = sc.sub(kItSampleHeaderSize);
    if (!sh.ok()) return Fail(error, Where(i) + "header extends past the end of the file");
    const uint8_t* p = sh.span(kItSampleHeaderSize);
    if (!(p[0] == 'I' && p[1] == 'M' && p[2] == 'P' && p[3] == 'S'))
      return Fail(error, Where(i) + "no IMPS signature");
    sh.seek(kItSmpFlagsAt);
    const uint8_t flags = sh.u8();
    sh.seek(kItSmpCvtAt);
    const uint8_t cvt = sh.u8();
    sh.seek(kItSmpLengthAt);
    const uint32_t length = sh.u32();
    sh.seek(kItSmpPointerAt);
    const uint32_t pointer = sh.u32();
    if (!(flags & kItSmpExists) || length == 0) continue;

    SampleLayout s;
    s.index = i;
    s.headerOffset = smpOff[i];
    s.name = Text(p + 0x14, 26);
    s.offset = pointer;
    s.frames = length;
    s.bits = flags & kItSmp16 ? 16 : 8;
    s.channels = flags & kItSmpStereo ? 2 : 1;
    if (pointer < tablesEnd || pointer >= file.size())
      return Fail(error, Where(i) + "data offset " + std::to_string(pointer) + " outside the file");
    if (flags & kItSmpCompressed) {
      s.encoding = it215 ? SampleLayout::kItCompressed215 : SampleLayout::kItCompressed214;
      if (!ItCompressedExtent(file, pointer, length, s.bits, s.channels, &s.bytes, error)) {
        *error = Where(i) + *error;
        return false;
      }
    } else {
      if (!(cvt & kItCvtSigned) && (cvt & kItCvtBigEndian) && s.bits == 16)
        return Fail(error, Where(i) + "unsigned big-endian data is not supported");
      s.encoding = !(cvt & kItCvtSigned) ? SampleLayout::kUnsigned
                   : (cvt & kItCvtBigEndian) && s.bits == 16 ? SampleLayout::kSignedBigEndian
                                                             : SampleLayout::kSigned;
      uint64_t bytes = static_cast<uint64_t>(length) * (s.bits / 8u) * s.channels;
      if (pointer + bytes > file.size())
        return Fail(error, Where(i) + "data at " + std::to_string(pointer) + " + " +
                               std::to_string(bytes) + " bytes extends past the end of the file (" +
                               std::to_string(file.size()) + " bytes)");
      s.bytes = static_cast<uint32_t>(bytes);
    }
    out->samples.push_back(s);
  }
  // The engine reads the parts in offset order and never goes back, so sample
  // data lying over a header, an instrument or a pattern cannot be played (and
  // rewriting the headers would change that data).
  struct Part { uint64_t start, end; std::string what; };
  std::vector<Part> parts;
  for (uint16_t i = 0; i < insNum; ++i)
    parts.push_back({insOff[i], uint64_t{insOff[i]} + kItInstrumentSize, "instrument " + std::to_string(i + 1)});
  for (uint16_t i = 0; i < smpNum; ++i)
    parts.push_back({smpOff[i], uint64_t{smpOff[i]} + kItSampleHeaderSize, "header of sample " + std::to_string(i + 1)});
  ByteCursor pc(file.data(), file.size());
  pc.seek(kItHeaderSize + ordNum + 4u * (insNum + smpNum));
  for (uint16_t i = 0; i < patNum; ++i) {
    const uint32_t at = pc.u32();
    if (at == 0) continue;
    // Like instruments and sample headers, a pattern never starts inside the header
    // or its tables: rewriting the tables' offsets would change the pattern.
    if (at < tablesEnd)
      return Fail(error, "IT: pattern " + std::to_string(i) + " at " + std::to_string(at) +
                             " lies inside the header's tables (which end at " +
                             std::to_string(tablesEnd) + ")");
    // The engine cannot read a pattern whose header leaves the file, and the sample
    // rewrite could not move such an offset.
    uint64_t end = uint64_t{at} + 8;
    if (end > file.size())
      return Fail(error, "IT: pattern " + std::to_string(i) + " at " + std::to_string(at) +
                             " extends past the end of the file (" +
                             std::to_string(file.size()) + " bytes)");
    end += file[at] | file[at + 1] << 8;
    parts.push_back({at, end, "pattern " + std::to_string(i)});
  }
  for (const SampleLayout& s : out->samples)
    for (const Part& part : parts)
      if (s.offset < part.end && part.start < uint64_t{s.offset} + s.bytes)
        return Fail(error, Where(s.index) + "data at " + std::to_string(s.offset) + " + " +
                               std::to_string(s.bytes) + " bytes lies over the " + part.what +
                               " at " + std::to_string(part.start));
  return CheckExtents(*out, file.size(), "IT", error);
}

}  // namespace detail
}  // namespace zsfmod
