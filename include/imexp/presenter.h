/*
 * ImExp presenter interface (POSIX builds).
 *
 * On Windows the manager's message boxes and dialogs are Win32's own. On
 * POSIX the manager runs the same dialog procedures over its own window
 * layer, and a presenter decides how the user sees and answers them: a
 * host installs one with ImExpPosix_SetPresenter. Without one, message
 * boxes are written to stderr and answered with their first button, and
 * dialogs end as if the user had pressed Escape.
 *
 * Everything here is called on the thread that called the manager, from
 * inside the manager's call; nothing is kept after the call returns.
 */
#ifndef IMEXP_PRESENTER_H
#define IMEXP_PRESENTER_H

#ifdef __cplusplus

#include <string>
#include <vector>

namespace imexp {

/* What ShowMessageBox answers: the Win32 IDs of the buttons. */
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerCancel = 2;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;

enum class ControlKind {
  kLabel, /* static text, left, centred or right aligned */
  kFrame, /* static frame or rectangle, no text */
  kPushButton,
  kDefaultButton, /* the push button that Enter presses */
  kEdit,
  kListBox,
  kComboBox, /* a drop-down list, such as a file dialog's file types */
  kCheckBox, /* a two-state check box; an automatic one turns over when pressed */
  kOther
};

/* The Win32 class of a control of that kind ("Static", "Button", "Edit",
 * "ListBox", "ComboBox"; "" for another). A check box is a "Button". */
inline const char* ClassNameOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::kLabel:
    case ControlKind::kFrame:
      return "Static";
    case ControlKind::kPushButton:
    case ControlKind::kDefaultButton:
    case ControlKind::kCheckBox:
      return "Button";
    case ControlKind::kEdit:
      return "Edit";
    case ControlKind::kListBox:
      return "ListBox";
    case ControlKind::kComboBox:
      return "ComboBox";
    default:
      return "";
  }
}

/* The IDs of the standard controls of an Open or Save dialog, as Win32's
 * Explorer-style dialogs number them; OK and Cancel are kAnswerOk and
 * kAnswerCancel. */
inline constexpr int kFolderLabel = 1091;
inline constexpr int kFolderBox = 1137;
inline constexpr int kFileList = 1120;
inline constexpr int kNameLabel = 1090;
inline constexpr int kNameBox = 1152;
inline constexpr int kTypeLabel = 1089;
inline constexpr int kTypeList = 1136;

/* One control of a dialog, as the user sees it now. */
struct ControlState {
  int id = 0; /* -1 for a control without an ID */
  ControlKind kind = ControlKind::kOther;
  unsigned style = 0;                      /* the Win32 window style */
  std::string text;                        /* UTF-8; a label's '&' marks its mnemonic */
  int x = 0, y = 0, width = 0, height = 0; /* pixels in the dialog's client area */
  bool enabled = true;
  bool visible = true;
  bool focused = false;
  std::vector<std::string> lines;           /* list boxes */
  int selection = -1;                       /* list boxes: the selected line, -1 for none */
  int textLimit = 0;                        /* edits: characters the user may type */
  int selectionStart = 0, selectionEnd = 0; /* edits, in characters */
  bool checked = false;                     /* check boxes */
};

/*
 * A modal dialog while it runs: what it shows, and what the user can do to
 * it. Each action runs the dialog procedure as Win32 would (WM_COMMAND with
 * BN_CLICKED, EN_CHANGE, LBN_SELCHANGE, ...) and then every message posted
 * meanwhile, in order, before it returns.
 */
class DialogView {
 public:
  virtual std::string Caption() const = 0;
  /* The dialog's client area in pixels, and its place on the screen. */
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual int ScreenX() const = 0;
  virtual int ScreenY() const = 0;
  virtual std::vector<ControlState> Controls() const = 0;
  /* True once the dialog procedure has ended the dialog. */
  virtual bool Ended() const = 0;

  /* False when the control does not exist, is hidden or is disabled, or is
   * of another kind: the user cannot do that. A file dialog is a dialog like
   * the others: the name box 1152 takes the name typed (a folder, or a
   * path, and OK opens it), the type list 1136 the file type, and the
   * hook's own controls (such as the Open dialog's Info button) are among
   * its controls. Pressing a check box clicks it: an automatic one turns
   * over first, and the dialog procedure then hears BN_CLICKED (a plain one
   * is left for the procedure to set). */
  virtual bool Press(int id) = 0;
  /* Types UTF-8 text into an edit at its caret, replacing the selection;
   * what passes the edit's limit is refused, as Win32 refuses it. */
  virtual bool Type(int id, const std::string& text) = 0;
  /* Replaces an edit's whole text, as a user who selects it all and types
   * `text` over it (or deletes it, when `text` is empty): one EN_CHANGE. A
   * text past the limit is refused and the edit left as it was. */
  virtual bool ReplaceText(int id, const std::string& text) = 0;
  virtual bool PickLine(int id, int line) = 0;
  virtual bool Focus(int id) = 0;
  /* Enter presses the focused push button, else the default button (or
   * IDOK); Escape presses IDCANCEL. */
  virtual void PressEnter() = 0;
  virtual void PressEscape() = 0;

  /* For a file dialog: its file types (description and patterns, such as
   * "*.TIF;*.TIFF"), whether it saves, and the folder it shows. Empty for
   * other dialogs. */
  struct FileType {
    std::string description;
    std::string patterns;
  };
  virtual bool IsFileDialog() const { return false; }
  virtual bool IsSaveDialog() const { return false; }
  virtual std::vector<FileType> FileTypes() const { return {}; }
  virtual std::string Folder() const { return ""; }

 protected:
  ~DialogView() = default;
};

class Presenter {
 public:
  virtual ~Presenter() = default;
  /* A message box: `type` holds the Win32 MB_* flags (buttons and icon).
   * Returns the ID of the button pressed (kAnswerOk, ...). */
  virtual int ShowMessageBox(void* owner, const char* text, const char* caption, unsigned type) = 0;
  /* A modal dialog is on the screen: act on it until it has ended. If it
   * still runs when this returns, it is treated as Escape, and a dialog
   * that ignores Escape too ends with IDCANCEL. Dialogs nest: an action
   * may open another dialog, which is run before the action returns. */
  virtual void RunDialog(DialogView& dialog) = 0;
  /* Something the dialog shows has changed (a text, a state, a list line,
   * the focus), by the program or by an action. */
  virtual void DialogChanged(DialogView& dialog) { (void)dialog; }
};

}  // namespace imexp

#endif /* __cplusplus */

#if !defined(_WIN32)
#ifdef __cplusplus
extern "C" {
#endif
/* Installs the presenter (null: the default one). The presenter must stay
 * alive until it is replaced. */
#ifdef __cplusplus
__attribute__((visibility("default"))) void ImExpPosix_SetPresenter(imexp::Presenter* presenter);
#endif
/* String `id` of the manager's string table in the language the manager
 * shows (UTF-8), as LoadStringA gives it; the length copied. */
__attribute__((visibility("default"))) int ImExpPosix_LoadString(unsigned id, char* buffer, int size);
/* The language of the manager's texts, as a Win32 language ID: 0x0419
 * Russian, 0x0409 English. A presenter words its own buttons to match. */
__attribute__((visibility("default"))) unsigned ImExpPosix_Language(void);
#ifdef __cplusplus
}
#endif
#endif

#endif /* IMEXP_PRESENTER_H */
