// Install and Remove of the converter setup, with and without the dialog.
#include "dialogs/converter_changes.h"

#include <imexp/host.h>

#include <string>

#include "registry/converter_list.h"
#include "registry/entry_points.h"
#include "registry/error_report.h"
#include "resource_ids.h"

namespace imexp {

namespace {

// "Converter already installed" is loaded with a limit of 100 characters.
constexpr int kAlreadyInstalledSize = platform::TextBytes(100);
constexpr int kFormatSize = platform::TextBytes(64);

enum class Added { kAdded, kRefused, kNoMemory };

// A library looked at for installation, loaded without the system's
// "cannot find" box and freed when it goes out of scope.
class CandidateLibrary {
 public:
  explicit CandidateLibrary(const char* path) {
    UINT previousMode = SetErrorMode(SEM_NOOPENFILEERRORBOX);
    handle_ = LoadConverterLibrary(path);
    SetErrorMode(previousMode);
  }
  ~CandidateLibrary() {
    if (platform::IsLoadedModule(handle_)) FreeLibrary(handle_);
  }
  CandidateLibrary(const CandidateLibrary&) = delete;
  CandidateLibrary& operator=(const CandidateLibrary&) = delete;
  HMODULE handle() const { return handle_; }

 private:
  HMODULE handle_ = nullptr;
};

// True when `library` is a converter of this interface that claims one of
// the capabilities; `modulePath` (128 bytes) then holds its full file name.
bool IsInstallable(HMODULE library, char* modulePath) {
  if (!platform::IsLoadedModule(library)) return false;
  auto getVersion = GetEntryPointAs<ConvGetVersionFn>(library, IDS_CONV_GET_VERSION);
  if (getVersion == nullptr || GetEntryPoint(library, IDS_CONV_GET_DLL_INFO) == nullptr) return false;
  // Converters have always been asked once for each of the two tests.
  if ((getVersion() & 0xFFFFu) < CONV_INTERFACE_VERSION) return false;
  if ((getVersion() & (CONV_VERSION_CAPABILITY_1 | CONV_VERSION_CAPABILITY_2)) == 0) return false;
  // A name cut to fit the record would name some other file, or none, at
  // the next start-up; such a library is refused instead.
  DWORD length = GetModuleFileNameA(library, modulePath, kConverterPathSize);
  return length > 0 && length < kConverterPathSize;
}

// Loads, checks and enters the library as converter `position`; the
// library is freed again before the caller says anything to the user.
Added AddRecord(const char* path, int position) {
  CandidateLibrary library(path);
  char modulePath[kConverterPathSize];
  if (!IsInstallable(library.handle(), modulePath)) return Added::kRefused;
  ConvRecord* record = InsertConverterAt(position);
  if (record == nullptr) return Added::kNoMemory;
  lstrcpyA(record->path, modulePath);
  GetEntryPointAs<ConvGetDllInfoFn>(library.handle(), IDS_CONV_GET_DLL_INFO)(record, IniPath());
  TerminateRecordStrings(*record);
  return Added::kAdded;
}

void Warn(HWND owner, const char* text) { MessageBoxA(owner, text, nullptr, MB_OK | MB_ICONWARNING); }

void SayAlreadyInstalled(HWND owner) {
  char text[kAlreadyInstalledSize];
  static_cast<void>(LoadManagerString(IDS_ALREADY_INSTALLED, text, sizeof text));
  Warn(owner, text);
}

void SayUnableToInstall(HWND owner, const char* path) {
  char format[kFormatSize];
  static_cast<void>(LoadManagerString(IDS_UNABLE_TO_INSTALL, format, sizeof format));
  // A path handed to the export may be of any length: room for all of it.
  std::string text(static_cast<std::size_t>(lstrlenA(format) + lstrlenA(path)) + 1, '\0');
  wsprintfA(text.data(), format, path);
  Warn(owner, text.c_str());
}

}  // namespace

int InstallConverter(HWND owner, const char* path, int position) {
  for (int i = 0; i < ConverterCount(); ++i) {
    if (platform::SamePath(ConverterAt(i).path, path)) {
      SayAlreadyInstalled(owner);
      return -1;
    }
  }
  if (position < 0) position = 0;
  if (position > ConverterCount()) position = ConverterCount();
  switch (AddRecord(path, position)) {
    case Added::kRefused:
      SayUnableToInstall(owner, path);
      return -1;
    case Added::kNoMemory:
      ReportError(owner, CONV_ERR_NO_MEMORY, nullptr, nullptr);
      return -1;
    case Added::kAdded:
      break;
  }
  SaveConverterList();
  return position;
}

bool RemoveConverter(int index) {
  if (index < 0 || index >= ConverterCount()) return false;
  RemoveConverterAt(index);
  SaveConverterList();
  return true;
}

}  // namespace imexp

extern "C" IMEXP_API int IMEXP_CALL ImExp_InstallConverter(HWND owner, char* library, int position) {
  using namespace imexp;
  if (library == nullptr) return -1;
  if (position < 0 || position > ConverterCount()) position = ConverterCount();
  return InstallConverter(owner, library, position);
}

extern "C" IMEXP_API int IMEXP_CALL ImExp_RemoveConverter(HWND, char* name, int index) {
  using namespace imexp;
  if (name != nullptr) index = FindConverterByName(name);
  return RemoveConverter(index) ? 1 : 0;
}
