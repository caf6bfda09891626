// The plug-in's In_Module record: filled once, its description formatted anew on
// every call of the export.
#pragma once
#include "plugin/host_api.h"

In_Module* GetModuleRecord();
