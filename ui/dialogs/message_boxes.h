// The plug-in's message boxes: the About box and the password question.
#pragma once

#include "ui/dialogs/dialog_model.h"

// The About box: the product line the record's description carries.
MessageBoxModel AboutBox();
// Asked by the information command while a collection was the last thing played.
MessageBoxModel ChangePasswordQuestion();
