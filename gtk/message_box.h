// A message box of the manager as a GTK message dialog.
#pragma once

#include <gtk/gtk.h>

namespace imexp::gtk {

// `type` holds the Win32 MB_* flags; returns the answer (kAnswerOk, ...).
[[nodiscard]] int RunMessageBox(GtkWindow* parent, const char* text, const char* caption, unsigned type);

}  // namespace imexp::gtk
