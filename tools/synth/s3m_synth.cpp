// The S3M writer: header, orders, parapointers, sample headers, patterns and
// sample data, every part starting on a 16-byte paragraph.
#include "container/byte_writer.h"
#include "tools/modules/module_formats.h"
#include "tools/synth/synth_internal.h"

namespace zsfsynth {
namespace {

using detail::Fail;
using namespace zsfmod;  // the format's constants, shared with the layout reader

size_t Paragraph(size_t pos) { return (pos + 15) & ~static_cast<size_t>(15); }

void PadTo(ByteWriter* w, size_t pos) {
  while (w->size() < pos) w->u8(0);
}

std::vector<uint8_t> PackPattern(const PatternSpec& p, uint8_t channels) {
  ByteWriter w;
  w.u16(0);  // packed length, patched below
  for (uint16_t row = 0; row < 64; ++row) {
    for (uint8_t ch = 0; ch < channels; ++ch) {
      const Cell& c = p.cells[static_cast<size_t>(row) * channels + ch];
      uint8_t what = ch;
      if (c.note || c.instrument) what |= 32;
      if (c.volume != kNoVolume) what |= 64;
      if (c.effect || c.param) what |= 128;
      if (what == ch) continue;
      w.u8(what);
      if (what & 32) {
        uint8_t n = kS3mNoNote;
        if (c.note == kNoteOff || c.note == kNoteCut) {
          n = kS3mNoteOff;
        } else if (c.note) {
          n = static_cast<uint8_t>(((c.note - 1) / 12) << 4 | (c.note - 1) % 12);
        }
        w.u8(n);
        w.u8(c.instrument);
      }
      if (what & 64) w.u8(c.volume);
      if (what & 128) { w.u8(c.effect); w.u8(c.param); }
    }
    w.u8(0);
  }
  std::vector<uint8_t> out = w.take();
  out[0] = static_cast<uint8_t>(out.size());
  out[1] = static_cast<uint8_t>(out.size() >> 8);
  return out;
}

}  // namespace

bool WriteS3m(const ModuleSpec& spec, ModuleFile* out, std::string* error) {
  if (!detail::CheckSong(spec, 32, 96, error)) return false;
  if (spec.samples.size() > 99 || spec.patterns.size() > 100)
    return Fail(error, "S3M: too many samples or patterns");
  if (spec.orders.size() > 254) return Fail(error, "S3M: too many orders");
  for (size_t i = 0; i < spec.samples.size(); ++i)
    if (!detail::CheckSample(spec.samples[i], i, 2, error)) return false;

  std::vector<uint8_t> orders = spec.orders;
  orders.push_back(kS3mOrderEnd);
  if (orders.size() % 2) orders.push_back(kS3mOrderEnd);
  const uint16_t insNum = static_cast<uint16_t>(spec.samples.size());
  const uint16_t patNum = static_cast<uint16_t>(spec.patterns.size());

  std::vector<std::vector<uint8_t>> packed;
  for (const PatternSpec& p : spec.patterns)
    packed.push_back(PackPattern(detail::PadTo64Rows(p, spec.channels, 3), spec.channels));
  std::vector<std::vector<uint8_t>> pcm;
  for (const SampleSpec& s : spec.samples) pcm.push_back(RenderSamplePcm(s));

  size_t pos = Paragraph(kS3mHeaderSize + orders.size() + 2u * (insNum + patNum));
  std::vector<size_t> insOff, patOff, dataOff;
  for (uint16_t i = 0; i < insNum; ++i, pos += kS3mSampleHeaderSize) insOff.push_back(pos);
  for (uint16_t i = 0; i < patNum; ++i) {
    patOff.push_back(pos);
    pos = Paragraph(pos + packed[i].size());
  }
  for (uint16_t i = 0; i < insNum; ++i) {
    dataOff.push_back(pos);
    pos = Paragraph(pos + pcm[i].size());
  }
  if (pos >= (size_t{1} << 20) * 16) return Fail(error, "S3M: file too large");

  ByteWriter w;
  w.text(spec.title, 28);
  w.u8(0x1A);
  w.u8(16);  // type: ST3 module
  w.u16(0);
  w.u16(static_cast<uint16_t>(orders.size()));
  w.u16(insNum);
  w.u16(patNum);
  w.u16(0);       // flags
  w.u16(0x1320);  // created with ST3.20
  w.u16(spec.s3mSigned ? kS3mFfiSigned : kS3mFfiUnsigned);
  w.text("SCRM", 4);
  w.u8(64);                 // global volume
  w.u8(spec.speed);
  w.u8(spec.tempo);
  w.u8(0x80 | 48);          // stereo, master volume
  w.u8(0);                  // ultra click
  w.u8(0);                  // no default pan table
  for (int i = 0; i < 8; ++i) w.u8(0);
  w.u16(0);                 // special
  for (int ch = 0; ch < 32; ++ch)
    w.u8(ch < spec.channels ? static_cast<uint8_t>(ch % 2 ? 8 + ch / 2 : ch / 2) : 255);
  w.bytes(orders);
  for (size_t o : insOff) w.u16(static_cast<uint16_t>(o >> 4));
  for (size_t o : patOff) w.u16(static_cast<uint16_t>(o >> 4));

  for (uint16_t i = 0; i < insNum; ++i) {
    const SampleSpec& s = spec.samples[i];
    detail::Loop loop = detail::LoopOf(s);
    PadTo(&w, insOff[i]);
    size_t para = dataOff[i] >> 4;
    w.u8(pcm[i].empty() ? 0 : kS3mTypeSample);
    w.text("", 12);
    w.u8(static_cast<uint8_t>(para >> 16));
    w.u16(static_cast<uint16_t>(para));
    w.u32(s.frames);
    w.u32(loop.start);
    w.u32(loop.end);
    w.u8(s.volume);
    w.u8(0);
    w.u8(0);  // not packed
    w.u8(static_cast<uint8_t>((loop.on() ? kS3mLoop : 0) | (s.channels == 2 ? kS3mStereo : 0) |
                              (s.bits == 16 ? kS3m16Bit : 0)));
    w.u32(s.c5speed);
    for (int k = 0; k < 12; ++k) w.u8(0);
    w.text(s.name, 28);
    w.text("SCRS", 4);
  }
  for (uint16_t i = 0; i < patNum; ++i) {
    PadTo(&w, patOff[i]);
    w.bytes(packed[i]);
  }
  out->samples.clear();
  for (uint16_t i = 0; i < insNum; ++i) {
    const SampleSpec& s = spec.samples[i];
    PadTo(&w, dataOff[i]);
    if (pcm[i].empty()) continue;
    std::vector<uint8_t> stored = pcm[i];
    if (!spec.s3mSigned)
      for (size_t k = 0; k < stored.size(); ++k)
        if (s.bits == 8 || k % 2 == 1) stored[k] ^= 0x80;
    WrittenSample ws;
    ws.offset = static_cast<uint32_t>(w.size());
    ws.bytes = static_cast<uint32_t>(stored.size());
    ws.frames = s.frames;
    ws.bits = s.bits;
    ws.channels = s.channels;
    ws.index = i;
    ws.pcm = std::move(pcm[i]);
    w.bytes(stored);
    out->samples.push_back(std::move(ws));
  }
  out->bytes = w.take();
  return true;
}

}  // namespace zsfsynth
