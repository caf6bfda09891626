// Derivation of song samples from loaded pack entries: copy, reverse, cut, join and
// gain, for version-1 (DeriveSample) and version-2 (DeriveSampleFromSource) bodies.
#include "samples/sample_derivation.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

uint32_t SampleBytes(uint32_t width) { return width == 8 ? 1u : 2u; }

// Bytes of whole samples within SIZE: an odd 16-bit size drops its last byte.
uint32_t WholeBytes(uint32_t size, uint32_t width) { return size - size % SampleBytes(width); }

// trunc(v * f) in double precision; the low bits are stored later, so values out of
// the width's range wrap. Products beyond 32 bits (huge gains) wrap as well; a product
// that is not finite (an infinite or NaN gain) has no low bits and gives silence.
int32_t Scale(int32_t v, double f) {
  const double p = static_cast<double>(v) * f;
  if (!std::isfinite(p)) return 0;
  if (p >= 2147483648.0 || p < -2147483648.0) {
    // Keep the low 32 bits of the truncated product, as wrapping promises.
    const double t = p < 0 ? -std::floor(-p) : std::floor(p);
    const double m = std::fmod(t, 4294967296.0);
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(m)));
  }
  return static_cast<int32_t>(p);
}

// Clears the result, keeping the caller's target.
void ClearOutput(DerivedSample* out) {
  uint8_t* target = out->target;
  const uint32_t targetSize = out->targetSize;
  *out = DerivedSample{};
  out->target = target;
  out->targetSize = targetSize;
}

void Fail(DerivedSample* out) {
  if (out->data != out->target) std::free(out->data);
  out->data = nullptr;
  out->size = 0;
}

// Fails OUT and records REASON in WHY (when asked for).
uint32_t Refused(DerivedSample* out, std::string* why, std::string reason) {
  Fail(out);
  if (why) *why = std::move(reason);
  return 1;
}

std::string Number(uint64_t n) { return std::to_string(n); }

// Why Place gave no room for SIZE bytes.
std::string NotPlaced(const DerivedSample* out, uint64_t size) {
  if (out->target) return "it derives to " + Number(size) + " bytes, but the body stores " + Number(out->targetSize);
  return "out of memory for " + Number(size) + " bytes";
}

void CopyAttributes(const SampleRecord& e, DerivedSample* out) {
  out->size = e.size;
  out->coded = e.coded;
  out->storedSize = e.storedSize;
  out->aux8 = e.aux8;
  out->bits = e.bits;
  out->aux32 = e.aux32;
  out->data = nullptr;
}

uint8_t* Allocate(uint32_t size) { return static_cast<uint8_t*>(std::malloc(size ? size : 1)); }

// Where OUT's SIZE bytes go: the caller's target when it has one (null when the
// sizes differ), else a new buffer.
uint8_t* Place(const DerivedSample* out, uint32_t size) {
  if (out->target) return size == out->targetSize ? out->target : nullptr;
  return Allocate(size);
}

// Forward copy of BYTES bytes of whole samples, scaled.
void ScaleForward(const uint8_t* src, uint8_t* dst, uint32_t bytes, uint32_t width, double f) {
  const uint32_t n = bytes / SampleBytes(width);
  for (uint32_t i = 0; i < n; ++i) WriteSampleForward(dst, width, Scale(ReadSampleForward(src, width), f));
}

// Reads N samples backward from LAST (the first byte of the last one), writes forward.
void ScaleReverse(const uint8_t* last, uint8_t* dst, uint32_t n, uint32_t width, double f) {
  for (uint32_t i = 0; i < n; ++i) WriteSampleForward(dst, width, Scale(ReadSampleBackward(last, width), f));
}

// The transform codes of a sample source, as the song bodies store them.
enum class Transform : uint8_t { kCopy = 0, kReverse = 1, kCut = 2, kJoin = 3, kReverseCut = 4 };

// Why ENTRY cannot be read from STORE; empty when it can.
std::string MissingEntry(const SampleStore* store, uint32_t entry) {
  if (!store) return "no sample pack is loaded";
  if (entry < store->entryCount) return {};
  return "pack entry " + Number(entry) + " does not exist (the pack has " + Number(store->entryCount) + " slots)";
}

// Why a copy, reverse or cut of ENTRY by A bytes cannot be derived; empty when it can.
std::string LeafRefusal(const SampleStore* store, uint32_t entry, uint8_t code, uint32_t a) {
  std::string why = MissingEntry(store, entry);
  if (!why.empty()) return why;
  const SampleRecord& e = SampleStoreSlot(store, entry);
  const Transform transform = static_cast<Transform>(code);
  if (code > 4 || transform == Transform::kJoin) return "transform " + Number(code) + " is no copy, reverse or cut";
  if (!e.data && e.size != 0) return "pack entry " + Number(entry) + " holds no data (its body is missing or damaged)";
  const bool cut = transform == Transform::kCut || transform == Transform::kReverseCut;
  if (cut && a > e.size) {
    return "a cut of " + Number(a) + " bytes is longer than pack entry " + Number(entry) + " (" + Number(e.size) +
           " bytes)";
  }
  return {};
}

