// The list of installed converters and the module-wide state that lives from
// library attach to detach: our module handle, the path of CONVERT.INI and
// the converter records. Only this interface reaches that state.
#pragma once

#include <imexp/converter.h>

#include "platform/win32.h"

namespace imexp {

inline constexpr int kIniPathSize = 256;
inline constexpr int kConverterPathSize = 128;  // ConvRecord::path

// Ties the module-wide state to `module`: its string table is the manager's,
// its folder holds CONVERT.INI and the converters named by relative paths.
// With a null `iniPath` the path of CONVERT.INI is formed beside the module,
// as at library attach; otherwise `iniPath` is taken as it is (cut to 255
// characters). The converter list is not touched. Tests attach the registry
// to a copy of the manager or to the resource module linked into them.
void AttachRegistry(HINSTANCE module, const char* iniPath = nullptr);
// Frees the list and forgets the module and the INI path.
void DetachRegistry();

// String `id` of our own string table into `buffer` (`size` bytes, cut to
// fit): its length, with the buffer empty (when size > 0) and 0 returned when
// there is no such string.
[[nodiscard]] int LoadManagerString(UINT id, char* buffer, int size);

// Loads section Converters: 0, CONV_ERR_NO_MEMORY or CONV_ERR_NOT_CONFIGURED.
[[nodiscard]] int LoadConverterList();
// 1 when the INI value names a usable converter and `record` is filled.
[[nodiscard]] int LoadConverterInfo(const char* value, ConvRecord* record);
// Forms a converter library path from an INI value into `out` (128 bytes);
// false when the path would not fit.
[[nodiscard]] bool ResolveConverterPath(const char* value, char* out);
void FreeConverterList();
// Index of the first converter named `name` (any case), or -1.
[[nodiscard]] int FindConverterByName(const char* name);
// The loaded library of converter `index`, or null; the caller frees it.
[[nodiscard]] HMODULE LoadConverter(int index);
// Loads the converter library at the full path `path`, or returns null (a
// relative name is refused: converters are never searched for). What the
// library imports is looked for beside it and in the system folder only.
[[nodiscard]] HMODULE LoadConverterLibrary(const char* path);

// The list as everything outside the registry sees it. After start-up only
// the converter setup changes it, through InsertConverterAt,
// RemoveConverterAt and RefreshConverterAt; this is where a lock would go.
[[nodiscard]] int ConverterCount();
// Converter `index`, 0 <= index < ConverterCount().
[[nodiscard]] const ConvRecord& ConverterAt(int index);
// The records ConverterAt indexes, as one block; null when there is no list.
[[nodiscard]] const ConvRecord* ConverterRecords();
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
[[nodiscard]] char* IniPath();
[[nodiscard]] HINSTANCE ManagerModule();

// Keeps a record's strings inside their fields whatever a converter put there.
void TerminateRecordStrings(ConvRecord& record);

}  // namespace imexp
