// The Open and Save common dialogs over POSIX, in the Explorer style the
// manager uses: a dialog of the layer with the standard controls (folder,
// file list, name box 1152, type list 1136, OK and Cancel), the hook's child
// dialog below them, the CDN_* notifications the hook is sent and the CDM_*
// requests the file dialog answers. Where the result is concerned (path and
// its offsets, filter index, default extension, the questions asked) it
// behaves as Win32 does under wine, which the conformance tests check.
#include <sys/stat.h>

#include <dirent.h>
#include <fnmatch.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/posix/window_objects.h"

namespace imexp::posix {

namespace {

// The standard controls' IDs are the presenter's (imexp::kNameBox, ...).

// The layout of the standard part, in pixels; the hook's child goes below.
constexpr LONG kWidth = 480;
constexpr LONG kStandardHeight = 262;

DWORD lastError = 0;

struct FileDialog {
  OPENFILENAMEA* ofn = nullptr;
  bool save = false;
  FileDialogState state;
  HWND self = nullptr;
  HWND hook = nullptr;  // the hook's child dialog
  BOOL result = FALSE;
};

bool IsFolder(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

std::string CurrentFolder() {
  char buffer[4096];
  return getcwd(buffer, sizeof buffer) != nullptr ? buffer : "/";
}

std::string Join(const std::string& folder, const std::string& name) {
  if (!name.empty() && name[0] == '/') return name;
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string NameBoxText(const FileDialog& f) {
  char text[4096] = "";
  GetDlgItemTextA(f.self, kNameBox, text, sizeof text);
  return text;
}

// The first pattern of the current type, when it names one extension
// ("*.TIF;*.TIFF" gives "TIF"; "*.*" gives nothing).
std::string TypeExtension(const FileDialog& f) {
  DWORD index = f.ofn->nFilterIndex;
  if (index == 0 || index > f.state.types.size()) return "";
  std::string patterns = f.state.types[index - 1].patterns;
  std::string first = patterns.substr(0, patterns.find(';'));
  if (first.rfind("*.", 0) != 0) return "";
  std::string extension = first.substr(2);
  return extension.find_first_of("*?") == std::string::npos ? extension : "";
}

void Notify(FileDialog& f, UINT code) {
  if (f.hook == nullptr) return;
  OFNOTIFYA note{{f.self, 0, code}, f.ofn, nullptr};
  SendMessageA(f.hook, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&note));
}

bool Matches(const std::string& name, const std::string& patterns) {
  std::size_t start = 0;
  while (start <= patterns.size()) {
    std::size_t end = patterns.find(';', start);
    std::string pattern = patterns.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!pattern.empty() && fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0) return true;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return false;
}

// The folder box and the file list show the current folder.
void ShowFolder(FileDialog& f) {
  SetDlgItemTextA(f.self, kFolderBox, f.state.folder.c_str());
  HWND list = GetDlgItem(f.self, kFileList);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  std::vector<std::string> names;
  std::string patterns;
  if (f.ofn->nFilterIndex >= 1 && f.ofn->nFilterIndex <= f.state.types.size()) {
    patterns = f.state.types[f.ofn->nFilterIndex - 1].patterns;
  }
  if (DIR* dir = opendir(f.state.folder.c_str())) {
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      bool folder = IsFolder(Join(f.state.folder, name));
      if (folder || patterns.empty() || Matches(name, patterns)) names.push_back(folder ? name + "/" : name);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names)
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
}

void AnswerRequest(HWND dialog, LRESULT result) { SetWindowLongPtrA(dialog, DWLP_MSGRESULT, result); }

// Copies a request's answer into the caller's buffer; the size it needs,
// with its terminator, is the answer whether or not it fitted.
LRESULT CopyAnswer(const std::string& text, WPARAM size, LPARAM buffer) {
  if (buffer != 0 && size > text.size())
    std::memcpy(reinterpret_cast<char*>(buffer), text.c_str(), text.size() + 1);
  return static_cast<LRESULT>(text.size() + 1);
}

void Confirm(FileDialog& f) {
  std::string name = NameBoxText(f);
  if (name.empty()) return;
  std::string path = Join(f.state.folder, name);
  if (IsFolder(path)) {
    // A folder typed and confirmed is opened, as Win32 does.
    f.state.folder = path;
    SetDlgItemTextA(f.self, kNameBox, "");
    ShowFolder(f);
    Notify(f, CDN_FOLDERCHANGE);
    return;
  }
  std::size_t nameStart = path.rfind('/') + 1;
  std::size_t dot = path.rfind('.');
  bool hasExtension = dot != std::string::npos && dot > nameStart;
  const char* defaultExtension = f.ofn->lpstrDefExt;
  bool different = false;
  if (defaultExtension != nullptr) {
    std::string wanted = defaultExtension[0] == '.' ? defaultExtension + 1 : defaultExtension;
    if (!hasExtension) {
      // The current type's extension, else the default one (wine's rule).
      std::string added = TypeExtension(f);
      if (added.empty()) added = wanted;
      if (!added.empty()) {
        path += "." + added;
        dot = path.size() - added.size() - 1;
        different = lstrcmpiA(added.c_str(), wanted.c_str()) != 0;
      }
    } else {
      // Win32 documents the flag for any extension other than the default.
      different = lstrcmpiA(path.c_str() + dot + 1, wanted.c_str()) != 0;
    }
  }
  bool russian = RussianTexts();
  bool exists = Exists(path);
  if (!f.save && (f.ofn->Flags & OFN_FILEMUSTEXIST) && !exists) {
    MessageBoxA(f.self, russian ? "Файл не существует" : "File does not exist", "", MB_OK | MB_ICONERROR);
    return;
  }
  if (f.save && (f.ofn->Flags & OFN_OVERWRITEPROMPT) && exists) {
    const char* question =
        russian ? "Файл уже существует.\nЗаменить его?" : "File already exists.\nDo you want to replace it?";
    if (MessageBoxA(f.self, question, nullptr, MB_YESNO | MB_ICONEXCLAMATION) != IDYES) return;
  }
  Notify(f, CDN_FILEOK);
  if (f.hook != nullptr && GetWindowLongPtrA(f.hook, DWLP_MSGRESULT) != 0) return;  // the hook refused it

  OPENFILENAMEA& ofn = *f.ofn;
  if (ofn.lpstrFile == nullptr || path.size() + 1 > ofn.nMaxFile) {
    // The size needed goes into the buffer's first two bytes.
    if (ofn.lpstrFile != nullptr && ofn.nMaxFile >= 2) {
      auto needed = static_cast<WORD>(std::min<std::size_t>(path.size() + 1, 0xFFFF));
      std::memcpy(ofn.lpstrFile, &needed, sizeof needed);
    }
    lastError = FNERR_BUFFERTOOSMALL;
    EndDialog(f.self, FALSE);
    return;
  }
  std::memcpy(ofn.lpstrFile, path.c_str(), path.size() + 1);
  ofn.nFileOffset = static_cast<WORD>(nameStart);
  ofn.nFileExtension = static_cast<WORD>(dot != std::string::npos && dot > nameStart ? dot + 1 : path.size());
  if (different) {
    ofn.Flags |= OFN_EXTENSIONDIFFERENT;
  } else {
    ofn.Flags &= ~OFN_EXTENSIONDIFFERENT;
  }
  if (ofn.lpstrFileTitle != nullptr && ofn.nMaxFileTitle > 0) {
    lstrcpynA(ofn.lpstrFileTitle, path.c_str() + nameStart, static_cast<int>(ofn.nMaxFileTitle));
  }
  f.result = TRUE;
  EndDialog(f.self, TRUE);
}

FileDialog* current = nullptr;

INT_PTR FileDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  FileDialog* f = current;
  if (f == nullptr) return FALSE;
  switch (message) {
    case WM_INITDIALOG:
      // The name box has the focus, its text selected, as on Win32.
      SetFocus(GetDlgItem(dialog, kNameBox));
      SendDlgItemMessageA(dialog, kNameBox, EM_SETSEL, 0, -1);
      return FALSE;
    case WM_COMMAND: {
      int id = LOWORD(wParam), code = HIWORD(wParam);
      if (id == IDOK && code == BN_CLICKED) {
        Confirm(*f);
      } else if (id == IDCANCEL && code == BN_CLICKED) {
        EndDialog(dialog, FALSE);
      } else if (id == kTypeList && code == CBN_SELENDOK) {
        LRESULT line = SendDlgItemMessageA(dialog, kTypeList, CB_GETCURSEL, 0, 0);
        if (line >= 0) f->ofn->nFilterIndex = static_cast<DWORD>(line + 1);
        ShowFolder(*f);
        Notify(*f, CDN_TYPECHANGE);
      } else if (id == kFileList && code == LBN_SELCHANGE) {
        char line[4096] = "";
        LRESULT index = SendDlgItemMessageA(dialog, kFileList, LB_GETCURSEL, 0, 0);
        SendDlgItemMessageA(dialog, kFileList, LB_GETTEXT, static_cast<WPARAM>(index),
                            reinterpret_cast<LPARAM>(line));
        SetDlgItemTextA(dialog, kNameBox, line);
        Notify(*f, CDN_SELCHANGE);
      }
      return TRUE;
    }
    case CDM_GETSPEC:
      AnswerRequest(dialog, CopyAnswer(NameBoxText(*f), wParam, lParam));
      return TRUE;
    case CDM_GETFILEPATH: {
      // With nothing typed, Win32 answers the folder itself, without a
      // separator after it.
      std::string name = NameBoxText(*f);
      AnswerRequest(dialog,
                    CopyAnswer(name.empty() ? f->state.folder : Join(f->state.folder, name), wParam, lParam));
      return TRUE;
    }
    case CDM_GETFOLDERPATH:
      AnswerRequest(dialog, CopyAnswer(f->state.folder, wParam, lParam));
      return TRUE;
    case CDM_SETCONTROLTEXT:
      SetDlgItemTextA(dialog, static_cast<int>(wParam), reinterpret_cast<LPCSTR>(lParam));
      AnswerRequest(dialog, 0);
      return TRUE;
    default:
      return FALSE;
  }
}

Window& AddControl(Window& dialog, WindowKind kind, const char* className, int id, const char* text,
                   RECT rect, DWORD style) {
  auto control = std::make_unique<Window>();
  control->kind = kind;
  control->className = className;
  control->id = id;
  control->text = text;
  control->rect = rect;
  control->style = WS_CHILD | WS_VISIBLE | style;
  control->parent = dialog.handle;
  Window& added = AddWindow(std::move(control));
  dialog.children.push_back(added.handle);
  return added;
}

// The hook's child template: by handle, by name from hInstance, or an empty
// one when the hook has none.
const BYTE* ChildTemplate(const OPENFILENAMEA& ofn) {
  static const WORD kEmpty[] = {0x0000, 0x4400, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};  // DS_CONTROL | WS_CHILD
  if (ofn.Flags & OFN_ENABLETEMPLATEHANDLE) return reinterpret_cast<const BYTE*>(ofn.hInstance);
  if (ofn.Flags & OFN_ENABLETEMPLATE) {
    HRSRC resource = FindResourceA(ofn.hInstance, ofn.lpTemplateName, RT_DIALOG);
    return resource != nullptr ? static_cast<const BYTE*>(LockResource(LoadResource(ofn.hInstance, resource)))
                               : nullptr;
  }
  return reinterpret_cast<const BYTE*>(kEmpty);
}

BOOL RunFileDialog(OPENFILENAMEA* ofn, bool save) {
  lastError = 0;
  if (ofn == nullptr || ofn->lStructSize != OPENFILENAME_SIZE_VERSION_400A) {
    lastError = CDERR_STRUCTSIZE;
    return FALSE;
  }
  FileDialog f;
  f.ofn = ofn;
  f.save = save;
  f.state.save = save;
  for (const char* p = ofn->lpstrFilter; p != nullptr && *p != '\0';) {
    DialogView::FileType type;
    type.description = p;
    p += type.description.size() + 1;
    type.patterns = p;
    p += type.patterns.size() + 1;
    f.state.types.push_back(type);
  }
  if (ofn->nFilterIndex == 0 || ofn->nFilterIndex > f.state.types.size()) ofn->nFilterIndex = 1;
  f.state.folder = ofn->lpstrInitialDir != nullptr && IsFolder(ofn->lpstrInitialDir) ? ofn->lpstrInitialDir
                                                                                     : CurrentFolder();

  bool russian = RussianTexts();
  auto window = std::make_unique<Window>();
  window->kind = WindowKind::kDialog;
  window->className = "#32770";
  window->style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
  window->text = ofn->lpstrTitle != nullptr ? ofn->lpstrTitle
                 : save                     ? (russian ? "Сохранить как" : "Save As")
                                            : (russian ? "Открыть" : "Open");
  window->parent = ofn->hwndOwner;
  window->proc = &FileDialogProc;
  window->fileDialog = &f.state;
  window->rect = {100, 100, 100 + kWidth, 100 + kStandardHeight};
  Window& d = AddWindow(std::move(window));
  f.self = d.handle;
  AddControl(d, WindowKind::kStatic, "Static", kFolderLabel,
             russian ? "&Папка:" : "Look &in:", {8, 10, 88, 26}, 0);
  AddControl(d, WindowKind::kComboBox, "ComboBox", kFolderBox, "", {96, 6, 472, 30}, WS_TABSTOP);
  AddControl(d, WindowKind::kListBox, "ListBox", kFileList, "", {8, 38, 472, 186},
             LBS_NOTIFY | WS_BORDER | WS_TABSTOP);
  AddControl(d, WindowKind::kStatic, "Static", kNameLabel,
             russian ? "&Имя файла:" : "File &name:", {8, 198, 96, 214}, 0);
  AddControl(d, WindowKind::kEdit, "Edit", kNameBox, ofn->lpstrFile != nullptr ? ofn->lpstrFile : "",
             {104, 194, 370, 216}, WS_BORDER | WS_TABSTOP);
  AddControl(d, WindowKind::kStatic, "Static", kTypeLabel,
             russian ? "&Тип файлов:" : "Files of &type:", {8, 228, 96, 244}, 0);
  AddControl(d, WindowKind::kComboBox, "ComboBox", kTypeList, "", {104, 224, 370, 246}, WS_TABSTOP);
  AddControl(d, WindowKind::kButton, "Button", IDOK,
             save ? (russian ? "&Сохранить" : "&Save") : (russian ? "&Открыть" : "&Open"),
             {378, 193, 472, 217}, BS_DEFPUSHBUTTON | WS_TABSTOP);
  AddControl(d, WindowKind::kButton, "Button", IDCANCEL, russian ? "Отмена" : "Cancel", {378, 223, 472, 247},
             BS_PUSHBUTTON | WS_TABSTOP);
  d.defaultId = IDOK;
  for (const DialogView::FileType& type : f.state.types) {
    SendDlgItemMessageA(d.handle, kTypeList, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(type.description.c_str()));
  }
  SendDlgItemMessageA(d.handle, kTypeList, CB_SETCURSEL, ofn->nFilterIndex - 1, 0);
  ShowFolder(f);

  FileDialog* outer = current;
  current = &f;
  if ((ofn->Flags & OFN_ENABLEHOOK) && ofn->lpfnHook != nullptr) {
    const BYTE* childTemplate = ChildTemplate(*ofn);
    Window* child = childTemplate != nullptr ? CreateDialogWindow(childTemplate, d.handle,
                                                                  reinterpret_cast<DLGPROC>(ofn->lpfnHook))
                                             : nullptr;
    if (child == nullptr) {
      current = outer;
      DestroyWindowObject(f.self);
      lastError = CDERR_DIALOGFAILURE;
      return FALSE;
    }
    // The child goes below the standard controls, and the dialog grows.
    LONG height = child->rect.bottom - child->rect.top;
    child->rect = {0, kStandardHeight, kWidth, kStandardHeight + height};
    child->style |= WS_VISIBLE;
    d.rect.bottom += height;
    f.hook = child->handle;
    InitChildDialog(*child, reinterpret_cast<LPARAM>(ofn));
    Notify(f, CDN_INITDONE);
  }
  // The answer is what the dialog's own procedure put in f.result, not the
  // value its loop ends with.
  if (Window* dialog = FindWindowObject(f.self)) static_cast<void>(RunModalDialog(*dialog, 0));
  current = outer;
  return f.result;
}

}  // namespace

}  // namespace imexp::posix

BOOL GetOpenFileNameA(LPOPENFILENAMEA ofn) { return imexp::posix::RunFileDialog(ofn, false); }

BOOL GetSaveFileNameA(LPOPENFILENAMEA ofn) { return imexp::posix::RunFileDialog(ofn, true); }

DWORD CommDlgExtendedError() { return imexp::posix::lastError; }