// What a reversed cut keeps, the one place the two body versions disagree: version 1
// songs play the entry's last samples backward, version 2 songs its first.
enum class ReversedCutKeeps { kLastSamples, kFirstSamples };

// Copy, reverse or cut one entry, scaled by FACTOR (a PLAIN copy is the entry's bytes
// as they are). A cut of A bytes longer than the entry fails; an odd 16-bit size stops
// at its last whole sample and leaves the byte after it zero. Both body versions
// derive their single-entry samples here.
uint32_t DeriveLeaf(const SampleStore* store, DerivedSample* out, uint32_t entry, uint8_t code, uint32_t a,
                    double factor, bool plain, ReversedCutKeeps keeps, std::string* why) {
  ClearOutput(out);
  std::string refusal = LeafRefusal(store, entry, code, a);
  if (!refusal.empty()) return Refused(out, why, std::move(refusal));
  const SampleRecord& e = SampleStoreSlot(store, entry);
  CopyAttributes(e, out);
  const Transform transform = static_cast<Transform>(code);
  const bool cut = transform == Transform::kCut || transform == Transform::kReverseCut;
  const uint32_t w = e.bits, step = SampleBytes(w);
  if (cut) out->size = a;
  out->data = Place(out, out->size);
  if (!out->data) return Refused(out, why, NotPlaced(out, out->size));
  if (transform == Transform::kCopy && plain) {
    if (e.size) std::memcpy(out->data, e.data, e.size);
    return 0;
  }
  const uint32_t whole = WholeBytes(out->size, w);
  if (out->size != whole) out->data[out->size - 1] = 0;
  if (transform == Transform::kCopy || transform == Transform::kCut) {
    ScaleForward(e.data, out->data, whole, w, factor);
  } else if (whole) {
    const uint8_t* last = transform == Transform::kReverseCut && keeps == ReversedCutKeeps::kLastSamples
                              ? e.data + WholeBytes(e.size, w) - step
                              : e.data + whole - step;
    ScaleReverse(last, out->data, whole / step, w, factor);
  }
  return 0;
}

// Version 2's plain copy is asked for with a gain of exactly 100.0.
bool IsPlainGain(float gain) {
  const float hundred = 100.0f;
  return std::memcmp(&gain, &hundred, sizeof gain) == 0;
}

// A joined sample larger than this is refused: joins double a size per table entry,
// so a few bytes of table could otherwise ask for gigabytes of silence.
constexpr uint64_t kMaxJoinedBytes = uint64_t{256} << 20;

// What a source derives to, found without making any samples.
struct Shape {
  enum State : uint8_t { kNew, kOpen, kDone, kFailed };
  State state = kNew;
  uint32_t leaf = 0;  // the source whose samples start the result (itself unless a join)
  uint64_t size = 0;
  uint32_t bits = 0;
};

// A join is its first part (B) followed by silence as long as its second part (A), so
// a joined sample is the samples of the source at the end of its chain of first parts
// followed by zeros. Measuring walks every source the join reaches once (a shared
// part is measured once), on a stack of its own rather than the call stack; it finds
// every failure (cycles, indices out of range, widths that differ, parts that are
// empty or do not fit) before any byte is made. Making then costs the bytes made.
class JoinMeasure {
 public:
  JoinMeasure(const SampleStore* store, const SampleSourceTable* table, const SampleSource& root)
      : store_(store), table_(table), root_(root),
        shapes_((table ? table->sources.size() : 0) + 1) {}

  // The shape of the root; null when it fails.
  const Shape* Run() {
    const uint32_t rootIndex = static_cast<uint32_t>(shapes_.size() - 1);
    std::vector<uint32_t> stack{rootIndex};
    while (!stack.empty()) {
      const uint32_t i = stack.back();
      Shape& s = shapes_[i];
      if (s.state == Shape::kNew) {
        Open(i, &stack);
      } else {
        if (s.state == Shape::kOpen) Close(i);
        stack.pop_back();
      }
    }
    const Shape& r = shapes_[rootIndex];
    return r.state == Shape::kDone ? &r : nullptr;
  }

  const SampleSource& Source(uint32_t i) const {
    return i < shapes_.size() - 1 ? table_->sources[i] : root_;
  }
  // Why the root failed: the first refusal met.
  const std::string& Why() const { return why_; }

