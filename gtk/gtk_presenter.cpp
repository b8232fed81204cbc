// The GTK presenter: message boxes as message dialogs, dialogs as windows
// that nest as the manager's modal loops do, each kept in step with its
// model until the dialog ends.
#include <imexp/gtk_presenter.h>
#include <imexp/presenter.h>

#include <memory>
#include <vector>

#include "gtk/dialog_window.h"
#include "gtk/file_window.h"
#include "gtk/message_box.h"
#include "gtk/presenter_testing.h"
#include "gtk/window_observer.h"

namespace imexp::gtk {

namespace {

// The fonts and paddings under which the templates' pixels hold: the
// templates were laid out for an 8-point dialog font and Win32's thin
// controls.
constexpr char kDialogStyle[] = R"(
.imexp-dialog { font-family: "DejaVu Sans", sans-serif; font-size: 8pt; }
.imexp-dialog button { padding: 0 4px; min-height: 0; min-width: 0; }
.imexp-dialog entry { padding: 0 3px; min-height: 0; }
.imexp-dialog frame > border { border-color: #808080; }
)";

class GtkPresenter final : public Presenter {
 public:
  int ShowMessageBox(void*, const char* text, const char* caption, unsigned type) override {
    return RunMessageBox(Top(), text, caption, type);
  }

  void RunDialog(DialogView& view) override {
    std::unique_ptr<ShownDialog> shown;
    if (view.IsFileDialog()) {
      shown = std::make_unique<FileWindow>(view, Top());
    } else {
      shown = std::make_unique<DialogWindow>(view, Top());
    }
    shown_.push_back(shown.get());
    shown->Run();
    shown_.pop_back();
  }

  void DialogChanged(DialogView& view) override {
    for (ShownDialog* shown : shown_) {
      if (&shown->view() == &view) shown->Refresh();
    }
  }

 private:
  GtkWindow* Top() const { return shown_.empty() ? nullptr : shown_.back()->window(); }

  std::vector<ShownDialog*> shown_;  // the dialogs on the screen, innermost last
};

ImExpGtk_WindowObserver observer = nullptr;
void* observerData = nullptr;

GtkPresenter* Opened() {
  static bool opened = false, tried = false;
  if (!tried) {
    tried = true;
    // The file chooser keeps its settings through the session bus; without
    // one they are kept for the process instead of failing with a warning.
    if (g_getenv("DBUS_SESSION_BUS_ADDRESS") == nullptr) g_setenv("GSETTINGS_BACKEND", "memory", FALSE);
    opened = gtk_init_check(nullptr, nullptr);
    if (opened) {
      GtkCssProvider* style = gtk_css_provider_new();
      gtk_css_provider_load_from_data(style, kDialogStyle, -1, nullptr);
      gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(style),
                                                GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
      g_object_unref(style);
    }
  }
  static GtkPresenter presenter;
  return opened ? &presenter : nullptr;
}

}  // namespace

void AnnounceShown(GtkWindow* window) {
  if (observer != nullptr) observer(window, observerData);
}

}  // namespace imexp::gtk

extern "C" int ImExpGtk_Install(int* argc, char*** argv) {
  // GTK takes its own options out of the command line before it opens the
  // display; a host that has opened it already is left as it is.
  if (argc != nullptr && argv != nullptr && !gtk_parse_args(argc, argv)) return 0;
  imexp::Presenter* presenter = imexp::gtk::Opened();
  if (presenter == nullptr) return 0;
  ImExpPosix_SetPresenter(presenter);
  return 1;
}

extern "C" void ImExpGtk_Uninstall() { ImExpPosix_SetPresenter(nullptr); }

extern "C" void ImExpGtk_SetWindowObserver(ImExpGtk_WindowObserver observer, void* data) {
  imexp::gtk::observer = observer;
  imexp::gtk::observerData = data;
}

extern "C" imexp::Presenter* ImExpGtk_Presenter() { return imexp::gtk::Opened(); }
