// Modal dialogs: windows built from DLGTEMPLATE bytes, the dialog
// procedure's messages as DefDlgProc dispatches them, the modal loop with
// its posted messages, and the user's actions as the presenter performs
// them (what IsDialogMessage and the controls would turn keys and clicks
// into on Win32).
#include <imexp/presenter.h>

#include <cstring>

#include "platform/posix/window_objects.h"

namespace imexp::posix {

namespace {

// ---------------------------------------------------------------- templates

class TemplateReader {
 public:
  explicit TemplateReader(const BYTE* bytes) : bytes_(bytes) {}
  WORD Word() {
    WORD value = static_cast<WORD>(bytes_[at_] | (bytes_[at_ + 1] << 8));
    at_ += 2;
    return value;
  }
  DWORD Dword() {
    DWORD low = Word();
    return low | (static_cast<DWORD>(Word()) << 16);
  }
  short Short() { return static_cast<short>(Word()); }
  // A UTF-16 string, as UTF-8.
  std::string Text() {
    std::string out;
    for (WORD unit = Word(); unit != 0; unit = Word()) {
      char32_t code = unit;
      if (unit >= 0xD800 && unit < 0xDC00) code = 0x10000 + ((unit - 0xD800) << 10) + (Word() - 0xDC00);
      if (code < 0x80) {
        out += static_cast<char>(code);
      } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
      } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
      } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
      }
    }
    return out;
  }
  // A menu, class or title: 0xFFFF and an ordinal, or a string.
  std::string NameOrOrdinal(WORD* ordinal) {
    *ordinal = 0;
    if (bytes_[at_] == 0xFF && bytes_[at_ + 1] == 0xFF) {
      Word();
      *ordinal = Word();
      return "";
    }
    return Text();
  }
  void AlignToDword() { at_ = (at_ + 3) & ~std::size_t{3}; }

 private:
  const BYTE* bytes_;
  std::size_t at_ = 0;
};

struct ClassName {
  WORD atom;
  const char* name;
  WindowKind kind;
};
constexpr ClassName kClasses[] = {
    {0x80, "Button", WindowKind::kButton},     {0x81, "Edit", WindowKind::kEdit},
    {0x82, "Static", WindowKind::kStatic},     {0x83, "ListBox", WindowKind::kListBox},
    {0x85, "ComboBox", WindowKind::kComboBox},
};

int ToPixelsX(int units) { return MulDiv(units, kBaseUnitX, 4); }
int ToPixelsY(int units) { return MulDiv(units, kBaseUnitY, 8); }

// The selection field of a drop-down combo box: a text line of 13/8 dialog
// units (Wine's height for the templates' fonts).
constexpr DWORD kComboTypeMask = 0x3;
constexpr DWORD kComboSimple = 0x1;
constexpr int kComboFieldHeight = 13 * kBaseUnitY / 8;

bool IsPushButton(const Window& w) {
  return w.kind == WindowKind::kButton && (w.style & 0x0F) <= BS_DEFPUSHBUTTON;
}

