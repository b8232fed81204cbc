// Message boxes and cursors, and the presenter in force. Boxes go to the
// presenter; the cursor is a value that a host could show, kept so that
// callers can save and restore it.
#include <imexp/presenter.h>

#include <atomic>
#include <cstdio>

#include "platform/posix/window_objects.h"

namespace {

// Without a host's presenter: message boxes on stderr, answered with their
// first button; dialogs are left at once, as if Escape had been pressed.
class StderrPresenter final : public imexp::Presenter {
 public:
  void RunDialog(imexp::DialogView&) override {}
  int ShowMessageBox(void*, const char* text, const char* caption, unsigned type) override {
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

// Statics that need no construction: the attach code may show a box before
// the library's constructed objects exist.
imexp::Presenter* replacement = nullptr;
std::atomic<std::uintptr_t> currentCursor{32512};  // IDC_ARROW; a read and a write may each set it

imexp::Presenter& DefaultPresenter() {
  static StderrPresenter presenter;
  return presenter;
}

}  // namespace

namespace imexp::posix {

imexp::Presenter& CurrentPresenter() { return replacement != nullptr ? *replacement : DefaultPresenter(); }

}  // namespace imexp::posix

extern "C" void ImExpPosix_SetPresenter(imexp::Presenter* presenter) { replacement = presenter; }

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  // Win32 shows "Error" when no caption is given.
  return imexp::posix::CurrentPresenter().ShowMessageBox(owner, text ? text : "", caption ? caption : "Error",
                                                         type);
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
  // Only the system cursors exist here; the handle is the cursor's ID.
  if (instance != nullptr || !IS_INTRESOURCE(name)) return nullptr;
  return reinterpret_cast<HCURSOR>(const_cast<LPSTR>(name));
}

HCURSOR SetCursor(HCURSOR cursor) {
  return reinterpret_cast<HCURSOR>(currentCursor.exchange(reinterpret_cast<std::uintptr_t>(cursor)));
}

HCURSOR GetCursor() { return reinterpret_cast<HCURSOR>(currentCursor.load()); }
