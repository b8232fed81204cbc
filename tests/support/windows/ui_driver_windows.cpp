// The scripted user on Windows: a hook sees each dialog of the thread
// initialise; a thread timer, which the modal loop dispatches only when it
// has nothing else to do, then acts on the top dialog one step per tick, as
// a user would between messages. Message boxes are answered as they open.
#include <windows.h>

#include <stdexcept>

#include "tests/support/ui_driver.h"
#include "tests/support/windows/message_box_reader.h"

namespace imexp::test {

namespace {

std::string WindowText(HWND window) {
  char text[1024] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

bool IsChildDialog(HWND window) {
  char name[16] = "";
  GetClassNameA(window, name, sizeof name);
  return lstrcmpA(name, "#32770") == 0 && (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) != 0;
}

// The control `id` of the dialog or of a child dialog in it (a file
// dialog's hook template).
HWND FindControl(HWND dialog, int id) {
  if (HWND control = GetDlgItem(dialog, id)) return control;
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (IsChildDialog(child)) {
      if (HWND control = FindControl(child, id)) return control;
    }
  }
  return nullptr;
}

void AddControls(HWND dialog, HWND window, HWND focus, UiSnapshot& snapshot) {
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (IsChildDialog(child)) {
      AddControls(dialog, child, focus, snapshot);
      continue;
    }
    UiControl c;
    c.id = static_cast<short>(GetDlgCtrlID(child));
    char name[64] = "";
    GetClassNameA(child, name, sizeof name);
    for (const char* known : {"Button", "Edit", "Static", "ListBox", "ComboBox"}) {
      if (lstrcmpiA(name, known) == 0) c.className = known;
    }
    c.text = WindowText(child);
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    c.x = r.left, c.y = r.top, c.width = r.right - r.left, c.height = r.bottom - r.top;
    c.enabled = IsWindowEnabled(child) != FALSE;
    c.visible = IsWindowVisible(child) != FALSE;
    c.focused = child == focus;
    if (c.className == "Button") {
      // Push buttons answer BST_UNCHECKED.
      c.checked = SendMessageA(child, BM_GETCHECK, 0, 0) == BST_CHECKED;
    } else if (c.className == "ListBox") {
      auto count = static_cast<int>(SendMessageA(child, LB_GETCOUNT, 0, 0));
      for (int i = 0; i < count; ++i) {
        char line[512] = "";
        SendMessageA(child, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(line));
        c.lines.push_back(line);
      }
      c.selection = static_cast<int>(SendMessageA(child, LB_GETCURSEL, 0, 0));
    } else if (c.className == "ComboBox") {
      auto count = static_cast<int>(SendMessageA(child, CB_GETCOUNT, 0, 0));
      for (int i = 0; i < count; ++i) {
        char line[512] = "";
        SendMessageA(child, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(line));
        c.lines.push_back(line);
      }
      c.selection = static_cast<int>(SendMessageA(child, CB_GETCURSEL, 0, 0));
    }
    snapshot.controls.push_back(c);
  }
}

UiSnapshot Snapshot(HWND dialog) {
  UiSnapshot snapshot;
  AddControls(dialog, dialog, GetFocus(), snapshot);
  return snapshot;
}

constexpr int kMostTicksToActivate = 50;

bool Usable(HWND control) {
  return control != nullptr && IsWindowVisible(control) && IsWindowEnabled(control);
}

// Where typing into `control` goes: the control itself, or the edit inside
// a combo box (the Open dialog without a hook has its name box as a
// ComboBoxEx, whose edit lies in a ComboBox inside it).
HWND TypingTarget(HWND control) {
  char name[32] = "";
  GetClassNameA(control, name, sizeof name);
  if (lstrcmpiA(name, "Edit") == 0) return control;
  for (HWND inner = control; inner != nullptr; inner = FindWindowExA(inner, nullptr, "ComboBox", nullptr)) {
    if (HWND edit = FindWindowExA(inner, nullptr, "Edit", nullptr)) return edit;
  }
  return control;
}

}  // namespace

struct UiDriver::Impl {
  std::vector<UiScript> scripts;
  std::size_t next = 0;
  std::vector<UiWindowRecord> windows;

  // A dialog that has opened, with its place in `windows` and its script.
  struct Running {
    HWND dialog;
    std::size_t record;
    UiScript script;
    std::size_t step = 0;
    bool started = false;
    int waited = 0;   // ticks spent waiting for it to become active
    int leaving = 0;  // after the script: 1 Escape pressed, 2 closed
  };
  std::vector<Running> running;
  HHOOK hook = nullptr;
  UINT_PTR timer = 0;
  static Impl* current;

  UiScript NextScript() { return next < scripts.size() ? scripts[next++] : UiScript{}; }

