// The plug-in's only exported symbol.
#include "plugin/host_api.h"
#include "plugin/module_record.h"

extern "C" ZSF_EXPORT In_Module* ZSF_CDECL winampGetInModule2() { return GetModuleRecord(); }
