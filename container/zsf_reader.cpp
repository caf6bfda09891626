// ZsfFormat::Load: reads a ZSF/ZTF song file image, strictly in file order, and
// derives the song's samples from its sample pack.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "container/block_decompress.h"
#include "container/byte_cursor.h"
#include "container/byte_stream.h"
#include "container/failure.h"
#include "container/file_kind.h"
#include "container/image_assembly.h"
#include "container/module_format.h"
#include "container/pack_path.h"
#include "container/zsf_header.h"
#include "container/zsf_format.h"
#include "platform/file_map.h"
#include "samples/sample_derivation.h"
#include "samples/sample_store.h"
#include "samples/zsp_reader.h"

namespace {

// A fixed-width text field: up to its first NUL, or all of it.
std::string FixedText(const uint8_t* field, size_t width) {
  size_t n = 0;
  while (n < width && field[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(field), n);
}

std::string Number(uint64_t n) { return std::to_string(n); }

// The refusal of a field the file ends inside: which bytes it would take.
uint32_t Truncated(Failure* failure, const char* step, const ByteCursor& in, size_t start, size_t width,
                   const char* field) {
  return Refuse(failure, step, "the file ends after " + Number(in.size()) + " bytes, inside " + field + " (bytes " +
                                   Number(start) + " to " + Number(start + width - 1) + ")");
}

// The refusal of a count whose entries the rest of the file cannot hold.
uint32_t Overlong(Failure* failure, const std::string& what, uint64_t needed, const ByteCursor& in) {
  return Refuse(failure, "song body", what + " need " + Number(needed) + " bytes at offset " + Number(in.position()) +
                                          ", but the file holds " + Number(in.remaining()) + " more");
}

// The body's per-sample arrays, for a count the remaining bytes can justify.
bool AllocateSampleArrays(SongBody* body, uint32_t count) {
  body->sampleCount = count;
  body->records = static_cast<SampleRecord*>(std::calloc(count ? count : 1, sizeof(SampleRecord)));
  body->sampleSizes = static_cast<uint32_t*>(std::calloc(count ? count : 1, sizeof(uint32_t)));
  body->sampleOffsets = static_cast<uint32_t*>(std::calloc(count ? count : 1, sizeof(uint32_t)));
  return body->records && body->sampleSizes && body->sampleOffsets;
}

// DeriveIntoImage's answer when the song's samples cannot be placed straight into
// the image: the usual derivation then runs.
constexpr uint32_t kNotPlaced = 2;
// The largest module image assembled while loading. The image is allocated whole
// before any sample is made, so the body's declared layout alone decides its size:
// past this (no real module comes near), the usual load takes over, which allocates
// sample by sample and stops at the first that fails.
constexpr uint64_t kLargestImageBuiltInPlace = uint64_t{256} << 20;

// Moves a derived sample into the song's record. A derivation that succeeded with
// no bytes made an empty sample, not a missing one: it gets an empty buffer so the
// rebuild treats it as empty (kept placeholder in v1, failure in v2).
void TakeDerived(DerivedSample* derived, SampleRecord* record) {
  record->size = derived->size;
  record->data = derived->data;
  if (!record->data && derived->size == 0) record->data = static_cast<uint8_t*>(std::malloc(1));
  derived->data = nullptr;
  record->aux8 = derived->aux8;
  record->bits = derived->bits;
  record->name30[0] = '\0';
}

}  // namespace

uint32_t ReadZsfHeader(ByteCursor& in, ZsfHeader* header, Failure* failure) {
  uint8_t magic[4];
  in.bytes(magic, sizeof magic);
  header->major = in.u8();
  header->minor = in.u8();
  if (!in.ok()) return Truncated(failure, "header", in, 0, 6, "the magic and version");
  // The version is judged before the magic, as older players did.
  if (!ZsfVersionAccepted(header->major, header->minor)) {
    return Refuse(failure, "header",
                  "version " + VersionText(header->major, header->minor) + " is not supported (newest read: " +
                      VersionText(kZsfHighestAccepted.major, kZsfHighestAccepted.minor) + ")");
  }
  header->magicOk = std::memcmp(magic, kZsfMagic, sizeof magic) == 0;
  if (!header->magicOk) return Refuse(failure, "header", "not a ZSF song (no \"ZSF1\" magic)");

  size_t at = in.position();
  const uint8_t* packName = in.span(kZsfPackNameLength);
  if (!packName) return Truncated(failure, "header", in, at, kZsfPackNameLength, "the pack name");
  header->packName = FixedText(packName, kZsfPackNameLength);

  header->moduleKind = kFileKindIt;
  if (VersionAtLeast(header->major, header->minor, kZsfModuleExtensionFrom)) {
    at = in.position();
    const uint8_t* extension = in.span(kZsfExtensionLength);
    if (!extension) return Truncated(failure, "header", in, at, kZsfExtensionLength, "the module extension");
    header->moduleExtension = FixedText(extension, kZsfExtensionLength);
    header->moduleKind = static_cast<uint8_t>(FileKindFromName(header->moduleExtension.c_str()));
  }
  at = in.position();
  header->structureSize = in.u32();
  header->compressedLength = in.u32();
  return in.ok() ? 0 : Truncated(failure, "header", in, at, 8, "the structure block's sizes");
}

uint32_t ZsfFormat::Load(const uint8_t* image, uint32_t size, SongBody* body) {
  ByteCursor in(image, image ? size : 0);

  ZsfHeader header;
  uint32_t headerResult = ReadZsfHeader(in, &header, failure_);
  major_ = header.major;
  minor_ = header.minor;
  if (headerResult != 0) return 1;
  packName_ = header.packName;
  moduleKind_ = header.moduleKind;
  body->moduleKind = moduleKind_;

  body->structureSize = header.structureSize;
  const size_t blockAt = in.position();
  const uint8_t* block = in.span(header.compressedLength);
  if (!block) {
    return Refuse(failure_, "structure block",
                  "the compressed block of " + Number(header.compressedLength) + " bytes at offset " +
                      Number(blockAt) + " runs past the end of the file (" + Number(size) + " bytes)");
  }
  uint8_t* structure = nullptr;
  uint32_t decoded = 0;
  const uint32_t decompressed =
      BlockDecompress(block, header.compressedLength, header.structureSize, &structure, &decoded);
  if (decompressed == kBlockLibraryUnavailable) {
    return Refuse(failure_, "structure block", "the LZO library cannot be initialised");
  }
  if (decompressed != kBlockOk) {
    return Refuse(failure_, "structure block",
                  "the LZO block at offset " + Number(blockAt) + " (" + Number(header.compressedLength) +
                      " bytes) is damaged or decodes to more than the declared " + Number(header.structureSize));
  }
  body->structure = structure;
  body->structureSize = decoded;

  if (!VersionAtLeast(major_, minor_, kZsfV2BodyFrom)) return LoadV1Body(in, body);
  return LoadV2Body(in, body);
}

uint32_t ZsfFormat::LoadV1Body(ByteCursor& in, SongBody* body) {
  const bool hasOffsets = VersionAtLeast(major_, minor_, kZsfSampleOffsetFrom);
  const bool hasDerivation = VersionAtLeast(major_, minor_, kZsfDerivationFieldsFrom);
  const bool hasExtras = VersionAtLeast(major_, minor_, kZsfExtraEntriesFrom);

  const uint32_t entrySize = ZsfV1SampleEntrySize(major_, minor_);
  size_t at = in.position();
  uint32_t count = in.u32();
  if (!in.ok()) return Truncated(failure_, "song body", in, at, 4, "the sample count");
  // Every sample needs its entry in the rest of the file; nothing is allocated for
  // a count the file cannot hold.
  if (static_cast<uint64_t>(count) * entrySize > in.remaining()) {
    return Overlong(failure_, Number(count) + " samples of " + Number(entrySize) + " bytes",
                    static_cast<uint64_t>(count) * entrySize, in);
  }
  if (!AllocateSampleArrays(body, count)) {
    return Refuse(failure_, "song body", "out of memory for " + Number(count) + " samples");
  }
  body->moduleKind = moduleKind_;

  uint32_t extraCount = 0;
  std::vector<uint32_t> extras;
  if (hasExtras) {
    at = in.position();
    extraCount = in.u32();
    if (!in.ok()) return Truncated(failure_, "song body", in, at, 4, "the extra entry count");
    if (static_cast<uint64_t>(extraCount) * 4 > in.remaining()) {
      return Overlong(failure_, Number(extraCount) + " extra entries of 4 bytes", uint64_t{extraCount} * 4, in);
    }
    extras.resize(extraCount);
    for (uint32_t& index : extras) index = in.u32();
  }
  at = in.position();
  body->spare = in.u32();
  if (!in.ok()) return Truncated(failure_, "song body", in, at, 4, "the spare value");

  struct Entry {
    uint32_t index;
    uint8_t code;
    uint32_t parameter;
    uint8_t volume;
  };
  std::vector<Entry> entries(count);
  std::vector<uint32_t> wanted(static_cast<size_t>(count) + extraCount);
  for (uint32_t i = 0; i < count; ++i) {
    Entry& e = entries[i];
    e.index = in.u32();
    wanted[i] = e.index;
    body->sampleSizes[i] = in.u32();
    body->sampleOffsets[i] = hasOffsets ? in.u32() : 0;
    e.code = hasDerivation ? in.u8() : 0;
    e.parameter = hasDerivation ? in.u32() : 0;
    e.volume = hasDerivation ? in.u8() : kZsfDefaultVolume;
  }
  if (!in.ok()) {
    return Truncated(failure_, "song body", in, at + 4, uint64_t{count} * entrySize, "the sample entries");
  }
  for (uint32_t j = 0; j < extraCount; ++j) wanted[count + j] = extras[j];

  if (LoadPack(wanted.data(), static_cast<uint32_t>(wanted.size())) != 0) return 1;

  for (uint32_t i = 0; i < count; ++i) {
    DerivedSample derived{};
    const Entry& e = entries[i];
    std::string why;
    if (DeriveSample(store_, &derived, e.index, e.code, e.parameter, e.volume, &why) != 0) {
      std::free(derived.data);
      return Refuse(failure_, "samples", "sample " + Number(i) + ": " + why);
    }
    TakeDerived(&derived, &body->records[i]);
  }
  return 0;
}

uint32_t ZsfFormat::LoadV2Body(ByteCursor& in, SongBody* body) {
  SampleSourceTable table;
  const size_t at = in.position();
  uint32_t sourceCount = in.u32();
  uint32_t count = in.u32();
  if (!in.ok()) return Truncated(failure_, "song body", in, at, 8, "the source and sample counts");
  uint64_t needed = static_cast<uint64_t>(sourceCount) * kZsfV2SourceEntrySize +
                    static_cast<uint64_t>(count) * kZsfV2SampleEntrySize;
  if (needed > in.remaining()) {
    return Overlong(failure_,
                    Number(sourceCount) + " sources of " + Number(kZsfV2SourceEntrySize) + " bytes and " +
                        Number(count) + " samples of " + Number(kZsfV2SampleEntrySize) + " bytes",
                    needed, in);
  }
  if (!AllocateSampleArrays(body, count)) {
    return Refuse(failure_, "song body", "out of memory for " + Number(count) + " samples");
  }
  body->moduleKind = moduleKind_;

  std::vector<uint32_t> wanted(sourceCount);
  for (uint32_t s = 0; s < sourceCount; ++s) {
    SampleSource source{};
    source.entry = in.u32();
    source.code = in.u8();
    source.a = in.u32();
    source.b = in.u32();
    source.gain = in.f32();
    source.reserved = 0;
    SampleSourceTableAppendSource(&table, source);
    wanted[s] = source.entry;
  }
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t sourceIndex = in.u32();
    body->sampleSizes[i] = in.u32();
    body->sampleOffsets[i] = in.u32();
    SampleSourceTableAppendSample(&table, sourceIndex);
    if (sourceIndex >= sourceCount) {
      return Refuse(failure_, "song body",
                    "sample " + Number(i) + " names source " + Number(sourceIndex) + ", but the body has " +
                        Number(sourceCount));
    }
  }
  if (!in.ok()) return Truncated(failure_, "song body", in, at + 8, needed, "the source and sample entries");

