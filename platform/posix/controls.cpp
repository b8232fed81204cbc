// What the controls answer themselves: texts, list-box lines and selection,
// edit limits and selection, button clicks and check states; and the
// dialog-item text, number and check calls built on them. Results follow
// Win32's (LB_ERR, the selection after a delete, GetDlgItemInt's parsing of
// 32-bit numbers, a two-state check box's BM_SETCHECK).
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "platform/posix/window_objects.h"

namespace imexp::posix {

namespace {

// Copies `text` into a buffer of `size` bytes, cut on a character, and gives
// the bytes copied.
int CopyText(const std::string& text, char* buffer, std::size_t size) {
  if (buffer == nullptr || size == 0) return 0;
  std::size_t n = std::min(text.size(), size - 1);
  while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return lstrcmpiA(a.c_str(), b.c_str()) < 0;
}

LRESULT ListBoxMessage(Window& box, UINT message, WPARAM wParam, LPARAM lParam) {
  auto count = static_cast<int>(box.lines.size());
  auto index = static_cast<int>(static_cast<INT_PTR>(wParam));
  switch (message) {
    case LB_ADDSTRING:
    case LB_INSERTSTRING: {
      std::string line = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
      int at = count;
      if (message == LB_INSERTSTRING) {
        if (index > count || index < -1) return LB_ERR;
        if (index >= 0) at = index;
      } else if (box.style & LBS_SORT) {
        at = static_cast<int>(std::upper_bound(box.lines.begin(), box.lines.end(), line, LessIgnoringCase) -
                              box.lines.begin());
      }
      box.lines.insert(box.lines.begin() + at, line);
      if (box.selection >= at) ++box.selection;
      NotifyChanged(box);
      return at;
    }
    case LB_DELETESTRING:
      if (index < 0 || index >= count) return LB_ERR;
      box.lines.erase(box.lines.begin() + index);
      if (box.selection == index) {
        box.selection = -1;
      } else if (box.selection > index) {
        --box.selection;
      }
      NotifyChanged(box);
      return count - 1;
    case LB_RESETCONTENT:
      box.lines.clear();
      box.selection = -1;
      NotifyChanged(box);
      return TRUE;
    case LB_SETCURSEL:
      if (index < -1 || index >= count) return LB_ERR;
      box.selection = index;
      NotifyChanged(box);
      return index < 0 ? LB_ERR : index;
    case LB_GETCURSEL:
      return box.selection < 0 ? LB_ERR : box.selection;
    case LB_GETCOUNT:
      return count;
    case LB_GETTEXT:
      if (index < 0 || index >= count || lParam == 0) return LB_ERR;
      std::memcpy(reinterpret_cast<char*>(lParam), box.lines[index].c_str(), box.lines[index].size() + 1);
      return static_cast<LRESULT>(box.lines[index].size());
    case LB_GETTEXTLEN:
      if (index < 0 || index >= count) return LB_ERR;
      return static_cast<LRESULT>(box.lines[index].size());
    default:
      return 0;
  }
}

LRESULT EditMessage(Window& edit, UINT message, WPARAM wParam, LPARAM lParam) {
  int length = CharacterCount(edit.text);
  switch (message) {
    case EM_LIMITTEXT:
      edit.limit = wParam == 0 ? 0x7FFFFFFE : static_cast<int>(std::min<WPARAM>(wParam, 0x7FFFFFFE));
      return 0;
    case EM_GETLIMITTEXT:
      return edit.limit;
    case EM_SETSEL: {
      auto start = static_cast<int>(static_cast<INT_PTR>(wParam));
      auto end = static_cast<int>(static_cast<LONG_PTR>(lParam));
      if (start < 0) {
        // -1 takes the selection away and leaves the caret where it was.
        edit.selectionStart = edit.selectionEnd;
      } else {
        if (end < 0 || end > length) end = length;
        start = std::min(start, length);
        edit.selectionStart = std::min(start, end);
        edit.selectionEnd = std::max(start, end);
      }
      NotifyChanged(edit);
      return 0;
    }
    case EM_GETSEL:
      if (wParam != 0) *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(edit.selectionStart);
      if (lParam != 0) *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(edit.selectionEnd);
      return MAKELONG(edit.selectionStart, edit.selectionEnd);
    default:
      return 0;
  }
}

// A drop-down list keeps its lines as a list box does: the list-box message
// that does what combo-box message `message` asks, or 0 for none.
UINT ListBoxMessageFor(UINT message) {
  constexpr struct {
    UINT combo, list;
  } kSameMeaning[] = {
      {CB_ADDSTRING, LB_ADDSTRING},       {CB_GETCOUNT, LB_GETCOUNT}, {CB_GETCURSEL, LB_GETCURSEL},
      {CB_SETCURSEL, LB_SETCURSEL},       {CB_GETLBTEXT, LB_GETTEXT}, {CB_GETLBTEXTLEN, LB_GETTEXTLEN},
      {CB_RESETCONTENT, LB_RESETCONTENT},
  };
  for (const auto& pair : kSameMeaning) {
    if (pair.combo == message) return pair.list;
  }
  return 0;
}

}  // namespace

LRESULT ControlMessage(Window& control, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETTEXT:
      control.text = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
      if (control.kind == WindowKind::kEdit) control.selectionStart = control.selectionEnd = 0;
      NotifyChanged(control);
      return TRUE;
    case WM_GETTEXT:
      return CopyText(control.text, reinterpret_cast<char*>(lParam), wParam);
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(control.text.size());
    case BM_CLICK:
      if (control.kind == WindowKind::kButton && control.enabled() && control.visible()) {
        HWND handle = control.handle;
        SetFocus(handle);
        // The dialog procedure may have taken the button away meanwhile.
        Window* button = FindWindowObject(handle);
        if (button == nullptr) return 0;
        // An auto check box turns over before its dialog hears of the click,
        // so that the procedure reads the new state; a plain one leaves that
        // to the procedure.
        if ((button->style & 0x0F) == BS_AUTOCHECKBOX) {
          SendMessageA(handle, BM_SETCHECK, button->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
        }
        if ((button = FindWindowObject(handle)) == nullptr) return 0;
        SendMessageA(button->parent, WM_COMMAND, MAKEWPARAM(button->id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(handle));
      }
      return 0;
    case BM_GETCHECK:
      return control.checkBox() ? control.check : BST_UNCHECKED;
    case BM_SETCHECK:
      // A two-state box takes anything past BST_CHECKED as checked; other
      // buttons keep no state.
      if (control.checkBox()) {
        UINT check = wParam == BST_UNCHECKED ? BST_UNCHECKED : BST_CHECKED;
        if (control.check != check) {
          control.check = check;
          NotifyChanged(control);
        }
      }
      return 0;
    default:
      break;
  }
  if (control.kind == WindowKind::kListBox) return ListBoxMessage(control, message, wParam, lParam);
  if (control.kind == WindowKind::kComboBox) {
    UINT listMessage = ListBoxMessageFor(message);
    return listMessage != 0 ? ListBoxMessage(control, listMessage, wParam, lParam) : 0;
  }
  if (control.kind == WindowKind::kEdit) return EditMessage(control, message, wParam, lParam);
  return 0;
}

}  // namespace imexp::posix

using imexp::posix::FindControl;
using imexp::posix::FindWindowObject;

BOOL SetWindowTextA(HWND window, LPCSTR text) {
  if (FindWindowObject(window) == nullptr) return FALSE;
  return SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0;
}

int GetWindowTextA(HWND window, LPSTR buffer, int size) {
  if (buffer != nullptr && size > 0) buffer[0] = '\0';
  if (FindWindowObject(window) == nullptr || buffer == nullptr || size <= 0) return 0;
  return static_cast<int>(
      SendMessageA(window, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
  imexp::posix::Window* control = FindControl(dialog, id);
  return control != nullptr && SetWindowTextA(control->handle, text);
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size) {
  imexp::posix::Window* control = FindControl(dialog, id);
  if (control == nullptr) {
    if (buffer != nullptr && size > 0) buffer[0] = '\0';
    return 0;
  }
  return static_cast<UINT>(GetWindowTextA(control->handle, buffer, size));
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
  char text[16];
  if (isSigned) {
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
  } else {
    std::snprintf(text, sizeof text, "%u", value);
  }
  return SetDlgItemTextA(dialog, id, text);
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
  // Win32 reads at most 29 characters and parses them as its C library's
  // 32-bit strtol / strtoul would: leading blanks and a sign are taken (a
  // minus negates an unsigned number too, so "-1" is 4294967295). A number
  // past 32 bits fails, and so does a signed result of INT_MAX or INT_MIN,
  // which strtol also gives for an overflow.
  if (translated != nullptr) *translated = FALSE;
  char text[30];
  if (GetDlgItemTextA(dialog, id, text, sizeof text) == 0) return 0;
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  if (*p < '0' || *p > '9') return 0;
  unsigned long long magnitude = 0;
  bool overflow = false;
  for (; *p >= '0' && *p <= '9'; ++p) {
    magnitude = magnitude * 10 + static_cast<unsigned>(*p - '0');
    if (magnitude > 0xFFFFFFFFull) overflow = true, magnitude = 0xFFFFFFFFull;
  }
  while (*p == ' ') ++p;
  if (*p != '\0') return 0;
  UINT value;
  if (isSigned) {
    long long signedValue = negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
    if (overflow || signedValue >= INT_MAX || signedValue <= INT_MIN) return 0;
    value = static_cast<UINT>(static_cast<int>(signedValue));
  } else {
    if (overflow) return 0;
    value = static_cast<UINT>(negative ? 0u - static_cast<UINT>(magnitude) : static_cast<UINT>(magnitude));
  }
  if (translated != nullptr) *translated = TRUE;
  return value;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  return static_cast<UINT>(SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0));
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  // Win32 reports success whatever the control made of it.
  SendDlgItemMessageA(dialog, id, BM_SETCHECK, check, 0);
  return TRUE;
}