  void MessageBoxOpened(HWND box) {
    MessageBoxContents contents = ReadMessageBox(box);
    UiWindowRecord record;
    record.messageBox = true;
    record.caption = contents.caption;
    record.text = contents.text;
    record.errorIcon = contents.errorIcon;
    record.warningIcon = contents.warningIcon;
    UiScript script = NextScript();
    int answer = IDOK;
    if (!script.empty() && script[0].kind == UiAction::kAnswer) answer = script[0].id;
    windows.push_back(record);
    EndDialog(box, answer);
  }

  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && current != nullptr && message->message == WM_INITDIALOG) {
      char className[32] = "";
      GetClassNameA(message->hwnd, className, sizeof className);
      // A file dialog's hook template is part of the file dialog.
      if (lstrcmpA(className, "#32770") == 0 && !IsChildDialog(message->hwnd)) {
        if (IsMessageBox(message->hwnd)) {
          current->MessageBoxOpened(message->hwnd);
        } else {
          current->running.push_back({message->hwnd, 0, {}});
        }
      }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }

  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (current != nullptr) current->Step();
  }

  void Act(HWND dialog, const UiAction& action, bool* accepted) {
    HWND control = action.id != 0 ? FindControl(dialog, action.id) : nullptr;
    switch (action.kind) {
      case UiAction::kPress:
        if (!Usable(control)) {
          *accepted = false;
        } else {
          SendMessageA(control, BM_CLICK, 0, 0);
        }
        break;
      case UiAction::kType:
        if (!Usable(control)) {
          *accepted = false;
          break;
        }
        control = TypingTarget(control);
        SetFocus(control);
        for (char ch : action.text) {
          LRESULT before = SendMessageA(control, WM_GETTEXTLENGTH, 0, 0);
          DWORD start = 0, end = 0;
          SendMessageA(control, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
          SendMessageA(control, WM_CHAR, static_cast<unsigned char>(ch), 0);
          LRESULT after = SendMessageA(control, WM_GETTEXTLENGTH, 0, 0);
          if (after != before - static_cast<LRESULT>(end - start) + 1) *accepted = false;
        }
        break;
      case UiAction::kPickLine: {
        char name[16] = "";
        GetClassNameA(control, name, sizeof name);
        bool combo = lstrcmpiA(name, "ComboBox") == 0;
        UINT countMessage = combo ? CB_GETCOUNT : LB_GETCOUNT;
        if (!Usable(control) || action.line < 0 || action.line >= SendMessageA(control, countMessage, 0, 0)) {
          *accepted = false;
          break;
        }
        SetFocus(control);
        SendMessageA(control, combo ? CB_SETCURSEL : LB_SETCURSEL, static_cast<WPARAM>(action.line), 0);
        // A pick in a drop-down list tells of the change, then of the list closing on it.
        if (combo || (GetWindowLongA(control, GWL_STYLE) & LBS_NOTIFY)) {
          SendMessageA(GetParent(control), WM_COMMAND,
                       MAKEWPARAM(action.id, combo ? CBN_SELCHANGE : LBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(control));
        }
        if (combo) {
          SendMessageA(GetParent(control), WM_COMMAND, MAKEWPARAM(action.id, CBN_SELENDOK),
                       reinterpret_cast<LPARAM>(control));
        }
        break;
      }
      case UiAction::kFocus:
        if (!Usable(control)) {
          *accepted = false;
        } else {
          // As Tab would: the dialog manager's way, which selects an edit's text.
          SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
        }
        break;
      case UiAction::kEnter:
      case UiAction::kEscape: {
        HWND focus = GetFocus();
        WPARAM key = action.kind == UiAction::kEnter ? VK_RETURN : VK_ESCAPE;
        PostMessageA(focus != nullptr ? focus : dialog, WM_KEYDOWN, key, 0);
        break;
      }
      case UiAction::kAnswer:
        *accepted = false;
        break;
    }
  }

  void Step() {
    while (!running.empty() && !IsWindow(running.back().dialog)) running.pop_back();
    if (running.empty()) return;
    Running& r = running.back();
    if (!IsWindowVisible(r.dialog)) return;  // not shown yet, or ended
    // A user acts on the window once it is active: activation gives the
    // focus back to the dialog's control, and it may come a little after
    // the window shows. Half a second at the most.
    if (!r.started && GetActiveWindow() != r.dialog && ++r.waited < kMostTicksToActivate) return;
    if (!r.started) {
      r.started = true;
      r.script = NextScript();
      r.record = windows.size();
      UiWindowRecord record;
      record.caption = WindowText(r.dialog);
      RECT client{};
      GetClientRect(r.dialog, &client);
      record.width = client.right;
      record.height = client.bottom;
      windows.push_back(record);
    }
    // One state when it opened and one after each action, as the POSIX
    // presenter records them.
    if (windows[r.record].states.size() == r.step) windows[r.record].states.push_back(Snapshot(r.dialog));
    if (r.step < r.script.size()) {
      bool accepted = true;
      UiAction action = r.script[r.step++];
      HWND dialog = r.dialog;
      std::size_t record = r.record;
      Act(dialog, action, &accepted);  // may open a nested dialog: `r` is not used after this
      windows[record].accepted.push_back(accepted);
      return;
    }
    // Out of script: Escape, then closed, as the POSIX layer does it.
    if (r.leaving++ == 0) {
      HWND focus = GetFocus();
      PostMessageA(focus != nullptr ? focus : r.dialog, WM_KEYDOWN, VK_ESCAPE, 0);
    } else {
      EndDialog(r.dialog, IDCANCEL);
    }
  }
};

UiDriver::Impl* UiDriver::Impl::current = nullptr;

UiDriver::UiDriver(std::vector<UiScript> scripts, const Library*) : impl_(new Impl) {
  impl_->scripts = std::move(scripts);
  Impl::current = impl_;
  impl_->hook = SetWindowsHookExA(WH_CALLWNDPROCRET, &Impl::Hook, nullptr, GetCurrentThreadId());
  if (impl_->hook == nullptr) throw std::runtime_error("cannot hook dialogs");
  impl_->timer = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, &Impl::Tick);
}

UiDriver::~UiDriver() {
  KillTimer(nullptr, impl_->timer);
  UnhookWindowsHookEx(impl_->hook);
  Impl::current = nullptr;
  delete impl_;
}

const std::vector<UiWindowRecord>& UiDriver::windows() const { return impl_->windows; }

}  // namespace imexp::test
