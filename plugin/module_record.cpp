#include "plugin/module_record.h"

#include <cstdio>

namespace {

char gDescription[64];
char gFileTypes[] = "ZSF;ZTF;ZGM\0ZSF Music File (*.ZSF,*.ZTF,*.ZGM)\0";

In_Module gRecord = [] {
  In_Module r{};
  r.version = 0x100;
  r.description = gDescription;
  r.FileExtensions = gFileTypes;
  r.is_seekable = 1;
  r.UsesOutputPlug = 1;
  return r;
}();

}  // namespace

In_Module* GetModuleRecord() {
  std::snprintf(gDescription, sizeof gDescription, "Quorvath ZSF Player v%d.%.2d (b %d)", 1, 666, 1073);
  return &gRecord;
}
