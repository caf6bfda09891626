// The module packer behind `zsftool pack`: plain tracker modules in, one ZSF song
// per module and one shared ZSP pack out. Each song stores its module with every
// sample cut out (a 4-byte placeholder in its place); the pack stores every sample
// once, however many of the modules hold the same bytes.
//
// A pack entry holds exactly what the rebuild turns back into the module's stored
// bytes: raw signed PCM for IT and MOD, XM samples delta-decoded, S3M samples with
// their sign flipped. IT modules with compressed (or unsigned, or big-endian)
// samples are first rewritten to store plain signed PCM, so their songs give back
// that rewrite.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace zsfpack {

// The kind of a module comes from its content (tools/modules/module_kind.h); a name
// whose extension says otherwise only earns a note.
struct ModuleInput {
  std::string path;            // names the module in messages
  std::vector<uint8_t> bytes;  // the module file
  std::string songStem{};      // its song's name without extension; empty: the file's
};

// A module file still to be read, for PackModuleFiles.
struct ModuleSource {
  std::string path;
  std::string songStem;  // empty: the file's name without extension
  uint64_t size = 0;     // as listed, for progress reports only
};

// Where a batch stands, before each module is packed.
struct PackProgress {
  size_t module;       // 1-based number of the module about to be packed
  size_t modules;      // how many there are
  uint64_t bytesDone;  // bytes of the modules before it
  uint64_t bytes;      // bytes of all (as listed; 0 when not known)
  const std::string* path;
};

struct PackOptions {
  uint8_t songMajor = 2, songMinor = 2;  // any version the song reader accepts
  uint8_t packMajor = 2, packMinor = 3;  // any version the pack reader accepts
  bool compress = false;                 // LZO1X entry bodies
  bool vorbis = false;                   // Vorbis-coded entries (lossy)
  float vorbisQuality = 0.4f;            // -0.1 .. 1.0
  std::string password;                  // non-empty: the pack is scrambled
  std::string packName;                  // the pack's file name as songs name it (<= 26)
  bool tune = false;                     // ZTF tune files instead of ZSF songs
  // Added to every song's tags; a name already taken from the module (title,
  // artist) gets this value instead. Names compare ignoring ASCII case.
  std::vector<std::pair<std::string, std::string>> tags;
  // Batches: a module that cannot be packed is left out and listed in
  // PackResult::skipped with its reason, instead of failing the whole run.
  bool skipUnpackable = false;
  std::function<void(const PackProgress&)> progress;  // called before each module
};

// What went wrong, for "zsftool: PATH: STEP: REASON".
struct PackError {
  std::string path;
  std::string step;
  std::string reason;
  std::string Text() const { return path + ": " + step + ": " + reason; }
};

struct PackedSong {
  std::string source;             // the module's path
  std::string fileName;           // NAME.zsf or NAME.ztf (no folder)
  std::vector<uint8_t> bytes;     // the song file
  std::vector<uint8_t> module;    // the module the song gives back (IT: plain-PCM rewrite)
  uint32_t moduleKind = 0;        // 0 IT, 1 XM, 2 S3M, 3 MOD, from the content
  std::string note;               // non-empty when the name's extension names another kind
  uint32_t sampleCount = 0;       // samples cut out of the module
  std::string tagText;            // the song's tag text
};

struct PackResult {
  std::vector<PackedSong> songs;
  std::vector<uint8_t> pack;      // the pack file
  uint32_t entryCount = 0;        // entries in the pack
  uint32_t sampleCount = 0;       // samples over all songs (>= entryCount)
  uint32_t codedEntries = 0;      // entries stored Vorbis-coded
  uint64_t rawSampleBytes = 0;    // bytes of PCM the entries hold before compression/coding
  std::vector<PackError> skipped; // with skipUnpackable: the modules left out, in order
};

// A module's name without folder and extension: its song's name unless told otherwise.
std::string SongStem(const std::string& path);

// Parses "MAJOR.MINOR" (minor in whole units: "1.9" is below "1.12").
bool ParseVersion(const std::string& text, uint8_t* major, uint8_t* minor);

// Packs MODULES in memory. False with ERROR set when the options contradict each
// other, when two songs would get the same name, or when a module cannot be read or
// cannot be expressed in the chosen versions (with skipUnpackable: when none could).
bool PackModules(const std::vector<ModuleInput>& modules, const PackOptions& options,
                 PackResult* result, PackError* error);

// Reads each file just before packing it and packs them; a song's file name is its
// stem (else the module's name) with the song's extension.
bool PackModuleFiles(const std::vector<ModuleSource>& files, const PackOptions& options,
                     PackResult* result, PackError* error);

// Writes the songs into OUT_DIR (made if missing) and the pack to PACK_PATH. Every
// file goes to a temporary name beside its target and is synced; only when all are
// written are they renamed, so a failure leaves no half-written song or pack and
// every old file as it was.
bool WritePackResult(const PackResult& result, const std::string& outDir,
                     const std::string& packPath, PackError* error);

}  // namespace zsfpack
