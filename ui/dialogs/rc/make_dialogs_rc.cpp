// make_dialogs_rc OUT.rc: writes the plug-in's dialog resource script. The Windows
// build compiles and runs it on the build machine before the resource compiler.
#include <cstdio>
#include <string>

#include "ui/dialogs/dialog_resource_script.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT.rc\n", argc > 0 ? argv[0] : "make_dialogs_rc");
    return 2;
  }
  const std::string script = DialogResourceScript();
  FILE* out = std::fopen(argv[1], "wb");
  if (!out) {
    std::perror(argv[1]);
    return 1;
  }
  bool written = std::fwrite(script.data(), 1, script.size(), out) == script.size();
  if (std::fclose(out) != 0) written = false;
  if (!written) {
    std::fprintf(stderr, "%s: could not write the resource script\n", argv[1]);
    std::remove(argv[1]);
    return 1;
  }
  return 0;
}
