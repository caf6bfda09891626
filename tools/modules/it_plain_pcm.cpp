// Rewrites an IT module to store every sample as plain signed little-endian PCM,
// so a song keeps the samples in the one form its rebuild inserts unchanged.
#include <algorithm>

#include "tools/modules/layout_internal.h"
#include "tools/modules/module_layout.h"

namespace zsfmod {
namespace {

uint32_t GetU32(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16) |
         static_cast<uint32_t>(b[at + 3]) << 24;
}

void PutU32(std::vector<uint8_t>* b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*b)[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

bool StoreItSamplesAsPlainPcm(const std::vector<uint8_t>& file, std::vector<uint8_t>* out,
                              std::string* error) {
  ModuleLayout layout;
  if (!ReadModuleLayout(file, kKindIt, &layout, error)) return false;

  struct Change {
    const SampleLayout* sample;
    std::vector<uint8_t> pcm;
  };
  std::vector<Change> changes;
  for (const SampleLayout& s : layout.samples) {
    if (s.encoding == SampleLayout::kSigned) continue;
    Change ch{&s, {}};
    if (!DecodeSample(file, s, &ch.pcm, error)) return false;
    changes.push_back(std::move(ch));
  }
  std::sort(changes.begin(), changes.end(),
            [](const Change& a, const Change& b) { return a.sample->offset < b.sample->offset; });

  // The reader refused sample data lying over any header, instrument or pattern,
  // so only the sample data changes place and content.
  const uint16_t ordNum = static_cast<uint16_t>(file[0x20] | file[0x21] << 8);
  const uint16_t insNum = static_cast<uint16_t>(file[0x22] | file[0x23] << 8);
  const uint16_t smpNum = static_cast<uint16_t>(file[0x24] | file[0x25] << 8);
  const uint16_t patNum = static_cast<uint16_t>(file[0x26] | file[0x27] << 8);
  const size_t tables = kItHeaderSize + ordNum;
  const size_t parts = size_t{insNum} + smpNum + patNum;

  // The new image, and where each old range end moved (for the offsets behind it).
  std::vector<uint8_t> image;
  image.reserve(file.size());
  std::vector<std::pair<uint32_t, int64_t>> shifts;  // old end, total shift from there on
  size_t pos = 0;
  int64_t shift = 0;
  for (const Change& ch : changes) {
    image.insert(image.end(), file.begin() + pos, file.begin() + ch.sample->offset);
    image.insert(image.end(), ch.pcm.begin(), ch.pcm.end());
    pos = static_cast<size_t>(ch.sample->offset) + ch.sample->bytes;
    shift += static_cast<int64_t>(ch.pcm.size()) - ch.sample->bytes;
    shifts.emplace_back(static_cast<uint32_t>(pos), shift);
  }
  image.insert(image.end(), file.begin() + pos, file.end());
  if (image.size() > 0xFFFFFFFFu) return detail::Fail(error, "IT: rewritten module exceeds 4 GiB");
  auto moved = [&shifts](uint32_t offset) {
    int64_t s = 0;
    for (const auto& e : shifts)
      if (e.first <= offset) s = e.second;
    return static_cast<uint32_t>(offset + s);
  };

  // The header and its offset tables lie before every sample's data (the reader
  // checked), so they are where they were.
  std::vector<uint32_t> sampleHeaders;
  for (size_t k = 0; k < parts; ++k) {
    const size_t at = tables + 4 * k;
    const uint32_t old = GetU32(file, at);
    if (k >= insNum && k < size_t{insNum} + smpNum) sampleHeaders.push_back(old);
    if (old != 0) PutU32(&image, at, moved(old));
  }
  const uint32_t message = GetU32(file, kItMessageOffsetAt);
  if (message != 0) PutU32(&image, kItMessageOffsetAt, moved(message));
  for (uint32_t header : sampleHeaders) {
    const size_t at = moved(header);
    const uint32_t pointer = GetU32(file, header + kItSmpPointerAt);
    if (pointer != 0) PutU32(&image, at + kItSmpPointerAt, moved(pointer));
  }
  for (const Change& ch : changes) {
    const size_t at = moved(ch.sample->headerOffset);
    image[at + kItSmpFlagsAt] = static_cast<uint8_t>(image[at + kItSmpFlagsAt] & ~kItSmpCompressed);
    image[at + kItSmpCvtAt] = static_cast<uint8_t>(
        (image[at + kItSmpCvtAt] | kItCvtSigned) & ~(kItCvtBigEndian | kItCvtDelta));
  }
  *out = std::move(image);
  return true;
}

}  // namespace zsfmod
