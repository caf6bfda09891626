// The XM writer: header, patterns, then each instrument with its sample headers
// and its samples' delta-coded data.
#include "container/byte_writer.h"
#include "tools/modules/module_formats.h"
#include "tools/synth/synth_internal.h"

namespace zsfsynth {
namespace {

using detail::Fail;
using namespace zsfmod;  // the format's constants, shared with the layout reader

std::vector<uint8_t> PackPattern(const PatternSpec& p, uint8_t channels) {
  ByteWriter w;
  for (const Cell& c : p.cells) {
    uint8_t flags = 0x80;
    if (c.note) flags |= 1;
    if (c.instrument) flags |= 2;
    if (c.volume != kNoVolume) flags |= 4;
    if (c.effect) flags |= 8;
    if (c.param) flags |= 16;
    w.u8(flags);
    if (flags & 1) w.u8(c.note == kNoteOff || c.note == kNoteCut ? kXmNoteOff : c.note);
    if (flags & 2) w.u8(c.instrument);
    if (flags & 4) w.u8(static_cast<uint8_t>(0x10 + c.volume));
    if (flags & 8) w.u8(c.effect);
    if (flags & 16) w.u8(c.param);
  }
  return w.take();
}

std::vector<uint8_t> DeltaCode(const std::vector<uint8_t>& pcm, uint8_t bits) {
  std::vector<uint8_t> out(pcm.size());
  if (bits == 8) {
    uint8_t prev = 0;
    for (size_t i = 0; i < pcm.size(); ++i) {
      out[i] = static_cast<uint8_t>(pcm[i] - prev);
      prev = pcm[i];
    }
  } else {
    uint16_t prev = 0;
    for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
      uint16_t v = static_cast<uint16_t>(pcm[i] | pcm[i + 1] << 8);
      uint16_t d = static_cast<uint16_t>(v - prev);
      prev = v;
      out[i] = static_cast<uint8_t>(d);
      out[i + 1] = static_cast<uint8_t>(d >> 8);
    }
  }
  return out;
}

}  // namespace

bool WriteXm(const ModuleSpec& spec, ModuleFile* out, std::string* error) {
  if (!detail::CheckSong(spec, 32, 96, error)) return false;
  if (spec.orders.size() > 256 || spec.patterns.size() > 256)
    return Fail(error, "XM: too many orders or patterns");
  for (uint8_t o : spec.orders)
    if (o >= 254) return Fail(error, "XM orders cannot skip");
  for (size_t i = 0; i < spec.samples.size(); ++i)
    if (!detail::CheckSample(spec.samples[i], i, 1, error)) return false;

  // Without instruments every sample becomes an instrument of its own.
  std::vector<InstrumentSpec> instruments = spec.instruments;
  if (instruments.empty()) {
    for (size_t i = 0; i < spec.samples.size(); ++i) {
      InstrumentSpec in;
      in.name = spec.samples[i].name;
      in.samples.push_back(static_cast<uint16_t>(i));
      instruments.push_back(in);
    }
  }
  if (instruments.size() > 128) return Fail(error, "XM: more than 128 instruments");
  for (const InstrumentSpec& in : instruments) {
    if (in.samples.size() > 16) return Fail(error, "XM: more than 16 samples in an instrument");
    for (uint16_t s : in.samples)
      if (s >= spec.samples.size()) return Fail(error, "XM instrument names a missing sample");
  }

  ByteWriter w;
  w.text("Extended Module: ", 17);
  w.text(spec.title, 20);
  w.u8(0x1A);
  w.text("zsf synth", 20);
  w.u16(kXmVersion);
  w.u32(kXmHeaderSize);
  w.u16(static_cast<uint16_t>(spec.orders.size()));
  w.u16(0);  // restart
  w.u16(spec.channels);
  w.u16(static_cast<uint16_t>(spec.patterns.size()));
  w.u16(static_cast<uint16_t>(instruments.size()));
  w.u16(spec.xmLinear ? 1 : 0);
  w.u16(spec.speed);
  w.u16(spec.tempo);
  for (size_t i = 0; i < 256; ++i) w.u8(i < spec.orders.size() ? spec.orders[i] : 0);

  for (const PatternSpec& p : spec.patterns) {
    std::vector<uint8_t> data = PackPattern(p, spec.channels);
    w.u32(kXmPatternHeaderSize);
    w.u8(0);
    w.u16(p.rows);
    w.u16(static_cast<uint16_t>(data.size()));
    w.bytes(data);
  }

  out->samples.clear();
  for (const InstrumentSpec& in : instruments) {
    if (in.samples.empty()) {
      w.u32(kXmEmptyInstrumentSize);
      w.text(in.name, 22);
      w.u8(0);
      w.u16(0);
      continue;
    }
    size_t start = w.size();
    w.u32(kXmInstrumentSize);
    w.text(in.name, 22);
    w.u8(0);
    w.u16(static_cast<uint16_t>(in.samples.size()));
    w.u32(kXmSampleHeaderSize);
    for (int note = 0; note < 96; ++note) {
      uint8_t pick = note < static_cast<int>(in.keymap.size()) ? in.keymap[note] : 0;
      w.u8(pick < in.samples.size() ? pick : 0);
    }
    for (int i = 0; i < 48 + 48; ++i) w.u8(0);  // envelopes, unused
    for (int i = 0; i < 14; ++i) w.u8(0);       // point counts, loops, types, vibrato
    w.u16(in.fadeout);
    while (w.size() - start < kXmInstrumentSize) w.u8(0);

    std::vector<std::vector<uint8_t>> pcms;
    for (uint16_t idx : in.samples) {
      const SampleSpec& s = spec.samples[idx];
      const uint32_t width = s.bits / 8u;
      detail::Loop loop = detail::LoopOf(s);
      w.u32(s.frames * width);
      w.u32(loop.start * width);
      w.u32((loop.end - loop.start) * width);
      w.u8(s.volume);
      w.u8(static_cast<uint8_t>(s.finetune));
      w.u8(static_cast<uint8_t>((loop.on() ? (s.pingPong ? kXmLoopPingPong : kXmLoopForward) : 0) |
                                (s.bits == 16 ? kXmSmp16 : 0)));
      w.u8(s.panning);
      w.u8(static_cast<uint8_t>(s.relativeNote));
      w.u8(0);
      w.text(s.name, 22);
      pcms.push_back(RenderSamplePcm(s));
    }
    for (size_t k = 0; k < in.samples.size(); ++k) {
      const SampleSpec& s = spec.samples[in.samples[k]];
      if (pcms[k].empty()) continue;
      WrittenSample ws;
      ws.offset = static_cast<uint32_t>(w.size());
      ws.bytes = static_cast<uint32_t>(pcms[k].size());
      ws.frames = s.frames;
      ws.bits = s.bits;
      ws.channels = 1;
      ws.index = in.samples[k];
      w.bytes(DeltaCode(pcms[k], s.bits));
      ws.pcm = std::move(pcms[k]);
      out->samples.push_back(std::move(ws));
    }
  }
  out->bytes = w.take();
  return true;
}

}  // namespace zsfsynth
