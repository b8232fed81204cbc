// ImExp_SelectFileToWrite: the platform's Save dialog over the converters
// that can write the host's image, remembering the last folder, and making
// sure the chosen name carries an extension of the chosen format.
#include <imexp/host.h>

#include "dialogs/file_dialog_support.h"
#include "dialogs/save_names.h"
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
constexpr int kHookPathSize = 260;
constexpr int kFileNameBox = 1152;  // the Save dialog's file-name box
constexpr char kDefaultExtension[] = ".TIF";

// The write layouts an image of a host type can be offered in: the layout
// rule applied to the type value as colour type with the type's depth,
// fixed by the type alone.
struct SaveType {
  int imageType;
  uint32_t mask;
};
constexpr SaveType kSaveTypes[] = {
    {HIT_BILEVEL, 0x3FD}, {HIT_PAL16, 0x3F0}, {HIT_PAL256, 0x3E0}, {HIT_GRAY256, 0x3E0}, {HIT_RGB24, 0x380},
};

uint32_t SaveMask(int imageType) {
  for (const SaveType& t : kSaveTypes) {
    if (t.imageType == imageType) return t.mask;
  }
  return 0;
}

bool Listed(const ConvRecord& record, uint32_t mask) {
  return (record.flags & CONV_FLAG_WRITER) != 0 && (record.writeFormats & mask) != 0;
}

// Bytes of the filter list of the listed converters, 0 when none is listed.
int FilterListSize(uint32_t mask) {
  int size = 0;
  for (int i = 0; i < ConverterCount(); ++i) {
    const ConvRecord& record = ConverterAt(i);
    if (Listed(record, mask)) size += lstrlenA(record.description) + lstrlenA(record.extensions) + 2;
  }
  return size == 0 ? 0 : size + 1;
}

// The listed converter of filter `number` (1-based), or null.
const ConvRecord* ConverterOfFilter(uint32_t mask, DWORD number) {
  DWORD seen = 0;
  for (int i = 0; i < ConverterCount(); ++i) {
    if (Listed(ConverterAt(i), mask) && ++seen == number) return &ConverterAt(i);
  }
  return nullptr;
}

// Fills the filter list; returns the filter to preselect: the first whose
// extensions match `name`, else the one named `format`, else 0.
int FillFilters(char* list, uint32_t mask, const char* name, const char* format) {
  int position = 0;
  int listed = 0;
  int byExtension = 0;
  int byFormat = 0;
  for (int i = 0; i < ConverterCount(); ++i) {
    const ConvRecord& record = ConverterAt(i);
    if (!Listed(record, mask)) continue;
    ++listed;
    if (byFormat == 0 && lstrcmpiA(record.name, format) == 0) byFormat = listed;
    if (byExtension == 0 && MatchExtension(name, record.extensions)) byExtension = listed;
    PutFilterText(list, &position, record.description);
    PutFilterText(list, &position, record.extensions);
  }
  list[position] = '\0';
  return byExtension != 0 ? byExtension : byFormat;
}

UINT_PTR CALLBACK SaveHook(HWND child, UINT message, WPARAM, LPARAM lParam) {
  HWND dialog = GetParent(child);
  if (message == WM_INITDIALOG) {
    CentreOnDesktop(dialog);
  } else if (message == WM_NOTIFY &&
             reinterpret_cast<const NMHDR*>(lParam)->code == static_cast<UINT>(CDN_TYPECHANGE)) {
    // The old type's extension goes, so that the new one can be added.
    if (NothingTyped(dialog)) return 0;
    char path[kHookPathSize] = "";
    LRESULT length = SendMessageA(dialog, CDM_GETFILEPATH, sizeof path, reinterpret_cast<LPARAM>(path));
    if (length > 0 && length <= static_cast<LRESULT>(sizeof path)) {
      char name[kHookPathSize];
      lstrcpynA(name, platform::FileNamePart(path), sizeof name);
      *const_cast<char*>(platform::FileExtension(name)) = '\0';
      SendMessageA(dialog, CDM_SETCONTROLTEXT, kFileNameBox, reinterpret_cast<LPARAM>(name));
    }
  }
  return 0;
}

}  // namespace

}  // namespace imexp

extern "C" IMEXP_API int IMEXP_CALL ImExp_SelectFileToWrite(HWND owner, int imageType, char* path) {
  using namespace imexp;
  uint32_t mask = SaveMask(imageType);
  if (mask == 0 || path == nullptr) return 0;
  int listSize = FilterListSize(mask);
  if (listSize == 0) {
    ReportError(owner, CONV_ERR_NO_SAVE_FORMAT, nullptr, nullptr);
    return 0;
  }
  GlobalBlock filters;
  if (!filters.Allocate(static_cast<SIZE_T>(listSize))) {
    ReportError(owner, CONV_ERR_NO_MEMORY, nullptr, nullptr);
    return 0;
  }
  char file[kPathSize];
  lstrcpynA(file, path, sizeof file);
  char format[kPathSize];
  ReadSetting(IDS_SECTION_SETTINGS, IDS_KEY_SAVE_FORMAT, "", format, sizeof format);
  int preselected = FillFilters(filters.as<char>(), mask, file, format);
  char folder[kPathSize];
  if (ReadSetting(IDS_SECTION_SETTINGS, IDS_KEY_SAVE_DIR, "", folder, sizeof folder) == 0) folder[0] = '\0';

  OPENFILENAMEA ofn{};
  ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filters.as<char>();
  ofn.nFilterIndex = static_cast<DWORD>(preselected);
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  ofn.lpstrInitialDir = folder;
  ofn.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOREADONLYRETURN |
              OFN_EXTENSIONDIFFERENT;
  ofn.lpstrDefExt = kDefaultExtension;
  ofn.lpfnHook = &SaveHook;
  BOOL chosen = GetSaveFileNameA(&ofn);
  if (!chosen) {
    SayIfPathTooLong(owner);
    return 0;
  }
  // The caller's buffer is only known to hold 256 bytes: a name that does
  // not fit with its extension is refused, never written past the end.
  const ConvRecord* chosenFormat = ConverterOfFilter(mask, ofn.nFilterIndex);
  if (chosenFormat != nullptr && !AddFormatExtension(file, chosenFormat->extensions)) {
    ReportPathTooLong(owner, file);
    return 0;
  }
  lstrcpyA(path, file);
  platform::FolderOfChosenFile(file, ofn.nFileOffset, folder, sizeof folder);
  WriteSetting(IDS_SECTION_SETTINGS, IDS_KEY_SAVE_DIR, folder);
  return chosen;
}
