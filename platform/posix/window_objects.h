// The windows of the POSIX user interface: dialogs and their controls, each
// behind a handle that is never reused, so that a stale or invented handle
// is refused (ERROR_INVALID_WINDOW_HANDLE) instead of reaching freed memory.
// One thread's windows; the layer keeps no locks.
#pragma once

#include <imexp/presenter.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace imexp::posix {

enum class WindowKind { kDesktop, kDialog, kButton, kEdit, kStatic, kListBox, kComboBox, kOther };

// What a file dialog shows beyond its controls, for the presenter.
struct FileDialogState {
  bool save = false;
  std::vector<DialogView::FileType> types;
  std::string folder;
};

// Dialog units become pixels by these base units, as MapDialogRect does;
// they are what Wine gives the templates' fonts ("Helv" and "MS Sans Serif"
// 8 alike), so that both builds lay dialogs out to the pixel.
inline constexpr int kBaseUnitX = 7;
inline constexpr int kBaseUnitY = 13;
// The frame of a modal dialog with a caption, in pixels (Wine's metrics).
inline constexpr int kDialogFrame = 3;
inline constexpr int kCaptionHeight = 19;
// Edits take this many characters until EM_LIMITTEXT says otherwise.
inline constexpr int kDefaultEditLimit = 32767;

struct Window {
  HWND handle = nullptr;
  WindowKind kind = WindowKind::kOther;
  std::string className;
  HWND parent = nullptr;  // a control's dialog; a dialog's owner
  std::vector<HWND> children;
  int id = 0;
  DWORD style = 0;
  std::string text;  // UTF-8
  // Controls: pixels in the parent's client area. Dialogs: the client area
  // on the screen.
  RECT rect{};
  LONG_PTR userData = 0;       // GWLP_USERDATA, DWLP_USER
  LONG_PTR messageResult = 0;  // DWLP_MSGRESULT

  // Dialogs.
  DLGPROC proc = nullptr;
  bool ended = false;
  bool shown = false;  // WM_INITDIALOG has returned and the user sees it
  bool redraw = true;  // WM_SETREDRAW
  INT_PTR result = 0;
  int defaultId = 0;  // DM_GETDEFID: the first default push button's ID, or none
  HWND focus = nullptr;
  DialogView* view = nullptr;             // what the presenter sees while the dialog runs
  FileDialogState* fileDialog = nullptr;  // set for a common file dialog

  // List boxes.
  std::vector<std::string> lines;
  int selection = -1;

  // Edits, in characters.
  int limit = kDefaultEditLimit;
  int selectionStart = 0;
  int selectionEnd = 0;

  // Check boxes: BST_UNCHECKED or BST_CHECKED.
  UINT check = BST_UNCHECKED;

  bool enabled() const { return (style & WS_DISABLED) == 0; }
  bool visible() const { return (style & WS_VISIBLE) != 0; }
  // A button of style BS_CHECKBOX or BS_AUTOCHECKBOX.
  bool checkBox() const {
    return kind == WindowKind::kButton &&
           ((style & 0x0F) == BS_CHECKBOX || (style & 0x0F) == BS_AUTOCHECKBOX);
  }
};

// The live window of `handle`, or null (and ERROR_INVALID_WINDOW_HANDLE).
[[nodiscard]] Window* FindWindowObject(HWND handle);
Window& Desktop();
// Registers a window and gives it its handle.
Window& AddWindow(std::unique_ptr<Window> window);
// Destroys a window and its children.
void DestroyWindowObject(HWND handle);
// The control `id` of `dialog`, or null (and ERROR_CONTROL_ID_NOT_FOUND).
[[nodiscard]] Window* FindControl(HWND dialog, int id);
// The dialog a window belongs to: itself for a dialog, its parent for a
// control; null for the desktop.
[[nodiscard]] Window* DialogOf(Window& window);
// The top-level dialog a window lies in (through child dialogs, such as a
// file dialog's hook template); null for the desktop.
[[nodiscard]] Window* TopDialogOf(Window& window);

// Builds a dialog and its controls from DLGTEMPLATE bytes; a template of
// style WS_CHILD becomes a child of `owner`, placed in its client area.
// Null for a template this layer does not read.
[[nodiscard]] Window* CreateDialogWindow(const BYTE* bytes, HWND owner, DLGPROC proc);
// Sends WM_INITDIALOG, runs the modal loop with the presenter, destroys the
// dialog and gives the value EndDialog set.
[[nodiscard]] INT_PTR RunModalDialog(Window& dialog, LPARAM param);
// Sends WM_INITDIALOG to a child dialog made by CreateDialogWindow.
void InitChildDialog(Window& child, LPARAM param);
// Whether the texts the layer itself shows are Russian (as the resources).
bool RussianTexts();

// Characters of UTF-8 text, and the byte offset of character `index`.
int CharacterCount(const std::string& text);
std::size_t ByteOffset(const std::string& text, int index);

// Messages posted to windows of this thread, delivered by the modal loops.
struct PostedMessage {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::deque<PostedMessage>& PostedMessages();

// Tells the presenter that what `window`'s dialog shows has changed.
void NotifyChanged(Window& window);
// The presenter in force (the default one when none is installed).
Presenter& CurrentPresenter();

// The messages a control answers itself (list boxes, edits, texts); the
// result, as SendMessageA returns it.
LRESULT ControlMessage(Window& control, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace imexp::posix
