// Message boxes and cursors. Boxes go to the presenter; the cursor is a value
// that a host could show, kept so that callers can save and restore it.
#include <cstdio>

#include "platform/posix/presenter.h"
#include "platform/win32.h"

namespace {

class StderrPresenter final : public imexp::posix::Presenter {
 public:
  int ShowMessageBox(HWND, const char* text, const char* caption, UINT type) override {
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "Error", text ? text : "");
    std::fflush(stderr);
    switch (type & 0xFu) {
      case MB_YESNO:
        return IDYES;
      default:
        return IDOK;
    }
  }
};

StderrPresenter defaultPresenter;
imexp::posix::Presenter* presenter = &defaultPresenter;

HCURSOR currentCursor = reinterpret_cast<HCURSOR>(IDC_ARROW);

}  // namespace

namespace imexp::posix {

Presenter& CurrentPresenter() { return *presenter; }

}  // namespace imexp::posix

extern "C" void ImExpPosix_SetPresenter(imexp::posix::Presenter* replacement) {
  presenter = replacement != nullptr ? replacement : &defaultPresenter;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  // Win32 shows "Error" when no caption is given.
  return presenter->ShowMessageBox(owner, text ? text : "", caption ? caption : "Error", type);
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
  // Only the system cursors exist here; the handle is the cursor's ID.
  if (instance != nullptr || !IS_INTRESOURCE(name)) return nullptr;
  return reinterpret_cast<HCURSOR>(const_cast<LPSTR>(name));
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR previous = currentCursor;
  currentCursor = cursor;
  return previous;
}

HCURSOR GetCursor() { return currentCursor; }
