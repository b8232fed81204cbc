// What the core needs about files beyond the Win32 names themselves.
#pragma once

#include "platform/win32.h"

#ifndef ERROR_DISK_QUOTA_EXCEEDED
#define ERROR_DISK_QUOTA_EXCEEDED 1295L  // winerror.h has it; not every SDK does
#endif

namespace imexp::platform {

// An HFILE carries the system's file handle in a 32-bit int, as _lopen and
// OpenFile return it (Win32 keeps kernel handles within 32 bits); on POSIX
// both are the file descriptor. HFILE_ERROR and INVALID_HANDLE_VALUE match.
inline HFILE FileFromHandle(HANDLE handle) { return static_cast<HFILE>(reinterpret_cast<INT_PTR>(handle)); }
inline HANDLE HandleFromFile(HFILE file) { return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(file)); }

// The system's reason for the last failed file call of this thread, as a
// Win32 error code, whoever made the call: the manager, or a converter
// through its own file helpers (on POSIX these call the system directly, so
// the reason is read from errno). ClearFileError forgets it, so that a
// converter's failure without a system cause reads as ERROR_SUCCESS.
#ifdef _WIN32
inline void ClearFileError() { SetLastError(ERROR_SUCCESS); }
inline DWORD LastFileError() { return GetLastError(); }
#else
void ClearFileError();
DWORD LastFileError();
#endif

// Sets the system writing what a file holds so far to its storage, without
// waiting for it, so that the flush that makes the file durable finds less
// left to write. Nothing is reported: the flush reports what fails. Windows
// has no such call; its lazy writer starts on its own.
#ifdef _WIN32
inline void StartWriteBack(HFILE) {}
#else
void StartWriteBack(HFILE file);
#endif

}  // namespace imexp::platform
