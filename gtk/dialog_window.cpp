#include "gtk/dialog_window.h"

namespace imexp::gtk {

DialogWindow::DialogWindow(DialogView& view, GtkWindow* parent) : ShownDialog(view, parent) {
  // The template's pixels hold for the font and paddings the style class
  // gives (gtk_presenter.cpp).
  gtk_style_context_add_class(gtk_widget_get_style_context(window_), "imexp-dialog");
  gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
  fixed_ = gtk_fixed_new();
  gtk_widget_set_size_request(fixed_, view.Width(), view.Height());
  gtk_container_add(GTK_CONTAINER(window_), fixed_);
  gtk_widget_show(fixed_);
  std::vector<ControlState> states = view.Controls();
  for (std::size_t i = 0; i < states.size(); ++i) {
    if (Control* control = AddControl(states[i], i)) gtk_widget_show(control->widget);
  }
  LinkMnemonics();
  // The dialogs centre themselves on a desktop the layer only assumes; on
  // the real one they go over the window they belong to, else mid-screen.
  gtk_window_set_position(GTK_WINDOW(window_),
                          parent != nullptr ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);
}

void DialogWindow::Place(Control& control, const ControlState& state) {
  gtk_widget_set_size_request(control.widget, state.width, state.height);
  if (gtk_widget_get_parent(control.widget) == nullptr) {
    gtk_fixed_put(GTK_FIXED(fixed_), control.widget, state.x, state.y);
  } else {
    gtk_fixed_move(GTK_FIXED(fixed_), control.widget, state.x, state.y);
  }
}

}  // namespace imexp::gtk
