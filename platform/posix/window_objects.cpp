#include "platform/posix/window_objects.h"

#include <map>

namespace imexp::posix {

namespace {

// Every window of the process by handle, and the desktop that owns them.
struct WindowTable {
  std::map<HWND, std::unique_ptr<Window>> windows;
  // Handles count up from here by 4, as Win32's handles do, and are never
  // given out twice.
  std::uintptr_t next = 0x10020;
  Window desktop;
};

WindowTable& TheWindowTable() {
  static WindowTable table = [] {
    WindowTable r;
    r.desktop.kind = WindowKind::kDesktop;
    r.desktop.handle = reinterpret_cast<HWND>(std::uintptr_t{0x10010});
    r.desktop.className = "#32769";
    r.desktop.style = WS_VISIBLE;
    r.desktop.rect = {0, 0, 1024, 768};
    return r;
  }();
  return table;
}

}  // namespace

Window& Desktop() { return TheWindowTable().desktop; }

Window* FindWindowObject(HWND handle) {
  WindowTable& r = TheWindowTable();
  if (handle == r.desktop.handle) return &r.desktop;
  auto it = r.windows.find(handle);
  if (it == r.windows.end()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return it->second.get();
}

Window& AddWindow(std::unique_ptr<Window> window) {
  WindowTable& r = TheWindowTable();
  window->handle = reinterpret_cast<HWND>(r.next);
  r.next += 4;
  Window& added = *window;
  r.windows[added.handle] = std::move(window);
  return added;
}

void DestroyWindowObject(HWND handle) {
  WindowTable& r = TheWindowTable();
  auto it = r.windows.find(handle);
  if (it == r.windows.end()) return;
  std::unique_ptr<Window> window = std::move(it->second);
  r.windows.erase(it);
  for (HWND child : window->children) DestroyWindowObject(child);
}

Window* FindControl(HWND dialog, int id) {
  Window* parent = FindWindowObject(dialog);
  if (parent == nullptr) return nullptr;
  for (HWND child : parent->children) {
    Window* control = FindWindowObject(child);
    if (control != nullptr && control->id == id) return control;
  }
  SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
  return nullptr;
}

Window* DialogOf(Window& window) {
  if (window.kind == WindowKind::kDialog) return &window;
  if (window.kind == WindowKind::kDesktop) return nullptr;
  Window* parent = FindWindowObject(window.parent);
  return parent != nullptr && parent->kind == WindowKind::kDialog ? parent : nullptr;
}

Window* TopDialogOf(Window& window) {
  Window* dialog = DialogOf(window);
  while (dialog != nullptr && (dialog->style & WS_CHILD) != 0) {
    Window* parent = FindWindowObject(dialog->parent);
    if (parent == nullptr || parent->kind != WindowKind::kDialog) break;
    dialog = parent;
  }
  return dialog;
}

int CharacterCount(const std::string& text) {
  int count = 0;
  for (unsigned char c : text) count += (c & 0xC0) != 0x80;
  return count;
}

std::size_t ByteOffset(const std::string& text, int index) {
  int seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && seen++ == index) return i;
  }
  return text.size();
}

std::deque<PostedMessage>& PostedMessages() {
  static std::deque<PostedMessage> queue;
  return queue;
}

}  // namespace imexp::posix
