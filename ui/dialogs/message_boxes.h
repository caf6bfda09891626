// The plug-in's message boxes, and the information command that chooses between
// the password question and the file information dialog.
#pragma once
#include <cstdint>

#include "ui/dialogs/dialog_model.h"

// The About box: the product line with the version numbers the record's
// description carries ("Quorvath ZSF Player v1.666 (b 1073)").
MessageBoxModel AboutBox(int major, int minor, int build);
// Asked by the information command while a collection was the last thing played.
MessageBoxModel ChangePasswordQuestion();

// The host's information command for FILE: after a collection, only the password
// question (Yes: the prompt, then PASSWORD_KEY = the answer's hash); otherwise the
// file information dialog. Always 0, the host's "nothing to reload".
int RunInformationCommand(const char* file, bool playingCollection, uint32_t& passwordKey,
                          DialogServices& services);
