#include "container/song.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "container/byte_stream.h"
#include "container/file_kind.h"
#include "container/image_assembly.h"
#include "container/module_format.h"
#include "platform/file_map.h"
#include "samples/sample_store.h"

// The count a load reports before it has read anything.
static constexpr uint32_t kSampleCountNotLoaded = 666;

static const char kNotASongName[] = "the name must end in .zsf or .ztf (the reader is chosen by the extension)";

Song::Song() : store_(SampleStoreCreate()) {}

Song::~Song() {
  if (loaded_) Reset();
  std::free(built_.data);
  ReleaseSongBody(&body_);
}

uint32_t Song::Reset() {
  std::free(built_.data);
  built_ = ModuleImage{};
  if (!loaded_) return 1;
  ReleaseSongBody(&body_);
  loaded_ = 0;
  moduleKind_ = 0;
  return 0;
}

uint32_t Song::LoadFile(const char* name, uint32_t* sampleCount) {
  // Read where it lies: the mapped file is the image the load reads.
  MappedFile mapped;
  if (mapped.Open(name)) {
    static const uint8_t kEmpty = 0;
    return LoadImage(mapped.data() ? mapped.data() : &kEmpty, mapped.size(), name, sampleCount,
                     FileKindFromName(name));
  }
  StreamOwner stream(StreamOpenFile(name));
  if (!stream) {
    failure_ = Failure{"open", std::strerror(errno)};
    return 1;
  }
  return LoadStream(stream.get(), sampleCount, FileKindFromName(name));
}

uint32_t Song::LoadStream(ByteStream* stream, uint32_t* sampleCount, uint32_t fileKind) {
  if (!stream) {
    LoadImage(nullptr, 0, nullptr, sampleCount, fileKind);
    return Refuse("open", "no stream to read");
  }
  // A memory stream is read where it lies; a file is read into a buffer first.
  if (!stream->file && stream->base && stream->position == 0) {
    return LoadImage(stream->base, stream->size, stream->path, sampleCount, fileKind);
  }
  const uint32_t size = stream->size;
  auto* image = static_cast<uint8_t*>(std::malloc(size ? size : 1));
  if (!image) {
    LoadImage(nullptr, 0, nullptr, sampleCount, kFileKindUnknown);
    return Refuse("read", "out of memory for " + std::to_string(size) + " bytes");
  }
  int32_t got = StreamRead(image, size, stream);
  uint32_t imageSize = got > 0 ? static_cast<uint32_t>(got) : 0;
  const uint32_t result = LoadImage(image, imageSize, stream->path, sampleCount, fileKind);
  std::free(image);
  return result;
}

uint32_t Song::LoadImage(const uint8_t* image, uint32_t imageSize, const char* path, uint32_t* sampleCount,
                         uint32_t fileKind) {
  Reset();
  std::free(built_.data);
  built_ = ModuleImage{};
  // A failed load is not "loaded", so Reset leaves what it stored; free it here so
  // that repeated failed loads (a password retry, a playlist scan) leak nothing.
  ReleaseSongBody(&body_);
  major_ = 0;
  minor_ = 0;
  failure_ = Failure{};
  if (sampleCount) *sampleCount = kSampleCountNotLoaded;

  if (fileKind == kFileKindZtf) fileKind = kFileKindZsf;
  body_.moduleKind = static_cast<uint8_t>(fileKind);
  if (!image) return 1;  // the caller records why
  if (fileKind == kFileKindUnknown) return Refuse("name", kNotASongName);
  moduleKind_ = body_.moduleKind;

  uint32_t result = 1;
  std::unique_ptr<ModuleFormat> format(CreateFormat(fileKind));
  if (format) {
    if (fileKind == kFileKindZsf) {
      auto* zsf = static_cast<ZsfFormat*>(format.get());
      zsf->SetSourcePath(path ? path : "");
      zsf->SetSampleStore(store_.get());
      zsf->SetPackStream(packStream_);
      zsf->SetFailureRecord(&failure_);
      if (buildWhileLoading_) zsf->SetImageTarget(&built_);
      result = format->Load(image, imageSize, &body_);
      major_ = zsf->VersionMajor();
      minor_ = zsf->VersionMinor();
    } else if ((result = format->Load(image, imageSize, &body_)) != 0) {
      Refuse("name", kNotASongName);  // a plain module's format reads no songs
    }
  } else {
    Refuse("name", kNotASongName);  // no reader for the kind
  }

  moduleKind_ = body_.moduleKind;
  if (sampleCount) *sampleCount = body_.sampleCount;
  if (result != 0) {
    ReleaseSongBody(&body_);
    std::free(built_.data);
    built_ = ModuleImage{};
    return 1;
  }
  loaded_ = 1;
  return 0;
}

uint32_t Song::BuildModuleImage(ModuleImage* out) {
  out->size = 0;
  out->data = nullptr;
  failure_ = Failure{};
  // Nothing loaded means nothing to rebuild, not an empty module.
  if (!loaded_) return Refuse("rebuild", "no song is loaded");
  auto noKind = [this] {
    return "the song names no module kind that can be rebuilt (module kind " + std::to_string(moduleKind_) + ")";
  };
  std::unique_ptr<ModuleFormat> format(CreateFormat(moduleKind_));
  if (!format) return Refuse("rebuild", noKind());
  if (built_.data) return TakeBuiltImage(format.get(), out);
  // A module kind that cannot encode samples (a song naming ".ZSF" as its module)
  // cannot be rebuilt: a failure, not an empty success.
  if (format->EncodeSamples(out, &body_) != 0) {
    format->RestoreSamples(&body_);
    return Refuse("rebuild", moduleKind_ > kFileKindMod ? noKind() : "out of memory for the stored samples");
  }
  uint32_t result = AssembleModuleImage(body_, major_, format.get(), out, &failure_);
  format->RestoreSamples(&body_);
  return result;
}

uint32_t Song::TakeBuiltImage(ModuleFormat* format, ModuleImage* out) {
  ModuleImage image = built_;
  built_ = ModuleImage{};
  // The stored form of the module kind, made in place; a kind that cannot encode
  // samples cannot be rebuilt, as on the usual road.
  uint32_t failed = body_.sampleCount == 0 ? format->EncodeSampleInPlace(image.data, 0, false) : 0;
  for (uint32_t i = 0; i < body_.sampleCount && !failed; ++i) {
    failed = format->EncodeSampleInPlace(image.data + body_.sampleOffsets[i], body_.records[i].size,
                                         body_.records[i].bits == 16);
  }
  if (failed) {
    std::free(image.data);
    return Refuse("rebuild", "the song names no module kind that can be rebuilt (module kind " +
                                 std::to_string(moduleKind_) + ")");
  }
  *out = image;
  return 0;
}

void Song::ReleaseSamples() { SampleStoreRelease(store_.get()); }

void Song::SetPasswordKey(uint32_t passwordKey) { SampleStoreSetKey(store_.get(), passwordKey); }