// Builds the dialog window and its controls; null for a template this
// layer does not read (the extended form).
Window* CreateFromTemplate(const BYTE* bytes, HWND owner, DLGPROC proc) {
  TemplateReader r(bytes);
  auto dialog = std::make_unique<Window>();
  dialog->kind = WindowKind::kDialog;
  dialog->className = "#32770";
  dialog->style = r.Dword();
  if ((dialog->style & 0xFFFF0000u) == 0xFFFF0000u) return nullptr;  // DLGTEMPLATEEX
  r.Dword();                                                         // extended style
  int count = r.Word();
  int x = r.Short(), y = r.Short(), cx = r.Short(), cy = r.Short();
  WORD ordinal = 0;
  r.NameOrOrdinal(&ordinal);  // menu
  r.NameOrOrdinal(&ordinal);  // class
  dialog->text = r.Text();
  if (dialog->style & DS_SETFONT) {
    r.Word();
    r.Text();  // every font the templates name has the same base units here
  }
  dialog->parent = owner;
  dialog->proc = proc;
  // The template places the client area relative to the owner's; a child
  // dialog lies in its parent's client area.
  RECT origin{};
  bool child = (dialog->style & WS_CHILD) != 0;
  if (Window* o = FindWindowObject(owner); !child && o != nullptr && o->kind != WindowKind::kDesktop) {
    if (o->kind == WindowKind::kDialog && (o->style & WS_CHILD) == 0) {
      origin = o->rect;
    } else {
      GetWindowRect(owner, &origin);
    }
  }
  LONG left = origin.left + ToPixelsX(x);
  LONG top = origin.top + ToPixelsY(y);
  dialog->rect = {left, top, left + ToPixelsX(cx), top + ToPixelsY(cy)};
  Window& d = AddWindow(std::move(dialog));
  if (child) {
    if (Window* parent = FindWindowObject(owner)) parent->children.push_back(d.handle);
  }

  for (int i = 0; i < count; ++i) {
    r.AlignToDword();
    auto control = std::make_unique<Window>();
    control->style = r.Dword();
    r.Dword();
    int cxu, cyu;
    x = r.Short(), y = r.Short(), cxu = r.Short(), cyu = r.Short();
    control->rect = {ToPixelsX(x), ToPixelsY(y), ToPixelsX(x) + ToPixelsX(cxu),
                     ToPixelsY(y) + ToPixelsY(cyu)};
    control->id = r.Short();
    std::string name = r.NameOrOrdinal(&ordinal);
    for (const ClassName& c : kClasses) {
      if (ordinal == c.atom || (ordinal == 0 && lstrcmpiA(name.c_str(), c.name) == 0)) {
        control->kind = c.kind;
        control->className = c.name;
      }
    }
    if (control->className.empty()) control->className = name;
    control->text = r.NameOrOrdinal(&ordinal);
    WORD extra = r.Word();
    for (WORD k = 0; k < extra; k += 2) r.Word();
    control->parent = d.handle;
    // A drop-down combo box's template height includes its dropped list;
    // the window is the selection field alone, as Win32 sizes it.
    if (control->kind == WindowKind::kComboBox && (control->style & kComboTypeMask) != kComboSimple) {
      control->rect.bottom = control->rect.top + kComboFieldHeight;
    }
    if (control->kind == WindowKind::kButton && (control->style & 0x0F) == BS_DEFPUSHBUTTON &&
        d.defaultId == 0) {
      d.defaultId = control->id;
    }
    d.children.push_back(AddWindow(std::move(control)).handle);
  }
  return &d;
}

// The first control that takes the focus by Tab, as GetNextDlgTabItem finds it.
HWND FirstTabStop(Window& dialog) {
  for (HWND child : dialog.children) {
    Window* c = FindWindowObject(child);
    if (c != nullptr && (c->style & WS_TABSTOP) && c->visible() && c->enabled()) return child;
  }
  return nullptr;
}

void FocusControl(Window& control) {
  SetFocus(control.handle);
  // The dialog manager selects an edit's text when it gives it the focus.
  if (control.kind == WindowKind::kEdit) SendMessageA(control.handle, EM_SETSEL, 0, -1);
}

// ---------------------------------------------------------------- messages

// Messages whose result is the dialog procedure's own, not DWLP_MSGRESULT.
bool ReturnsDirectly(UINT message) {
  return message == WM_INITDIALOG || (message >= 0x0132 && message <= 0x0138);
}

LRESULT DialogMessage(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* dialog = FindWindowObject(handle);
  INT_PTR handled = dialog->proc != nullptr ? dialog->proc(handle, message, wParam, lParam) : FALSE;
  dialog = FindWindowObject(handle);
  if (dialog == nullptr) return 0;
  if (ReturnsDirectly(message)) return handled;
  if (handled) return dialog->messageResult;
  switch (message) {
    case WM_SETTEXT:
      dialog->text = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
      NotifyChanged(*dialog);
      return TRUE;
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
      return ControlMessage(*dialog, message, wParam, lParam);
    case DM_GETDEFID:
      return dialog->defaultId != 0 ? MAKELONG(dialog->defaultId, DC_HASDEFID) : 0;
    case DM_SETDEFID:
      dialog->defaultId = static_cast<int>(wParam);
      return TRUE;
    case WM_CLOSE:
      PostMessageA(handle, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(handle, IDCANCEL)));
      return 0;
    case WM_SETREDRAW:
      dialog->redraw = wParam != 0;
      if (dialog->redraw) NotifyChanged(*dialog);
      return 0;
    default:
      return 0;
  }
}

// Delivers what was posted, in order, until the dialog whose loop runs ends.
void DeliverPosted(HWND loopDialog) {
  std::deque<PostedMessage>& queue = PostedMessages();
  for (;;) {
    Window* dialog = FindWindowObject(loopDialog);
    if (dialog == nullptr || dialog->ended || queue.empty()) return;
    PostedMessage m = queue.front();
    queue.pop_front();
    if (IsWindow(m.window)) SendMessageA(m.window, m.message, m.wParam, m.lParam);
  }
}