  if (LoadPack(wanted.data(), sourceCount) != 0) return 1;

  if (imageTarget_) {
    const uint32_t placed = DeriveIntoImage(table, body);
    if (placed != kNotPlaced) return placed;
  }
  for (uint32_t i = 0; i < count; ++i) {
    const SampleSource& source = table.sources[table.sampleSources[i]];
    DerivedSample derived{};
    std::string why;
    if (DeriveSampleFromSource(store_, &derived, source.entry, source.code, source.a, source.b,
                               source.gain, &table, &why) != 0) {
      std::free(derived.data);
      return Refuse(failure_, "samples", "sample " + Number(i) + ": " + why);
    }
    if (derived.size != body->sampleSizes[i]) {
      std::free(derived.data);
      return Refuse(failure_, "samples",
                    "sample " + Number(i) + " derives to " + Number(derived.size) + " bytes, but the body stores " +
                        Number(body->sampleSizes[i]));
    }
    TakeDerived(&derived, &body->records[i]);
  }
  return 0;
}

uint32_t ZsfFormat::DeriveIntoImage(const SampleSourceTable& table, SongBody* body) {
  const uint32_t count = body->sampleCount;
  uint64_t total = 0;
  if (!PlanInOrderLayout(body->structureSize, count, body->sampleSizes, body->sampleOffsets, &total)) {
    return kNotPlaced;
  }
  if (total > kLargestImageBuiltInPlace) return kNotPlaced;
  // The image is sized by the body's declared sizes before any sample is made: a size
  // its source cannot reach (a damaged or hostile body) must not become an allocation.
  // The usual load then refuses it, with the reason.
  for (uint32_t i = 0; i < count; ++i) {
    const SampleSource& source = table.sources[table.sampleSources[i]];
    if (body->sampleSizes[i] > DerivedSizeBound(store_, source, &table)) return kNotPlaced;
  }
  auto* image = static_cast<uint8_t*>(std::malloc(total ? total : 1));
  if (!image) return kNotPlaced;
  CopyStructureAround(body->structure, body->structureSize, count, body->sampleSizes, body->sampleOffsets, image);
  for (uint32_t i = 0; i < count; ++i) {
    const SampleSource& source = table.sources[table.sampleSources[i]];
    DerivedSample derived{};
    derived.target = image + body->sampleOffsets[i];
    derived.targetSize = body->sampleSizes[i];
    // A sample of another size than stored fails here as it fails the usual load.
    std::string why;
    if (DeriveSampleFromSource(store_, &derived, source.entry, source.code, source.a, source.b,
                               source.gain, &table, &why) != 0) {
      std::free(image);
      return Refuse(failure_, "samples", "sample " + Number(i) + ": " + why);
    }
    derived.data = nullptr;  // the image's
    TakeDerived(&derived, &body->records[i]);
  }
  // The image holds every sample now: the pack's entries are done with.
  SampleStoreRelease(store_);
  *imageTarget_ = ModuleImage{static_cast<uint32_t>(total), image};
  return 0;
}

