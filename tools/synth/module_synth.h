// The module synthesiser: builds complete IT, XM, S3M and MOD files from a small
// description, with sample data generated from simple waveforms, so that no test
// needs anybody else's music. Everything is deterministic: the same description
// gives the same bytes on every machine.
//
// Conventions shared by all writers:
// - A note in a `Cell` is 0 (no note), 1..120 (the format's own C-0 plus note-1
//   semitones: `NoteOf(5, 0)` is what the format itself calls "C-5"), or
//   `kNoteOff` / `kNoteCut`.
// - Effects are in the format's own numbering: IT and S3M use 1 = 'A' ... 26 = 'Z',
//   XM and MOD use 0x0..0xF (XM also 'G'.. as 16..); the kFx* constants name the
//   ones tests need. Effect 0 with parameter 0 is "no effect" everywhere.
// - Sample PCM ("the PCM you generated") is signed little-endian, in the order the
//   module stores it: IT stereo samples are planar (all left frames, then all right).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zsfsynth {

enum class Wave : uint8_t { kSine, kSquare, kSaw, kNoise, kSilence };

// How an IT writer stores one sample's data.
enum class ItStorage : uint8_t {
  kSigned,        // plain signed PCM (cvt bit 0 set)
  kUnsigned,      // plain unsigned PCM (cvt bit 0 clear; old trackers saved this)
  kCompressed214, // IT 2.14 compressed (flag bit 3), one delta integration
  kCompressed215, // IT 2.15 compressed (flag bit 3, cvt bit 2), two integrations
};
// The engine picks 2.14 or 2.15 decompression for the whole file by its cmwt
// field (0x215 = 2.15), so one IT cannot mix the two compressed kinds: the
// writer refuses such a description.

struct SampleSpec {
  std::string name;
  Wave wave = Wave::kSine;
  uint32_t frames = 1024;
  uint32_t period = 32;     // frames per waveform cycle (not used by noise)
  uint32_t seed = 1;        // noise generator seed
  double amplitude = 0.7;   // 0..1 of full scale
  double decay = 0.0;       // 0 keeps the level; d makes it fall to exp(-d) at the end
  uint8_t bits = 8;         // 8 or 16 (MOD: 8 only)
  uint8_t channels = 1;     // 2: stereo (IT, S3M), stored planar, length = frames
                            // per channel
  std::optional<Wave> rightWave;  // stereo: the right channel's own waveform (unset:
                                  // the left's, a quarter period later)
  bool loop = false;
  bool pingPong = false;
  uint32_t loopStart = 0;   // frames
  uint32_t loopEnd = 0;     // frames, exclusive; 0 with loop = whole sample
  uint32_t c5speed = 8363;  // IT C-5 / S3M C-4 rate; XM/MOD use relativeNote/finetune
  uint8_t volume = 64;      // default volume 0..64
  uint8_t panning = 128;    // XM sample panning 0..255
  int8_t relativeNote = 0;  // XM
  int8_t finetune = 0;      // XM: -128..127; MOD: -8..7
  ItStorage itStorage = ItStorage::kSigned;
};

// IT instrument mode and XM instruments. SAMPLES are indices into
// ModuleSpec::samples. KEYMAP gives, per note (IT: 120 notes from C-0, XM: 96
// notes from C-0), an index into SAMPLES; empty maps every note to SAMPLES[0].
// XM instruments own their samples: a sample listed by two XM instruments is
// written twice; samples listed by no XM instrument are not written.
struct InstrumentSpec {
  std::string name;
  std::vector<uint16_t> samples;
  std::vector<uint8_t> keymap;
  uint16_t fadeout = 256;
};

constexpr uint8_t kNoteOff = 254;  // IT "===", XM key off, S3M "^^"
constexpr uint8_t kNoteCut = 253;  // IT "^^^" (other formats: written as note off)
constexpr uint8_t kNoVolume = 255;

struct Cell {
  uint8_t note = 0;
  uint8_t instrument = 0;      // 1-based; 0 = none (sample number in sample mode)
  uint8_t volume = kNoVolume;  // 0..64 or kNoVolume (MOD: ignored)
  uint8_t effect = 0;
  uint8_t param = 0;
};

struct PatternSpec {
  uint16_t rows = 64;
  std::vector<Cell> cells;  // rows x channels, row-major; resized by Resize()
  void Resize(uint16_t rowCount, uint8_t channels) {
    rows = rowCount;
    cells.assign(static_cast<size_t>(rowCount) * channels, Cell());
  }
  Cell& At(uint16_t row, uint8_t channel, uint8_t channels) {
    return cells[static_cast<size_t>(row) * channels + channel];
  }
};

enum class ModVariant : uint8_t {
  kMK,         // "M.K.", 4 channels
  kMKExclaim,  // "M!K!", 4 channels (more than 64 patterns)
  kFlt4,       // "FLT4", 4 channels
  kFlt8,       // "FLT8", 8 channels stored as pairs of 4-channel patterns, the
               // order table holding even 4-channel pattern numbers. The engine
               // (0.9.3) cannot load these: its reader halves the order table
               // before it has read it. Use kChannels with 8 ("8CHN") to play.
  kChannels,   // "xCHN" (2..9 channels) or "xxCH" (10..32) from ModuleSpec::channels
  kFifteen,    // the old 15-sample layout without a tag, 4 channels
};

