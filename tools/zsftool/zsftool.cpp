// zsftool: makes and inspects ZSF songs, ZSP packs and ZGM collections.
#include "tools/zsftool/zsftool.h"
#include "container/failure.h"
#include "ui/product_version.h"

#include <cstdio>
#include <map>

namespace zsftool {

static std::map<std::string, CommandFactory>& Commands() {
  static std::map<std::string, CommandFactory> commands;
  return commands;
}

bool RegisterCommand(const char* name, CommandFactory factory) {
  Commands()[name] = std::move(factory);
  return true;
}

int Fail(const std::string& what) {
  std::fprintf(stderr, "zsftool: %s\n", what.c_str());
  return 1;
}

int Fail(const std::string& path, const Failure& failure) {
  return Fail(path + ": " + failure.step + ": " + failure.reason);
}

}  // namespace zsftool

int main(int argc, char** argv) {
  CLI::App app{"zsftool - make and inspect ZSF songs, ZSP sample packs and ZGM collections"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "zsftool " + ProductVersion());
  int exitCode = 0;
  for (auto& [name, factory] : zsftool::Commands()) factory(app, exitCode);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
  return exitCode;
}
