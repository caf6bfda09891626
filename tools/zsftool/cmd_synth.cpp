// zsftool synth: writes a module made by our own synthesiser (the demo tune, and
// the small test songs) so that songs can be made without anybody else's music.
#include <cstring>
#include <memory>
#include <string>

#include "container/file_kind.h"
#include "platform/file_replace.h"
#include "tools/synth/module_synth.h"
#include "tools/zsftool/zsftool.h"

namespace {

struct SynthOptions {
  std::string what;
  std::string output;
};

int Failed(const std::string& path, const char* step, const std::string& reason) {
  return zsftool::Fail(path + ": " + step + ": " + reason);
}

// The description for WHAT in module KIND; false when there is none.
bool SpecFor(const std::string& what, uint32_t kind, zsfsynth::ModuleSpec* spec, std::string* why) {
  if (what == "demo" || what == "instruments") {
    if (kind != kFileKindIt) {
      *why = "the " + what + " tune is an Impulse Tracker module; name the output *.it";
      return false;
    }
    *spec = what == "demo" ? zsfsynth::DemoTuneSpec() : zsfsynth::ItInstrumentSpec();
    return true;
  }
  if (what == "multisample") {
    if (kind != kFileKindXm) {
      *why = "the multisample tune is a Fast Tracker module; name the output *.xm";
      return false;
    }
    *spec = zsfsynth::XmMultiSampleSpec();
    return true;
  }
  if (what == "glide") {
    if (kind != kFileKindS3m) {
      *why = "the glide tune is a Scream Tracker module; name the output *.s3m";
      return false;
    }
    *spec = zsfsynth::GlideSpec();
    return true;
  }
  if (what == "basic") {
    *spec = zsfsynth::BasicSpec(kind, 4, 2);
    return true;
  }
  *why = "unknown tune \"" + what + "\" (demo, basic, instruments, multisample, glide)";
  return false;
}

int Synth(const SynthOptions& o) {
  uint32_t kind = FileKindFromName(o.output.c_str());
  if (kind > kFileKindMod) return Failed(o.output, "check", "the output must end in .it, .xm, .s3m or .mod");
  zsfsynth::ModuleSpec spec;
  std::string reason;
  if (!SpecFor(o.what, kind, &spec, &reason)) return Failed(o.output, "check", reason);
  zsfsynth::ModuleFile module;
  if (!zsfsynth::WriteModule(spec, kind, &module, &reason)) return Failed(o.output, "synthesise", reason);

  int error = 0;
  if (WriteWholeFile(o.output.c_str(), module.bytes.data(), static_cast<uint32_t>(module.bytes.size()), &error) != 0)
    return Failed(o.output, "write", std::strerror(error));
  return 0;
}

}  // namespace

ZSF_TOOL_COMMAND(synth) {
  auto options = std::make_shared<SynthOptions>();
  CLI::App* cmd = app.add_subcommand("synth", "Write a module made by the built-in synthesiser");
  cmd->add_option("tune", options->what,
                  "demo, basic, instruments (IT), multisample (XM) or glide (S3M)")
      ->required();
  cmd->add_option("-o,--output", options->output, "Module to write (its extension picks the format)")
      ->required();
  cmd->callback([options, &exitCode] { exitCode = Synth(*options); });
}