void Command(HWND dialog, int id, int code, HWND control) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

// ---------------------------------------------------------------- the view

ControlKind KindOf(const Window& w) {
  switch (w.kind) {
    case WindowKind::kStatic: {
      DWORD type = w.style & 0x1F;
      return type >= 4 && type <= 9 ? ControlKind::kFrame : ControlKind::kLabel;
    }
    case WindowKind::kButton:
      if ((w.style & 0x0F) == BS_DEFPUSHBUTTON) return ControlKind::kDefaultButton;
      if (w.checkBox()) return ControlKind::kCheckBox;
      return (w.style & 0x0F) == BS_PUSHBUTTON ? ControlKind::kPushButton : ControlKind::kOther;
    case WindowKind::kEdit:
      return ControlKind::kEdit;
    case WindowKind::kListBox:
      return ControlKind::kListBox;
    case WindowKind::kComboBox:
      return ControlKind::kComboBox;
    default:
      return ControlKind::kOther;
  }
}

class View final : public DialogView {
 public:
  explicit View(HWND dialog) : dialog_(dialog) {}

  std::string Caption() const override {
    const Window* d = FindWindowObject(dialog_);
    return d != nullptr ? d->text : "";
  }
  int Width() const override { return Rect().right - Rect().left; }
  int Height() const override { return Rect().bottom - Rect().top; }
  int ScreenX() const override { return Rect().left; }
  int ScreenY() const override { return Rect().top; }

  std::vector<ControlState> Controls() const override {
    std::vector<ControlState> controls;
    AddControls(dialog_, 0, 0, controls);
    return controls;
  }

  bool IsFileDialog() const override { return File() != nullptr; }
  bool IsSaveDialog() const override { return File() != nullptr && File()->save; }
  std::vector<FileType> FileTypes() const override {
    return File() != nullptr ? File()->types : std::vector<FileType>{};
  }
  std::string Folder() const override { return File() != nullptr ? File()->folder : ""; }

  // The controls of `window` and of the child dialogs in it, placed in the
  // top dialog's client area.
  static void AddControls(HWND window, LONG dx, LONG dy, std::vector<ControlState>& controls) {
    const Window* d = FindWindowObject(window);
    if (d == nullptr) return;
    for (HWND child : d->children) {
      const Window* c = FindWindowObject(child);
      if (c == nullptr) continue;
      if (c->kind == WindowKind::kDialog) {
        AddControls(child, dx + c->rect.left, dy + c->rect.top, controls);
        continue;
      }
      ControlState s;
      s.id = static_cast<short>(c->id);
      s.kind = KindOf(*c);
      s.style = c->style;
      s.text = c->text;
      s.x = dx + c->rect.left;
      s.y = dy + c->rect.top;
      s.width = c->rect.right - c->rect.left;
      s.height = c->rect.bottom - c->rect.top;
      s.enabled = c->enabled();
      s.visible = c->visible();
      s.focused = GetFocus() == child;
      s.checked = c->check == BST_CHECKED;
      s.lines = c->lines;
      s.selection = c->selection;
      s.textLimit = c->limit;
      s.selectionStart = c->selectionStart;
      s.selectionEnd = c->selectionEnd;
      controls.push_back(std::move(s));
    }
  }

  bool Ended() const override {
    const Window* d = FindWindowObject(dialog_);
    return d == nullptr || d->ended;
  }

  bool Press(int id) override {
    Window* c = Usable(id, WindowKind::kButton);
    if (c == nullptr) return false;
    // As the button's own click: the focus, an auto check box's new state,
    // then BN_CLICKED.
    SendMessageA(c->handle, BM_CLICK, 0, 0);
    DeliverPosted(dialog_);
    return true;
  }

  bool Type(int id, const std::string& text) override {
    Window* c = Usable(id, WindowKind::kEdit);
    if (c == nullptr) return false;
    HWND edit = c->handle;
    SetFocus(edit);
    bool refused = false;
    for (std::size_t i = 0; i < text.size();) {
      std::size_t next = i + 1;
      while (next < text.size() && (static_cast<unsigned char>(text[next]) & 0xC0) == 0x80) ++next;
      c = FindWindowObject(edit);
      if (c == nullptr) break;
      int kept = CharacterCount(c->text) - (c->selectionEnd - c->selectionStart);
      if (kept + 1 > c->limit) {
        refused = true;  // Win32 beeps and drops the character
      } else {
        std::size_t from = ByteOffset(c->text, c->selectionStart);
        std::size_t to = ByteOffset(c->text, c->selectionEnd);
        c->text.replace(from, to - from, text, i, next - i);
        c->selectionStart = c->selectionEnd = c->selectionStart + 1;
        NotifyChanged(*c);
        Command(c->parent, id, EN_CHANGE, edit);
      }
      i = next;
    }
    DeliverPosted(dialog_);
    return !refused;
  }