 private:
  void Refuse(std::string reason) {
    if (why_.empty()) why_ = std::move(reason);
  }

  // A leaf is measured at once; a join is opened and its parts are put above it.
  void Open(uint32_t i, std::vector<uint32_t>* stack) {
    Shape& s = shapes_[i];
    const SampleSource& src = Source(i);
    s.state = Shape::kFailed;
    const Transform transform = static_cast<Transform>(src.code);
    std::string refusal = transform == Transform::kJoin ? MissingEntry(store_, src.entry)
                                                        : LeafRefusal(store_, src.entry, src.code, src.a);
    if (!refusal.empty()) return Refuse(std::move(refusal));
    const SampleRecord& e = SampleStoreSlot(store_, src.entry);
    if (transform != Transform::kJoin) {
      const bool cut = transform == Transform::kCut || transform == Transform::kReverseCut;
      s.size = cut ? src.a : e.size;
      s.bits = e.bits;
      s.leaf = i;
      s.state = Shape::kDone;
      return;
    }
    const size_t count = shapes_.size() - 1;
    for (uint32_t part : {src.b, src.a}) {
      if (!table_) return Refuse("a join needs the song's source table");
      if (part >= count) return Refuse("a join names source " + Number(part) + ", beyond the " + Number(count));
      // A part being measured is one this join is itself a part of: a cycle.
      if (shapes_[part].state == Shape::kOpen) return Refuse("source " + Number(part) + " is a join of itself");
    }
    s.state = Shape::kOpen;
    for (uint32_t part : {src.a, src.b})
      if (shapes_[part].state == Shape::kNew) stack->push_back(part);
  }

  void Close(uint32_t i) {
    Shape& s = shapes_[i];
    const SampleSource& src = Source(i);
    const Shape& first = shapes_[src.b];
    const Shape& second = shapes_[src.a];
    s.state = Shape::kFailed;
    // A part that failed said why when it did; one still open is this join itself.
    if (first.state != Shape::kDone || second.state != Shape::kDone) {
      return Refuse("source " + Number(i) + " is a join of itself");
    }
    // Empty parts, and parts of different widths (no common form), are refused.
    if (first.size == 0 || second.size == 0) return Refuse("a join of an empty part");
    if (SampleBytes(first.bits) != SampleBytes(second.bits)) return Refuse("a join of an 8-bit and a 16-bit part");
    const uint64_t total = first.size + second.size;
    if (total > kMaxJoinedBytes) {
      return Refuse("a join of " + Number(total) + " bytes is larger than the " + Number(kMaxJoinedBytes) +
                    " allowed");
    }
    s.size = total;
    s.bits = first.bits;
    s.leaf = first.leaf;
    s.state = Shape::kDone;
  }

  const SampleStore* store_;
  const SampleSourceTable* table_;
  SampleSource root_;
  std::vector<Shape> shapes_;  // one per table source, then the root
  std::string why_;
};

uint32_t DeriveJoin(const SampleStore* store, DerivedSample* out, const SampleSource& root,
                    const SampleSourceTable* table, std::string* why) {
  ClearOutput(out);
  JoinMeasure measure(store, table, root);
  const Shape* shape = measure.Run();
  if (!shape) return Refused(out, why, measure.Why());
  const SampleSource& leaf = measure.Source(shape->leaf);
  const uint32_t total = static_cast<uint32_t>(shape->size);
  // The first part goes straight to the start of the joined sample when the caller
  // gave its place.
  DerivedSample first;
  if (out->target) {
    if (total != out->targetSize) return Refused(out, why, NotPlaced(out, total));
    first.target = out->target;
    const Transform t = static_cast<Transform>(leaf.code);
    const bool cut = t == Transform::kCut || t == Transform::kReverseCut;
    first.targetSize = cut ? leaf.a : SampleStoreSlot(store, leaf.entry).size;
  }
  if (DeriveLeaf(store, &first, leaf.entry, leaf.code, leaf.a, leaf.gain, IsPlainGain(leaf.gain),
                 ReversedCutKeeps::kFirstSamples, why) != 0 ||
      !first.data) {
    Fail(&first);
    return 1;
  }
  uint8_t* data = out->target ? out->target : Allocate(total);
  if (!data) {
    Fail(&first);
    return Refused(out, why, "out of memory for " + Number(total) + " bytes");
  }
  // Every attribute comes from the first part; the silence after it is byte for byte
  // what existing songs were made against (their stored lengths include it).
  uint8_t* target = out->target;
  const uint32_t targetSize = out->targetSize;
  *out = first;
  out->target = target;
  out->targetSize = targetSize;
  if (data != first.data) std::memcpy(data, first.data, first.size);
  std::memset(data + first.size, 0, total - first.size);
  out->data = data;
  out->size = total;
  if (first.data != data) Fail(&first);
  return 0;
}

}  // namespace

