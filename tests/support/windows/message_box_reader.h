// Reading a real message box of Win32: its caption, its text (the static
// control 0xFFFF) and its icon, which is a static control of style SS_ICON
// (its ID differs between Windows and wine) showing one of the shared
// system icons.
#pragma once

#include <windows.h>

#include <string>

namespace imexp::test {

inline constexpr int kMessageBoxTextId = 0xFFFF;

// True for a dialog window that is a message box: a text control 0xFFFF
// (which the manager's own dialogs have too, as labels without an ID), and
// nothing but texts, icons and the message-box buttons IDOK to IDCONTINUE.
inline bool IsMessageBox(HWND window) {
  char className[32] = "";
  GetClassNameA(window, className, sizeof className);
  if (lstrcmpA(className, "#32770") != 0 || GetDlgItem(window, kMessageBoxTextId) == nullptr) return false;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    GetClassNameA(child, className, sizeof className);
    int id = GetDlgCtrlID(child);
    bool button = lstrcmpiA(className, "Button") == 0 && id >= IDOK && id <= IDCONTINUE;
    if (lstrcmpiA(className, "Static") != 0 && !button) return false;
  }
  return true;
}

struct MessageBoxContents {
  std::string caption, text;
  bool errorIcon = false, warningIcon = false;
};

inline MessageBoxContents ReadMessageBox(HWND box) {
  MessageBoxContents contents;
  char text[1024] = "";
  GetWindowTextA(box, text, sizeof text);
  contents.caption = text;
  GetDlgItemTextA(box, kMessageBoxTextId, text, sizeof text);
  contents.text = text;
  HICON icon = nullptr;
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
    }
  }
  contents.errorIcon = icon != nullptr && icon == LoadIconA(nullptr, MAKEINTRESOURCEA(32513));
  contents.warningIcon = icon != nullptr && icon == LoadIconA(nullptr, MAKEINTRESOURCEA(32515));
  return contents;
}

}  // namespace imexp::test
