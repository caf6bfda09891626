// Derivation of song samples from loaded pack entries: copy, reverse, cut, join and
// gain, for version-1 (DeriveSample) and version-2 (DeriveSampleFromSource) bodies.
#include "samples/sample_derivation.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
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

void ClearOutput(DerivedSample* out) { std::memset(out, 0, sizeof *out); }

void Fail(DerivedSample* out) {
  std::free(out->data);
  out->data = nullptr;
  out->size = 0;
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

// Forward copy of BYTES bytes of whole samples, scaled.
void ScaleForward(const uint8_t* src, uint8_t* dst, uint32_t bytes, uint32_t width, double f) {
  const uint32_t n = bytes / SampleBytes(width);
  for (uint32_t i = 0; i < n; ++i) WriteSampleForward(dst, width, Scale(ReadSampleForward(src, width), f));
}

// Reads N samples backward from LAST (the first byte of the last one), writes forward.
void ScaleReverse(const uint8_t* last, uint8_t* dst, uint32_t n, uint32_t width, double f) {
  for (uint32_t i = 0; i < n; ++i) WriteSampleForward(dst, width, Scale(ReadSampleBackward(last, width), f));
}

// A version-2 source that is not a join: copy, reverse or cut one entry, with gain.
uint32_t DeriveLeaf(const SampleStore* store, DerivedSample* out, uint32_t entry,
                    uint8_t transform, uint32_t a, float gain) {
  ClearOutput(out);
  if (!store || entry >= store->entryCount) return 1;
  const SampleRecord& e = SampleStoreSlot(store, entry);
  CopyAttributes(e, out);
  if (transform == 3 || transform > 4) {
    Fail(out);
    return 1;
  }
  if (!e.data && e.size != 0) {
    Fail(out);
    return 1;
  }
  const uint32_t w = e.bits;
  const double f = static_cast<double>(gain);
  uint32_t gainBits;
  std::memcpy(&gainBits, &gain, sizeof gainBits);
  const float hundred = 100.0f;
  uint32_t hundredBits;
  std::memcpy(&hundredBits, &hundred, sizeof hundredBits);

  switch (transform) {
    case 0:
    case 1: {
      out->data = Allocate(e.size);
      if (!out->data) break;
      if (transform == 0 && gainBits == hundredBits) {
        if (e.size) std::memcpy(out->data, e.data, e.size);
        return 0;
      }
      const uint32_t whole = WholeBytes(e.size, w);
      // An odd trailing byte of 16-bit data is no sample: it is left as zero.
      if (e.size != whole) out->data[e.size - 1] = 0;
      if (transform == 0) {
        ScaleForward(e.data, out->data, whole, w, f);
      } else if (whole) {
        ScaleReverse(e.data + whole - SampleBytes(w), out->data, whole / SampleBytes(w), w, f);
      }
      return 0;
    }
    case 2:
    case 4: {
      // A cut longer than the entry fails; an odd 16-bit cut stops at its last
      // whole sample and leaves the byte after it zero.
      if (a > e.size) break;
      out->size = a;
      out->data = Allocate(a);
      if (!out->data) break;
      const uint32_t cut = WholeBytes(a, w);
      if (a != cut) out->data[a - 1] = 0;
      if (transform == 2) {
        ScaleForward(e.data, out->data, cut, w, f);
      } else if (cut) {
        // The first bytes, written backward from the output's last whole sample.
        const uint8_t* src = e.data;
        uint8_t* dst = out->data + cut - SampleBytes(w);
        for (uint32_t i = 0; i < cut / SampleBytes(w); ++i) {
          WriteSampleBackward(dst, w, Scale(ReadSampleForward(src, w), f));
        }
      }
      return 0;
    }
  }
  Fail(out);
  return 1;
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

 private:
  // A leaf is measured at once; a join is opened and its parts are put above it.
  void Open(uint32_t i, std::vector<uint32_t>* stack) {
    Shape& s = shapes_[i];
    const SampleSource& src = Source(i);
    s.state = Shape::kFailed;
    if (!store_ || src.entry >= store_->entryCount) return;
    const SampleRecord& e = SampleStoreSlot(store_, src.entry);
    if (src.code != 3) {
      if (src.code > 4 || (!e.data && e.size != 0)) return;
      if ((src.code == 2 || src.code == 4) && src.a > e.size) return;
      s.size = src.code == 2 || src.code == 4 ? src.a : e.size;
      s.bits = e.bits;
      s.leaf = i;
      s.state = Shape::kDone;
      return;
    }
    const size_t count = shapes_.size() - 1;
    for (uint32_t part : {src.b, src.a}) {
      // A part being measured is one this join is itself a part of: a cycle.
      if (!table_ || part >= count || shapes_[part].state == Shape::kOpen) return;
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
    if (first.state != Shape::kDone || second.state != Shape::kDone) return;
    // Empty parts, and parts of different widths (no common form), are refused.
    if (first.size == 0 || second.size == 0 || SampleBytes(first.bits) != SampleBytes(second.bits)) return;
    const uint64_t total = first.size + second.size;
    if (total > kMaxJoinedBytes) return;
    s.size = total;
    s.bits = first.bits;
    s.leaf = first.leaf;
    s.state = Shape::kDone;
  }

  const SampleStore* store_;
  const SampleSourceTable* table_;
  SampleSource root_;
  std::vector<Shape> shapes_;  // one per table source, then the root
};

uint32_t DeriveJoin(const SampleStore* store, DerivedSample* out, const SampleSource& root,
                    const SampleSourceTable* table) {
  ClearOutput(out);
  JoinMeasure measure(store, table, root);
  const Shape* shape = measure.Run();
  if (!shape) return 1;
  const SampleSource& leaf = measure.Source(shape->leaf);
  DerivedSample first;
  if (DeriveLeaf(store, &first, leaf.entry, leaf.code, leaf.a, leaf.gain) != 0 || !first.data) {
    Fail(&first);
    return 1;
  }
  const uint32_t total = static_cast<uint32_t>(shape->size);
  uint8_t* data = Allocate(total);
  if (!data) {
    Fail(&first);
    return 1;
  }
  // Every attribute comes from the first part; the silence after it is byte for byte
  // what existing songs were made against (their stored lengths include it).
  *out = first;
  std::memcpy(data, first.data, first.size);
  std::memset(data + first.size, 0, total - first.size);
  out->data = data;
  out->size = total;
  Fail(&first);
  return 0;
}

}  // namespace

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

void WriteSampleBackward(uint8_t*& cursor, uint32_t width, int32_t value) {
  cursor[0] = static_cast<uint8_t>(value);
  if (width != 8) cursor[1] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> 8);
  cursor -= width == 8 ? 1 : 2;
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
                      uint8_t transform, uint32_t parameter, uint8_t volumePercent) {
  ClearOutput(out);
  if (!store || entry >= store->entryCount) return 1;
  const SampleRecord& e = SampleStoreSlot(store, entry);
  CopyAttributes(e, out);
  if (transform > 4 || (!e.data && e.size != 0)) {
    Fail(out);
    return 1;
  }
  const uint32_t w = e.bits;
  const uint32_t step = SampleBytes(w);
  const double f = volumePercent / 100.0;
  const uint32_t whole = WholeBytes(e.size, w);

  switch (transform) {
    case 0:
    case 1: {
      out->data = Allocate(e.size);
      if (!out->data) break;
      if (transform == 0 && volumePercent == 100) {
        if (e.size) std::memcpy(out->data, e.data, e.size);
        return 0;
      }
      if (e.size != whole) out->data[e.size - 1] = 0;
      if (transform == 0) {
        ScaleForward(e.data, out->data, whole, w, f);
      } else if (whole) {
        ScaleReverse(e.data + whole - step, out->data, whole / step, w, f);
      }
      return 0;
    }
    case 2:
    case 4: {
      const uint32_t n = parameter;
      if (n > e.size) break;
      out->size = n;
      out->data = Allocate(n);
      if (!out->data) break;
      const uint32_t cut = WholeBytes(n, w);
      if (n != cut) out->data[n - 1] = 0;
      if (transform == 2) {
        ScaleForward(e.data, out->data, cut, w, f);
      } else if (cut) {
        // The last whole samples, in reverse order.
        ScaleReverse(e.data + whole - step, out->data, cut / step, w, f);
      }
      return 0;
    }
    case 3: {
      if (parameter >= store->entryCount) break;
      const SampleRecord& second = SampleStoreSlot(store, parameter);
      if (second.size == 0 || !second.data) break;
      // Parts of different widths have no common form: refused.
      if (SampleBytes(second.bits) != step) break;
      const uint64_t total = static_cast<uint64_t>(e.size) + second.size;
      if (total > 0xFFFFFFFFu) break;
      out->size = static_cast<uint32_t>(total);
      out->data = Allocate(out->size);
      if (!out->data) break;
      if (e.size) std::memcpy(out->data, e.data, e.size);
      uint8_t* tail = out->data + e.size;
      const uint32_t secondWhole = WholeBytes(second.size, w);
      if (second.size != secondWhole) out->data[out->size - 1] = 0;
      ScaleForward(second.data, tail, secondWhole, w, f);
      return 0;
    }
  }
  Fail(out);
  return 1;
}

uint32_t DeriveSampleFromSource(const SampleStore* store, DerivedSample* out, uint32_t entry,
                                uint8_t transform, uint32_t a, uint32_t b, float gain,
                                const SampleSourceTable* table) {
  if (transform != 3) return DeriveLeaf(store, out, entry, transform, a, gain);
  return DeriveJoin(store, out, SampleSource{entry, 0, transform, a, b, gain}, table);
}
