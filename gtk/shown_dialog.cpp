#include "gtk/shown_dialog.h"

#include "gtk/presenter_testing.h"
#include "gtk/texts.h"
#include "gtk/window_observer.h"

namespace imexp::gtk {

namespace {

// Win32 styles the widgets follow.
constexpr unsigned kStaticTypeMask = 0x1F;
constexpr unsigned kStaticCentre = 0x01;
constexpr unsigned kStaticRight = 0x02;
constexpr unsigned kStaticNoWordWrap = 0x0C;  // SS_LEFTNOWORDWRAP
constexpr unsigned kStaticNoPrefix = 0x80;
constexpr unsigned kBorder = 0x00800000;
constexpr unsigned kVerticalScroll = 0x00200000;
// GtkEntry takes at most this many characters.
constexpr int kLongestEntry = 65535;

GtkWidget* NewLabel(const ControlState& state) {
  GtkWidget* label = gtk_label_new(nullptr);
  unsigned type = state.style & kStaticTypeMask;
  float x = type == kStaticCentre ? 0.5f : type == kStaticRight ? 1.0f : 0.0f;
  gtk_label_set_xalign(GTK_LABEL(label), x);
  gtk_label_set_yalign(GTK_LABEL(label), 0.0f);
  gtk_label_set_justify(GTK_LABEL(label), type == kStaticCentre  ? GTK_JUSTIFY_CENTER
                                          : type == kStaticRight ? GTK_JUSTIFY_RIGHT
                                                                 : GTK_JUSTIFY_LEFT);
  // Win32 breaks a static's text at words, and cuts what does not fit.
  if (type != kStaticNoWordWrap) gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  return label;
}

GtkWidget* NewList(GtkWidget** inner) {
  GtkListStore* store = gtk_list_store_new(1, G_TYPE_STRING);
  GtkWidget* tree = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
  g_object_unref(store);
  gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(tree), FALSE);
  gtk_tree_view_set_enable_search(GTK_TREE_VIEW(tree), FALSE);
  gtk_tree_view_append_column(GTK_TREE_VIEW(tree), gtk_tree_view_column_new_with_attributes(
                                                       "", gtk_cell_renderer_text_new(), "text", 0, nullptr));
  GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scrolled), GTK_SHADOW_IN);
  gtk_container_add(GTK_CONTAINER(scrolled), tree);
  gtk_widget_show(tree);
  *inner = tree;
  return scrolled;
}

int SelectedRow(GtkTreeSelection* selection) {
  GtkTreeModel* model = nullptr;
  GtkTreeIter iter;
  if (!gtk_tree_selection_get_selected(selection, &model, &iter)) return -1;
  GtkTreePath* path = gtk_tree_model_get_path(model, &iter);
  int row = gtk_tree_path_get_indices(path)[0];
  gtk_tree_path_free(path);
  return row;
}

}  // namespace

ShownDialog::ShownDialog(DialogView& view, GtkWindow* parent) : view_(view) {
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window_), view.Caption().c_str());
  gtk_window_set_modal(GTK_WINDOW(window_), TRUE);
  gtk_window_set_type_hint(GTK_WINDOW(window_), GDK_WINDOW_TYPE_HINT_DIALOG);
  if (parent != nullptr) gtk_window_set_transient_for(GTK_WINDOW(window_), parent);
  g_signal_connect(window_, "key-press-event", G_CALLBACK(&ShownDialog::OnKeyPress), this);
  g_signal_connect(window_, "delete-event", G_CALLBACK(&ShownDialog::OnDelete), this);
  g_signal_connect_after(window_, "set-focus", G_CALLBACK(&ShownDialog::OnSetFocus), this);
}

ShownDialog::~ShownDialog() { DestroyWindow(); }

void ShownDialog::DestroyWindow() {
  if (window_ == nullptr) return;
  syncing_ = true;
  gtk_widget_destroy(window_);
  window_ = nullptr;
  gdk_display_flush(gdk_display_get_default());
}

