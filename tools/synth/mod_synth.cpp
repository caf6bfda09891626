// The MOD writer: title, 31 (or 15) sample headers, order table, tag, patterns of
// 64 rows and 8-bit signed sample data.
#include "container/byte_writer.h"
#include "tools/modules/module_formats.h"
#include "tools/synth/synth_internal.h"

namespace zsfsynth {
namespace {

using detail::Fail;

// Periods of octaves 1..3 as the Amiga trackers name them; octave 0 doubles
// octave 1, octave 4 halves octave 3.
constexpr uint16_t kPeriods[36] = {
    856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
    428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,
    214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113};

uint16_t PeriodOf(uint8_t note) {
  int n = note - 1;  // 0 = C-0
  if (n < 12) return static_cast<uint16_t>(kPeriods[n] * 2);
  if (n < 48) return kPeriods[n - 12];
  return static_cast<uint16_t>((kPeriods[n - 36] + 1) / 2);
}

std::string TagOf(ModVariant v, uint8_t channels) {
  switch (v) {
    case ModVariant::kMK: return "M.K.";
    case ModVariant::kMKExclaim: return "M!K!";
    case ModVariant::kFlt4: return "FLT4";
    case ModVariant::kFlt8: return "FLT8";
    case ModVariant::kChannels:
      if (channels < 10) return std::string(1, static_cast<char>('0' + channels)) + "CHN";
      return std::to_string(channels) + "CH";
    case ModVariant::kFifteen: return "";
  }
  return "";
}

void WriteCell(ByteWriter* w, const Cell& c) {
  uint16_t period = c.note && c.note < kNoteCut ? PeriodOf(c.note) : 0;
  w->u8(static_cast<uint8_t>((c.instrument & 0xF0) | (period >> 8)));
  w->u8(static_cast<uint8_t>(period));
  w->u8(static_cast<uint8_t>((c.instrument & 0x0F) << 4 | (c.effect & 0x0F)));
  w->u8(c.param);
}

void BigEndian16(ByteWriter* w, uint32_t v) {
  w->u8(static_cast<uint8_t>(v >> 8));
  w->u8(static_cast<uint8_t>(v));
}

}  // namespace

bool WriteMod(const ModuleSpec& spec, ModuleFile* out, std::string* error) {
  const ModVariant v = spec.modVariant;
  const bool fifteen = v == ModVariant::kFifteen;
  uint8_t wantChannels = spec.channels;
  if (v == ModVariant::kMK || v == ModVariant::kMKExclaim || v == ModVariant::kFlt4 || fifteen)
    wantChannels = 4;
  if (v == ModVariant::kFlt8) wantChannels = 8;
  if (spec.channels != wantChannels)
    return Fail(error, "MOD " + (fifteen ? std::string("15-sample") : TagOf(v, spec.channels)) +
                           " needs " + std::to_string(wantChannels) + " channels");
  if (v == ModVariant::kChannels && (spec.channels < 1 || spec.channels > 32))
    return Fail(error, "MOD: 1..32 channels");
  if (!detail::CheckSong(spec, 32, 60, error)) return false;
  const size_t sampleSlots = fifteen ? zsfmod::kModOldSampleSlots : zsfmod::kModSampleSlots;
  if (spec.samples.size() > sampleSlots) return Fail(error, "MOD: too many samples");
  if (spec.orders.size() > 128) return Fail(error, "MOD: more than 128 orders");
  for (uint8_t o : spec.orders)
    if (o >= 254) return Fail(error, "MOD orders cannot skip");
  const size_t maxPatterns = v == ModVariant::kFlt8 ? 64 : 128;
  if (spec.patterns.size() > maxPatterns) return Fail(error, "MOD: too many patterns");
  for (size_t i = 0; i < spec.samples.size(); ++i) {
    const SampleSpec& s = spec.samples[i];
    if (!detail::CheckSample(s, i, 1, error)) return false;
    detail::Loop loop = detail::LoopOf(s);
    if (s.bits != 8) return Fail(error, "MOD samples are 8-bit");
    if (s.frames % 2 || s.frames > 131070 || loop.start % 2 || loop.end % 2)
      return Fail(error, "MOD sample lengths and loops are even and at most 131070");
  }
  for (const PatternSpec& p : spec.patterns)
    for (const Cell& c : p.cells)
      if (c.instrument > 31 || c.effect > 15) return Fail(error, "MOD cell out of range");

  ByteWriter w;
  w.text(spec.title, zsfmod::kModTitleSize);
  for (size_t i = 0; i < sampleSlots; ++i) {
    if (i >= spec.samples.size()) {
      w.text("", 22);
      BigEndian16(&w, 0);
      w.u8(0); w.u8(0);
      BigEndian16(&w, 0);
      BigEndian16(&w, 1);
      continue;
    }
    const SampleSpec& s = spec.samples[i];
    detail::Loop loop = detail::LoopOf(s);
    w.text(s.name, 22);
    BigEndian16(&w, s.frames / 2);
    w.u8(static_cast<uint8_t>(s.finetune & 0x0F));
    w.u8(s.volume);
    BigEndian16(&w, loop.start / 2);
    BigEndian16(&w, loop.on() ? (loop.end - loop.start) / 2 : 1);
  }
  // Orders: FLT8 names each 8-channel pattern by its first 4-channel half.
  const bool flt8 = v == ModVariant::kFlt8;
  w.u8(static_cast<uint8_t>(spec.orders.size()));
  w.u8(fifteen ? 0x78 : 0x7F);
  for (size_t i = 0; i < 128; ++i) {
    uint8_t o = i < spec.orders.size() ? spec.orders[i] : 0;
    w.u8(static_cast<uint8_t>(flt8 ? o * 2 : o));
  }
  if (!fifteen) w.text(TagOf(v, spec.channels), 4);

  // Every pattern up to the highest one any order names is stored.
  uint8_t highest = 0;
  for (uint8_t o : spec.orders) highest = o > highest ? o : highest;
  for (size_t p = 0; p <= highest; ++p) {
    PatternSpec pat = detail::PadTo64Rows(spec.patterns[p], spec.channels, kFxModBreak);
    if (flt8) {
      for (int half = 0; half < 2; ++half)
        for (uint16_t row = 0; row < 64; ++row)
          for (uint8_t ch = 0; ch < 4; ++ch)
            WriteCell(&w, pat.At(row, static_cast<uint8_t>(half * 4 + ch), 8));
    } else {
      for (const Cell& c : pat.cells) WriteCell(&w, c);
    }
  }
  out->samples.clear();
  for (size_t i = 0; i < spec.samples.size(); ++i) {
    std::vector<uint8_t> pcm = RenderSamplePcm(spec.samples[i]);
    if (pcm.empty()) continue;
    WrittenSample ws;
    ws.offset = static_cast<uint32_t>(w.size());
    ws.bytes = static_cast<uint32_t>(pcm.size());
    ws.frames = spec.samples[i].frames;
    ws.bits = 8;
    ws.channels = 1;
    ws.index = static_cast<uint16_t>(i);
    w.bytes(pcm);
    ws.pcm = std::move(pcm);
    out->samples.push_back(std::move(ws));
  }
  out->bytes = w.take();
  return true;
}

}  // namespace zsfsynth
