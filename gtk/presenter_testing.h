// What tests of the GTK presenter may rely on: each window is announced
// to an observer when it is on the screen and waits for the user, and every
// widget that stands for one of the dialog's controls carries a tag with the
// control's ID and Win32 class. A message box is a GtkMessageDialog whose
// response IDs are the Win32 answers (kAnswerOk, ...).
#pragma once

#include <gtk/gtk.h>

#include <imexp/gtk_presenter.h>
#include <imexp/presenter.h>

namespace imexp::gtk {

struct ControlTag {
  int id;
  const char* className;  // "Static", "Button", "Edit", "ListBox", "ComboBox"
};

// The key of a widget's ControlTag (g_object_get_data).
inline constexpr char kControlTagKey[] = "imexp-control";

}  // namespace imexp::gtk

extern "C" {
using ImExpGtk_WindowObserver = void (*)(GtkWindow* window, void* data);
// Called with each window the presenter shows, once it is up; null stops it.
__attribute__((visibility("default"))) void ImExpGtk_SetWindowObserver(ImExpGtk_WindowObserver observer,
                                                                       void* data);
}
