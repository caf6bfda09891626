// Ready-made songs: the base description tests start from, the sample-format
// showcases and the demo tune.
#include "tools/synth/synth_internal.h"

namespace zsfsynth {
namespace {

constexpr uint32_t kIt = 0, kXm = 1, kS3m = 2, kMod = 3;

std::vector<uint8_t> MustWrite(const ModuleSpec& spec, uint32_t kind) {
  ModuleFile file;
  std::string error;
  if (!WriteModule(spec, kind, &file, &error)) return {};
  return std::move(file.bytes);
}

PatternSpec Empty(uint16_t rows, uint8_t channels) {
  PatternSpec p;
  p.Resize(rows, channels);
  return p;
}

}  // namespace

bool WriteModule(const ModuleSpec& spec, uint32_t kind, ModuleFile* out, std::string* error) {
  switch (kind) {
    case kIt: return WriteIt(spec, out, error);
    case kXm: return WriteXm(spec, out, error);
    case kS3m: return WriteS3m(spec, out, error);
    case kMod: return WriteMod(spec, out, error);
    default: return detail::Fail(error, "unknown module kind " + std::to_string(kind));
  }
}

ModuleSpec BasicSpec(uint32_t kind, int sampleCount, int orderCount) {
  ModuleSpec spec;
  spec.title = "zsf basic";
  spec.channels = 4;
  const bool sixteenOk = kind != kMod;
  for (int i = 0; i < sampleCount; ++i) {
    SampleSpec s;
    s.name = "basic " + std::to_string(i + 1);
    s.wave = static_cast<Wave>(i % 4);
    s.seed = static_cast<uint32_t>(i + 1);
    s.period = 16u << (i % 3);
    s.frames = 1000u + 200u * static_cast<uint32_t>(i);
    s.bits = sixteenOk && i % 2 == 1 ? 16 : 8;
    s.loop = i % 2 == 0;
    s.c5speed = 8363;
    s.volume = 48;
    spec.samples.push_back(s);
  }
  // Patterns of 64 rows suit every format; a note on every 4th row.
  const uint8_t octave = kind == kMod ? 2 : 4;
  for (int p = 0; p < orderCount; ++p) {
    PatternSpec pat = Empty(64, spec.channels);
    for (uint16_t row = 0; row < 64; row += 4) {
      Cell& c = pat.At(row, static_cast<uint8_t>((row / 4) % spec.channels), spec.channels);
      c.note = NoteOf(octave, (row / 4 + p) % 12);
      c.instrument = sampleCount ? static_cast<uint8_t>(1 + (row / 4) % sampleCount) : 0;
    }
    spec.patterns.push_back(pat);
    spec.orders.push_back(static_cast<uint8_t>(p));
  }
  spec.speed = 3;
  if (kind == kMod && !spec.patterns.empty()) {
    // MOD has no speed in its header: set it on the first row.
    Cell& first = spec.patterns[0].At(0, 0, spec.channels);
    first.effect = kFxModSpeed;
    first.param = spec.speed;
  }
  return spec;
}

ModuleSpec ItInstrumentSpec() {
  ModuleSpec spec = BasicSpec(kIt, 0, 2);
  spec.title = "zsf instruments";
  const ItStorage storages[] = {ItStorage::kSigned, ItStorage::kUnsigned,
                                ItStorage::kCompressed214, ItStorage::kSigned,
                                ItStorage::kCompressed214, ItStorage::kUnsigned};
  for (int i = 0; i < 6; ++i) {
    SampleSpec s;
    s.name = "it " + std::to_string(i + 1);
    s.wave = static_cast<Wave>(i % 4);
    s.seed = 77u + static_cast<uint32_t>(i);
    s.period = 24;
    s.frames = 700u + 300u * static_cast<uint32_t>(i);
    s.bits = i % 2 || i == 4 ? 16 : 8;
    s.channels = i >= 3 ? 2 : 1;
    s.itStorage = storages[i];
    s.loop = i % 3 == 0;
    s.c5speed = 8363 * 2;
    spec.samples.push_back(s);
  }
  InstrumentSpec low, high;
  low.name = "low";
  low.samples = {0, 1, 2};
  low.keymap.assign(120, 0);
  for (int n = 48; n < 120; ++n) low.keymap[n] = n < 72 ? 1 : 2;
  high.name = "high";
  high.samples = {3, 4, 5};
  high.keymap.assign(120, 0);
  for (int n = 60; n < 120; ++n) high.keymap[n] = n < 84 ? 1 : 2;
  spec.instruments = {low, high};
  for (PatternSpec& p : spec.patterns)
    for (Cell& c : p.cells)
      if (c.note) c.instrument = static_cast<uint8_t>(1 + (c.note % 2));
  return spec;
}

ModuleSpec XmMultiSampleSpec() {
  ModuleSpec spec = BasicSpec(kXm, 0, 2);
  spec.title = "zsf multisample";
  for (int i = 0; i < 7; ++i) {
    SampleSpec s;
    s.name = "xm " + std::to_string(i + 1);
    s.wave = static_cast<Wave>((i + 1) % 4);
    s.seed = 300u + static_cast<uint32_t>(i);
    s.period = 20u + 4u * static_cast<uint32_t>(i);
    s.frames = 600u + 250u * static_cast<uint32_t>(i);
    s.bits = i % 3 == 1 ? 16 : 8;
    s.loop = i % 2 == 0;
    s.pingPong = i == 4;
    s.relativeNote = static_cast<int8_t>(i - 3);
    s.finetune = static_cast<int8_t>(i * 8);
    s.panning = static_cast<uint8_t>(64 + 20 * i);
    spec.samples.push_back(s);
  }
  InstrumentSpec a, b;
  a.name = "four samples";
  a.samples = {0, 1, 2, 3};
  a.keymap.assign(96, 0);
  for (int n = 0; n < 96; ++n) a.keymap[n] = static_cast<uint8_t>(n / 24);
  b.name = "three samples";
  b.samples = {4, 5, 6};
  b.keymap.assign(96, 0);
  for (int n = 0; n < 96; ++n) b.keymap[n] = static_cast<uint8_t>(n < 40 ? 0 : n < 60 ? 1 : 2);
  spec.instruments = {a, b};
  for (PatternSpec& p : spec.patterns)
    for (Cell& c : p.cells)
      if (c.note) c.instrument = static_cast<uint8_t>(1 + (c.note % 2));
  return spec;
}

ModuleSpec GlideSpec() {
  ModuleSpec spec;
  spec.title = "zsf glide";
  spec.channels = 2;
  spec.speed = 6;
  spec.tempo = 125;
  SampleSpec saw;
  saw.name = "glide saw";
  saw.wave = Wave::kSaw;
  saw.period = 50;
  saw.frames = 50 * 20;
  saw.loop = true;
  saw.c5speed = 22050;
  SampleSpec sine = saw;
  sine.name = "glide sine";
  sine.wave = Wave::kSine;
  sine.period = 37;
  sine.frames = 37 * 27;
  sine.bits = 16;
  sine.c5speed = 44100;
  spec.samples = {saw, sine};
  // S3M effects: E raises the period (the pitch falls) and F lowers it, by the
  // parameter on every tick after a row's first.
  constexpr uint8_t kDown = 5, kUp = 6;
  for (int p = 0; p < 2; ++p) {
    PatternSpec pat = Empty(64, spec.channels);
    Cell& a = pat.At(0, 0, spec.channels);
    a.note = NoteOf(4, p ? 7 : 0);
    a.instrument = 1;
    Cell& b = pat.At(0, 1, spec.channels);
    b.note = NoteOf(4, p ? 4 : 9);
    b.instrument = 2;
    for (uint16_t row = 1; row < 64; ++row) {
      Cell& down = pat.At(row, 0, spec.channels);
      down.effect = row < 32 ? kDown : kUp;
      down.param = static_cast<uint8_t>(2 + row % 3);
      Cell& up = pat.At(row, 1, spec.channels);
      up.effect = row < 32 ? kUp : kDown;
      up.param = static_cast<uint8_t>(2 + row % 2);
    }
    spec.patterns.push_back(pat);
    spec.orders.push_back(static_cast<uint8_t>(p));
  }
  return spec;
}

// The demo: I-vi-IV-V in C, a square-wave lead over a saw bass, kick, snare and
// hat from sine and noise. 4 patterns of 64 rows at speed 6, tempo 125, played
// A A' B A'' = about 31 s.
ModuleSpec DemoTuneSpec() {
  ModuleSpec spec;
  spec.title = "zsf demo tune";
  spec.channels = 4;
  spec.speed = 6;
  spec.tempo = 125;

  SampleSpec lead;  // 1
  lead.name = "lead";
  lead.wave = Wave::kSquare;
  lead.period = 32;
  lead.frames = 32 * 64;
  lead.amplitude = 0.35;
  lead.loop = true;
  lead.c5speed = 16744;  // 32-frame cycle: C-5 sounds at 523 Hz
  lead.volume = 40;
  SampleSpec bass = lead;  // 2
  bass.name = "bass";
  bass.wave = Wave::kSaw;
  bass.amplitude = 0.6;
  bass.volume = 52;
  SampleSpec kick;  // 3
  kick.name = "kick";
  kick.wave = Wave::kSine;
  kick.period = 200;
  kick.frames = 4000;
  kick.amplitude = 0.95;
  kick.decay = 6.0;
  kick.c5speed = 22050;
  kick.bits = 16;
  SampleSpec snare;  // 4
  snare.name = "snare";
  snare.wave = Wave::kNoise;
  snare.seed = 12345;
  snare.frames = 3000;
  snare.amplitude = 0.6;
  snare.decay = 5.0;
  snare.c5speed = 22050;
  snare.volume = 44;
  SampleSpec hat = snare;  // 5
  hat.name = "hat";
  hat.seed = 999;
  hat.frames = 900;
  hat.amplitude = 0.4;
  hat.decay = 7.0;
  hat.c5speed = 44100;
  hat.volume = 28;
  spec.samples = {lead, bass, kick, snare, hat};

  // Chord roots (semitones from C) and a melody per bar as scale steps.
  const int roots[4] = {0, 9, 5, 7};  // C Am F G
  const int chordTones[4][3] = {{0, 4, 7}, {9, 12, 16}, {5, 9, 12}, {7, 11, 14}};
  auto note = [](int octave, int semis) {
    return NoteOf(octave + semis / 12, semis % 12);
  };
  auto makePattern = [&](int variant) {
    PatternSpec p;
    p.Resize(64, spec.channels);
    for (int bar = 0; bar < 4; ++bar) {
      const int base = bar * 16;
      // Lead: chord tones in a pattern that changes with the variant.
      const int steps[3][8] = {{0, 1, 2, 1, 0, 2, 1, 2},
                               {2, 1, 0, 1, 2, 2, 1, 0},
                               {0, 2, 1, 2, 0, 1, 2, 2}};
      for (int k = 0; k < 8; ++k) {
        if (variant == 0 && k % 4 == 3) continue;
        Cell& c = p.At(static_cast<uint16_t>(base + 2 * k), 0, spec.channels);
        int tone = chordTones[bar][steps[variant][k]];
        c.note = note(5, tone + (variant == 2 && k == 7 ? 12 : 0));
        c.instrument = 1;
      }
      // Bass: root on the beat, octave up on the off-beat.
      for (int k = 0; k < 4; ++k) {
        Cell& c = p.At(static_cast<uint16_t>(base + 4 * k), 1, spec.channels);
        c.note = note(3, roots[bar] + (k % 2 ? 12 : 0));
        c.instrument = 2;
      }
      // Drums: kick on 1 and 3, snare on 2 and 4, hats between.
      for (int k = 0; k < 4; ++k) {
        Cell& d = p.At(static_cast<uint16_t>(base + 4 * k), 2, spec.channels);
        d.note = NoteOf(5, 0);
        d.instrument = k % 2 ? 4 : 3;
        Cell& h = p.At(static_cast<uint16_t>(base + 4 * k + 2), 3, spec.channels);
        h.note = NoteOf(5, 0);
        h.instrument = 5;
      }
    }
    return p;
  };
  spec.patterns = {makePattern(0), makePattern(1), makePattern(2)};
  // An ending: one bar of C with a long lead note, then silence.
  PatternSpec end;
  end.Resize(64, spec.channels);
  Cell& e0 = end.At(0, 0, spec.channels);
  e0.note = NoteOf(5, 0);
  e0.instrument = 1;
  Cell& e1 = end.At(0, 1, spec.channels);
  e1.note = NoteOf(3, 0);
  e1.instrument = 2;
  Cell& e2 = end.At(0, 2, spec.channels);
  e2.note = NoteOf(5, 0);
  e2.instrument = 3;
  end.At(16, 0, spec.channels).note = kNoteCut;
  end.At(16, 1, spec.channels).note = kNoteCut;
  Cell& stop = end.At(31, 0, spec.channels);
  stop.effect = kFxItBreak;
  spec.patterns.push_back(end);
  spec.orders = {0, 1, 0, 2, 3};
  return spec;
}

std::vector<uint8_t> MakeDemoTune() { return MustWrite(DemoTuneSpec(), kIt); }

}  // namespace zsfsynth
