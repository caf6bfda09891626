// The record's slots that other parts of the plug-in implement: the dialogs, the
// playlist's file information and playback control. The module record points at
// these; each lives beside the code it belongs to.
#pragma once
#include "plugin/host_api.h"
#include "plugin/playback_control.h"
#include "ui/get_file_info.h"

// Dialogs: the settings dialog, the About box, the file information dialog.
void Config(HostWindow parent);
void About(HostWindow parent);
int InfoBox(const char* file, HostWindow parent);