struct ModuleSpec {
  std::string title;
  uint8_t channels = 4;
  uint8_t speed = 6;
  uint8_t tempo = 125;
  std::vector<SampleSpec> samples;
  std::vector<InstrumentSpec> instruments;  // IT: non-empty = instrument mode
  std::vector<uint8_t> orders;              // pattern numbers (IT/S3M: 254 = skip)
  std::vector<PatternSpec> patterns;
  bool s3mSigned = false;                   // S3M ffi 1 (signed) instead of 2
  bool xmLinear = true;
  ModVariant modVariant = ModVariant::kMK;
};

// Effect numbers tests use, in each format's own numbering.
constexpr uint8_t kFxItSpeed = 1;      // Axx
constexpr uint8_t kFxItJump = 2;       // Bxx: jump to order xx
constexpr uint8_t kFxItBreak = 3;      // Cxx: pattern break to row xx
constexpr uint8_t kFxItTempo = 20;     // Txx
constexpr uint8_t kFxXmJump = 0xB;
constexpr uint8_t kFxXmBreak = 0xD;
constexpr uint8_t kFxXmSpeed = 0xF;    // F00 is speed zero (stop)
constexpr uint8_t kFxModJump = 0xB;
constexpr uint8_t kFxModBreak = 0xD;
constexpr uint8_t kFxModSpeed = 0xF;

// 1 + octave * 12 + semitone: the note value of a cell.
constexpr uint8_t NoteOf(int octave, int semitone) {
  return static_cast<uint8_t>(1 + octave * 12 + semitone);
}

// The generated PCM of one sample (see the conventions above).
std::vector<uint8_t> RenderSamplePcm(const SampleSpec& sample);

// A written module and, for every sample whose data it holds, where the data lies
// and the PCM it was made from, in the order the module lists samples (IT/S3M/MOD:
// sample number; XM: instrument by instrument).
struct WrittenSample {
  uint32_t offset = 0;
  uint32_t bytes = 0;          // stored bytes (compressed size for compressed IT)
  uint32_t frames = 0;
  uint8_t bits = 8;
  uint8_t channels = 1;
  uint16_t index = 0;          // sample slot in SPEC.samples
  std::vector<uint8_t> pcm;    // signed little-endian PCM, stored channel order
};
struct ModuleFile {
  std::vector<uint8_t> bytes;
  std::vector<WrittenSample> samples;
};

// Writers. Each returns false with a reason in ERROR when SPEC cannot be expressed
// in the format (too many channels, 16-bit MOD samples, a note out of range, ...).
bool WriteIt(const ModuleSpec& spec, ModuleFile* out, std::string* error);
bool WriteXm(const ModuleSpec& spec, ModuleFile* out, std::string* error);
bool WriteS3m(const ModuleSpec& spec, ModuleFile* out, std::string* error);
bool WriteMod(const ModuleSpec& spec, ModuleFile* out, std::string* error);
// By module kind: 0 IT, 1 XM, 2 S3M, 3 MOD.
bool WriteModule(const ModuleSpec& spec, uint32_t kind, ModuleFile* out, std::string* error);

// ---- Ready-made descriptions and files for tests and the demo ----

// A small valid song of KIND (0..3), 4 channels, with SAMPLE_COUNT samples (sine,
// square, saw, noise in turn; every second one 16-bit where the format allows,
// every other one looped) and ORDER_COUNT orders over as many 64-row patterns with
// a note on every 4th row, at speed 3, tempo 125: 3.84 s an order. The base every
// builder below starts from.
ModuleSpec BasicSpec(uint32_t kind, int sampleCount = 2, int orderCount = 2);

// An IT in instrument mode, two instruments of three samples each: signed and
// unsigned, mono and stereo, 8 and 16-bit, and 2.14-compressed 8-bit mono and
// 16-bit stereo ones (set those to kCompressed215 for the 2.15 form).
ModuleSpec ItInstrumentSpec();

// An XM with two instruments holding several 8 and 16-bit samples each, mapped
// by a keymap over octaves.
ModuleSpec XmMultiSampleSpec();

// A tune whose rendering depends on every rounding of the engine's pitch and volume
// arithmetic: S3M (Amiga periods), two long looped notes gliding in opposite
// directions by portamento on every tick. A pitch step rounded once differently
// shifts a note's phase until the note ends. 2 orders, 15.36 s.
ModuleSpec GlideSpec();

// The demo tune: about 35 s of melody, bass and drums at speed 6, tempo 125,
// made from synthesised waveforms. IT sample mode, 4 channels.
ModuleSpec DemoTuneSpec();
std::vector<uint8_t> MakeDemoTune();

}  // namespace zsfsynth
