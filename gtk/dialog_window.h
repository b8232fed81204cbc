// A dialog from one of the manager's templates, each control where the
// template puts it, in pixels.
#pragma once

#include "gtk/shown_dialog.h"

namespace imexp::gtk {

class DialogWindow final : public ShownDialog {
 public:
  DialogWindow(DialogView& view, GtkWindow* parent);

 private:
  void Place(Control& control, const ControlState& state) override;

  GtkWidget* fixed_ = nullptr;
};

}  // namespace imexp::gtk
