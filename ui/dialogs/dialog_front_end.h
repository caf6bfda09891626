// The dialogs' front end of the platform being built: real dialogs from the
// plug-in's resource templates on Windows, the text front end elsewhere.
#pragma once
#include "ui/dialogs/dialog_model.h"

// The front end that runs dialogs over the host's window PARENT (null: no owner).
// The services stay valid for the life of the process; a dialog opened from a
// running dialog (a prompt, a question) is owned by that dialog's window.
DialogServices& DialogFrontEnd(void* parent);
