// The scripted user on a Linux desktop: the GTK presenter shows each window,
// and the script acts on its widgets as a user would (clicks, typed text,
// picked lines, the focus, Enter and Escape as key events through GTK's own
// event handling). What the user saw is read back from the widgets, so
// the scenarios check what GTK shows, not the model behind it.
#include <dlfcn.h>

#include <stdexcept>

#include "gtk/presenter_testing.h"
#include "platform/posix/host_exports.h"
#include "tests/support/test_support.h"
#include "tests/support/ui_driver.h"

namespace imexp::test {

namespace {

// How often a window's script takes its next step, in milliseconds.
constexpr unsigned kStepInterval = 5;

const gtk::ControlTag* TagOf(GtkWidget* widget) {
  return static_cast<const gtk::ControlTag*>(g_object_get_data(G_OBJECT(widget), gtk::kControlTagKey));
}

// GTK's mnemonic form back in Win32's: "_Open" -> "&Open".
std::string Win32Text(const char* text, bool mnemonic) {
  std::string out;
  for (const char* p = text != nullptr ? text : ""; *p != '\0'; ++p) {
    if (!mnemonic) {
      out += *p;
    } else if (*p == '_') {
      if (p[1] == '_') {
        out += '_';
        ++p;
      } else {
        out += '&';
      }
    } else if (*p == '&') {
      out += "&&";
    } else {
      out += *p;
    }
  }
  return out;
}

void CollectTagged(GtkWidget* widget, std::vector<GtkWidget*>& found) {
  if (TagOf(widget) != nullptr) found.push_back(widget);
  if (GTK_IS_CONTAINER(widget)) {
    gtk_container_forall(
        GTK_CONTAINER(widget),
        [](GtkWidget* child, gpointer data) {
          CollectTagged(child, *static_cast<std::vector<GtkWidget*>*>(data));
        },
        &found);
  }
}

std::vector<std::string> Lines(GtkTreeModel* model) {
  std::vector<std::string> lines;
  GtkTreeIter iter;
  for (gboolean more = gtk_tree_model_get_iter_first(model, &iter); more;
       more = gtk_tree_model_iter_next(model, &iter)) {
    gchar* text = nullptr;
    gtk_tree_model_get(model, &iter, 0, &text, -1);
    lines.push_back(text != nullptr ? text : "");
    g_free(text);
  }
  return lines;
}

int SelectedRow(GtkTreeView* tree) {
  GtkTreeModel* model = nullptr;
  GtkTreeIter iter;
  if (!gtk_tree_selection_get_selected(gtk_tree_view_get_selection(tree), &model, &iter)) return -1;
  GtkTreePath* path = gtk_tree_model_get_path(model, &iter);
  int row = gtk_tree_path_get_indices(path)[0];
  gtk_tree_path_free(path);
  return row;
}

// The widget that is placed for a control (a list's scrolled window).
GtkWidget* Placed(GtkWidget* widget) {
  GtkWidget* parent = gtk_widget_get_parent(widget);
  return GTK_IS_TREE_VIEW(widget) && parent != nullptr && GTK_IS_SCROLLED_WINDOW(parent) ? parent : widget;
}

UiControl Describe(GtkWindow* window, GtkWidget* widget) {
  const gtk::ControlTag* tag = TagOf(widget);
  UiControl c;
  c.id = tag->id;
  c.className = tag->className;
  GtkWidget* placed = Placed(widget);
  if (GTK_IS_LABEL(widget)) {
    c.text =
        Win32Text(gtk_label_get_label(GTK_LABEL(widget)), gtk_label_get_use_underline(GTK_LABEL(widget)));
  } else if (GTK_IS_BUTTON(widget)) {
    c.text =
        Win32Text(gtk_button_get_label(GTK_BUTTON(widget)), gtk_button_get_use_underline(GTK_BUTTON(widget)));
    if (GTK_IS_TOGGLE_BUTTON(widget)) c.checked = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget));
  } else if (GTK_IS_ENTRY(widget)) {
    c.text = gtk_entry_get_text(GTK_ENTRY(widget));
  } else if (GTK_IS_TREE_VIEW(widget)) {
    c.lines = Lines(gtk_tree_view_get_model(GTK_TREE_VIEW(widget)));
    c.selection = SelectedRow(GTK_TREE_VIEW(widget));
  } else if (GTK_IS_COMBO_BOX(widget)) {
    c.lines = Lines(gtk_combo_box_get_model(GTK_COMBO_BOX(widget)));
    c.selection = gtk_combo_box_get_active(GTK_COMBO_BOX(widget));
  }
  GtkWidget* client = gtk_bin_get_child(GTK_BIN(window));
  GtkAllocation size;
  gtk_widget_get_allocation(placed, &size);
  gtk_widget_translate_coordinates(placed, client, 0, 0, &c.x, &c.y);
  c.width = size.width;
  c.height = size.height;
  c.enabled = gtk_widget_is_sensitive(widget);
  c.visible = gtk_widget_is_visible(placed);
  c.focused = gtk_window_get_focus(window) == widget;
  return c;
}

