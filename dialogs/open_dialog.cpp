// ImExp_SelectFileToRead: the platform's Open dialog over the installed
// readers, with an Info button, remembering the last folder and format.
#include <imexp/host.h>

#include "dialogs/file_dialog_support.h"
#include "dialogs/image_info.h"
#include "platform/file_names.h"
#include "platform/global_block.h"
#include "registry/converter_list.h"
#include "registry/error_report.h"
#include "registry/reader_detection.h"
#include "registry/settings.h"
#include "resource_ids.h"

namespace imexp {

namespace {

constexpr int kPathSize = 256;
// A listed converter's description and extensions fields.
constexpr int kFilterBytesPerConverter = sizeof(ConvRecord::description) + sizeof(ConvRecord::extensions);
// The all-files entry's two strings are loaded with this limit each, so
// that both fit the one converter's room the block keeps for them.
constexpr int kAllFilesTextSize = 40;

// The readers' filters, "description\0extensions\0" each in list order, then
// the all-files filter and the closing NUL. Returns the filter number
// (1-based among the readers) of the first reader whose extensions match
// `name`, or 0.
int FillFilters(char* block, const char* name) {
  int position = 0;
  int listed = 0;
  int preselected = 0;
  for (int i = 0; i < ConverterCount(); ++i) {
    const ConvRecord& record = ConverterAt(i);
    if ((record.flags & CONV_FLAG_READER) == 0) continue;
    ++listed;
    PutFilterText(block, &position, record.description);
    PutFilterText(block, &position, record.extensions);
    if (preselected == 0 && MatchExtension(name, record.extensions)) preselected = listed;
  }
  char text[kAllFilesTextSize];
  for (UINT id : {IDS_ALL_FILES, IDS_ALL_FILES_PATTERN}) {
    static_cast<void>(LoadManagerString(id, text, sizeof text));
    PutFilterText(block, &position, text);
  }
  block[position] = '\0';
  return preselected;
}

// The filter number of converter `index` among the readers, 0 for a
// converter that does not read.
int FilterOfReader(int index) {
  if (index < 0 || (ConverterAt(index).flags & CONV_FLAG_READER) == 0) return 0;
  int number = 0;
  for (int i = 0; i <= index; ++i) {
    if (ConverterAt(i).flags & CONV_FLAG_READER) ++number;
  }
  return number;
}

// The converter of filter `number`; the converter count (no preference) for
// the all-files filter or any number past the readers.
int ReaderOfFilter(DWORD number) {
  DWORD seen = 0;
  for (int i = 0; i < ConverterCount(); ++i) {
    if ((ConverterAt(i).flags & CONV_FLAG_READER) && ++seen == number) return i;
  }
  return ConverterCount();
}

// The Info button: Image Info for the file under the cursor, or, for a name
// that is no file (nothing, a folder, a pattern), the OK command instead.
void ShowInfoOfSelection(HWND child) {
  char path[kPathSize] = "";
  LRESULT length =
      SendMessageA(GetParent(child), CDM_GETFILEPATH, sizeof path, reinterpret_cast<LPARAM>(path));
  if (length > static_cast<LRESULT>(sizeof path)) {
    // The path did not fit; a cut one would name some other file.
    ReportPathTooLong(child, nullptr);
    return;
  }
  int end = lstrlenA(path);
  bool noFile = NothingTyped(GetParent(child)) || end == 0 || path[end - 1] == '\\' || path[end - 1] == '/';
  for (const char* p = path; *p != '\0'; ++p) noFile = noFile || *p == '*' || *p == '?';
  if (noFile) {
    PostMessageA(child, WM_COMMAND, MAKEWPARAM(IDOK, 0), reinterpret_cast<LPARAM>(GetDlgItem(child, IDOK)));
    return;
  }
  // The dialog shows the title in capitals. Where file names match without
  // regard to case the path itself is upper-cased; where they do not, the
  // upper-cased path would name no file, so the path is opened as chosen.
  if (!platform::kCaseSensitiveFileNames) CharUpperA(path);
  ShowImageInfo(child, path, -1, platform::kCaseSensitiveFileNames);
}

// Lines the Info button up under the dialog's Cancel button, in its size.
void AlignInfoButton(HWND child) {
  HWND cancel = GetDlgItem(GetParent(child), IDCANCEL);
  HWND info = GetDlgItem(child, IDC_OPEN_INFO);
  if (cancel == nullptr || info == nullptr) return;
  RECT cancelBounds;
  RECT infoBounds;
  RECT childBounds;
  GetWindowRect(cancel, &cancelBounds);
  GetWindowRect(info, &infoBounds);
  GetWindowRect(child, &childBounds);
  MoveWindow(info, cancelBounds.left - childBounds.left, infoBounds.top - childBounds.top,
             cancelBounds.right - cancelBounds.left, cancelBounds.bottom - cancelBounds.top, FALSE);
}

UINT_PTR CALLBACK OpenHook(HWND child, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    AlignInfoButton(child);
    CentreOnDesktop(GetParent(child));
    return TRUE;
  }
  if (message == WM_COMMAND && LOWORD(wParam) == IDC_OPEN_INFO) {
    ShowInfoOfSelection(child);
    return TRUE;
  }
  return FALSE;
}

// Our child template with the Info button, or null when it is missing.
HGLOBAL ChildTemplate() {
  HRSRC resource = FindResourceA(ManagerModule(), MAKEINTRESOURCEA(IDD_OPEN_CHILD), RT_DIALOG);
  return resource != nullptr ? LoadResource(ManagerModule(), resource) : nullptr;
}

// After the choice: the file must open and some converter must read it.
// Returns the reader, or -1 once the failure has been reported.
int CheckChosenFile(HWND owner, const char* path, DWORD filter) {
  HFILE file = _lopen(path, OF_READ);
  if (file == HFILE_ERROR) {
    ReportError(owner, CONV_ERR_CANNOT_OPEN, path, nullptr);
    return -1;
  }
  int reader = ChooseReader(path, file, ReaderOfFilter(filter));
  _lclose(file);
  if (reader < 0) ReportError(owner, CONV_ERR_UNKNOWN_FORMAT, path, nullptr);
  return reader;
}

}  // namespace

}  // namespace imexp

