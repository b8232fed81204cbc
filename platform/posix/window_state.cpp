// The state and geometry of windows: focus, visibility, enabled state,
// rectangles in pixels, window longs. A dialog's rectangle is its client
// area on the screen; its window adds Wine's frame and caption around it.
#include "platform/posix/window_objects.h"

namespace imexp::posix {

namespace {

HWND focus = nullptr;

// Edits and list boxes tell their dialog when they gain or lose the focus.
void NotifyFocus(HWND handle, bool gained) {
  Window* control = FindWindowObject(handle);
  if (control == nullptr) return;
  int code;
  if (control->kind == WindowKind::kEdit) {
    code = gained ? EN_SETFOCUS : EN_KILLFOCUS;
  } else if (control->kind == WindowKind::kListBox) {
    code = gained ? LBN_SETFOCUS : LBN_KILLFOCUS;
  } else {
    return;
  }
  SendMessageA(control->parent, WM_COMMAND, MAKEWPARAM(control->id, code), reinterpret_cast<LPARAM>(handle));
}

bool HasFrame(const Window& window) {
  return window.kind == WindowKind::kDialog && (window.style & WS_CHILD) == 0 &&
         (window.style & WS_CAPTION) != 0;
}

// The screen position of the client-area origin of `window`.
POINT ClientOrigin(const Window& window) {
  if (window.kind == WindowKind::kDesktop) return {0, 0};
  if (window.kind == WindowKind::kDialog && (window.style & WS_CHILD) == 0)
    return {window.rect.left, window.rect.top};
  const Window* parent = FindWindowObject(window.parent);
  POINT origin = parent != nullptr ? ClientOrigin(*parent) : POINT{0, 0};
  return {origin.x + window.rect.left, origin.y + window.rect.top};
}

LONG_PTR* WindowLong(Window& window, int index) {
  switch (index) {
    case GWLP_USERDATA:
      return &window.userData;
    case DWLP_MSGRESULT:
      return window.kind == WindowKind::kDialog ? &window.messageResult : nullptr;
    case DWLP_USER:
      return window.kind == WindowKind::kDialog ? &window.userData : nullptr;
    default:
      return nullptr;
  }
}

constexpr DWORD kInvalidIndex = 1413;  // ERROR_INVALID_INDEX

LONG_PTR GetLong(HWND handle, int index) {
  Window* window = FindWindowObject(handle);
  if (window == nullptr) return 0;
  if (index == GWL_STYLE) return static_cast<LONG_PTR>(window->style);
  if (index == GWL_EXSTYLE) return 0;
  if (index == GWL_ID) return window->id;
  LONG_PTR* slot = WindowLong(*window, index);
  if (slot == nullptr) {
    SetLastError(kInvalidIndex);
    return 0;
  }
  return *slot;
}

LONG_PTR SetLong(HWND handle, int index, LONG_PTR value) {
  Window* window = FindWindowObject(handle);
  if (window == nullptr) return 0;
  LONG_PTR previous = 0;
  if (index == GWL_STYLE) {
    previous = static_cast<LONG_PTR>(window->style);
    window->style = static_cast<DWORD>(value);
  } else if (index == GWL_ID) {
    previous = window->id;
    window->id = static_cast<int>(value);
  } else if (LONG_PTR* slot = WindowLong(*window, index)) {
    previous = *slot;
    *slot = value;
  } else {
    SetLastError(kInvalidIndex);
    return 0;
  }
  NotifyChanged(*window);
  return previous;
}

}  // namespace

}  // namespace imexp::posix

using imexp::posix::FindWindowObject;
using imexp::posix::Window;

BOOL IsWindow(HWND window) { return window != nullptr && FindWindowObject(window) != nullptr; }

HWND GetDlgItem(HWND dialog, int id) {
  Window* control = imexp::posix::FindControl(dialog, id);
  return control != nullptr ? control->handle : nullptr;
}

int GetDlgCtrlID(HWND window) {
  Window* w = FindWindowObject(window);
  return w != nullptr && w->kind != imexp::posix::WindowKind::kDialog ? w->id : 0;
}

HWND SetFocus(HWND window) {
  HWND previous = GetFocus();
  if (window != nullptr && FindWindowObject(window) == nullptr) return nullptr;
  if (window == previous) return previous;
  // The window losing the focus hears of it first, as WM_KILLFOCUS comes
  // before WM_SETFOCUS.
  imexp::posix::focus = window;
  if (previous != nullptr) imexp::posix::NotifyFocus(previous, false);
  if (window != nullptr && GetFocus() == window) {
    imexp::posix::NotifyFocus(window, true);
    if (Window* w = FindWindowObject(window)) {
      if (Window* dialog = imexp::posix::DialogOf(*w)) {
        dialog->focus = window;
        imexp::posix::NotifyChanged(*dialog);
      }
    }
  }
  return previous;
}