// The themed icon a message box shows; "" for none.
std::string IconShown(GtkMessageDialog* box) {
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  GtkWidget* image = gtk_message_dialog_get_image(box);
  G_GNUC_END_IGNORE_DEPRECATIONS
  const gchar* name = nullptr;
  if (image != nullptr && GTK_IS_IMAGE(image) &&
      gtk_image_get_storage_type(GTK_IMAGE(image)) == GTK_IMAGE_ICON_NAME) {
    gtk_image_get_icon_name(GTK_IMAGE(image), &name, nullptr);
  }
  return name != nullptr ? name : "";
}

void SendKey(GtkWindow* window, guint keyval) {
  GdkWindow* target = gtk_widget_get_window(GTK_WIDGET(window));
  GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
  event->key.window = GDK_WINDOW(g_object_ref(target));
  event->key.send_event = TRUE;
  event->key.time = GDK_CURRENT_TIME;
  event->key.keyval = keyval;
  GdkKeymapKey* keys = nullptr;
  gint count = 0;
  if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gdk_display_get_default()), keyval, &keys,
                                        &count) &&
      count > 0) {
    event->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
  }
  g_free(keys);
  gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
  gtk_main_do_event(event);
  gdk_event_free(event);
}

}  // namespace

struct UiDriver::Impl {
  std::vector<UiScript> scripts;
  std::size_t next = 0;
  std::vector<UiWindowRecord> windows;
  ImExpPosix_SetPresenterFn setPresenter = nullptr;

  // One window on the screen and where its script stands.
  struct Run {
    Impl* driver;
    GtkWidget* window;  // cleared by GTK when the window goes
    std::size_t record;
    UiScript script;
    std::size_t step = 0;
    bool escaped = false;
  };

  static UiSnapshot Snapshot(GtkWindow* window) {
    std::vector<GtkWidget*> widgets;
    CollectTagged(GTK_WIDGET(window), widgets);
    UiSnapshot snapshot;
    for (GtkWidget* widget : widgets) snapshot.controls.push_back(Describe(window, widget));
    return snapshot;
  }

  static void Shown(GtkWindow* window, void* data) {
    Impl& self = *static_cast<Impl*>(data);
    auto* run = new Run{&self, GTK_WIDGET(window), self.windows.size(),
                        self.next < self.scripts.size() ? self.scripts[self.next++] : UiScript{}};
    g_object_add_weak_pointer(G_OBJECT(window), reinterpret_cast<gpointer*>(&run->window));
    UiWindowRecord record;
    record.caption = gtk_window_get_title(window) != nullptr ? gtk_window_get_title(window) : "";
    if (GTK_IS_MESSAGE_DIALOG(window)) {
      record.messageBox = true;
      gchar* text = nullptr;
      g_object_get(window, "text", &text, nullptr);
      record.text = text != nullptr ? text : "";
      g_free(text);
      std::string icon = IconShown(GTK_MESSAGE_DIALOG(window));
      record.errorIcon = icon == "dialog-error";
      record.warningIcon = icon == "dialog-warning";
    } else {
      // Let GTK lay the window out before it is read.
      while (gtk_events_pending()) gtk_main_iteration();
      GtkWidget* client = gtk_bin_get_child(GTK_BIN(window));
      record.width = gtk_widget_get_allocated_width(client);
      record.height = gtk_widget_get_allocated_height(client);
      record.states.push_back(Snapshot(window));
    }
    self.windows.push_back(record);
    g_timeout_add(kStepInterval, &Impl::Step, run);
  }

  static bool Ended(const Run& run) { return run.window == nullptr || !gtk_widget_get_visible(run.window); }

  static gboolean Step(gpointer data) {
    Run& run = *static_cast<Run*>(data);
    if (Ended(run)) return Finish(run);
    GtkWindow* window = GTK_WINDOW(run.window);
    if (GTK_IS_MESSAGE_DIALOG(window)) {
      int answer =
          !run.script.empty() && run.script[0].kind == UiAction::kAnswer ? run.script[0].id : kAnswerOk;
      gtk_dialog_response(GTK_DIALOG(window), answer);
      return Finish(run);
    }
    if (run.step < run.script.size()) {
      bool accepted = Act(window, run.script[run.step++]);
      // A nested window may have grown the list: index, not a reference.
      UiWindowRecord& record = run.driver->windows[run.record];
      record.accepted.push_back(accepted);
      if (!Ended(run)) record.states.push_back(Snapshot(window));
      return G_SOURCE_CONTINUE;
    }
    // The script is done: the user leaves with Escape, or closes a window
    // that will not leave.
    if (!run.escaped) {
      run.escaped = true;
      SendKey(window, GDK_KEY_Escape);
    } else {
      gtk_window_close(window);
    }
    return G_SOURCE_CONTINUE;
  }

