// The ZSP reader: reads a pack through a ByteStream, loading only the wanted
// entries and passing over the bodies of the others.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "container/block_decompress.h"
#include "container/byte_stream.h"
#include "container/failure.h"
#include "samples/coded_sample.h"
#include "samples/descramble.h"
#include "samples/zsp_reader.h"
#include "samples/zsp_format.h"

namespace {

// Reads from the pack stream. Fields the stream no longer holds read as zero, as
// the format wants of a pack that ends early; bulk reads are all or nothing.
class PackInput {
 public:
  explicit PackInput(ByteStream* s) : s_(s) {}

  uint32_t left() const { return s_->position < s_->size ? s_->size - s_->position : 0; }

  uint8_t u8() {
    uint8_t b = 0;
    StreamRead(&b, 1, s_);
    return b;
  }
  uint32_t u32() {
    uint8_t b[4] = {0, 0, 0, 0};
    StreamRead(b, 4, s_);
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
           static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
  }
  // A fixed-width name into DST (WIDTH + 1 bytes, already zero).
  void text(char* dst, uint32_t width) { StreamRead(dst, width, s_); }

  // N bytes into DST; false (and nothing consumed) when the stream holds fewer.
  bool bytes(uint8_t* dst, uint32_t n) {
    if (n > left()) return false;
    while (n > 0) {
      int32_t got = StreamRead(dst, n, s_);
      if (got <= 0) return false;
      dst += got;
      n -= static_cast<uint32_t>(got);
    }
    return true;
  }

  // The next N bytes in place when the stream is memory (no copy needed), else null.
  const uint8_t* inPlace(uint32_t n) const {
    if (s_->file || !s_->base || n > left()) return nullptr;
    return s_->base + s_->position;
  }

  // Passes over N bytes without reading them; a length past the end stops there.
  void skip(uint32_t n) {
    if (n >= left()) {
      StreamSeek(s_->size, s_);
    } else if (n <= 0x7FFFFFFFu) {
      StreamSkip(static_cast<int32_t>(n), s_);
    } else {
      StreamSeek(s_->position + n, s_);
    }
  }

