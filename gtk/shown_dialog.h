// A modal dialog of the manager on the screen: GTK widgets that stand for
// its controls, kept in step with the live model both ways. The model is the
// truth: what the user does goes to it as an action (press, type, pick a
// line, focus, Enter, Escape), and every change it reports is drawn again.
// The two kinds of window (a dialog from a template, a file dialog) differ
// only in where the widgets go.
#pragma once

#include <gtk/gtk.h>

#include <imexp/presenter.h>

#include <memory>
#include <string>
#include <vector>

namespace imexp::gtk {

class ShownDialog {
 public:
  ShownDialog(DialogView& view, GtkWindow* parent);
  virtual ~ShownDialog();
  ShownDialog(const ShownDialog&) = delete;
  ShownDialog& operator=(const ShownDialog&) = delete;

  // Shows the window and runs GTK until the dialog has ended or the user
  // has closed a window the dialog would not leave.
  void Run();
  // Draws what the model shows now.
  void Refresh();

  DialogView& view() { return view_; }
  GtkWindow* window() { return GTK_WINDOW(window_); }

 protected:
  struct Control {
    int id = 0;
    std::size_t index = 0;  // its place in DialogView::Controls()
    ControlKind kind = ControlKind::kOther;
    GtkWidget* widget = nullptr;  // what is placed: a scrolled window for a list
    GtkWidget* inner = nullptr;   // what acts: the tree view of a list, else the widget
    ShownDialog* owner = nullptr;
    std::vector<std::string> lines;  // lists and combo boxes, as last drawn
    int x = 0, y = 0, width = 0, height = 0;
  };

  // A widget for `state`, tagged and wired to the model; null for a kind
  // that is not drawn. Labels get their mnemonic's widget once all exist.
  Control* AddControl(const ControlState& state, std::size_t index);
  // Links each label's mnemonic to the next control that takes the focus.
  void LinkMnemonics();
  // After an action of the user: a dialog that has ended leaves the screen
  // at once, one that runs shows what the action changed.
  void AfterAction();
  // Takes the window off the screen; the destructor does it too.
  void DestroyWindow();
  // After the common state is drawn: what the subclass keeps in step.
  virtual void RefreshMore() {}
  virtual void Place(Control& control, const ControlState& state) = 0;
  // Enter goes to the model unless a widget of the subclass wants it.
  virtual bool TakesEnterItself(GtkWidget* focus) const {
    (void)focus;
    return false;
  }

  // Set while the presenter changes widgets, so that their signals are not
  // taken for the user's actions.
  bool syncing_ = false;
  DialogView& view_;
  GtkWidget* window_ = nullptr;

 private:
  void RefreshControl(Control& control, const ControlState& state);
  void ShowText(Control& control, const ControlState& state);
  void ShowLines(Control& control, const ControlState& state);
  bool Acting() const { return !syncing_ && !view_.Ended(); }

  static void OnClicked(GtkButton* button, Control* control);
  static void OnToggled(GtkToggleButton* button, Control* control);
  static void OnEntryChanged(GtkEditable* entry, Control* control);
  static void OnListSelection(GtkTreeSelection* selection, Control* control);
  static void OnComboChanged(GtkComboBox* combo, Control* control);
  static void OnSetFocus(GtkWindow* window, GtkWidget* widget, ShownDialog* self);
  static gboolean OnKeyPress(GtkWidget* widget, GdkEventKey* event, ShownDialog* self);
  static gboolean OnDelete(GtkWidget* widget, GdkEvent* event, ShownDialog* self);

  [[nodiscard]] int ModelSelection(int id) const;

  std::vector<std::unique_ptr<Control>> controls_;
  bool closed_ = false;
};

}  // namespace imexp::gtk
