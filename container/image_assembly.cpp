#include "container/image_assembly.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "container/failure.h"
#include "container/module_format.h"
#include "container/zsf_format.h"

namespace {

struct Piece {
  const uint8_t* bytes;
  uint64_t length;
};

// The image as a sequence of pieces borrowed from the structure and the samples.
// Insertions split pieces instead of moving bytes; a cursor remembers the piece of
// the last insertion because offsets usually grow.
class PieceList {
 public:
  PieceList(const uint8_t* bytes, uint64_t length) : total_(length) {
    if (length) pieces_.push_back({bytes, length});
  }
  uint64_t total() const { return total_; }

  // Replaces the 4 bytes at OFFSET (OFFSET + 4 <= total) with SAMPLE.
  void Replace4(uint64_t offset, const uint8_t* sample, uint64_t sampleLength) {
    if (offset < hintStart_) {
      hint_ = 0;
      hintStart_ = 0;
    }
    size_t k = hint_;
    uint64_t start = hintStart_;
    while (start + pieces_[k].length <= offset) {
      start += pieces_[k].length;
      ++k;
    }
    const Piece found = pieces_[k];
    const uint64_t into = offset - start;
    Piece left{found.bytes, into};
    Piece rest{found.bytes + into, found.length - into};
    // The placeholder's 4 bytes may run on into the following pieces.
    uint64_t drop = rest.length < 4 ? rest.length : 4;
    rest.bytes += drop;
    rest.length -= drop;
    drop = 4 - drop;
    size_t j = k + 1;
    while (drop > 0) {
      Piece& p = pieces_[j];
      uint64_t cut = p.length < drop ? p.length : drop;
      p.bytes += cut;
      p.length -= cut;
      drop -= cut;
      if (p.length == 0) {
        pieces_.erase(pieces_.begin() + static_cast<std::ptrdiff_t>(j));
      } else {
        ++j;
      }
    }
    Piece replacement[3];
    size_t n = 0;
    if (left.length) replacement[n++] = left;
    if (sampleLength) replacement[n++] = Piece{sample, sampleLength};
    if (rest.length) replacement[n++] = rest;
    pieces_.erase(pieces_.begin() + static_cast<std::ptrdiff_t>(k));
    pieces_.insert(pieces_.begin() + static_cast<std::ptrdiff_t>(k), replacement, replacement + n);
    total_ = total_ - 4 + sampleLength;
    hint_ = k;
    hintStart_ = start;
  }

  void CopyTo(uint8_t* out) const {
    for (const Piece& p : pieces_) {
      std::memcpy(out, p.bytes, p.length);
      out += p.length;
    }
  }

 private:
  std::vector<Piece> pieces_;
  uint64_t total_;
  size_t hint_ = 0;
  uint64_t hintStart_ = 0;
};

}  // namespace

uint32_t AssembleModuleImage(const SongBody& body, uint8_t versionMajor, ModuleFormat* format,
                             ModuleImage* out, Failure* failure) {
  out->size = 0;
  out->data = nullptr;

  const uint32_t* offsets = body.sampleOffsets;
  std::vector<uint32_t> located;
  if (body.sampleCount > 0 && (!offsets || offsets[0] == 0)) {
    // Songs before stored offsets: only a format that can find samples could help.
    if (!format || format->LocateSamples(body.structure, body.structureSize, &located) != 0 ||
        located.size() < body.sampleCount) {
      return Refuse(failure, "rebuild",
                    "the song stores no sample offsets (songs store them from version " +
                        VersionText(kZsfSampleOffsetFrom) + ")");
    }
    offsets = located.data();
  }

  PieceList image(body.structure, body.structure ? body.structureSize : 0);
  for (uint32_t i = 0; i < body.sampleCount; ++i) {
    const SampleRecord& record = body.records[i];
    auto sample = [i] { return "sample " + std::to_string(i); };
    if (!record.data) return Refuse(failure, "rebuild", sample() + " has no data");
    if (record.size == 0) {
      if (versionMajor >= 2) return Refuse(failure, "rebuild", sample() + " is empty (version 2 songs hold none)");
      continue;
    }
    uint64_t offset = offsets[i];
    if (offset > image.total() || image.total() - offset < 4) {
      return Refuse(failure, "rebuild",
                    sample() + "'s offset " + std::to_string(offset) +
                        " leaves no 4-byte placeholder in the image of " + std::to_string(image.total()) + " bytes");
    }
    image.Replace4(offset, record.data, record.size);
    if (image.total() > UINT32_MAX) return Refuse(failure, "rebuild", "the image grows past 4 GiB at " + sample());
  }

  uint64_t total = image.total();
  auto* data = static_cast<uint8_t*>(std::malloc(total ? total : 1));
  if (!data) return Refuse(failure, "rebuild", "out of memory for an image of " + std::to_string(total) + " bytes");
  image.CopyTo(data);
  out->size = static_cast<uint32_t>(total);
  out->data = data;
  return 0;
}

bool PlanInOrderLayout(uint32_t structureSize, uint32_t count, const uint32_t* sizes, const uint32_t* offsets,
                       uint64_t* total) {
  *total = 0;
  // A body without offsets (the first is 0) has its samples located by the format.
  if (count > 0 && (!offsets || offsets[0] == 0)) return false;
  uint64_t image = structureSize;
  uint64_t previousEnd = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (sizes[i] == 0) return false;
    const uint64_t offset = offsets[i];
    // Checked as the assembly checks it: the placeholder lies inside the image so far.
    if (offset < previousEnd || offset > image || image - offset < 4) return false;
    image = image - 4 + sizes[i];
    if (image > UINT32_MAX) return false;
    previousEnd = offset + sizes[i];
  }
  *total = image;
  return true;
}

void CopyStructureAround(const uint8_t* structure, uint32_t structureSize, uint32_t count, const uint32_t* sizes,
                         const uint32_t* offsets, uint8_t* image) {
  uint64_t from = 0;   // in the structure
  uint64_t to = 0;     // in the image
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t gap = offsets[i] - to;
    if (gap) std::memcpy(image + to, structure + from, gap);
    from += gap + 4;  // the placeholder is dropped
    to = uint64_t{offsets[i]} + sizes[i];
  }
  if (structureSize > from) std::memcpy(image + to, structure + from, structureSize - from);
}
