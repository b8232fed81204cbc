// The Win32 base types and constants of the POSIX layer; the same header
// gives them to converters that show dialogs.
#pragma once

#include <imexp/posix_win32_types.h>