uint64_t DerivedSizeBound(const SampleStore* store, const SampleSource& source, const SampleSourceTable* table) {
  if (!store) return 0;
  if (static_cast<Transform>(source.code) == Transform::kJoin) {
    JoinMeasure measure(store, table, source);
    const Shape* shape = measure.Run();
    return shape ? shape->size : 0;
  }
  if (source.entry >= store->entryCount || source.code > static_cast<uint8_t>(Transform::kReverseCut)) return 0;
  return SampleStoreSlot(store, source.entry).size;
}

int32_t ReadSampleForward(const uint8_t*& cursor, uint32_t width) {
  if (width == 8) return static_cast<int8_t>(*cursor++);
  const int32_t v = static_cast<int16_t>(static_cast<uint16_t>(cursor[0] | cursor[1] << 8));
  cursor += 2;
  return v;
}

int32_t ReadSampleBackward(const uint8_t*& cursor, uint32_t width) {
  if (width == 8) return static_cast<int8_t>(*cursor--);
  const int32_t v = static_cast<int16_t>(static_cast<uint16_t>(cursor[0] | cursor[1] << 8));
  cursor -= 2;
  return v;
}

void WriteSampleForward(uint8_t*& cursor, uint32_t width, int32_t value) {
  *cursor++ = static_cast<uint8_t>(value);
  if (width != 8) *cursor++ = static_cast<uint8_t>(static_cast<uint32_t>(value) >> 8);
}

uint32_t SampleSourceTableAppendSource(SampleSourceTable* table, const SampleSource& source) {
  table->sources.push_back(source);
  return static_cast<uint32_t>(table->sources.size() - 1);
}

uint32_t SampleSourceTableAppendSample(SampleSourceTable* table, uint32_t sourceIndex) {
  table->sampleSources.push_back(sourceIndex);
  return static_cast<uint32_t>(table->sampleSources.size() - 1);
}

uint32_t DeriveSample(const SampleStore* store, DerivedSample* out, uint32_t entry,
                      uint8_t transform, uint32_t parameter, uint8_t volumePercent, std::string* why) {
  const double f = volumePercent / 100.0;
  if (transform != static_cast<uint8_t>(Transform::kJoin)) {
    return DeriveLeaf(store, out, entry, transform, parameter, f, volumePercent == 100, ReversedCutKeeps::kLastSamples,
                      why);
  }
  // Version 1's join: the entry, then the entry PARAMETER names at the volume.
  ClearOutput(out);
  std::string refusal = MissingEntry(store, entry);
  if (refusal.empty()) refusal = MissingEntry(store, parameter);
  if (!refusal.empty()) return Refused(out, why, std::move(refusal));
  const SampleRecord& e = SampleStoreSlot(store, entry);
  CopyAttributes(e, out);
  const uint32_t w = e.bits;
  const SampleRecord* second = &SampleStoreSlot(store, parameter);
  // Parts of different widths have no common form: refused.
  if (second->size == 0) return Refused(out, why, "a join of an empty part");
  if ((!e.data && e.size != 0) || !second->data) {
    const uint32_t empty = !e.data && e.size != 0 ? entry : parameter;
    return Refused(out, why, "pack entry " + Number(empty) + " holds no data (its body is missing or damaged)");
  }
  if (SampleBytes(second->bits) != SampleBytes(w)) return Refused(out, why, "a join of an 8-bit and a 16-bit part");
  if (uint64_t{e.size} + second->size > 0xFFFFFFFFu) return Refused(out, why, "a join larger than 4 GiB");
  out->size = e.size + second->size;
  out->data = Place(out, out->size);
  if (!out->data) return Refused(out, why, NotPlaced(out, out->size));
  if (e.size) std::memcpy(out->data, e.data, e.size);
  const uint32_t secondWhole = WholeBytes(second->size, w);
  if (second->size != secondWhole) out->data[out->size - 1] = 0;
  ScaleForward(second->data, out->data + e.size, secondWhole, w, f);
  return 0;
}

uint32_t DeriveSampleFromSource(const SampleStore* store, DerivedSample* out, uint32_t entry,
                                uint8_t transform, uint32_t a, uint32_t b, float gain,
                                const SampleSourceTable* table, std::string* why) {
  if (transform != static_cast<uint8_t>(Transform::kJoin))
    return DeriveLeaf(store, out, entry, transform, a, gain, IsPlainGain(gain), ReversedCutKeeps::kFirstSamples, why);
  return DeriveJoin(store, out, SampleSource{entry, 0, transform, a, b, gain}, table, why);
}
