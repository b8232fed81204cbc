// The Converter Setup dialog: the installed converters in list order, with
// Install, Remove and each converter's own Setup and About windows. It keeps
// no copy of the list; every change goes to the converter list and to
// CONVERT.INI at once.
#include <imexp/host.h>

#include <initializer_list>

#include "dialogs/converter_changes.h"
#include "dialogs/file_dialog_support.h"
#include "registry/converter_list.h"
#include "registry/entry_points.h"
#include "registry/error_report.h"
#include "resource_ids.h"

namespace imexp {

namespace {

// Setup dialogs open in this process: the dialog works on the one list
// without a copy, so a second one must not change it under the first.
int openSetupDialogs = 0;

// Type texts and filter parts are loaded with a limit of 40 characters.
constexpr int kTextSize = platform::TextBytes(40);
// The default extension has at most 3 characters.
constexpr int kExtensionSize = platform::TextBytes(3) + 1;
// The chosen library has to fit a record's path.
constexpr int kFileSize = kConverterPathSize;

// What the Install button's file dialog offers, prepared once per dialog.
struct SetupContext {
  // Libraries, their pattern, All Files, "*.*": each part and the whole list
  // NUL-terminated.
  char filters[4 * kTextSize + 1] = {};
  char defaultExtension[kExtensionSize] = {};
};

// String `id` into `out`, or `platformText` where the platform names
// converter libraries in its own way.
void LoadLibraryText(UINT id, const char* platformText, char* out, int size) {
  if (platformText != nullptr) {
    lstrcpynA(out, platformText, size);
  } else {
    static_cast<void>(LoadManagerString(id, out, size));
  }
}

void PrepareInstall(SetupContext& c) {
  char* at = c.filters;
  for (UINT id : {IDS_LIBRARIES, IDS_LIBRARIES_PATTERN, IDS_ALL_FILES, IDS_ALL_FILES_PATTERN}) {
    LoadLibraryText(id, id == IDS_LIBRARIES_PATTERN ? platform::kLibraryPattern : nullptr, at, kTextSize);
    at += lstrlenA(at) + 1;
  }
  *at = '\0';
  LoadLibraryText(IDS_LIBRARY_EXTENSION, platform::kLibraryExtension, c.defaultExtension,
                  sizeof c.defaultExtension);
}

bool IsConverter(int index) { return index >= 0 && index < ConverterCount(); }

bool Has(int index, uint32_t flag) { return IsConverter(index) && (ConverterAt(index).flags & flag) != 0; }

UINT TypeText(uint32_t flags) {
  bool reads = (flags & CONV_FLAG_READER) != 0;
  bool writes = (flags & CONV_FLAG_WRITER) != 0;
  if (reads && writes) return IDS_TYPE_IMPORT_EXPORT;
  if (reads) return IDS_TYPE_IMPORT;
  return writes ? IDS_TYPE_EXPORT : IDS_TYPE_UNKNOWN;
}

// The list box's current selection; -1 for none.
int SelectedLine(HWND dialog) {
  return static_cast<int>(SendDlgItemMessageA(dialog, IDC_SETUP_LIST, LB_GETCURSEL, 0, 0));
}

// Path and type of the converter on line `index` (empty for the line after
// the last), and the buttons that apply to it.
void ShowSelection(HWND dialog, int index) {
  if (!IsConverter(index)) {
    SetDlgItemTextA(dialog, IDC_SETUP_PATH, "");
    SetDlgItemTextA(dialog, IDC_SETUP_TYPE, "");
  } else {
    const ConvRecord& record = ConverterAt(index);
    SetDlgItemTextA(dialog, IDC_SETUP_PATH, record.path);
    char type[kTextSize];
    static_cast<void>(LoadManagerString(TypeText(record.flags), type, sizeof type));
    SetDlgItemTextA(dialog, IDC_SETUP_TYPE, type);
  }
  EnableWindow(GetDlgItem(dialog, IDC_SETUP_REMOVE), IsConverter(index));
  EnableWindow(GetDlgItem(dialog, IDC_SETUP_SETUP), Has(index, CONV_FLAG_SETUP));
  EnableWindow(GetDlgItem(dialog, IDC_SETUP_ABOUT), Has(index, CONV_FLAG_ABOUT));
}

void SelectLine(HWND dialog, int index) {
  SendDlgItemMessageA(dialog, IDC_SETUP_LIST, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  ShowSelection(dialog, index);
}

// One line per converter, then the empty line that stands for "after the
// last".
void FillList(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_SETUP_LIST);
  if (ConverterCount() > 0) {
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    for (int i = 0; i < ConverterCount(); ++i) {
      SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ConverterAt(i).name));
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  }
  SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(""));
}