void ShownDialog::Run() {
  Refresh();
  gtk_widget_show(window_);
  gtk_window_present(GTK_WINDOW(window_));
  AnnounceShown(GTK_WINDOW(window_));
  while (!view_.Ended() && !closed_) gtk_main_iteration();
}

ShownDialog::Control* ShownDialog::AddControl(const ControlState& state, std::size_t index) {
  auto control = std::make_unique<Control>();
  control->id = state.id;
  control->index = index;
  control->kind = state.kind;
  control->owner = this;
  GtkWidget* widget = nullptr;
  GtkWidget* inner = nullptr;
  switch (state.kind) {
    case ControlKind::kLabel:
      widget = NewLabel(state);
      break;
    case ControlKind::kFrame:
      widget = gtk_frame_new(nullptr);
      gtk_frame_set_shadow_type(GTK_FRAME(widget), GTK_SHADOW_ETCHED_IN);
      break;
    case ControlKind::kPushButton:
    case ControlKind::kDefaultButton:
      widget = gtk_button_new_with_mnemonic("");
      gtk_widget_set_can_default(widget, TRUE);
      g_signal_connect(widget, "clicked", G_CALLBACK(&ShownDialog::OnClicked), control.get());
      break;
    case ControlKind::kCheckBox:
      widget = gtk_check_button_new_with_mnemonic("");
      g_signal_connect(widget, "toggled", G_CALLBACK(&ShownDialog::OnToggled), control.get());
      break;
    case ControlKind::kEdit:
      widget = gtk_entry_new();
      gtk_entry_set_width_chars(GTK_ENTRY(widget), 1);
      gtk_entry_set_has_frame(GTK_ENTRY(widget), (state.style & kBorder) != 0);
      g_signal_connect(widget, "changed", G_CALLBACK(&ShownDialog::OnEntryChanged), control.get());
      break;
    case ControlKind::kListBox:
      widget = NewList(&inner);
      gtk_scrolled_window_set_policy(
          GTK_SCROLLED_WINDOW(widget), GTK_POLICY_NEVER,
          (state.style & kVerticalScroll) ? GTK_POLICY_AUTOMATIC : GTK_POLICY_NEVER);
      g_signal_connect(gtk_tree_view_get_selection(GTK_TREE_VIEW(inner)), "changed",
                       G_CALLBACK(&ShownDialog::OnListSelection), control.get());
      break;
    case ControlKind::kComboBox:
      widget = gtk_combo_box_text_new();
      g_signal_connect(widget, "changed", G_CALLBACK(&ShownDialog::OnComboChanged), control.get());
      break;
    default:
      return nullptr;
  }
  control->widget = widget;
  control->inner = inner != nullptr ? inner : widget;
  g_object_set_data_full(G_OBJECT(control->inner), kControlTagKey,
                         new ControlTag{state.id, ClassNameOf(state.kind)},
                         [](gpointer tag) { delete static_cast<ControlTag*>(tag); });
  control->x = state.x;
  control->y = state.y;
  control->width = state.width;
  control->height = state.height;
  Place(*control, state);
  controls_.push_back(std::move(control));
  return controls_.back().get();
}

void ShownDialog::LinkMnemonics() {
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    if (controls_[i]->kind != ControlKind::kLabel) continue;
    for (std::size_t j = i + 1; j < controls_.size(); ++j) {
      if (controls_[j]->kind == ControlKind::kLabel || controls_[j]->kind == ControlKind::kFrame) continue;
      gtk_label_set_mnemonic_widget(GTK_LABEL(controls_[i]->widget), controls_[j]->inner);
      break;
    }
  }
}

int ShownDialog::ModelSelection(int id) const {
  for (const ControlState& state : view_.Controls()) {
    if (state.id == id) return state.selection;
  }
  return -1;
}

void ShownDialog::AfterAction() {
  if (view_.Ended()) {
    gtk_widget_hide(window_);
  } else {
    Refresh();
  }
}

