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

// ReportError for a save. "Disk full" (CONV_ERR_DISK_FULL) is what the
// converters and the temporary file report for every refused write; when the
// system's error of that write (`fileError`, a Win32 code) says it was a
// file-size limit or a disk quota, the message says that instead.
int ReportWriteError(HWND owner, int code, DWORD fileError, const char* path, HMODULE library);

// A path chosen in a dialog that does not fit the fixed 256-byte path
// buffers: refused with a message rather than cut into another file's name.
int ReportPathTooLong(HWND owner, const char* path);

}  // namespace imexp