 private:
  ByteStream* s_;
};

struct ListContext {
  PackInput* in;
  uint8_t major, minor;
  bool compressed;
  bool descramble;
  int32_t key;
  const std::vector<bool>* wanted;  // null: every entry
  std::vector<uint8_t>* scratch;    // compressed blocks read from files
  uint32_t* codedShortfalls;        // coded entries that decoded short
};

void Descramble(const ListContext& c, SampleRecord* r) {
  if (!c.descramble || !r->data) return;
  if (ZspUsesXor(c.major, c.minor)) {
    DescrambleXor(r->data, r->size, c.key);
  } else {
    DescrambleSubtract(r->data, r->size, c.key);
  }
}

// The entry body: an LZO block with its lengths, or the plain bytes. A length the
// stream cannot hold leaves the entry without data and the read at the end. Returns
// the bytes of data that came from the pack (not padding).
uint32_t ReadBody(const ListContext& c, SampleRecord* r, bool wanted) {
  uint32_t arrived = 0;
  PackInput& in = *c.in;
  if (c.compressed) {
    const uint32_t packed = in.u32();
    r->storedSize = packed;
    // A memory pack is decoded where it lies; a file pack's block goes through one
    // scratch buffer that all entries share.
    const uint8_t* block = nullptr;
    if (wanted && packed <= in.left()) {
      block = in.inPlace(packed);
      if (block) {
        in.skip(packed);
      } else {
        if (c.scratch->size() < packed) c.scratch->resize(packed);
        if (in.bytes(c.scratch->data(), packed)) block = c.scratch->data();
      }
    } else {
      in.skip(packed);
    }
    const uint32_t unpacked = in.u32();
    r->fullSize = unpacked;
    r->size = unpacked;
    if (block) {
      uint8_t* data = nullptr;
      uint32_t got = 0;
      if (BlockDecompress(block, packed, unpacked, &data, &got) == kBlockOk) {
        // A block that decodes to another length than declared is not trusted; an
        // empty one holds nothing.
        if (got == unpacked && unpacked > 0) {
          r->data = data;
          arrived = unpacked;
        } else {
          std::free(data);
        }
      }
    }
  } else {
    const uint32_t length = in.u32();
    r->fullSize = length;
    r->storedSize = length;
    r->size = wanted ? length : 0;
    // A body the pack ends inside is a damaged download: what arrived is kept and
    // the missing tail reads as zero, as every field past the end does.
    const uint32_t present = length <= in.left() ? length : in.left();
    if (wanted && length > 0 && length - present <= kZspMaxMissingTail) {
      r->data = static_cast<uint8_t*>(std::malloc(length));
      if (r->data && !in.bytes(r->data, present)) {
        std::free(r->data);
        r->data = nullptr;
      }
      if (r->data) {
        std::memset(r->data + present, 0, length - present);
        arrived = present;
      }
    }
    if (!r->data) in.skip(length);
  }
  Descramble(c, r);
  return arrived;
}

// The most PCM bytes padding may make of CODED_SIZE bytes of Vorbis data: one
// packet byte cannot stand for more than a long block of 16-bit stereo frames.
uint64_t CodedPaddingLimit(uint32_t codedSize) { return static_cast<uint64_t>(codedSize) * 16384u; }

// Replaces a loaded coded entry's bytes by its PCM, cut or padded to DECODED_LENGTH.
// ARRIVED is the coded bytes the pack held: zeros padding a cut body justify nothing.
// False when the coded data gave fewer bytes than declared (damaged, or descrambled
// with the wrong key).
bool DecodeEntry(SampleRecord* r, uint32_t decodedLength, uint32_t arrived) {
  if (!r->data) return false;
  const uint32_t codedSize = r->size;
  uint8_t* coded = r->data;
  r->data = nullptr;
  r->size = decodedLength;
  // Padding is for damaged data; a declared length no coded size could justify is
  // refused rather than allocated.
  const bool paddable = decodedLength <= CodedPaddingLimit(arrived);
  if (decodedLength > 0 && paddable) {
    // The usual case: the declared length is decoded straight into its own buffer.
    auto* pcm = static_cast<uint8_t*>(std::malloc(decodedLength));
    if (!pcm) {
      std::free(coded);
      return false;
    }
    uint32_t produced = 0;
    DecodeCodedSampleInto(codedSize, coded, r->bits, pcm, decodedLength, &produced);
    std::free(coded);
    std::memset(pcm + produced, 0, decodedLength - produced);
    r->data = pcm;
    return produced >= decodedLength;
  }
  ByteStream* out = StreamCreateMemory();
  if (out) DecodeCodedSample(codedSize, coded, r->bits, out);
  std::free(coded);
  if (!out) return false;
  uint32_t produced = 0;
  uint8_t* pcm = StreamCloseTakingBuffer(out, &produced);
  if (decodedLength > produced) {
    std::free(pcm);
    return false;
  }
  r->data = pcm;
  return true;
}

bool Wanted(const ListContext& c, uint32_t slot) {
  return !c.wanted || (slot < c.wanted->size() && (*c.wanted)[slot]);
}

// The records of the slots the list reaches, grown as they are read, so a count
// that promises more slots than the pack holds costs nothing.
class SlotTable {
 public:
  ~SlotTable() {
    for (uint32_t i = 0; i < held_; ++i) std::free(records_[i].data);
    std::free(records_);
  }
  // The cleared record of SLOT, and of every slot before it; null when memory fails.
  SampleRecord* At(uint32_t slot) {
    if (slot >= capacity_) {
      uint64_t grown = capacity_ ? capacity_ * uint64_t{2} : 16;
      if (grown <= slot) grown = uint64_t{slot} + 1;
      if (grown > SIZE_MAX / sizeof(SampleRecord)) return nullptr;
      auto* more = static_cast<SampleRecord*>(std::realloc(records_, grown * sizeof(SampleRecord)));
      if (!more) return nullptr;
      records_ = more;
      capacity_ = static_cast<uint32_t>(grown < UINT32_MAX ? grown : UINT32_MAX);
    }
    if (slot >= held_) {
      std::memset(records_ + held_, 0, (uint64_t{slot} + 1 - held_) * sizeof(SampleRecord));
      held_ = slot + 1;
    }
    return &records_[slot];
  }
  // Hands the records over: their count, and the array (null when none were read).
  uint32_t held() const { return held_; }
  SampleRecord* Release() {
    SampleRecord* out = records_;
    records_ = nullptr;
    held_ = capacity_ = 0;
    return out;
  }