  bool ReplaceText(int id, const std::string& text) override {
    Window* c = Usable(id, WindowKind::kEdit);
    if (c == nullptr) return false;
    if (CharacterCount(text) > c->limit) return false;
    HWND edit = c->handle;
    SetFocus(edit);
    if ((c = FindWindowObject(edit)) == nullptr) return false;
    c->text = text;
    c->selectionStart = c->selectionEnd = CharacterCount(text);
    NotifyChanged(*c);
    Command(c->parent, id, EN_CHANGE, edit);
    DeliverPosted(dialog_);
    return true;
  }

  bool PickLine(int id, int line) override {
    Window* c = Usable(id, WindowKind::kOther);
    if (c == nullptr || (c->kind != WindowKind::kListBox && c->kind != WindowKind::kComboBox) || line < 0 ||
        line >= static_cast<int>(c->lines.size())) {
      return false;
    }
    HWND control = c->handle;
    HWND parent = c->parent;
    bool combo = c->kind == WindowKind::kComboBox;
    SetFocus(control);
    if ((c = FindWindowObject(control)) == nullptr) return false;
    c->selection = line;
    NotifyChanged(*c);
    if (combo) {
      // A pick in a drop-down list: the change, then the list closing on it.
      Command(parent, id, CBN_SELCHANGE, control);
      Command(parent, id, CBN_SELENDOK, control);
    } else if (c->style & LBS_NOTIFY) {
      Command(parent, id, LBN_SELCHANGE, control);
    }
    DeliverPosted(dialog_);
    return true;
  }

  bool Focus(int id) override {
    Window* c = Usable(id, WindowKind::kOther);
    if (c == nullptr) return false;
    FocusControl(*c);
    return true;
  }

  void PressEnter() override {
    if (Ended()) return;
    Window* focused = FindWindowObject(GetFocus());
    if (focused != nullptr && focused->parent == dialog_ && IsPushButton(*focused)) {
      Command(dialog_, focused->id, BN_CLICKED, focused->handle);
    } else {
      LRESULT defaultId = SendMessageA(dialog_, DM_GETDEFID, 0, 0);
      if (HIWORD(defaultId) == DC_HASDEFID) {
        HWND button = GetDlgItem(dialog_, LOWORD(defaultId));
        if (button == nullptr || IsWindowEnabled(button))
          Command(dialog_, LOWORD(defaultId), BN_CLICKED, button);
      } else {
        Command(dialog_, IDOK, BN_CLICKED, GetDlgItem(dialog_, IDOK));
      }
    }
    DeliverPosted(dialog_);
  }

  void PressEscape() override {
    if (Ended()) return;
    Command(dialog_, IDCANCEL, BN_CLICKED, GetDlgItem(dialog_, IDCANCEL));
    DeliverPosted(dialog_);
  }

 private:
  RECT Rect() const {
    const Window* d = FindWindowObject(dialog_);
    return d != nullptr ? d->rect : RECT{};
  }
  // The control if the user can reach it: it exists, is of `kind` (kOther:
  // any), and it and its dialog are visible, enabled and still running.
  Window* Usable(int id, WindowKind kind) const {
    if (Ended()) return nullptr;
    Window* c = Find(dialog_, id);
    if (c == nullptr || (kind != WindowKind::kOther && c->kind != kind)) return nullptr;
    return IsWindowVisible(c->handle) && c->enabled() ? c : nullptr;
  }
  // Control `id` of the dialog or of a child dialog in it.
  static Window* Find(HWND window, int id) {
    Window* d = FindWindowObject(window);
    if (d == nullptr) return nullptr;
    for (HWND child : d->children) {
      Window* c = FindWindowObject(child);
      if (c == nullptr) continue;
      if (c->kind == WindowKind::kDialog) {
        if (Window* inner = Find(child, id)) return inner;
      } else if (c->id == id) {
        return c;
      }
    }
    return nullptr;
  }
  const FileDialogState* File() const {
    const Window* d = FindWindowObject(dialog_);
    return d != nullptr ? d->fileDialog : nullptr;
  }

  HWND dialog_;
};

}  // namespace

