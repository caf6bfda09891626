// FastTracker 2: patterns are skipped by their sizes; each instrument's header
// size says where its sample headers begin, and its samples' delta-coded data
// follows them in order.
#include "tools/modules/layout_internal.h"

namespace zsfmod {
namespace detail {

bool ReadXmLayout(const std::vector<uint8_t>& file, ModuleLayout* out, std::string* error) {
  static const char kSignature[] = "Extended Module: ";
  ByteCursor c(file.data(), file.size());
  const uint8_t* head = c.span(kXmHeaderSizeAt + 4);
  if (!head) return Fail(error, "XM: file shorter than its 64-byte header");
  for (int i = 0; i < 17; ++i)
    if (head[i] != static_cast<uint8_t>(kSignature[i])) return Fail(error, "XM: no \"Extended Module: \" signature");
  if (head[37] != 0x1A) return Fail(error, "XM: no 0x1A after the title");
  out->title = Text(head + 17, 20);
  const uint16_t version = static_cast<uint16_t>(head[58] | head[59] << 8);
  if (version != kXmVersion)
    return Fail(error, "XM: version " + std::to_string(version >> 8) + "." +
                           std::to_string(version & 0xFF) + " (only 1.4 is played)");
  c.seek(kXmHeaderSizeAt);
  const uint32_t headerSize = c.u32();
  if (headerSize != kXmHeaderSize)
    return Fail(error, "XM: header size " + std::to_string(headerSize) + " (expected 276)");
  const uint16_t orders = c.u16();
  c.u16();  // restart
  const uint16_t channels = c.u16();
  const uint16_t patterns = c.u16();
  const uint16_t instruments = c.u16();
  if (!c.ok()) return Fail(error, "XM: header cut short");
  if (orders == 0 || orders > kXmMaxOrders)
    return Fail(error, "XM: " + std::to_string(orders) + " orders (1 to 256)");
  if (patterns > kXmMaxPatterns) return Fail(error, "XM: " + std::to_string(patterns) + " patterns (at most 256)");
  if (instruments > kXmMaxInstruments)
    return Fail(error, "XM: " + std::to_string(instruments) + " instruments (at most 128)");
  if (channels > kXmMaxChannels) return Fail(error, "XM: " + std::to_string(channels) + " channels (at most 64)");
  c.seek(kXmHeaderSizeAt + headerSize);
  if (!c.ok()) return Fail(error, "XM: header cut short");

  for (uint16_t p = 0; p < patterns; ++p) {
    const std::string where = "XM pattern " + std::to_string(p) + ": ";
    const uint32_t size = c.u32();
    const uint8_t packing = c.u8();
    c.u16();  // rows
    const uint16_t data = c.u16();
    if (!c.ok()) return Fail(error, where + "header extends past the end of the file");
    if (size != kXmPatternHeaderSize) return Fail(error, where + "header size " + std::to_string(size) + " (expected 9)");
    if (packing != 0) return Fail(error, where + "unknown packing " + std::to_string(packing));
    if (data > 1280u * channels) return Fail(error, where + std::to_string(data) + " bytes of data for " + std::to_string(channels) + " channels");
    if (!c.skip(data)) return Fail(error, where + "data extends past the end of the file");
  }

  uint16_t running = 0;
  for (uint16_t i = 0; i < instruments; ++i) {
    const std::string where = "XM instrument " + std::to_string(i + 1) + ": ";
    const size_t start = c.position();
    const uint32_t size = c.u32();
    c.skip(22 + 1);  // name, type
    const uint16_t count = c.u16();
    if (!c.ok()) return Fail(error, where + "header extends past the end of the file");
    if (count > kXmMaxSamplesPerInstrument)
      return Fail(error, where + std::to_string(count) + " samples (at most 16)");
    const uint32_t needed = count ? kXmInstrumentRead : kXmEmptyInstrumentSize;
    if (size < needed) return Fail(error, where + "header size " + std::to_string(size) + " too small");
    if (count && c.u32() != kXmSampleHeaderSize)
      return Fail(error, where + "sample header size is not 40");
    if (!c.seek(start) || !c.skip(size))
      return Fail(error, where + "header extends past the end of the file");
    if (count == 0) continue;

    struct Header { uint32_t length; uint8_t type; std::string name; size_t at; };
    std::vector<Header> headers(count);
    for (Header& h : headers) {
      h.at = c.position();
      const uint8_t* p = c.span(kXmSampleHeaderSize);
      if (!p) return Fail(error, where + "sample headers extend past the end of the file");
      h.length = static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16) | static_cast<uint32_t>(p[3]) << 24;
      h.type = p[14];
      h.name = Text(p + 18, 22);
    }
    for (uint16_t k = 0; k < count; ++k, ++running) {
      const Header& h = headers[k];
      SampleLayout s;
      s.index = running;
      s.instrument = i;
      s.headerOffset = static_cast<uint32_t>(h.at);
      s.name = h.name;
      s.offset = static_cast<uint32_t>(c.position());
      s.bytes = h.length;
      s.bits = h.type & kXmSmp16 ? 16 : 8;
      s.channels = h.type & kXmSmpStereo ? 2 : 1;
      s.frames = h.length / (s.bits / 8u) / s.channels;
      s.encoding = SampleLayout::kDelta;
      if (!c.skip(h.length))
        return Fail(error, "XM sample " + std::to_string(running + 1) + " (instrument " +
                               std::to_string(i + 1) + "): data at " + std::to_string(s.offset) +
                               " + " + std::to_string(h.length) +
                               " bytes extends past the end of the file (" +
                               std::to_string(file.size()) + " bytes)");
      // Bytes too few for one frame stay in the module's structure.
      if (s.frames > 0) out->samples.push_back(s);
    }
  }
  return CheckExtents(*out, file.size(), "XM", error);
}

}  // namespace detail
}  // namespace zsfmod