  static gboolean Finish(Run& run) {
    if (run.window != nullptr)
      g_object_remove_weak_pointer(G_OBJECT(run.window), reinterpret_cast<gpointer*>(&run.window));
    delete &run;
    return G_SOURCE_REMOVE;
  }

  // The widget of control `id` if the user can reach it.
  static GtkWidget* Usable(GtkWindow* window, int id) {
    std::vector<GtkWidget*> widgets;
    CollectTagged(GTK_WIDGET(window), widgets);
    for (GtkWidget* widget : widgets) {
      if (TagOf(widget)->id != id) continue;
      return gtk_widget_is_sensitive(widget) && gtk_widget_is_visible(Placed(widget)) ? widget : nullptr;
    }
    return nullptr;
  }

  static bool Act(GtkWindow* window, const UiAction& action) {
    GtkWidget* widget = nullptr;
    switch (action.kind) {
      case UiAction::kPress:
        if ((widget = Usable(window, action.id)) == nullptr || !GTK_IS_BUTTON(widget)) return false;
        gtk_widget_grab_focus(widget);
        gtk_button_clicked(GTK_BUTTON(widget));
        return true;
      case UiAction::kType: {
        if ((widget = Usable(window, action.id)) == nullptr || !GTK_IS_ENTRY(widget)) return false;
        if (!gtk_widget_has_focus(widget)) gtk_widget_grab_focus(widget);
        GtkEditable* editable = GTK_EDITABLE(widget);
        // Typing replaces the selection and goes in at the caret.
        gtk_editable_delete_selection(editable);
        std::string before = gtk_entry_get_text(GTK_ENTRY(widget));
        gint at = gtk_editable_get_position(editable);
        gtk_editable_insert_text(editable, action.text.c_str(), -1, &at);
        gtk_editable_set_position(editable, at);
        return std::string(gtk_entry_get_text(GTK_ENTRY(widget))).size() ==
               before.size() + action.text.size();
      }
      case UiAction::kPickLine:
        if ((widget = Usable(window, action.id)) == nullptr || action.line < 0) return false;
        if (GTK_IS_TREE_VIEW(widget)) {
          GtkTreeView* tree = GTK_TREE_VIEW(widget);
          if (action.line >= gtk_tree_model_iter_n_children(gtk_tree_view_get_model(tree), nullptr))
            return false;
          gtk_widget_grab_focus(widget);
          GtkTreePath* path = gtk_tree_path_new_from_indices(action.line, -1);
          gtk_tree_view_set_cursor(tree, path, nullptr, FALSE);
          gtk_tree_path_free(path);
          return true;
        }
        if (GTK_IS_COMBO_BOX(widget)) {
          GtkComboBox* combo = GTK_COMBO_BOX(widget);
          if (action.line >= gtk_tree_model_iter_n_children(gtk_combo_box_get_model(combo), nullptr))
            return false;
          gtk_widget_grab_focus(widget);
          gtk_combo_box_set_active(combo, action.line);
          return true;
        }
        return false;
      case UiAction::kFocus:
        if ((widget = Usable(window, action.id)) == nullptr || !gtk_widget_get_can_focus(widget))
          return false;
        gtk_widget_grab_focus(widget);
        return true;
      case UiAction::kEnter:
        SendKey(window, GDK_KEY_Return);
        return true;
      case UiAction::kEscape:
        SendKey(window, GDK_KEY_Escape);
        return true;
      case UiAction::kAnswer:
        return false;
    }
    return false;
  }
};

UiDriver::UiDriver(std::vector<UiScript> scripts, const Library* manager) : impl_(new Impl) {
  impl_->scripts = std::move(scripts);
  // The file chooser keeps its settings; a test keeps them in memory.
  g_setenv("GSETTINGS_BACKEND", "memory", FALSE);
  Presenter* presenter = ImExpGtk_Presenter();
  if (presenter == nullptr) {
    delete impl_;
    throw std::runtime_error("the GTK presenter cannot open a display (DISPLAY)");
  }
  void* symbol =
      manager ? manager->Symbol("ImExpPosix_SetPresenter") : dlsym(RTLD_DEFAULT, "ImExpPosix_SetPresenter");
  impl_->setPresenter = reinterpret_cast<ImExpPosix_SetPresenterFn>(symbol);
  if (impl_->setPresenter == nullptr) {
    delete impl_;
    throw std::runtime_error("no presenter hook found");
  }
  impl_->setPresenter(presenter);
  ImExpGtk_SetWindowObserver(&Impl::Shown, impl_);
}

UiDriver::~UiDriver() {
  ImExpGtk_SetWindowObserver(nullptr, nullptr);
  impl_->setPresenter(nullptr);
  delete impl_;
}

const std::vector<UiWindowRecord>& UiDriver::windows() const { return impl_->windows; }

}  // namespace imexp::test
