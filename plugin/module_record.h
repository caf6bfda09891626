// The plug-in's In_Module record: filled once, its description formatted anew on
// every call of the export. Init and Quit are the record's start-up and shut-down.
#pragma once
#include "plugin/host_api.h"

In_Module* GetModuleRecord();

// The record's own slots (the others: plugin/plugin_slots.h).
void Init();
void Quit();
int IsOurFile(const char* name);
void EQSet(int on, char data[10], int preamp);
