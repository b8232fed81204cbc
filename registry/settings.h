// Reading and writing CONVERT.INI: plain profile access for the registry and
// the setup dialog, and the remembered dialog settings by string ID.
#pragma once

#include "platform/win32.h"

namespace imexp {

// The platform's private-profile read on CONVERT.INI; a null default reads
// as "". A null key lists the section's keys (double-NUL ended).
DWORD ReadProfileString(const char* section, const char* key, const char* defaultValue, char* buffer,
                        DWORD size);
// The platform's private-profile write: a null key removes the section, a
// null value the key.
BOOL WriteProfileString(const char* section, const char* key, const char* value);
// The same with section and key names taken from the string table.
DWORD ReadSetting(UINT sectionId, UINT keyId, const char* defaultValue, char* buffer, DWORD size);
BOOL WriteSetting(UINT sectionId, UINT keyId, const char* value);

}  // namespace imexp
