#include "platform/module_handle.h"

#include <dlfcn.h>

ModuleHandle CurrentModuleHandle() {
  Dl_info info{};
  void* self = reinterpret_cast<void*>(&CurrentModuleHandle);
  if (dladdr(self, &info) && info.dli_fname && *info.dli_fname) {
    // RTLD_NOLOAD only looks the object up; the extra reference it takes is dropped
    // at once, since the object stays loaded for as long as this code can run.
    if (void* handle = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD)) {
      dlclose(handle);
      return handle;
    }
  }
  // Linked into the program itself (the main program is found by a null name).
  void* program = dlopen(nullptr, RTLD_LAZY | RTLD_NOLOAD);
  if (program) dlclose(program);
  return program;
}
