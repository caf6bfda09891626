#include "platform/module_handle.h"

#include <windows.h>

ModuleHandle CurrentModuleHandle() {
  // The module holding this very function, so a renamed copy of the DLL still finds
  // its own resources. No reference is taken: the DLL outlives any code of it running.
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(&CurrentModuleHandle), &module))
    return nullptr;
  return module;
}
