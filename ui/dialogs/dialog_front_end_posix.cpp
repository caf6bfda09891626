// Without a window system the host's window means nothing to a dialog: every dialog
// runs on the process's terminal, or reads its commands from standard input.
#include "ui/dialogs/dialog_front_end.h"

#include "ui/dialogs/text_front_end.h"

DialogServices& DialogFrontEnd(void* /*parent*/) { return TextFrontEnd::Standard(); }
