// ModuleFormat: the family through which files are read and module images are
// encoded. Each object lives for one operation: created for a kind, used, deleted.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "container/song_body.h"

class ByteCursor;
struct ByteStream;
struct Failure;
struct SampleStore;
struct SampleSourceTable;

class ModuleFormat {
 public:
  ModuleFormat() = default;
  ModuleFormat(const ModuleFormat&) = delete;
  ModuleFormat& operator=(const ModuleFormat&) = delete;

  // Reads a whole file image into BODY. 0 success, 1 failure (plain modules: refused).
  virtual uint32_t Load(const uint8_t* image, uint32_t size, SongBody* body) = 0;
  // Turns the body's raw signed PCM into the form the module kind stores. 0, or a
  // failure code (1: not supported).
  virtual uint32_t EncodeSamples(ModuleImage* out, SongBody* body) = 0;
  // The same for one sample of SIZE bytes already in its place in an image. 0, or 1
  // when the kind cannot encode samples.
  virtual uint32_t EncodeSampleInPlace(uint8_t*, uint32_t, bool) { return 0; }
  // Would find the sample offsets of a module image without stored ones (one per
  // sample into OFFSETS); no format here can, so the base answers 1.
  virtual uint32_t LocateSamples(const uint8_t* image, uint32_t size,
                                 std::vector<uint32_t>* offsets);
  // Frees samples saved and never restored.
  virtual ~ModuleFormat();

  // Puts the saved raw data back into the body's records and drops the copies. 0.
  uint32_t RestoreSamples(SongBody* body);
  // Saves the samples and converts them in one: the raw buffers move into the saved records
  // (no copy) and each record gets a new buffer with CONVERT's output, so the body
  // holds the stored form until RestoreSamples hands the raw buffers back.
  uint32_t ConvertSamples(void (*convert)(const uint8_t*, uint8_t*, uint32_t, bool), SongBody* body);

 protected:
  SampleRecord* saved_ = nullptr;
  uint32_t savedCount_ = 0;
};

class ItFormat : public ModuleFormat {
 public:
  uint32_t Load(const uint8_t*, uint32_t, SongBody*) override { return 1; }
  uint32_t EncodeSamples(ModuleImage*, SongBody*) override { return 0; }
};

class ModFormat : public ModuleFormat {
 public:
  uint32_t Load(const uint8_t*, uint32_t, SongBody*) override { return 1; }
  uint32_t EncodeSamples(ModuleImage*, SongBody*) override { return 0; }
};

class XmFormat : public ModuleFormat {
 public:
  uint32_t Load(const uint8_t*, uint32_t, SongBody*) override { return 1; }
  uint32_t EncodeSamples(ModuleImage* out, SongBody* body) override;
  uint32_t EncodeSampleInPlace(uint8_t* sample, uint32_t size, bool sixteenBit) override;
};

class S3mFormat : public ModuleFormat {
 public:
  uint32_t Load(const uint8_t*, uint32_t, SongBody*) override { return 1; }
  uint32_t EncodeSamples(ModuleImage* out, SongBody* body) override;
  uint32_t EncodeSampleInPlace(uint8_t* sample, uint32_t size, bool sixteenBit) override;
};

class ZsfFormat : public ModuleFormat {
 public:
  uint32_t Load(const uint8_t* image, uint32_t size, SongBody* body) override;
  uint32_t EncodeSamples(ModuleImage*, SongBody*) override { return 1; }
  uint32_t EncodeSampleInPlace(uint8_t*, uint32_t, bool) override { return 1; }

  void SetSourcePath(const char* path) { sourcePath_ = path ? path : ""; }
  void SetSampleStore(SampleStore* store) {
    if (store) store_ = store;
  }
  void SetPackStream(ByteStream* stream) { packStream_ = stream; }
  // Where a refused load records its step and reason (null: nowhere).
  void SetFailureRecord(Failure* failure) { failure_ = failure; }
  // Asks the load to assemble the module image as it derives the samples, each
  // written straight into its place. When the song allows it (a version-2 body whose
  // samples lie in order) IMAGE gets the image (malloc'd; the records then hold no
  // data); otherwise it stays {0, null} and the records hold the samples as usual.
  void SetImageTarget(ModuleImage* image) { imageTarget_ = image; }

  uint8_t VersionMajor() const { return major_; }
  uint8_t VersionMinor() const { return minor_; }

 private:
  uint32_t LoadV1Body(ByteCursor& in, SongBody* body);
  uint32_t LoadV2Body(ByteCursor& in, SongBody* body);
  uint32_t LoadPack(const uint32_t* wanted, uint32_t count);
  uint32_t DeriveIntoImage(const SampleSourceTable& table, SongBody* body);

  std::string sourcePath_;
  std::string packName_;
  uint8_t major_ = 0;
  uint8_t minor_ = 0;
  uint8_t moduleKind_ = 0;
  SampleStore* store_ = nullptr;
  ByteStream* packStream_ = nullptr;
  Failure* failure_ = nullptr;
  ModuleImage* imageTarget_ = nullptr;
};

// A new format object for FILE_KIND (5 reads as 4), or null for any other kind.
ModuleFormat* CreateFormat(uint32_t fileKind);

// Sample conversions into the stored forms of S3M (sign flip) and XM (delta) of
// SIZE bytes FROM into TO (separate buffers); a 16-bit sample's odd last byte is
// copied unchanged.
void FlipSampleSign(const uint8_t* from, uint8_t* to, uint32_t size, bool sixteenBit);
void DeltaEncodeSample(const uint8_t* from, uint8_t* to, uint32_t size, bool sixteenBit);
// The same conversions over a sample in place.
void FlipSampleSignInPlace(uint8_t* sample, uint32_t size, bool sixteenBit);
void DeltaEncodeSampleInPlace(uint8_t* sample, uint32_t size, bool sixteenBit);
