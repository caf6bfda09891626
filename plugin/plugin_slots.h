// The record's slots that other parts of the plug-in implement: the dialogs, the
// playlist's file information and playback control. The module record points at
// these; each lives beside the code it belongs to.
#pragma once
#include "plugin/host_api.h"
#include "plugin/playback_control.h"

// The playlist's title and length: FILE may be null or empty (then the song last
// started, or the name last played); TITLE is the player's 512-byte buffer, may be
// null; LENGTH_MS may be null.
void GetFileInfo(const char* file, char* title, int* lengthMs);

// Dialogs: the settings dialog, the About box, the file information dialog.
void Config(HostWindow parent);
void About(HostWindow parent);
int InfoBox(const char* file, HostWindow parent);
