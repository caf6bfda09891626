// The plug-in's only exported symbol.
#include "plugin/host_api.h"
#include "plugin/module_record.h"

#if defined(_WIN32)
#define ZSF_EXPORT __declspec(dllexport)
#else
#define ZSF_EXPORT __attribute__((visibility("default")))
#endif

extern "C" ZSF_EXPORT In_Module* ZSF_CDECL winampGetInModule2() { return GetModuleRecord(); }
