// The user's side of the POSIX user interface.
//
// Every message box (and, later, every dialog) is answered by a presenter.
// The default one writes message boxes to stderr and answers with the first
// button; tests install a scripted one that records each box and answers as
// told, and an interactive host may install its own.
#pragma once

#include "platform/posix/host_exports.h"
#include "platform/posix/win32_types.h"

namespace imexp::posix {

class Presenter {
 public:
  virtual ~Presenter() = default;
  // Shows one message box; returns the ID of the button pressed (IDOK...).
  virtual int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) = 0;
};

// The presenter in force (never null).
Presenter& CurrentPresenter();

}  // namespace imexp::posix