uint32_t ZsfFormat::LoadPack(const uint32_t* wanted, uint32_t count) {
  if (!store_) return Refuse(failure_, "sample pack", "out of memory for the sample store");
  SampleStoreRelease(store_);
  // An empty list must stay a list: no list at all would mean "every entry".
  static const uint32_t kNothing = 0;
  if (!wanted) wanted = &kNothing;
  // The wanted count is a 16-bit field of the pack loader.
  uint16_t wantedCount = static_cast<uint16_t>(count);
  Failure packFailure;
  if (packStream_) {
    if (SampleStoreLoad(store_, packStream_, wanted, wantedCount, &packFailure) == 0) return 0;
    return Refuse(failure_, "sample pack", "the collection's pack: " + packFailure.reason);
  }

  std::string packPath;
  if (!ComposePackPath(sourcePath_, packName_, &packPath)) {
    return Refuse(failure_, "sample pack",
                  "the path of " + packName_ + " beside the song is longer than " + Number(kZsfMaxPathLength) +
                      " characters");
  }
  // The pack is read where the system maps it: entries are copied (or decoded) once,
  // straight from it.
  MappedFile mapped;
  if (mapped.Open(packPath.c_str()) && mapped.data()) {
    StreamOwner pack(StreamOpenMemory(mapped.data(), mapped.size(), 0));
    if (!pack) return Refuse(failure_, "sample pack", "out of memory for the pack's stream");
    const uint32_t result = SampleStoreLoad(store_, pack.get(), wanted, wantedCount, &packFailure);
    return result == 0 ? 0 : Refuse(failure_, "sample pack", packPath + ": " + packFailure.reason);
  }
  StreamOwner pack(StreamOpenFile(packPath.c_str()));
  if (!pack) return Refuse(failure_, "sample pack", packPath + ": cannot open: " + std::strerror(errno));
  const uint32_t result = SampleStoreLoad(store_, pack.get(), wanted, wantedCount, &packFailure);
  return result == 0 ? 0 : Refuse(failure_, "sample pack", packPath + ": " + packFailure.reason);
}
