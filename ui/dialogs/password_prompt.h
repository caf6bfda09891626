// The password prompt: the one question that sets the key protected packs are
// descrambled with, asked by playback, the information command and its dialog.
#pragma once
#include <cstdint>

#include "ui/dialogs/dialog_model.h"

// Asks SERVICES for a password. True when answered, KEY then the answer's hash; false
// when cancelled (on Linux: the end of standard input), KEY unchanged.
bool AskPassword(DialogServices& services, uint32_t* key);
