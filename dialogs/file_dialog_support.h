// What the open and save dialogs share: their filter lists and the
// placement their hooks give the platform's dialog.
#pragma once

#include <cstring>

#include "platform/win32.h"
#include "registry/error_report.h"

namespace imexp {

// Centres `window` on the desktop's client area (integer halves, truncated);
// its size and Z order stay.
inline void CentreOnDesktop(HWND window) {
  RECT desktop;
  RECT bounds;
  GetClientRect(GetDesktopWindow(), &desktop);
  GetWindowRect(window, &bounds);
  int width = bounds.right - bounds.left;
  int height = bounds.bottom - bounds.top;
  SetWindowPos(window, nullptr, (desktop.right - width) / 2, (desktop.bottom - height) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER);
}

// True when nothing is typed in the platform dialog's file-name box. Its
// file path then names the folder being shown, which is no file to describe
// and no name to rename.
[[nodiscard]] inline bool NothingTyped(HWND dialog) {
  char name[2] = "";
  return SendMessageA(dialog, CDM_GETSPEC, sizeof name, reinterpret_cast<LPARAM>(name)) <= 1;
}

// After the platform's Open or Save dialog returned no file: a path longer
// than the dialog's buffer is refused by the dialog itself, which says
// nothing; the user is told rather than left wondering.
inline void SayIfPathTooLong(HWND owner) {
  if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL) ReportPathTooLong(owner, nullptr);
}

// Appends `text` with its terminator to a filter list at `*position`.
inline void PutFilterText(char* list, int* position, const char* text) {
  std::size_t length = std::strlen(text) + 1;
  std::memcpy(list + *position, text, length);
  *position += static_cast<int>(length);
}

}  // namespace imexp