 private:
  SampleRecord* records_ = nullptr;
  uint32_t held_ = 0;
  uint32_t capacity_ = 0;
};

// False when memory for the slots runs out.
bool ReadListV2(const ListContext& c, SlotTable* table, uint32_t count) {
  PackInput& in = *c.in;
  uint32_t slot = 0;
  while (in.left() > 0) {  // the end of the data ends the list as the marker does
    const uint8_t type = in.u8();
    if (slot >= count || type == kZspTypeEndOfList) break;
    if (type == kZspTypeEmptySlot) {
      ++slot;
      continue;
    }
    if (type != kZspTypePcmEntry && type != kZspTypeCodedEntry) continue;  // same slot
    SampleRecord* r = table->At(slot);
    if (!r) return false;
    const bool wanted = Wanted(c, slot);
    r->bits = in.u8();
    r->aux8 = in.u8();
    r->aux32 = in.u32();
    in.text(r->name26, kZspName26Length);
    uint32_t decodedLength = 0;
    if (type == kZspTypeCodedEntry) {
      r->coded = 1;
      decodedLength = in.u32();
    }
    const uint32_t arrived = ReadBody(c, r, wanted);
    if (r->coded && wanted && !DecodeEntry(r, decodedLength, arrived)) ++*c.codedShortfalls;
    ++slot;
  }
  return true;
}

bool ReadListV1(const ListContext& c, SlotTable* table, uint32_t count) {
  PackInput& in = *c.in;
  const bool typed = VersionAtLeast(c.major, c.minor, kZspTypeByteFrom);
  const bool emptySlots = VersionAtLeast(c.major, c.minor, kZspEmptySlotFrom);
  const bool widths = VersionAtLeast(c.major, c.minor, kZspWidthAttributeFrom);
  const bool values = VersionAtLeast(c.major, c.minor, kZspAux32From);
  // Past the end every field reads as zero, which leaves a slot as cleared: stop there.
  for (uint32_t slot = 0; slot < count && in.left() > 0; ++slot) {
    SampleRecord* r = table->At(slot);
    if (!r) return false;
    const bool wanted = Wanted(c, slot);
    uint32_t decodedLength = 0;
    if (typed) {
      const uint8_t type = in.u8();
      if (emptySlots && type == kZspV1TypeEmpty) continue;
      r->coded = type;
      decodedLength = in.u32();
    }
    in.text(r->name30, kZspName30Length);
    const uint32_t arrived = ReadBody(c, r, wanted);
    if (widths) {
      r->bits = in.u8();
      r->aux8 = in.u8();
    }
    if (values) r->aux32 = in.u32();
    if (typed) in.text(r->name26, kZspName26Length);
    if (r->coded && wanted && !DecodeEntry(r, decodedLength, arrived)) ++*c.codedShortfalls;
  }
  return true;
}

}  // namespace

uint32_t SampleStoreLoad(SampleStore* store, ByteStream* stream, const uint32_t* wanted,
                         uint16_t wantedCount, Failure* failure) {
  if (!store || !stream) return Refuse(failure, "load", "no sample store or no stream");
  StreamSeek(0, stream);
  PackInput in(stream);

  char magic[4] = {0, 0, 0, 0};
  StreamRead(magic, 4, stream);
  if (std::memcmp(magic, kZspMagic, 4) != 0) {
    return Refuse(failure, "header", "not a ZSP sample pack (no \"ZSP1\" magic)");
  }
  store->major = in.u8();
  store->minor = in.u8();
  if (!ZspAccepted(store->major, store->minor)) {
    return Refuse(failure, "header",
                  "version " + VersionText(store->major, store->minor) + " is not supported (newest read: " +
                      VersionText(kZspHighest.major, kZspHighest.minor) + ")");
  }
  store->scrambled = ZspHasScrambleFlag(store->major, store->minor) ? in.u8() : 0;
  const bool compressed = in.u8() != 0;
  const uint32_t count = in.u32();

  std::vector<bool> wantedSlots;
  if (wanted) {
    uint32_t highest = 0;
    for (uint32_t i = 0; i < wantedCount; ++i)
      if (wanted[i] < count && wanted[i] >= highest) highest = wanted[i] + 1;
    wantedSlots.assign(highest, false);
    for (uint32_t i = 0; i < wantedCount; ++i) {
      if (wanted[i] < count) wantedSlots[wanted[i]] = true;
    }
  }

  SlotTable table;
  std::vector<uint8_t> scratch;
  uint32_t shortfalls = 0;
  ListContext c{&in, store->major, store->minor, compressed,
                store->scrambled != 0 && store->key != 0, store->key,
                wanted ? &wantedSlots : nullptr, &scratch, &shortfalls};
  const bool read = store->major >= kZspTypedListFrom.major ? ReadListV2(c, &table, count)
                                                            : ReadListV1(c, &table, count);
  if (!read) return Refuse(failure, "entries", "out of memory for the table of " + std::to_string(count) + " slots");

  // The store is meant to be empty here; never lose a table still held.
  if (store->loaded) SampleStoreRelease(store);
  std::free(store->entries);
  store->entryCount = count;
  store->heldCount = table.held();
  store->entries = table.Release();
  store->codedShortfalls = shortfalls;
  store->loaded = 1;
  return 0;
}