extern "C" IMEXP_API int IMEXP_CALL ImExp_SelectFileToRead(HWND owner, char* path) {
  using namespace imexp;
  if (path == nullptr) return 0;
  if (ConverterCount() == 0) {
    ReportError(owner, CONV_ERR_NOT_CONFIGURED, nullptr, nullptr);
    return 0;
  }
  GlobalBlock filters;
  if (!filters.Allocate(static_cast<SIZE_T>(ConverterCount() + 1) * kFilterBytesPerConverter)) {
    ReportError(owner, CONV_ERR_NO_MEMORY, nullptr, nullptr);
    return 0;
  }
  char file[kPathSize];
  lstrcpynA(file, path, sizeof file);
  int preselected = FillFilters(filters.as<char>(), file);
  if (preselected == 0) {
    char format[kPathSize];
    ReadSetting(IDS_SECTION_SETTINGS, IDS_KEY_OPEN_FORMAT, "", format, sizeof format);
    preselected = FilterOfReader(FindConverterByName(format));
  }
  char folder[kPathSize];
  if (ReadSetting(IDS_SECTION_SETTINGS, IDS_KEY_OPEN_DIR, "", folder, sizeof folder) == 0) folder[0] = '\0';

  OPENFILENAMEA ofn{};
  ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  ofn.hwndOwner = owner;
  ofn.hInstance = reinterpret_cast<HINSTANCE>(ChildTemplate());
  ofn.lpstrFilter = filters.as<char>();
  ofn.nFilterIndex = static_cast<DWORD>(preselected);
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  ofn.lpstrInitialDir = folder;
  ofn.Flags = OFN_EXPLORER | OFN_ENABLETEMPLATEHANDLE | OFN_ENABLEHOOK | OFN_HIDEREADONLY;
  ofn.lpfnHook = &OpenHook;
  BOOL chosen = GetOpenFileNameA(&ofn);
  filters.Free();
  if (!chosen) {
    SayIfPathTooLong(owner);
    return 0;
  }

  int reader = CheckChosenFile(owner, file, ofn.nFilterIndex);
  if (reader < 0) return 0;
  platform::FolderOfChosenFile(file, ofn.nFileOffset, folder, sizeof folder);
  WriteSetting(IDS_SECTION_SETTINGS, IDS_KEY_OPEN_DIR, folder);
  WriteSetting(IDS_SECTION_SETTINGS, IDS_KEY_OPEN_FORMAT, ConverterAt(reader).name);
  lstrcpyA(path, file);
  return 1;
}
