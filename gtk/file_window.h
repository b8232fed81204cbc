// The Open and Save dialogs as a GTK file chooser. The chooser browses;
// below it, in its extra area, the name box, the type list, OK and Cancel
// and the hook's own controls (the Open dialog's Info button) stand for the
// dialog's controls of the same IDs, laid out as Win32 lays them out. The
// folder shown and the file picked are told to the dialog as a user tells
// Win32's: a folder typed and confirmed, a line of the file list picked.
#pragma once

#include <string>
#include <vector>

#include "gtk/shown_dialog.h"

namespace imexp::gtk {

class FileWindow final : public ShownDialog {
 public:
  FileWindow(DialogView& view, GtkWindow* parent);
  ~FileWindow() override;

 private:
  void Place(Control& control, const ControlState& state) override;
  void RefreshMore() override;
  bool TakesEnterItself(GtkWidget* focus) const override;

  // Makes the dialog show `folder`, keeping what the name box holds.
  void MoveToFolder(const std::string& folder);
  // Tells the dialog the file picked in the chooser; false for a folder.
  [[nodiscard]] bool PickFile();

  static void OnFolderChanged(GtkFileChooser* chooser, FileWindow* self);
  static void OnSelectionChanged(GtkFileChooser* chooser, FileWindow* self);
  static void OnFileActivated(GtkFileChooser* chooser, FileWindow* self);

  GtkWidget* chooser_ = nullptr;
  GtkWidget* grid_ = nullptr;
  std::vector<GtkFileFilter*> filters_;
  std::vector<std::string> patterns_;  // each filter's, for its match function
  std::string shownFolder_;
  int shownFilter_ = -1;
  int hookRows_ = 0;
};

}  // namespace imexp::gtk
