#include "gtk/file_window.h"

#include <fnmatch.h>

#include <memory>

namespace imexp::gtk {

namespace {

constexpr int kOk = kAnswerOk;
constexpr int kCancel = kAnswerCancel;

// Grid cells of the controls below the chooser: column, row.
struct Cell {
  int id, column, row;
};
constexpr Cell kCells[] = {{kNameLabel, 0, 0}, {kNameBox, 1, 0},  {kOk, 2, 0},
                           {kTypeLabel, 0, 1}, {kTypeList, 1, 1}, {kCancel, 2, 1}};
constexpr int kFirstHookRow = 2;

constexpr int kDefaultWidth = 760;
constexpr int kDefaultHeight = 540;

// The dialog's patterns ("*.TIF;*.TIFF") match names in any case.
gboolean MatchesPatterns(const GtkFileFilterInfo* info, gpointer data) {
  const std::string& patterns = *static_cast<const std::string*>(data);
  const char* name = info->display_name;
  if (name == nullptr) return FALSE;
  for (std::size_t start = 0; start <= patterns.size();) {
    std::size_t end = patterns.find(';', start);
    if (end == std::string::npos) end = patterns.size();
    std::string pattern = patterns.substr(start, end - start);
    if (!pattern.empty() && fnmatch(pattern.c_str(), name, FNM_CASEFOLD) == 0) return TRUE;
    start = end + 1;
  }
  return FALSE;
}

bool ByTheUser() {
  GdkEvent* event = gtk_get_current_event();
  if (event == nullptr) return false;
  GdkEventType type = event->type;
  gdk_event_free(event);
  return type == GDK_BUTTON_PRESS || type == GDK_BUTTON_RELEASE || type == GDK_2BUTTON_PRESS ||
         type == GDK_KEY_PRESS;
}

std::string TakeString(char* text) {
  std::string s = text != nullptr ? text : "";
  g_free(text);
  return s;
}

}  // namespace

FileWindow::FileWindow(DialogView& view, GtkWindow* parent) : ShownDialog(view, parent) {
  gtk_window_set_default_size(GTK_WINDOW(window_), kDefaultWidth, kDefaultHeight);
  gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
  chooser_ = gtk_file_chooser_widget_new(GTK_FILE_CHOOSER_ACTION_OPEN);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(chooser_);
  gtk_file_chooser_set_local_only(chooser, TRUE);
  gtk_file_chooser_set_select_multiple(chooser, FALSE);
  gtk_container_set_border_width(GTK_CONTAINER(chooser_), 6);
  gtk_container_add(GTK_CONTAINER(window_), chooser_);

  // The types are not the chooser's own list: the type list below stands
  // for the dialog's, and the filter follows what it picks.
  std::vector<DialogView::FileType> types = view.FileTypes();
  patterns_.reserve(types.size());
  for (const DialogView::FileType& type : types) {
    patterns_.push_back(type.patterns);
    GtkFileFilter* filter = gtk_file_filter_new();
    g_object_ref_sink(filter);
    gtk_file_filter_set_name(filter, type.description.c_str());
    gtk_file_filter_add_custom(filter, GTK_FILE_FILTER_DISPLAY_NAME, &MatchesPatterns, &patterns_.back(),
                               nullptr);
    filters_.push_back(filter);
  }

  grid_ = gtk_grid_new();
  gtk_grid_set_row_spacing(GTK_GRID(grid_), 6);
  gtk_grid_set_column_spacing(GTK_GRID(grid_), 8);
  gtk_widget_set_hexpand(grid_, TRUE);
  hookRows_ = kFirstHookRow;
  std::vector<ControlState> states = view.Controls();
  for (std::size_t i = 0; i < states.size(); ++i) {
    int id = states[i].id;
    if (id != kFolderLabel && id != kFolderBox && id != kFileList) AddControl(states[i], i);
  }
  LinkMnemonics();
  gtk_widget_show_all(grid_);
  gtk_file_chooser_set_extra_widget(chooser, grid_);
  gtk_widget_show(chooser_);

  g_signal_connect(chooser_, "current-folder-changed", G_CALLBACK(&FileWindow::OnFolderChanged), this);
  g_signal_connect(chooser_, "selection-changed", G_CALLBACK(&FileWindow::OnSelectionChanged), this);
  g_signal_connect(chooser_, "file-activated", G_CALLBACK(&FileWindow::OnFileActivated), this);
}

FileWindow::~FileWindow() {
  // The filters' match functions use patterns_: the chooser goes first.
  DestroyWindow();
  for (GtkFileFilter* filter : filters_) g_object_unref(filter);
}

void FileWindow::Place(Control& control, const ControlState& state) {
  if (gtk_widget_get_parent(control.widget) != nullptr) return;  // the grid keeps its places
  for (const Cell& cell : kCells) {
    if (cell.id == state.id) {
      if (cell.column == 1) gtk_widget_set_hexpand(control.widget, TRUE);
      gtk_grid_attach(GTK_GRID(grid_), control.widget, cell.column, cell.row, 1, 1);
      return;
    }
  }
  // The hook's controls, one row each below Cancel: buttons in its column,
  // the rest across the other two.
  bool button = state.kind == ControlKind::kPushButton || state.kind == ControlKind::kDefaultButton;
  if (button) {
    gtk_grid_attach(GTK_GRID(grid_), control.widget, 2, hookRows_++, 1, 1);
  } else {
    gtk_grid_attach(GTK_GRID(grid_), control.widget, 0, hookRows_++, 2, 1);
  }
}

void FileWindow::RefreshMore() {
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(chooser_);
  std::string folder = view_.Folder();
  if (folder != shownFolder_) {
    shownFolder_ = folder;
    if (TakeString(gtk_file_chooser_get_current_folder(chooser)) != folder) {
      gtk_file_chooser_set_current_folder(chooser, folder.c_str());
    }
  }
  int type = -1;
  for (const ControlState& state : view_.Controls()) {
    if (state.id == kTypeList) type = state.selection;
  }
  if (type != shownFilter_ && type >= 0 && type < static_cast<int>(filters_.size())) {
    shownFilter_ = type;
    gtk_file_chooser_set_filter(chooser, filters_[type]);
  }
}

bool FileWindow::TakesEnterItself(GtkWidget* focus) const {
  return focus != nullptr && gtk_widget_is_ancestor(focus, chooser_) && !gtk_widget_is_ancestor(focus, grid_);
}

void FileWindow::MoveToFolder(const std::string& folder) {
  std::string name;
  for (const ControlState& state : view_.Controls()) {
    if (state.id == kNameBox) name = state.text;
  }
  view_.ReplaceText(kNameBox, folder);
  view_.Press(kOk);
  if (!view_.Ended() && view_.Folder() == folder) view_.ReplaceText(kNameBox, name);
}

bool FileWindow::PickFile() {
  std::string path = TakeString(gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser_)));
  if (path.empty() || g_file_test(path.c_str(), G_FILE_TEST_IS_DIR)) return false;
  std::string folder = TakeString(g_path_get_dirname(path.c_str()));
  std::string name = TakeString(g_path_get_basename(path.c_str()));
  if (folder != view_.Folder()) {
    view_.ReplaceText(kNameBox, path);
    return true;
  }
  // A file of the dialog's folder: its line of the file list, which puts
  // the name in the name box and tells the hook.
  for (const ControlState& state : view_.Controls()) {
    if (state.id != kFileList) continue;
    for (std::size_t line = 0; line < state.lines.size(); ++line) {
      if (state.lines[line] == name) {
        if (state.selection != static_cast<int>(line)) view_.PickLine(kFileList, static_cast<int>(line));
        return true;
      }
    }
  }
  view_.ReplaceText(kNameBox, name);
  return true;
}

void FileWindow::OnFolderChanged(GtkFileChooser* chooser, FileWindow* self) {
  if (self->syncing_ || self->view_.Ended()) return;
  std::string folder = TakeString(gtk_file_chooser_get_current_folder(chooser));
  if (folder.empty() || folder == self->view_.Folder()) return;
  self->MoveToFolder(folder);
  self->AfterAction();
}

void FileWindow::OnSelectionChanged(GtkFileChooser*, FileWindow* self) {
  // The chooser selects a line of a folder it has loaded: only a line the
  // user clicked or moved to is a file picked.
  if (self->syncing_ || self->view_.Ended()) return;
  if (!ByTheUser()) {
    // As on Win32, no file is picked before the user picks one.
    self->syncing_ = true;
    gtk_file_chooser_unselect_all(GTK_FILE_CHOOSER(self->chooser_));
    self->syncing_ = false;
    return;
  }
  if (self->PickFile()) self->AfterAction();
}

void FileWindow::OnFileActivated(GtkFileChooser*, FileWindow* self) {
  if (self->syncing_ || self->view_.Ended()) return;
  if (self->PickFile()) self->view_.Press(kOk);
  self->AfterAction();
}

}  // namespace imexp::gtk