void ShownDialog::Refresh() {
  if (view_.Ended()) return;
  gtk_window_set_title(GTK_WINDOW(window_), view_.Caption().c_str());
  bool wasSyncing = syncing_;
  syncing_ = true;
  std::vector<ControlState> states = view_.Controls();
  for (auto& control : controls_) {
    if (control->index < states.size() && states[control->index].id == control->id) {
      RefreshControl(*control, states[control->index]);
    }
  }
  RefreshMore();
  syncing_ = wasSyncing;
}

void ShownDialog::RefreshControl(Control& control, const ControlState& state) {
  ShowText(control, state);
  ShowLines(control, state);
  if (state.kind == ControlKind::kCheckBox &&
      gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(control.widget)) != state.checked) {
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(control.widget), state.checked);
  }
  if (gtk_widget_get_sensitive(control.widget) != state.enabled)
    gtk_widget_set_sensitive(control.widget, state.enabled);
  if (gtk_widget_get_visible(control.widget) != state.visible)
    gtk_widget_set_visible(control.widget, state.visible);
  if (state.kind == ControlKind::kDefaultButton &&
      gtk_window_get_default_widget(GTK_WINDOW(window_)) != control.inner) {
    gtk_window_set_default(GTK_WINDOW(window_), control.inner);
  }
  if (state.focused && !gtk_widget_has_focus(control.inner) && gtk_widget_get_can_focus(control.inner)) {
    gtk_widget_grab_focus(control.inner);
  }
  if (state.x != control.x || state.y != control.y || state.width != control.width ||
      state.height != control.height) {
    control.x = state.x;
    control.y = state.y;
    control.width = state.width;
    control.height = state.height;
    Place(control, state);
  }
}

void ShownDialog::ShowText(Control& control, const ControlState& state) {
  switch (state.kind) {
    case ControlKind::kLabel: {
      GtkLabel* label = GTK_LABEL(control.widget);
      if (state.style & kStaticNoPrefix) {
        if (state.text != gtk_label_get_text(label)) gtk_label_set_text(label, state.text.c_str());
      } else if (MnemonicText(state.text) != gtk_label_get_label(label)) {
        gtk_label_set_text_with_mnemonic(label, MnemonicText(state.text).c_str());
      }
      break;
    }
    case ControlKind::kPushButton:
    case ControlKind::kDefaultButton:
    case ControlKind::kCheckBox: {
      std::string text = MnemonicText(state.text);
      const char* shown = gtk_button_get_label(GTK_BUTTON(control.widget));
      if (shown == nullptr || text != shown) gtk_button_set_label(GTK_BUTTON(control.widget), text.c_str());
      break;
    }
    case ControlKind::kEdit: {
      GtkEntry* entry = GTK_ENTRY(control.widget);
      int limit = state.textLimit > 0 && state.textLimit < kLongestEntry ? state.textLimit : 0;
      if (gtk_entry_get_max_length(entry) != limit) gtk_entry_set_max_length(entry, limit);
      if (state.text != gtk_entry_get_text(entry)) gtk_entry_set_text(entry, state.text.c_str());
      break;
    }
    default:
      break;
  }
}

