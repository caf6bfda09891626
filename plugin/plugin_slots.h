// The record's slots that other parts of the plug-in implement: the dialogs, the
// playlist's file information and playback control. The module record points at
// these; each lives beside the code it belongs to.
#pragma once
#include "plugin/host_api.h"

// Dialogs: the settings dialog, the About box, the file information dialog.
void Config(HostWindow parent);
void About(HostWindow parent);
int InfoBox(const char* file, HostWindow parent);

// The playlist's title and length for FILE (null: the song playing).
void GetFileInfo(const char* file, char* title, int* lengthInMs);

// Playback control: 0 = playing, 1 = failed.
int Play(const char* name);
void Pause();
void UnPause();
int IsPaused();
void Stop();
// Milliseconds; -1000 when unknown.
int GetLength();
int GetOutputTime();
void SetOutputTime(int ms);
void SetVolume(int volume);
void SetPan(int pan);
