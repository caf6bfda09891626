// Modules to pack: every kind our synthesiser can make (built once per test program)
// and the real modules when they are present, with what a song must give back for
// each; and rebuilding a song as `zsftool export` does.
#pragma once
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "container/file_kind.h"
#include "container/song.h"
#include "support/build_paths.h"
#include "support/files.h"
#include "tools/modules/module_layout.h"
#include "tools/pack/module_packer.h"
#include "tools/synth/module_synth.h"
#include "ui/password.h"

namespace zsftest {

struct TestModule {
  std::string name;                  // file name, its extension gives the kind
  std::vector<uint8_t> bytes;        // the module as given to the packer
  std::vector<uint8_t> expected;     // what the song gives back (IT: plain-PCM rewrite)
  bool sixteenBitConverted = false;  // 16-bit XM/S3M samples: need a pack that records width
};

// The module file of SPEC as KIND (empty, and the test failed, when the synthesiser refuses it).
inline std::vector<uint8_t> SynthBytes(const zsfsynth::ModuleSpec& spec, uint32_t kind) {
  zsfsynth::ModuleFile file;
  std::string error;
  EXPECT_TRUE(zsfsynth::WriteModule(spec, kind, &file, &error)) << error;
  return file.bytes;
}

inline zsfsynth::ModuleSpec WithChannels(zsfsynth::ModuleSpec spec, uint8_t channels) {
  for (zsfsynth::PatternSpec& p : spec.patterns) {
    zsfsynth::PatternSpec wide;
    wide.Resize(p.rows, channels);
    for (uint16_t r = 0; r < p.rows; ++r)
      for (uint8_t ch = 0; ch < spec.channels && ch < channels; ++ch) wide.At(r, ch, channels) = p.At(r, ch, spec.channels);
    p = wide;
  }
  spec.channels = channels;
  return spec;
}

// NAME holding BYTES; every module must read, decode and (IT) rewrite to plain PCM.
inline TestModule MakeTestModule(const std::string& name, std::vector<uint8_t> bytes) {
  TestModule m{name, bytes, bytes};
  std::string error;
  zsfmod::ModuleLayout layout;
  if ((FileKindFromName(name.c_str()) == zsfmod::kKindIt && !zsfmod::StoreItSamplesAsPlainPcm(bytes, &m.expected, &error)) ||
      !zsfmod::ReadModuleLayout(m.expected, FileKindFromName(name.c_str()), &layout, &error))
    ADD_FAILURE() << name << ": " << error;
  for (const zsfmod::SampleLayout& s : layout.samples)
    m.sixteenBitConverted |= s.bits == 16 && (layout.kind == zsfmod::kKindXm || layout.kind == zsfmod::kKindS3m);
  return m;
}

// Every synthesised kind: IT sample mode, instruments (signed, unsigned, stereo,
// 16-bit, 2.14 and 2.15 compressed), XM with several 8 and 16-bit samples per
// instrument, S3M unsigned and signed, MOD of 4 and 8 channels, 15-sample MOD.
inline const std::vector<TestModule>& SynthModules() {
  static const std::vector<TestModule> modules = [] {
    zsfsynth::ModuleSpec it215 = zsfsynth::ItInstrumentSpec(), s3mSigned = zsfsynth::BasicSpec(zsfmod::kKindS3m, 4, 2);
    for (zsfsynth::SampleSpec& s : it215.samples)
      if (s.itStorage == zsfsynth::ItStorage::kCompressed214) s.itStorage = zsfsynth::ItStorage::kCompressed215;
    s3mSigned.s3mSigned = true;
    auto mod = [](zsfsynth::ModVariant variant, uint8_t channels) {
      zsfsynth::ModuleSpec spec = WithChannels(zsfsynth::BasicSpec(zsfmod::kKindMod, 5, 2), channels);
      spec.modVariant = variant;
      return SynthBytes(spec, zsfmod::kKindMod);
    };
    return std::vector<TestModule>{
        MakeTestModule("sample_mode.it", SynthBytes(zsfsynth::BasicSpec(zsfmod::kKindIt, 4, 2), zsfmod::kKindIt)),
        MakeTestModule("instruments214.it", SynthBytes(zsfsynth::ItInstrumentSpec(), zsfmod::kKindIt)),
        MakeTestModule("instruments215.it", SynthBytes(it215, zsfmod::kKindIt)),
        MakeTestModule("basic.xm", SynthBytes(zsfsynth::BasicSpec(zsfmod::kKindXm, 4, 2), zsfmod::kKindXm)),
        MakeTestModule("multisample.xm", SynthBytes(zsfsynth::XmMultiSampleSpec(), zsfmod::kKindXm)),
        MakeTestModule("unsigned.s3m", SynthBytes(zsfsynth::BasicSpec(zsfmod::kKindS3m, 4, 2), zsfmod::kKindS3m)),
        MakeTestModule("signed.s3m", SynthBytes(s3mSigned, zsfmod::kKindS3m)),
        MakeTestModule("mk.mod", mod(zsfsynth::ModVariant::kMK, 4)),
        MakeTestModule("8chn.mod", mod(zsfsynth::ModVariant::kChannels, 8)),
        MakeTestModule("fifteen.mod", mod(zsfsynth::ModVariant::kFifteen, 4)),
    };
  }();
  return modules;
}

// The real modules under ZSF_SHARED_MODULES (none when the folder is absent).
inline const std::vector<TestModule>& RealModules() {
  static const std::vector<TestModule> modules = [] {
    std::vector<TestModule> out;
    for (const char* kind : {"it", "xm", "s3m", "mod"}) {
      const std::string folder = std::string(ZSF_SHARED_MODULES) + "/" + kind;
      std::vector<std::string> names;
      if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* e = readdir(dir))
          if (e->d_name[0] != '.') names.push_back(e->d_name);
        closedir(dir);
      }
      std::sort(names.begin(), names.end());
      for (const std::string& name : names) out.push_back(MakeTestModule(name, ReadFile(folder + "/" + name)));
    }
    return out;
  }();
  return modules;
}

inline std::vector<zsfpack::ModuleInput> Inputs(const std::vector<const TestModule*>& modules) {
  std::vector<zsfpack::ModuleInput> in;
  for (const TestModule* m : modules) in.push_back(zsfpack::ModuleInput{m->name, m->bytes});
  return in;
}

// What `zsftool export` does: load the song (its pack beside it) and rebuild it.
// RESULT: 0 when both steps succeeded, 1 when the load failed, 2 when the rebuild did.
inline std::vector<uint8_t> Export(const std::string& songPath, std::string password, int* result) {
  Song song;
  if (!password.empty()) song.SetPasswordKey(HashPassword(&password[0], static_cast<uint32_t>(password.size())));
  ModuleImage image{};
  *result = song.LoadFile(songPath.c_str()) != 0 ? 1 : song.BuildModuleImage(&image) != 0 ? 2 : 0;
  std::vector<uint8_t> out(image.data, image.data + image.size);
  std::free(image.data);
  return out;
}

inline uint32_t FileKindOf(const std::string& name) { return FileKindFromName(name.c_str()); }

inline std::string Stem(const std::string& name) { return name.substr(0, name.find_last_of('.')); }

}  // namespace zsftest
