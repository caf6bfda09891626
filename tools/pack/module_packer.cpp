#include "tools/pack/module_packer.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "container/byte_stream.h"
#include "container/file_kind.h"
#include "container/zsf_format.h"
#include "container/zsf_writer.h"
#include "platform/file_replace.h"
#include "samples/zsp_format.h"
#include "samples/zsp_writer.h"
#include "tools/modules/module_kind.h"
#include "tools/modules/module_layout.h"
#include "ui/tags.h"

namespace zsfpack {
namespace {

// A song's wanted list is counted in 16 bits.
constexpr size_t kMostEntriesPerSong = 65535;

const char* const kModuleExtensions[] = {".IT", ".XM", ".S3M", ".MOD"};

bool Fail(PackError* error, const std::string& path, const std::string& step,
          const std::string& reason) {
  if (error) *error = PackError{path, step, reason};
  return false;
}

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Folder(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Inverses of the rebuild's conversions: what the pack must hold so that the
// rebuild gives back the module's stored bytes. An odd last byte of a 16-bit
// sample belongs to no word; the rebuild copies it, and so do these.
void DeltaDecode(std::vector<uint8_t>* data, bool sixteenBit) {
  std::vector<uint8_t>& d = *data;
  if (!sixteenBit) {
    uint8_t value = 0;
    for (uint8_t& b : d) b = value = static_cast<uint8_t>(value + b);
    return;
  }
  uint16_t value = 0;
  for (size_t i = 0; i + 1 < d.size(); i += 2) {
    value = static_cast<uint16_t>(value + (d[i] | d[i + 1] << 8));
    d[i] = static_cast<uint8_t>(value);
    d[i + 1] = static_cast<uint8_t>(value >> 8);
  }
}

void FlipSign(std::vector<uint8_t>* data, bool sixteenBit) {
  std::vector<uint8_t>& d = *data;
  if (!sixteenBit) {
    for (uint8_t& b : d) b ^= 0x80;
    return;
  }
  for (size_t i = 1; i < d.size(); i += 2) d[i] ^= 0x80;
}

// Module texts become tag values: no line ends or other control characters, no
// padding at either end.
std::string TagValue(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\0') break;
    out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
  }
  size_t first = out.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  size_t last = out.find_last_not_of(' ');
  return out.substr(first, last - first + 1);
}

// A note when NAME's extension disagrees with the module's real KIND; a name
// without an extension says nothing and earns none.
std::string ExtensionNote(const std::string& name, uint32_t kind) {
  const size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || dot == 0 || FileKindFromName(name.c_str()) == kind) return std::string();
  const std::string kindName = zsfmod::ModuleKindName(kind);
  return "the name ends in " + name.substr(dot) + ", but the content is " +
         (kind == zsfmod::kKindMod ? "a " : "an ") + kindName + " module: packed as " + kindName;
}

// One pack entry and what may be done with it.
struct Entry {
  std::vector<uint8_t> data;
  uint8_t bits = 8;
  bool codable = true;  // the bytes are audio that Vorbis may code
};

class EntryTable {
 public:
  // The index of the entry holding exactly DATA at BITS, adding it when new.
  uint32_t Add(std::vector<uint8_t>&& data, uint8_t bits, bool codable) {
    const size_t hash = Hash(data, bits);
    auto range = index_.equal_range(hash);
    for (auto it = range.first; it != range.second; ++it) {
      Entry& e = entries_[it->second];
      if (e.bits == bits && e.data == data) {
        if (e.codable && !codable) uncoded_.push_back(it->second);
        e.codable = e.codable && codable;
        return it->second;
      }
    }
    uint32_t at = static_cast<uint32_t>(entries_.size());
    entries_.push_back(Entry{std::move(data), bits, codable});
    index_.emplace(hash, at);
    return at;
  }
  // A module that fails half-way must leave no trace in the pack: Undo takes back
  // every change since the last Mark.
  void Mark() {
    mark_ = entries_.size();
    uncoded_.clear();
  }
  void Undo() {
    for (uint32_t at : uncoded_) entries_[at].codable = true;
    uncoded_.clear();
    while (entries_.size() > mark_) {
      const uint32_t at = static_cast<uint32_t>(entries_.size() - 1);
      auto range = index_.equal_range(Hash(entries_.back().data, entries_.back().bits));
      for (auto it = range.first; it != range.second; ++it) {
        if (it->second == at) {
          index_.erase(it);
          break;
        }
      }
      entries_.pop_back();
    }
  }
  const std::vector<Entry>& entries() const { return entries_; }

