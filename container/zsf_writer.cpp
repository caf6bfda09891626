#include "container/zsf_writer.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "container/block_compress.h"
#include "container/byte_writer.h"
#include "container/zsf_format.h"

static bool Refuse(std::string* error, const std::string& why) {
  *error = why;
  return false;
}

static float GainToWrite(const ZsfV2Source& source) {
  if (!std::isnan(source.gain)) return source.gain;
  return source.code == 0 ? 100.0f : 1.0f;
}

bool WriteZsf(const ZsfSong& song, std::vector<uint8_t>* out, std::string* error) {
  const uint8_t major = song.major, minor = song.minor;
  const std::string version = VersionText({major, minor});
  if (!ZsfVersionAccepted(major, minor)) return Refuse(error, "version " + version + " is not read");
  if (song.packName.size() > kZsfPackNameLength) {
    return Refuse(error, "pack name \"" + song.packName + "\" is longer than " +
                             std::to_string(kZsfPackNameLength) + " characters");
  }
  const bool hasExtension = VersionAtLeast(major, minor, kZsfModuleExtensionFrom);
  if (hasExtension && song.moduleExtension.size() > kZsfExtensionLength) {
    return Refuse(error, "module extension \"" + song.moduleExtension + "\" is longer than " +
                             std::to_string(kZsfExtensionLength) + " characters");
  }
  if (song.tagText.size() > 0xFFFF) return Refuse(error, "tag text is longer than 65535 bytes");
  if (song.structure.size() > UINT32_MAX) return Refuse(error, "structure image is too large");

  const bool v2 = VersionAtLeast(major, minor, kZsfV2BodyFrom);
  const bool hasOffsets = VersionAtLeast(major, minor, kZsfSampleOffsetFrom);
  const bool hasDerivation = VersionAtLeast(major, minor, kZsfDerivationFieldsFrom);
  const bool hasExtras = VersionAtLeast(major, minor, kZsfExtraEntriesFrom);
  if (v2 && (!song.samples.empty() || !song.extraEntries.empty())) {
    return Refuse(error, "version " + version + " has no version 1 sample entries");
  }
  if (!v2 && (!song.sources.empty() || !song.v2Samples.empty())) {
    return Refuse(error, "version " + version + " has no source entries");
  }
  if (!hasExtras && !song.extraEntries.empty()) {
    return Refuse(error, "version " + version + " has no extra entry list (from 1.19)");
  }
  for (size_t i = 0; i < song.samples.size(); ++i) {
    const ZsfV1Sample& s = song.samples[i];
    if (!hasOffsets && s.offset != 0) {
      return Refuse(error, "sample " + std::to_string(i) + ": version " + version + " stores no offsets (from 1.12)");
    }
    if (!hasDerivation && (s.code != 0 || s.parameter != 0 || s.volume != kZsfDefaultVolume)) {
      return Refuse(error, "sample " + std::to_string(i) + ": version " + version +
                               " stores no derivation fields (from 1.15)");
    }
  }

  std::vector<uint8_t> block;
  if (!CompressBlock(song.structure, false, &block, error)) return false;
  block.insert(block.end(), song.blockTrailer.begin(), song.blockTrailer.end());

  ByteWriter w;
  w.bytes(kZsfMagic, sizeof kZsfMagic);
  w.u8(major);
  w.u8(minor);
  w.text(song.packName, kZsfPackNameLength);
  if (hasExtension) w.text(song.moduleExtension, kZsfExtensionLength);
  w.u32(song.declaredStructureSize >= 0 ? static_cast<uint32_t>(song.declaredStructureSize)
                                        : static_cast<uint32_t>(song.structure.size()));
  w.u32(static_cast<uint32_t>(block.size()));
  w.bytes(block);

  if (!v2) {
    w.u32(static_cast<uint32_t>(song.samples.size()));
    if (hasExtras) {
      w.u32(static_cast<uint32_t>(song.extraEntries.size()));
      for (uint32_t index : song.extraEntries) w.u32(index);
    }
    w.u32(song.spare);
    for (const ZsfV1Sample& s : song.samples) {
      w.u32(s.entry);
      w.u32(s.size);
      if (hasOffsets) w.u32(s.offset);
      if (hasDerivation) {
        w.u8(s.code);
        w.u32(s.parameter);
        w.u8(s.volume);
      }
    }
  } else {
    w.u32(static_cast<uint32_t>(song.sources.size()));
    w.u32(static_cast<uint32_t>(song.v2Samples.size()));
    for (const ZsfV2Source& s : song.sources) {
      w.u32(s.entry);
      w.u8(s.code);
      w.u32(s.a);
      w.u32(s.b);
      w.f32(GainToWrite(s));
    }
    for (const ZsfV2Sample& s : song.v2Samples) {
      w.u32(s.source);
      w.u32(s.size);
      w.u32(s.offset);
    }
  }

  w.bytes(song.tagText.data(), song.tagText.size());
  w.u16(static_cast<uint16_t>(song.tagText.size()));
  *out = w.take();
  return true;
}

bool CutModuleImage(const std::vector<uint8_t>& module, const std::vector<SampleSpan>& spans,
                    std::vector<uint8_t>* structure, std::vector<uint32_t>* offsets,
                    std::string* error) {
  std::vector<size_t> byPosition(spans.size());
  std::iota(byPosition.begin(), byPosition.end(), 0);
  std::sort(byPosition.begin(), byPosition.end(),
            [&](size_t a, size_t b) { return spans[a].offset < spans[b].offset; });
  uint64_t end = 0;
  for (size_t i : byPosition) {
    const SampleSpan& s = spans[i];
    if (s.length == 0) return Refuse(error, "sample " + std::to_string(i) + " is empty");
    if (static_cast<uint64_t>(s.offset) + s.length > module.size()) {
      return Refuse(error, "sample " + std::to_string(i) + " at " + std::to_string(s.offset) + " + " +
                               std::to_string(s.length) + " bytes lies outside the image (" +
                               std::to_string(module.size()) + " bytes)");
    }
    if (s.offset < end) return Refuse(error, "sample " + std::to_string(i) + " overlaps another");
    end = static_cast<uint64_t>(s.offset) + s.length;
  }

  std::vector<uint8_t> cut;
  cut.reserve(module.size());
  size_t from = 0;
  for (size_t i : byPosition) {
    cut.insert(cut.end(), module.begin() + static_cast<std::ptrdiff_t>(from),
               module.begin() + spans[i].offset);
    cut.insert(cut.end(), 4, 0);
    from = spans[i].offset + spans[i].length;
  }
  cut.insert(cut.end(), module.begin() + static_cast<std::ptrdiff_t>(from), module.end());

  // Sample i goes in after samples 0..i-1: everything before it in the module is
  // back in place except later samples that lie before it, still 4-byte placeholders.
  offsets->assign(spans.size(), 0);
  for (size_t i = 0; i < spans.size(); ++i) {
    int64_t position = spans[i].offset;
    for (size_t j = i + 1; j < spans.size(); ++j) {
      if (spans[j].offset < spans[i].offset) position -= static_cast<int64_t>(spans[j].length) - 4;
    }
    (*offsets)[i] = static_cast<uint32_t>(position);
  }
  *structure = std::move(cut);
  return true;
}