void ShownDialog::ShowLines(Control& control, const ControlState& state) {
  if (state.kind == ControlKind::kListBox) {
    GtkTreeView* tree = GTK_TREE_VIEW(control.inner);
    if (control.lines != state.lines) {
      GtkListStore* store = GTK_LIST_STORE(gtk_tree_view_get_model(tree));
      gtk_list_store_clear(store);
      for (const std::string& line : state.lines)
        gtk_list_store_insert_with_values(store, nullptr, -1, 0, line.c_str(), -1);
      control.lines = state.lines;
    }
    GtkTreeSelection* selection = gtk_tree_view_get_selection(tree);
    if (SelectedRow(selection) != state.selection) {
      if (state.selection < 0) {
        gtk_tree_selection_unselect_all(selection);
      } else {
        GtkTreePath* path = gtk_tree_path_new_from_indices(state.selection, -1);
        gtk_tree_selection_select_path(selection, path);
        gtk_tree_view_scroll_to_cell(tree, path, nullptr, FALSE, 0, 0);
        gtk_tree_path_free(path);
      }
    }
  } else if (state.kind == ControlKind::kComboBox) {
    GtkComboBoxText* combo = GTK_COMBO_BOX_TEXT(control.widget);
    if (control.lines != state.lines) {
      gtk_combo_box_text_remove_all(combo);
      for (const std::string& line : state.lines) gtk_combo_box_text_append_text(combo, line.c_str());
      control.lines = state.lines;
    }
    if (gtk_combo_box_get_active(GTK_COMBO_BOX(combo)) != state.selection) {
      gtk_combo_box_set_active(GTK_COMBO_BOX(combo), state.selection);
    }
  }
}

// ------------------------------------------------------------ the user's side

void ShownDialog::OnClicked(GtkButton*, Control* control) {
  ShownDialog& self = *control->owner;
  if (!self.Acting()) return;
  self.view_.Press(control->id);
  self.AfterAction();
}

void ShownDialog::OnToggled(GtkToggleButton*, Control* control) {
  ShownDialog& self = *control->owner;
  if (!self.Acting()) return;
  // GTK has turned the box over already; the model decides what it shows
  // (a plain check box stays as it was until its dialog sets it), and the
  // refresh after the action puts the widget back in step.
  self.view_.Press(control->id);
  self.AfterAction();
}

void ShownDialog::OnEntryChanged(GtkEditable* entry, Control* control) {
  ShownDialog& self = *control->owner;
  if (!self.Acting()) return;
  self.view_.ReplaceText(control->id, gtk_entry_get_text(GTK_ENTRY(entry)));
  // What the model refused, or changed in return, is drawn again.
  self.AfterAction();
}

void ShownDialog::OnListSelection(GtkTreeSelection* selection, Control* control) {
  ShownDialog& self = *control->owner;
  int row = SelectedRow(selection);
  if (!self.Acting() || row < 0 || row == self.ModelSelection(control->id)) return;
  self.view_.PickLine(control->id, row);
  self.AfterAction();
}

void ShownDialog::OnComboChanged(GtkComboBox* combo, Control* control) {
  ShownDialog& self = *control->owner;
  int row = gtk_combo_box_get_active(combo);
  if (!self.Acting() || row < 0 || row == self.ModelSelection(control->id)) return;
  self.view_.PickLine(control->id, row);
  self.AfterAction();
}

void ShownDialog::OnSetFocus(GtkWindow*, GtkWidget* widget, ShownDialog* self) {
  if (!self->Acting() || widget == nullptr) return;
  std::vector<ControlState> states = self->view_.Controls();
  for (const auto& control : self->controls_) {
    if (control->inner != widget) continue;
    if (control->index < states.size() && !states[control->index].focused) self->view_.Focus(control->id);
    return;
  }
}

gboolean ShownDialog::OnKeyPress(GtkWidget*, GdkEventKey* event, ShownDialog* self) {
  if (!self->Acting()) return FALSE;
  switch (event->keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter:
      if (self->TakesEnterItself(gtk_window_get_focus(GTK_WINDOW(self->window_)))) return FALSE;
      self->view_.PressEnter();
      self->AfterAction();
      return TRUE;
    case GDK_KEY_Escape:
      self->view_.PressEscape();
      self->AfterAction();
      return TRUE;
    default:
      return FALSE;
  }
}

gboolean ShownDialog::OnDelete(GtkWidget*, GdkEvent*, ShownDialog* self) {
  // Closing the window is Escape; a dialog that will not leave on Escape is
  // given up, and the manager ends it with Cancel.
  if (self->Acting()) self->view_.PressEscape();
  if (!self->view_.Ended()) self->closed_ = true;
  gtk_widget_hide(self->window_);
  return TRUE;
}

}  // namespace imexp::gtk
