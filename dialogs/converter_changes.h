// Installing and removing converters: the two changes to the converter list
// after start-up, shared by the setup dialog and by the exports that do the
// same without it. Each change is written to CONVERT.INI before it returns.
#pragma once

#include "platform/win32.h"

namespace imexp {

// Installs the converter library `path` before converter `position`
// (0..count) and returns its index, or -1 when nothing changed. A library
// already in the list, one that does not load, lacks ConvGetVersion or
// ConvGetDllInfo, is of an older interface or claims neither capability is
// refused with a warning owned by `owner`; no memory for the larger list is
// reported as error 2.
[[nodiscard]] int InstallConverter(HWND owner, const char* path, int position);

// Removes converter `index`; false when there is no such converter.
[[nodiscard]] bool RemoveConverter(int index);

}  // namespace imexp