void Install(HWND dialog, const SetupContext& c, int position) {
  char file[kFileSize] = "";
  OPENFILENAMEA ofn{};
  ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  ofn.hwndOwner = dialog;
  ofn.lpstrFilter = c.filters;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  ofn.lpstrDefExt = c.defaultExtension;
  if (!GetOpenFileNameA(&ofn)) {
    SayIfPathTooLong(dialog);
    return;
  }
  int index = InstallConverter(dialog, file, position);
  if (index < 0) return;
  SendDlgItemMessageA(dialog, IDC_SETUP_LIST, LB_INSERTSTRING, static_cast<WPARAM>(index),
                      reinterpret_cast<LPARAM>(ConverterAt(index).name));
  SelectLine(dialog, index);
}

void Remove(HWND dialog, int index) {
  if (!RemoveConverter(index)) return;
  SendDlgItemMessageA(dialog, IDC_SETUP_LIST, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
  // The same line now holds the next converter, or the empty line.
  SelectLine(dialog, index);
}

// The converter's own settings window; its record is asked for again
// afterwards, as the settings may change what it says.
void RunSetup(HWND dialog, int index) {
  HMODULE library = LoadConverter(index);
  if (library == nullptr) return;
  if (auto setup = GetEntryPointAs<ConvSetupFn>(library, IDS_CONV_SETUP)) setup(dialog, IniPath());
  RefreshConverterAt(index, library);
  FreeLibrary(library);
  ShowSelection(dialog, index);
}

void ShowAbout(HWND dialog, int index) {
  HMODULE library = LoadConverter(index);
  if (library == nullptr) return;
  if (auto about = GetEntryPointAs<ConvAboutFn>(library, IDS_CONV_ABOUT)) about(dialog);
  FreeLibrary(library);
}

// True when the command was handled.
bool OnCommand(HWND dialog, const SetupContext& c, int id, int notification) {
  int selected = SelectedLine(dialog);
  switch (id) {
    case IDOK:
    case IDCANCEL:
      EndDialog(dialog, 0);
      return true;
    case IDC_SETUP_LIST:
      if (notification != LBN_SELCHANGE) return false;
      ShowSelection(dialog, selected);
      return true;
    case IDC_SETUP_INSTALL:
      if (selected >= 0) Install(dialog, c, selected);
      return true;
    case IDC_SETUP_REMOVE:
      if (IsConverter(selected)) Remove(dialog, selected);
      return true;
    case IDC_SETUP_SETUP:
      if (Has(selected, CONV_FLAG_SETUP)) RunSetup(dialog, selected);
      return true;
    case IDC_SETUP_ABOUT:
      if (Has(selected, CONV_FLAG_ABOUT)) ShowAbout(dialog, selected);
      return true;
    default:
      return false;
  }
}

INT_PTR CALLBACK ConverterSetupProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      PrepareInstall(*reinterpret_cast<SetupContext*>(lParam));
      FillList(dialog);
      SelectLine(dialog, 0);
      SetFocus(GetDlgItem(dialog, IDC_SETUP_LIST));
      return FALSE;  // the focus is set
    }
    case WM_COMMAND: {
      const auto* c = reinterpret_cast<const SetupContext*>(GetWindowLongPtrA(dialog, DWLP_USER));
      // Nothing is handled before WM_INITDIALOG has set the context.
      return c != nullptr && OnCommand(dialog, *c, LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    }
    default:
      return FALSE;
  }
}

}  // namespace

}  // namespace imexp

extern "C" IMEXP_API int IMEXP_CALL ImExp_ConfigureConverters(HWND owner) {
  using namespace imexp;
  if (openSetupDialogs != 0) {
    ReportError(owner, CONV_ERR_CONVERTER_IN_USE, nullptr, nullptr);
    return 0;
  }
  SetupContext context;
  ++openSetupDialogs;
  INT_PTR result = DialogBoxParamA(ManagerModule(), MAKEINTRESOURCEA(IDD_CONVERTER_SETUP), owner,
                                   &ConverterSetupProc, reinterpret_cast<LPARAM>(&context));
  --openSetupDialogs;
  return result == -1 ? 0 : 1;
}
