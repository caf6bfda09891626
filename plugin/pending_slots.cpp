// Slots whose dialogs are not built yet answer as a plug-in without them: nothing is
// shown and the information box reports that it changed nothing. Each moves to its
// own file when it is implemented.
#include "plugin/plugin_slots.h"

void Config(HostWindow) {}
void About(HostWindow) {}
int InfoBox(const char*, HostWindow) { return 0; }