void InitChildDialog(Window& child, LPARAM param) {
  HWND first = FirstTabStop(child);
  SendMessageA(child.handle, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param);
}

Window* CreateDialogWindow(const BYTE* bytes, HWND owner, DLGPROC proc) {
  return CreateFromTemplate(bytes, owner, proc);
}

INT_PTR RunModalDialog(Window& created, LPARAM param) {
  HWND handle = created.handle;
  HWND previousFocus = GetFocus();
  HWND first = FirstTabStop(created);
  if (SendMessageA(handle, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param) != 0 && first != nullptr) {
    if (Window* c = FindWindowObject(first)) FocusControl(*c);
  }
  DeliverPosted(handle);
  Window* dialog = FindWindowObject(handle);
  if (dialog != nullptr && !dialog->ended) {
    View view(handle);
    dialog->view = &view;
    dialog->shown = true;
    dialog->style |= WS_VISIBLE;  // the modal loop shows the dialog
    CurrentPresenter().RunDialog(view);
    // A presenter that gives up is a user who pressed Escape; a dialog that
    // ignores even that is closed for it.
    view.PressEscape();
    if (!view.Ended()) EndDialog(handle, IDCANCEL);
    if ((dialog = FindWindowObject(handle)) != nullptr) dialog->view = nullptr;
  }
  INT_PTR result = dialog != nullptr ? dialog->result : -1;
  // Destroying the dialog takes the focus from its control first.
  if (Window* focused = FindWindowObject(GetFocus());
      focused != nullptr && TopDialogOf(*focused) != nullptr && TopDialogOf(*focused)->handle == handle) {
    SetFocus(nullptr);
  }
  DestroyWindowObject(handle);
  SetFocus(IsWindow(previousFocus) ? previousFocus : nullptr);
  return result;
}

void NotifyChanged(Window& window) {
  Window* dialog = TopDialogOf(window);
  if (dialog != nullptr && dialog->shown && dialog->redraw && dialog->view != nullptr && !dialog->ended) {
    CurrentPresenter().DialogChanged(*dialog->view);
  }
}

}  // namespace imexp::posix

using imexp::posix::FindWindowObject;
using imexp::posix::Window;

INT_PTR DialogBoxIndirectParamA(HINSTANCE, LPCDLGTEMPLATEA dialogTemplate, HWND owner, DLGPROC proc,
                                LPARAM param) {
  if (dialogTemplate == nullptr || (owner != nullptr && !IsWindow(owner))) {
    SetLastError(dialogTemplate == nullptr ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  Window* dialog =
      imexp::posix::CreateDialogWindow(reinterpret_cast<const BYTE*>(dialogTemplate), owner, proc);
  if (dialog == nullptr) return -1;
  return imexp::posix::RunModalDialog(*dialog, param);
}

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc, LPARAM param) {
  HRSRC resource = FindResourceA(instance, templateName, RT_DIALOG);
  if (resource == nullptr) return -1;
  auto* bytes = static_cast<LPCDLGTEMPLATEA>(LockResource(LoadResource(instance, resource)));
  return DialogBoxIndirectParamA(instance, bytes, owner, proc, param);
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  Window* d = FindWindowObject(dialog);
  if (d == nullptr || d->kind != imexp::posix::WindowKind::kDialog) return FALSE;
  d->ended = true;
  d->result = result;
  return TRUE;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = FindWindowObject(window);
  if (w == nullptr) return 0;
  if (w->kind == imexp::posix::WindowKind::kDialog)
    return imexp::posix::DialogMessage(window, message, wParam, lParam);
  return imexp::posix::ControlMessage(*w, message, wParam, lParam);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window != nullptr && !IsWindow(window)) return FALSE;
  imexp::posix::PostedMessages().push_back({window, message, wParam, lParam});
  return TRUE;
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* control = imexp::posix::FindControl(dialog, id);
  return control != nullptr ? SendMessageA(control->handle, message, wParam, lParam) : 0;
}

BOOL MapDialogRect(HWND dialog, LPRECT rect) {
  Window* d = FindWindowObject(dialog);
  if (d == nullptr || d->kind != imexp::posix::WindowKind::kDialog || rect == nullptr) return FALSE;
  rect->left = imexp::posix::ToPixelsX(rect->left);
  rect->right = imexp::posix::ToPixelsX(rect->right);
  rect->top = imexp::posix::ToPixelsY(rect->top);
  rect->bottom = imexp::posix::ToPixelsY(rect->bottom);
  return TRUE;
}
