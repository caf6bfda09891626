// ProTracker and relatives: the tag at 1080 gives the channel count (no known tag:
// the old 15-sample layout); patterns up to the highest order follow the order
// table, then every sample's signed 8-bit data in sample order.
#include <cstring>

#include "tools/modules/layout_internal.h"

namespace zsfmod {
namespace detail {
namespace {

bool Digit(uint8_t c) { return c >= '0' && c <= '9'; }

}  // namespace

int ModChannelsOfTag(const uint8_t* t) {
  auto is = [t](const char* s) { return std::memcmp(t, s, 4) == 0; };
  if (is("M.K.") || is("M!K!") || is("M&K!") || is("N.T.") || is("FLT4")) return 4;
  if (is("FLT8")) return -8;
  if (is("CD81") || is("OCTA") || is("OKTA")) return 8;
  if (is("16CN")) return 16;
  if (is("32CN")) return 32;
  if (t[2] == 'C' && t[3] == 'H' && t[0] >= '1' && t[0] <= '3' && Digit(t[1])) {
    int n = (t[0] - '0') * 10 + (t[1] - '0');
    return n <= 63 ? n : 0;
  }
  if (t[1] == 'C' && t[2] == 'H' && t[3] == 'N' && t[0] >= '1' && t[0] <= '9') return t[0] - '0';
  if (t[0] == 'T' && t[1] == 'D' && t[2] == 'Z' && t[3] >= '1' && t[3] <= '9') return t[3] - '0';
  return 0;
}

bool ReadModLayout(const std::vector<uint8_t>& file, ModuleLayout* out, std::string* error) {
  int channels = 0;
  if (file.size() >= kModTagAt + 4) channels = ModChannelsOfTag(file.data() + kModTagAt);
  const bool flt8 = channels == -8;
  const uint32_t sampleCount = channels == 0 ? kModOldSampleSlots : kModSampleSlots;
  if (flt8) channels = 8;
  if (channels == 0) {
    channels = 4;
    out->variant = "15-sample";
  } else {
    out->variant = std::string(reinterpret_cast<const char*>(file.data() + kModTagAt), 4);
  }

  ByteCursor c(file.data(), file.size());
  const uint8_t* title = c.span(kModTitleSize);
  if (!title) return Fail(error, "MOD: file shorter than its title");
  out->title = Text(title, kModTitleSize);
  struct Header { uint32_t length; std::string name; uint32_t at; };
  std::vector<Header> headers(sampleCount);
  for (Header& h : headers) {
    h.at = static_cast<uint32_t>(c.position());
    const uint8_t* p = c.span(kModSampleHeaderSize);
    if (!p) return Fail(error, "MOD (" + out->variant + "): sample headers extend past the end of the file");
    h.name = Text(p, 22);
    h.length = static_cast<uint32_t>(p[22] << 8 | p[23]) * 2;
  }
  const uint8_t songLength = c.u8();
  c.u8();  // restart
  const uint8_t* orders = c.span(128);
  if (sampleCount == 31) c.skip(4);
  if (!c.ok()) return Fail(error, "MOD (" + out->variant + "): order table extends past the end of the file");
  if (songLength == 0 || songLength > 128)
    return Fail(error, "MOD (" + out->variant + "): song length " + std::to_string(songLength) + " (1 to 128)");
  // Every entry counts, also those past the song length; FLT8 names 4-channel
  // halves, two to an 8-channel pattern.
  int highest = 0;
  for (int i = 0; i < 128; ++i) {
    int o = flt8 ? orders[i] >> 1 : orders[i];
    if (o > highest) highest = o;
  }
  const uint64_t patternBytes = static_cast<uint64_t>(highest + 1) * 64 * 4 * channels;
  if (!c.skip(static_cast<size_t>(patternBytes)))
    return Fail(error, "MOD (" + out->variant + "): " + std::to_string(highest + 1) +
                           " patterns extend past the end of the file");
  for (uint32_t i = 0; i < sampleCount; ++i) {
    const Header& h = headers[i];
    if (h.length == 0) continue;
    SampleLayout s;
    s.index = static_cast<uint16_t>(i);
    s.headerOffset = h.at;
    s.name = h.name;
    s.offset = static_cast<uint32_t>(c.position());
    s.bytes = h.length;
    s.frames = h.length;
    s.encoding = SampleLayout::kSigned;
    if (!c.skip(h.length))
      return Fail(error, "MOD sample " + std::to_string(i + 1) + ": data at " + std::to_string(s.offset) +
                             " + " + std::to_string(h.length) + " bytes extends past the end of the file (" +
                             std::to_string(file.size()) + " bytes)");
    out->samples.push_back(s);
  }
  return true;
}

}  // namespace detail
}  // namespace zsfmod
