// The host's information command: chooses between the password question and the
// file information dialog.
#pragma once
#include <cstdint>

#include "ui/dialogs/dialog_model.h"

// The host's information command for FILE: after a collection, only the password
// question (Yes: the prompt, then PASSWORD_KEY = the answer's hash); otherwise the
// file information dialog. Always 0, the host's "nothing to reload".
int RunInformationCommand(const char* file, bool playingCollection, uint32_t& passwordKey,
                          DialogServices& services);
