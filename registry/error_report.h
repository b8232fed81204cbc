// Turning an error code into the message the user sees.
#pragma once

#include "platform/win32.h"

namespace imexp {

// Shows the message for `code` in a "Converter Error" box owned by `owner`.
// `path` names the file concerned (its title goes into the message) or is
// null. `library` is the converter still loaded, or null: a converter's own
// codes (16 and up) are worded by its ConvGetErrorString. Code 0 and code 12
// (cancelled) show nothing.
int ReportError(HWND owner, int code, const char* path, HMODULE library);

}  // namespace imexp
