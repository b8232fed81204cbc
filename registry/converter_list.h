// The list of installed converters and the module-wide state that lives from
// library attach to detach: our module handle, the path of CONVERT.INI and
// the converter records.
#pragma once

#include <imexp/converter.h>

#include "platform/global_block.h"
#include "platform/win32.h"

namespace imexp {

inline constexpr int kIniPathSize = 256;
inline constexpr int kConverterPathSize = 128;  // ConvRecord::path

struct Registry {
  HINSTANCE module = nullptr;
  char iniPath[kIniPathSize] = {};
  GlobalBlock listBlock;       // the records, locked while the library is loaded
  ConvRecord* list = nullptr;  // null: no list
  int count = 0;
};

// The one registry of this library.
Registry& TheRegistry();

// Fills iniPath: our own folder and "CONVERT.INI".
void BuildIniPath();
// Loads section Converters: 0, CONV_ERR_NO_MEMORY or CONV_ERR_NOT_CONFIGURED.
[[nodiscard]] int LoadConverterList();
// 1 when the INI value names a usable converter and `record` is filled.
[[nodiscard]] int LoadConverterInfo(const char* value, ConvRecord* record);
// Forms a converter library path from an INI value into `out` (128 bytes);
// false when the path would not fit.
[[nodiscard]] bool ResolveConverterPath(const char* value, char* out);
void FreeConverterList();
// Index of the first converter named `name` (any case), or -1.
int FindConverterByName(const char* name);
// The loaded library of converter `index`, or null; the caller frees it.
[[nodiscard]] HMODULE LoadConverter(int index);

// The list as everything outside the registry sees it. After start-up only
// the converter setup changes it, through InsertConverterAt,
// RemoveConverterAt and RefreshConverterAt; this is where a lock would go.
int ConverterCount();
// Converter `index`, 0 <= index < ConverterCount().
const ConvRecord& ConverterAt(int index);
// Makes room for a record before `position` (0..count, clamped) and returns
// it zero-filled for the caller to fill; null, with the list unchanged, when
// there is no memory for the larger list.
[[nodiscard]] ConvRecord* InsertConverterAt(int position);
// Removes converter `index`; nothing happens for an index outside the list.
void RemoveConverterAt(int index);
// Asks converter `index`, loaded as `library`, for its record again, after
// its own setup may have changed what the record says.
void RefreshConverterAt(int index, HMODULE library);
// Rewrites section Converters from the list: keys 0 to n-1, full paths.
void SaveConverterList();
// The path of CONVERT.INI and our own module, for converters and resources.
char* IniPath();
HINSTANCE ManagerModule();

// Keeps a record's strings inside their fields whatever a converter put there.
void TerminateRecordStrings(ConvRecord& record);

}  // namespace imexp