HWND GetFocus() {
  if (imexp::posix::focus != nullptr && FindWindowObject(imexp::posix::focus) == nullptr) {
    imexp::posix::focus = nullptr;
  }
  return imexp::posix::focus;
}

BOOL ShowWindow(HWND window, int command) {
  Window* w = FindWindowObject(window);
  if (w == nullptr) return FALSE;
  BOOL wasVisible = w->visible() ? TRUE : FALSE;
  if (command == SW_HIDE) {
    w->style &= ~WS_VISIBLE;
  } else {
    w->style |= WS_VISIBLE;
  }
  imexp::posix::NotifyChanged(*w);
  return wasVisible;
}

BOOL EnableWindow(HWND window, BOOL enable) {
  Window* w = FindWindowObject(window);
  if (w == nullptr) return FALSE;
  BOOL wasDisabled = w->enabled() ? FALSE : TRUE;
  if (enable) {
    w->style &= ~WS_DISABLED;
  } else {
    w->style |= WS_DISABLED;
    // A disabled window cannot keep the keyboard focus.
    if (GetFocus() == window) SetFocus(nullptr);
  }
  imexp::posix::NotifyChanged(*w);
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND window) {
  Window* w = FindWindowObject(window);
  return w != nullptr && w->enabled();
}

BOOL IsWindowVisible(HWND window) {
  // Visible only if every window it lies in is visible too.
  for (Window* w = FindWindowObject(window); w != nullptr;) {
    if (!w->visible()) return FALSE;
    if ((w->style & WS_CHILD) == 0 || w->parent == nullptr) return TRUE;
    w = FindWindowObject(w->parent);
  }
  return FALSE;
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
  Window* w = FindWindowObject(window);
  if (w == nullptr || rect == nullptr) return FALSE;
  POINT origin = imexp::posix::ClientOrigin(*w);
  LONG width = w->rect.right - w->rect.left;
  LONG height = w->rect.bottom - w->rect.top;
  *rect = {origin.x, origin.y, origin.x + width, origin.y + height};
  if (imexp::posix::HasFrame(*w)) {
    rect->left -= imexp::posix::kDialogFrame;
    rect->top -= imexp::posix::kDialogFrame + imexp::posix::kCaptionHeight;
    rect->right += imexp::posix::kDialogFrame;
    rect->bottom += imexp::posix::kDialogFrame;
  }
  return TRUE;
}

BOOL GetClientRect(HWND window, LPRECT rect) {
  Window* w = FindWindowObject(window);
  if (w == nullptr || rect == nullptr) return FALSE;
  *rect = {0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
  return TRUE;
}

HWND GetDesktopWindow() { return imexp::posix::Desktop().handle; }

HWND GetParent(HWND window) {
  Window* w = FindWindowObject(window);
  return w != nullptr ? w->parent : nullptr;
}

BOOL SetWindowPos(HWND window, HWND, int x, int y, int cx, int cy, UINT flags) {
  Window* w = FindWindowObject(window);
  if (w == nullptr) return FALSE;
  // Positions and sizes are those of the window; a framed dialog keeps its
  // client area inside the frame.
  RECT outer{};
  GetWindowRect(window, &outer);
  POINT parentOrigin{0, 0};
  if (w->kind != imexp::posix::WindowKind::kDialog || (w->style & WS_CHILD)) {
    if (Window* parent = FindWindowObject(w->parent)) parentOrigin = imexp::posix::ClientOrigin(*parent);
  }
  LONG left = (flags & SWP_NOMOVE) ? outer.left - parentOrigin.x : x;
  LONG top = (flags & SWP_NOMOVE) ? outer.top - parentOrigin.y : y;
  LONG width = (flags & SWP_NOSIZE) ? outer.right - outer.left : cx;
  LONG height = (flags & SWP_NOSIZE) ? outer.bottom - outer.top : cy;
  w->rect = {left, top, left + width, top + height};
  if (imexp::posix::HasFrame(*w)) {
    w->rect.left += imexp::posix::kDialogFrame;
    w->rect.top += imexp::posix::kDialogFrame + imexp::posix::kCaptionHeight;
    w->rect.right -= imexp::posix::kDialogFrame;
    w->rect.bottom -= imexp::posix::kDialogFrame;
  }
  if (flags & SWP_SHOWWINDOW) w->style |= WS_VISIBLE;
  if (flags & SWP_HIDEWINDOW) w->style &= ~WS_VISIBLE;
  imexp::posix::NotifyChanged(*w);
  return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL) {
  return SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

LONG GetWindowLongA(HWND window, int index) {
  return static_cast<LONG>(imexp::posix::GetLong(window, index));
}

LONG SetWindowLongA(HWND window, int index, LONG value) {
  return static_cast<LONG>(imexp::posix::SetLong(window, index, value));
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) { return imexp::posix::GetLong(window, index); }

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  return imexp::posix::SetLong(window, index, value);
}
