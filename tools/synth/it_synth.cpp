// The IT writer: header, orders, offset tables, instruments, sample headers,
// patterns and sample data, in the order trackers save them (the engine reads the
// parts in offset order and never seeks back).
#include "container/byte_writer.h"
#include "tools/modules/module_formats.h"
#include "tools/synth/synth_internal.h"

namespace zsfsynth {
namespace {

using detail::Fail;
using namespace zsfmod;  // the format's constants, shared with the layout reader

void Envelope(ByteWriter* w, uint8_t level) {
  w->u8(0);  // off
  w->u8(2);  // nodes
  w->u8(0); w->u8(0); w->u8(0); w->u8(0);
  for (int i = 0; i < 25; ++i) {
    w->u8(i < 2 ? level : 0);
    w->u16(i == 1 ? 100 : 0);
  }
  w->u8(0);
}

void Instrument(ByteWriter* w, const InstrumentSpec& in) {
  size_t start = w->size();
  w->text("IMPI", 4);
  w->text("", 12);
  w->u8(0);
  w->u8(0); w->u8(0); w->u8(0);  // NNA cut, no duplicate check
  w->u16(in.fadeout);
  w->u8(0); w->u8(60);           // pitch-pan separation, centre
  w->u8(128); w->u8(32);         // global volume, default pan (unused)
  w->u8(0); w->u8(0);            // random volume, pan
  w->u16(kItCmwt214);
  w->u8(static_cast<uint8_t>(in.samples.size()));
  w->u8(0);
  w->text(in.name, 26);
  w->u8(0); w->u8(0);            // filter
  w->u8(0); w->u8(0); w->u16(0xFFFF);  // MIDI channel, program, bank
  for (int note = 0; note < 120; ++note) {
    uint8_t pick = note < static_cast<int>(in.keymap.size()) ? in.keymap[note] : 0;
    uint16_t sample = pick < in.samples.size() ? in.samples[pick] : in.samples[0];
    w->u8(static_cast<uint8_t>(note));
    w->u8(static_cast<uint8_t>(sample + 1));
  }
  Envelope(w, 64);
  Envelope(w, 32);
  Envelope(w, 32);
  while (w->size() - start < kItInstrumentSize) w->u8(0);
}

uint8_t ItNote(uint8_t note) {
  if (note == kNoteOff) return kItNoteOff;
  if (note == kNoteCut) return kItNoteCut;
  return static_cast<uint8_t>(note - 1);
}

// Packed rows: every used cell names its channel and a fresh mask (no "last value"
// reuse, which readers need not remember).
std::vector<uint8_t> PackPattern(const PatternSpec& p, uint8_t channels) {
  ByteWriter w;
  for (uint16_t row = 0; row < p.rows; ++row) {
    for (uint8_t ch = 0; ch < channels; ++ch) {
      const Cell& c = p.cells[static_cast<size_t>(row) * channels + ch];
      uint8_t mask = 0;
      if (c.note) mask |= 1;
      if (c.instrument) mask |= 2;
      if (c.volume != kNoVolume) mask |= 4;
      if (c.effect || c.param) mask |= 8;
      if (!mask) continue;
      w.u8(static_cast<uint8_t>((ch + 1) | 0x80));
      w.u8(mask);
      if (mask & 1) w.u8(ItNote(c.note));
      if (mask & 2) w.u8(c.instrument);
      if (mask & 4) w.u8(c.volume);
      if (mask & 8) { w.u8(c.effect); w.u8(c.param); }
    }
    w.u8(0);
  }
  return w.take();
}

// The stored bytes of one sample and its flags/conversion bytes.
struct StoredSample {
  std::vector<uint8_t> pcm;
  std::vector<uint8_t> stored;
  uint8_t flags = 0;
  uint8_t cvt = 0;
};

StoredSample Store(const SampleSpec& s) {
  StoredSample out;
  out.pcm = RenderSamplePcm(s);
  out.flags = kItSmpExists;
  if (s.bits == 16) out.flags |= kItSmp16;
  if (s.channels == 2) out.flags |= kItSmpStereo;
  if (s.loop) out.flags |= kItSmpLoop | (s.pingPong ? kItSmpPingPong : 0);
  switch (s.itStorage) {
    case ItStorage::kSigned:
      out.cvt = kItCvtSigned;
      out.stored = out.pcm;
      break;
    case ItStorage::kUnsigned:
      out.stored = out.pcm;
      for (size_t i = 0; i < out.stored.size(); ++i)
        if (s.bits == 8 || i % 2 == 1) out.stored[i] ^= 0x80;
      break;
    case ItStorage::kCompressed214:
    case ItStorage::kCompressed215: {
      bool it215 = s.itStorage == ItStorage::kCompressed215;
      out.flags |= kItSmpCompressed;
      out.cvt = kItCvtSigned | (it215 ? kItCvtDelta : 0);
      size_t channelBytes = static_cast<size_t>(s.frames) * (s.bits / 8);
      for (uint8_t ch = 0; ch < s.channels; ++ch) {
        std::vector<uint8_t> part = detail::CompressItChannel(
            out.pcm.data() + ch * channelBytes, s.frames, s.bits, it215);
        out.stored.insert(out.stored.end(), part.begin(), part.end());
      }
      break;
    }
  }
  return out;
}

}  // namespace

bool WriteIt(const ModuleSpec& spec, ModuleFile* out, std::string* error) {
  if (!detail::CheckSong(spec, 64, 120, error)) return false;
  if (spec.samples.size() > 255 || spec.instruments.size() > 255 || spec.patterns.size() > 255)
    return Fail(error, "IT: too many samples, instruments or patterns");
  if (spec.orders.size() > 255) return Fail(error, "IT: too many orders");
  bool has214 = false, has215 = false;
  for (size_t i = 0; i < spec.samples.size(); ++i) {
    const SampleSpec& s = spec.samples[i];
    if (!detail::CheckSample(s, i, 2, error)) return false;
    has214 |= s.itStorage == ItStorage::kCompressed214;
    has215 |= s.itStorage == ItStorage::kCompressed215;
  }
  if (has214 && has215) return Fail(error, "IT: one file cannot mix 2.14 and 2.15 compression");
  for (size_t i = 0; i < spec.instruments.size(); ++i) {
    const InstrumentSpec& in = spec.instruments[i];
    if (in.samples.empty()) return Fail(error, "IT instrument without samples");
    for (uint16_t s : in.samples)
      if (s >= spec.samples.size()) return Fail(error, "IT instrument names a missing sample");
  }

  const uint16_t cmwt = has215 ? kItCmwt215 : kItCmwt214;
  const uint16_t ordNum = static_cast<uint16_t>(spec.orders.size() + 1);  // + 255 end mark
  const uint16_t insNum = static_cast<uint16_t>(spec.instruments.size());
  const uint16_t smpNum = static_cast<uint16_t>(spec.samples.size());
  const uint16_t patNum = static_cast<uint16_t>(spec.patterns.size());

  std::vector<StoredSample> stored;
  for (const SampleSpec& s : spec.samples) stored.push_back(Store(s));
  std::vector<std::vector<uint8_t>> packed;
  for (const PatternSpec& p : spec.patterns) packed.push_back(PackPattern(p, spec.channels));

  // Offsets of every part, laid out one after the other.
  size_t pos = kItHeaderSize + ordNum + 4u * (insNum + smpNum + patNum);
  std::vector<uint32_t> insOff, smpOff, patOff, dataOff;
  for (uint16_t i = 0; i < insNum; ++i, pos += kItInstrumentSize) insOff.push_back(static_cast<uint32_t>(pos));
  for (uint16_t i = 0; i < smpNum; ++i, pos += kItSampleHeaderSize) smpOff.push_back(static_cast<uint32_t>(pos));
  for (uint16_t i = 0; i < patNum; ++i) {
    patOff.push_back(static_cast<uint32_t>(pos));
    pos += 8 + packed[i].size();
  }
  for (uint16_t i = 0; i < smpNum; ++i) {
    dataOff.push_back(static_cast<uint32_t>(pos));
    pos += stored[i].stored.size();
  }

  ByteWriter w;
  w.text("IMPM", 4);
  w.text(spec.title, 26);
  w.u8(4); w.u8(16);                      // row highlights
  w.u16(ordNum); w.u16(insNum); w.u16(smpNum); w.u16(patNum);
  w.u16(cmwt);                            // created with
  w.u16(cmwt);                            // compatible with
  w.u16(kItFlagStereo | kItFlagLinear | (insNum ? kItFlagInstruments : 0));
  w.u16(0);                               // special: no message, no MIDI config
  w.u8(128); w.u8(48);                    // global, mixing volume
  w.u8(spec.speed); w.u8(spec.tempo);
  w.u8(128); w.u8(0);                     // separation, pitch wheel depth
  w.u16(0); w.u32(0); w.u32(0);           // message length, offset, reserved
  for (int ch = 0; ch < 64; ++ch) w.u8(ch < spec.channels ? 32 : 32 | 128);
  for (int ch = 0; ch < 64; ++ch) w.u8(64);
  for (uint8_t o : spec.orders) w.u8(o);
  w.u8(kItOrderEnd);
  for (uint32_t o : insOff) w.u32(o);
  for (uint32_t o : smpOff) w.u32(o);
  for (uint32_t o : patOff) w.u32(o);

  for (const InstrumentSpec& in : spec.instruments) Instrument(&w, in);
  for (uint16_t i = 0; i < smpNum; ++i) {
    const SampleSpec& s = spec.samples[i];
    detail::Loop loop = detail::LoopOf(s);
    w.text("IMPS", 4);
    w.text("", 12);
    w.u8(0);
    w.u8(64);                             // global volume
    w.u8(stored[i].flags);
    w.u8(s.volume);
    w.text(s.name, 26);
    w.u8(stored[i].cvt);
    w.u8(32);                             // default pan, not used
    w.u32(s.frames);
    w.u32(loop.start);
    w.u32(loop.end);
    w.u32(s.c5speed);
    w.u32(0); w.u32(0);                   // sustain loop
    w.u32(dataOff[i]);
    w.u8(0); w.u8(0); w.u8(0); w.u8(0);   // vibrato
  }
  for (uint16_t i = 0; i < patNum; ++i) {
    w.u16(static_cast<uint16_t>(packed[i].size()));
    w.u16(spec.patterns[i].rows);
    w.u32(0);
    w.bytes(packed[i]);
  }
  out->samples.clear();
  for (uint16_t i = 0; i < smpNum; ++i) {
    if (stored[i].stored.empty()) continue;
    WrittenSample ws;
    ws.offset = static_cast<uint32_t>(w.size());
    ws.bytes = static_cast<uint32_t>(stored[i].stored.size());
    ws.frames = spec.samples[i].frames;
    ws.bits = spec.samples[i].bits;
    ws.channels = spec.samples[i].channels;
    ws.index = i;
    ws.pcm = std::move(stored[i].pcm);
    w.bytes(stored[i].stored);
    out->samples.push_back(std::move(ws));
  }
  out->bytes = w.take();
  return true;
}

}  // namespace zsfsynth
