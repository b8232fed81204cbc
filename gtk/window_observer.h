// Tells the observer a test may have installed that a window is up.
#pragma once

#include <gtk/gtk.h>

namespace imexp::gtk {

void AnnounceShown(GtkWindow* window);

}  // namespace imexp::gtk