 private:
  static size_t Hash(const std::vector<uint8_t>& data, uint8_t bits) {
    std::string_view key(reinterpret_cast<const char*>(data.data()), data.size());
    return std::hash<std::string_view>()(key) ^ bits;
  }
  std::vector<Entry> entries_;
  std::unordered_multimap<size_t, uint32_t> index_;
  size_t mark_ = 0;
  std::vector<uint32_t> uncoded_;  // entries made uncodable since the mark
};

struct CutSample {
  uint32_t entry;
  uint32_t size;
  uint32_t offset;
};

// Reads one module, adds its samples to TABLE and builds its song.
bool PackOne(const ModuleInput& input, const PackOptions& o, EntryTable* table,
             PackedSong* song, PackError* error) {
  const std::string& path = input.path;
  uint32_t kind = 0;
  std::string why;
  if (!zsfmod::RecogniseModuleKind(input.bytes.data(), input.bytes.size(), input.bytes.size(), &kind, &why)) {
    return Fail(error, path, "read", why);
  }
  if (kind != kFileKindIt && !VersionAtLeast(o.songMajor, o.songMinor, kZsfModuleExtensionFrom)) {
    return Fail(error, path, "check",
                "song version " + VersionText({o.songMajor, o.songMinor}) +
                    " holds only Impulse Tracker modules (other kinds need " +
                    VersionText(kZsfModuleExtensionFrom) + " or later)");
  }

  std::string reason;
  std::vector<uint8_t> module;
  if (kind == kFileKindIt) {
    // Songs store plain PCM; the engine must not meet compressed blocks in a pack.
    if (!zsfmod::StoreItSamplesAsPlainPcm(input.bytes, &module, &reason)) {
      return Fail(error, path, "read", reason);
    }
  } else {
    module = input.bytes;
  }
  zsfmod::ModuleLayout layout;
  if (!zsfmod::ReadModuleLayout(module, kind, &layout, &reason)) return Fail(error, path, "read", reason);

  const bool packHasWidth = VersionAtLeast(o.packMajor, o.packMinor, kZspWidthAttributeFrom);
  std::vector<SampleSpan> spans;
  std::vector<CutSample> cut;
  for (const zsfmod::SampleLayout& s : layout.samples) {
    const std::string which = "sample " + std::to_string(s.index + 1);
    if (s.bytes == 0) continue;
    if (static_cast<uint64_t>(s.offset) + s.bytes > module.size()) {
      return Fail(error, path, "read", which + ": data extends past the end of the file");
    }
    const bool sixteen = s.bits == 16;
    std::vector<uint8_t> data(module.begin() + s.offset, module.begin() + s.offset + s.bytes);
    bool codable = true;
    switch (kind) {
      case kFileKindIt:
        if (s.encoding != zsfmod::SampleLayout::kSigned) {
          return Fail(error, path, "read", which + ": still not plain signed PCM after the rewrite");
        }
        break;
      case kFileKindMod:
        break;
      case kFileKindXm:
        DeltaDecode(&data, sixteen);
        break;
      case kFileKindS3m:
        // The rebuild always stores S3M samples unsigned. A module that declares
        // signed samples still comes back byte for byte from the flipped bytes,
        // but those are no audio that a lossy coder could keep.
        FlipSign(&data, sixteen);
        codable = s.encoding == zsfmod::SampleLayout::kUnsigned;
        break;
    }
    if (sixteen && (kind == kFileKindXm || kind == kFileKindS3m) && !packHasWidth) {
      return Fail(error, path, "check",
                  which + " is 16-bit, but pack version " + VersionText({o.packMajor, o.packMinor}) +
                      " records no sample width (16-bit XM and S3M samples need " +
                      VersionText(kZspWidthAttributeFrom) + " or later)");
    }
    if (sixteen && data.size() % 2) codable = false;
    uint32_t entry = table->Add(std::move(data), s.bits, codable);
    spans.push_back(SampleSpan{s.offset, s.bytes});
    cut.push_back(CutSample{entry, s.bytes, 0});
  }

  ZsfSong z;
  z.major = o.songMajor;
  z.minor = o.songMinor;
  z.packName = o.packName;
  z.moduleExtension = kModuleExtensions[kind];
  std::vector<uint32_t> offsets;
  if (!CutModuleImage(module, spans, &z.structure, &offsets, &reason)) {
    return Fail(error, path, "cut", reason);
  }
  const bool hasOffsets = VersionAtLeast(o.songMajor, o.songMinor, kZsfSampleOffsetFrom);
  if (VersionAtLeast(o.songMajor, o.songMinor, kZsfV2BodyFrom)) {
    // One source per distinct entry: samples that share bytes share a source.
    std::unordered_map<uint32_t, uint32_t> sourceOf;
    for (size_t i = 0; i < cut.size(); ++i) {
      auto found = sourceOf.find(cut[i].entry);
      uint32_t source;
      if (found != sourceOf.end()) {
        source = found->second;
      } else {
        source = static_cast<uint32_t>(z.sources.size());
        sourceOf.emplace(cut[i].entry, source);
        z.sources.push_back(ZsfV2Source{cut[i].entry});
      }
      z.v2Samples.push_back(ZsfV2Sample{source, cut[i].size, offsets[i]});
    }
    if (z.sources.size() > kMostEntriesPerSong) {
      return Fail(error, path, "check", "more than 65535 distinct samples");
    }
  } else {
    if (cut.size() > kMostEntriesPerSong) return Fail(error, path, "check", "more than 65535 samples");
    for (size_t i = 0; i < cut.size(); ++i) {
      ZsfV1Sample v1;
      v1.entry = cut[i].entry;
      v1.size = cut[i].size;
      v1.offset = hasOffsets ? offsets[i] : 0;
      z.samples.push_back(v1);
    }
  }

  // Tags: what the module names, then the caller's, replacing by name.
  std::vector<std::pair<std::string, std::string>> tags;
  if (!TagValue(layout.title).empty()) tags.emplace_back("title", TagValue(layout.title));
  if (!TagValue(layout.artist).empty()) tags.emplace_back("artist", TagValue(layout.artist));
  for (const auto& tag : o.tags) {
    bool replaced = false;
    for (auto& have : tags) {
      if (EqualsIgnoringAsciiCase(have.first.c_str(), tag.first.c_str())) {
        have.second = tag.second;
        replaced = true;
      }
    }
    if (!replaced) tags.push_back(tag);
  }
  std::vector<const char*> names, values;
  for (const auto& tag : tags) {
    names.push_back(tag.first.c_str());
    values.push_back(tag.second.c_str());
  }
  size_t textLength = 0;
  char* text = SerializeTags(names.data(), values.data(), static_cast<int32_t>(tags.size()), &textLength);
  if (!text) return Fail(error, path, "tags", "out of memory");
  z.tagText.assign(text, textLength);
  std::free(text);

  if (!WriteZsf(z, &song->bytes, &reason)) return Fail(error, path, "write song", reason);

  std::string stem = input.songStem.empty() ? SongStem(path) : input.songStem;
  song->source = path;
  song->note = ExtensionNote(BaseName(path), kind);
  song->fileName = stem + (o.tune ? ".ztf" : ".zsf");
  song->module = std::move(module);
  song->moduleKind = kind;
  song->sampleCount = static_cast<uint32_t>(cut.size());
  song->tagText = z.tagText;
  return true;
}

bool CheckOptions(const PackOptions& o, PackError* error) {
  const std::string pack = o.packName.empty() ? "pack" : o.packName;
  if (!ZsfVersionAccepted(o.songMajor, o.songMinor)) {
    return Fail(error, "--version", "check",
                VersionText({o.songMajor, o.songMinor}) + " is no song version (0.x, 1.x, 2.0 to " +
                    VersionText(kZsfHighestAccepted) + ")");
  }
  if (!ZspAccepted(o.packMajor, o.packMinor)) {
    return Fail(error, "--pack-version", "check",
                VersionText({o.packMajor, o.packMinor}) + " is no pack version (0.x, 1.x, 2.0 to " +
                    VersionText(kZspHighest) + ")");
  }
  if (o.packName.empty() || o.packName.find('/') != std::string::npos) {
    return Fail(error, pack, "check", "the pack needs a file name without a folder");
  }
  if (o.packName.size() > kZsfPackNameLength) {
    return Fail(error, pack, "check",
                "the pack's file name is longer than the " + std::to_string(kZsfPackNameLength) +
                    " characters a song can name");
  }
  if (o.vorbis && !VersionAtLeast(o.packMajor, o.packMinor, kZspTypeByteFrom)) {
    return Fail(error, pack, "check",
                "Vorbis-coded entries need pack version " + VersionText(kZspTypeByteFrom) + " or later");
  }
  if (o.vorbis && !(o.vorbisQuality >= -0.1f && o.vorbisQuality <= 1.0f)) {
    return Fail(error, "--vorbis", "check", "the quality must lie between -0.1 and 1.0");
  }
  if (!o.password.empty()) {
    if (!VersionAtLeast(o.packMajor, o.packMinor, kZspScrambleFlagFrom)) {
      return Fail(error, pack, "check",
                  "scrambled packs need pack version " + VersionText(kZspScrambleFlagFrom) + " or later");
    }
    if (ZspKeyFromPassword(o.password) == 0) {
      return Fail(error, "--password", "check",
                  "this password gives the scrambling key 0, which would leave the samples "
                  "readable without it; choose another");
    }
  }
  for (const auto& tag : o.tags) {
    if (tag.first.empty() || tag.first.find_first_of("=\n") != std::string::npos) {
      return Fail(error, "--tag", "check", "\"" + tag.first + "\" is no tag name");
    }
    if (tag.second.find('\n') != std::string::npos) {
      return Fail(error, "--tag", "check", "the value of " + tag.first + " holds a line end");
    }
  }
  return true;
}

bool MakeFolders(const std::string& folder, std::string* reason) {
  struct stat st;
  if (stat(folder.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return true;
    *reason = "exists and is not a folder";
    return false;
  }
  std::string parent = Folder(folder);
  if (parent != folder && parent != "." && parent != "/" && !MakeFolders(parent, reason)) return false;
  if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
    *reason = std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace

std::string SongStem(const std::string& path) {
  const std::string name = BaseName(path);
  const size_t dot = name.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

bool ParseVersion(const std::string& text, uint8_t* major, uint8_t* minor) {
  size_t dot = text.find('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == text.size()) return false;
  auto number = [](const std::string& digits, uint8_t* out) {
    if (digits.size() > 3 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
    int value = std::atoi(digits.c_str());
    if (value > 255) return false;
    *out = static_cast<uint8_t>(value);
    return true;
  };
  return number(text.substr(0, dot), major) && number(text.substr(dot + 1), minor);
}

namespace {

// One batch: modules are added one at a time, each file read just before it is
// packed, then Finish writes the pack.
class Batch {
 public:
  Batch(const PackOptions& o, PackResult* result) : o_(o), result_(result) {}

  // False when the batch must stop: ERROR says why.
  bool Add(const ModuleInput& input, PackError* error) {
    PackedSong song;
    PackError why;
    table_.Mark();
    bool ok = PackOne(input, o_, &table_, &song, &why);
    for (size_t i = 0; ok && i < result_->songs.size(); ++i) {
      // Case-blind, as the file systems songs are often copied to.
      const PackedSong& other = result_->songs[i];
      if (EqualsIgnoringAsciiCase(other.fileName.c_str(), song.fileName.c_str())) {
        ok = Fail(&why, input.path, "check", "its song would be " + song.fileName + ", as that of " + other.source);
      }
    }
    if (!ok) {
      table_.Undo();
      if (!o_.skipUnpackable) {
        *error = why;
        return false;
      }
      result_->skipped.push_back(why);
      return true;
    }
    result_->sampleCount += song.sampleCount;
    result_->songs.push_back(std::move(song));
    return true;
  }

  bool Finish(PackError* error);

 private:
  const PackOptions& o_;
  PackResult* result_;
  EntryTable table_;
};

bool Batch::Finish(PackError* error) {
  if (result_->songs.empty()) {
    return Fail(error, "pack", "check", "no module could be packed");
  }
  ZspWriteOptions w;
  w.major = o_.packMajor;
  w.minor = o_.packMinor;
  w.compress = o_.compress;
  w.smallest = false;
  w.scrambleKey = o_.password.empty() ? 0 : ZspKeyFromPassword(o_.password);
  w.vorbisQuality = o_.vorbisQuality;
  std::string reason;
  std::vector<ZspEntry> entries;
  entries.reserve(table_.entries().size());
  for (const Entry& e : table_.entries()) {
    ZspEntry z;
    z.kind = ZspEntry::Kind::Pcm;
    z.pcm = e.data;
    z.bits = e.bits;
    // Stereo IT samples lie planar; coded as one channel, the decoder gives them
    // back in the same order.
    z.channels = 1;
    if (o_.vorbis && e.codable) {
      // A short sample costs more as a Vorbis stream (its headers alone take some
      // kilobytes) than as PCM: such entries stay raw.
      std::vector<uint8_t> ogg;
      if (!EncodeVorbis(e.data, e.bits, 1, o_.vorbisQuality, static_cast<int>(entries.size()) + 1, &ogg,
                        &reason)) {
        return Fail(error, o_.packName, "code samples", reason);
      }
      if (ogg.size() < e.data.size()) {
        z.kind = ZspEntry::Kind::Coded;
        z.ogg = std::move(ogg);
        z.decodedLength = static_cast<uint32_t>(e.data.size());
        ++result_->codedEntries;
      }
    }
    result_->rawSampleBytes += e.data.size();
    entries.push_back(std::move(z));
  }
  if (!WriteZsp(entries, w, &result_->pack, &reason)) return Fail(error, o_.packName, "write pack", reason);
  result_->entryCount = static_cast<uint32_t>(entries.size());
  return true;
}

bool ReadWhole(const std::string& path, std::vector<uint8_t>* bytes, PackError* error) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return Fail(error, path, "open", std::strerror(errno));
  bool ok = true;
  uint8_t buffer[65536];
  for (;;) {
    size_t n = std::fread(buffer, 1, sizeof buffer, f);
    bytes->insert(bytes->end(), buffer, buffer + n);
    if (n < sizeof buffer) {
      ok = !std::ferror(f);
      break;
    }
  }
  std::fclose(f);
  return ok || Fail(error, path, "read", "the file could not be read");
}

}  // namespace

bool PackModules(const std::vector<ModuleInput>& modules, const PackOptions& o, PackResult* result,
                 PackError* error) {
  *result = PackResult();
  if (!CheckOptions(o, error)) return false;
  if (modules.empty()) return Fail(error, "pack", "check", "no modules given");
  Batch batch(o, result);
  uint64_t done = 0, total = 0;
  for (const ModuleInput& input : modules) total += input.bytes.size();
  for (size_t i = 0; i < modules.size(); ++i) {
    if (o.progress) o.progress(PackProgress{i + 1, modules.size(), done, total, &modules[i].path});
    if (!batch.Add(modules[i], error)) return false;
    done += modules[i].bytes.size();
  }
  return batch.Finish(error);
}

bool PackModuleFiles(const std::vector<ModuleSource>& files, const PackOptions& o, PackResult* result,
                     PackError* error) {
  *result = PackResult();
  if (!CheckOptions(o, error)) return false;
  if (files.empty()) return Fail(error, "pack", "check", "no modules given");
  Batch batch(o, result);
  uint64_t done = 0, total = 0;
  for (const ModuleSource& file : files) total += file.size;
  for (size_t i = 0; i < files.size(); ++i) {
    if (o.progress) o.progress(PackProgress{i + 1, files.size(), done, total, &files[i].path});
    ModuleInput input{files[i].path, {}, files[i].songStem};
    PackError why;
    if (!ReadWhole(files[i].path, &input.bytes, &why)) {
      if (!o.skipUnpackable) {
        *error = why;
        return false;
      }
      result->skipped.push_back(why);
    } else if (!batch.Add(input, error)) {
      return false;
    }
    done += input.bytes.size();
  }
  return batch.Finish(error);
}

bool WritePackResult(const PackResult& result, const std::string& outDir, const std::string& packPath,
                     PackError* error) {
  std::string reason;
  if (!MakeFolders(outDir, &reason)) return Fail(error, outDir, "make folder", reason);

  // Every file is written and synced under its temporary name first; only when all
  // are whole are they renamed, so a failure leaves every old file as it was and no
  // song without its pack.
  PendingReplace pending;
  auto add = [&](const std::string& path, const std::vector<uint8_t>& bytes) {
    return pending.Add(path.c_str(), bytes.data(), static_cast<uint32_t>(bytes.size())) == 0;
  };
  bool ok = add(packPath, result.pack);
  for (size_t i = 0; ok && i < result.songs.size(); ++i)
    ok = add(outDir + "/" + result.songs[i].fileName, result.songs[i].bytes);
  if (ok && pending.Commit() == 0) return true;
  return Fail(error, pending.failedPath(), "write", std::strerror(pending.error()));
}

}  // namespace zsfpack
