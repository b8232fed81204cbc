/*
 * ImExp GTK presenter (Linux desktops): shows the manager's dialogs and
 * message boxes as GTK 3 windows. It lives in its own library,
 * libimexp_gtk.so, so that the manager and hosts that do not want it link no
 * toolkit.
 *
 *   #include <imexp/gtk_presenter.h>
 *   #include <imexp/host.h>
 *
 *   int main(int argc, char** argv) {
 *     if (!ImExpGtk_Install(&argc, &argv)) return 2;  // no display
 *     char path[256] = "";
 *     if (ImExp_SelectFileToRead(nullptr, path)) std::puts(path);
 *   }
 *
 * The manager's calls then show their windows over GTK and return when the
 * user has answered, from a main loop of their own; a host that runs GTK
 * already calls ImExpGtk_Install after gtk_init, and its windows stay alive
 * meanwhile. Call it, and the manager, from the GTK thread.
 */
#ifndef IMEXP_GTK_PRESENTER_H
#define IMEXP_GTK_PRESENTER_H

#ifdef __cplusplus
extern "C" {
#endif

/* Opens the display (GTK's own command-line options are taken out of argv;
 * both may be null) and installs the presenter in the manager. Returns 1, or
 * 0 with nothing installed when no X or Wayland display can be opened. */
__attribute__((visibility("default"))) int ImExpGtk_Install(int* argc, char*** argv);

/* The presenter itself, for a host that passes it on from a presenter of
 * its own (counting the message boxes, say) or installs it into a manager
 * it loaded itself. Opens the display as ImExpGtk_Install does; null when
 * none opens. */
#ifdef __cplusplus
namespace imexp {
class Presenter;
}
__attribute__((visibility("default"))) imexp::Presenter* ImExpGtk_Presenter(void);
#endif

/* Puts the manager's default presenter back (message boxes on stderr). */
__attribute__((visibility("default"))) void ImExpGtk_Uninstall(void);

#ifdef __cplusplus
}
#endif

#endif /* IMEXP_GTK_PRESENTER_H */
