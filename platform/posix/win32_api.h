// The Win32 functions the core calls, declared for the POSIX platform layer.
// Each is implemented with the behaviour Win32 shows to a caller (results,
// truncation, last-error values where the core or a test looks at them); the
// conformance tests run the same cases against this layer and real Win32.
#pragma once

#include <cstdarg>

#include "platform/posix/win32_types.h"

// errors.cpp
DWORD GetLastError();
void SetLastError(DWORD error);

// module.cpp: converter libraries through dlopen. A failed load returns null
// (a handle below 32). GetModuleFileNameA gives the full path of a loaded
// library, or of this library for the handle it was attached with.
HMODULE LoadLibraryA(LPCSTR fileName);
// With the LOAD_LIBRARY_SEARCH_* flags the library must be named by its full
// path (a relative name fails with ERROR_INVALID_PARAMETER, as on Windows);
// what it imports is then found as the dynamic linker finds it (its own run
// path, the system's folders). No other flags, and no file handle.
HMODULE LoadLibraryExA(LPCSTR fileName, HANDLE file, DWORD flags);
BOOL FreeLibrary(HMODULE module);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);
UINT SetErrorMode(UINT mode);

// memory.cpp: the global heap with movable blocks and lock counts.
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
HGLOBAL GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags);
LPVOID GlobalLock(HGLOBAL mem);
BOOL GlobalUnlock(HGLOBAL mem);
HGLOBAL GlobalHandle(LPCVOID mem);
HGLOBAL GlobalFree(HGLOBAL mem);
SIZE_T GlobalSize(HGLOBAL mem);

// profile.cpp: private profile (INI) files.
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                               LPCSTR fileName);
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName);

// files.cpp: the 16-bit-era file API over POSIX descriptors (an HFILE is a
// file descriptor), CreateFileA for exclusive creation, flushes and file
// moves. MOVEFILE_WRITE_THROUGH also flushes the target's folder, so that a
// completed move survives a power loss.
HFILE _lopen(LPCSTR path, int mode);
HFILE _lclose(HFILE file);
UINT _lread(HFILE file, LPVOID buffer, UINT count);
UINT _lwrite(HFILE file, LPCCH buffer, UINT count);
LONG _llseek(HFILE file, LONG offset, int origin);
HFILE OpenFile(LPCSTR fileName, LPOFSTRUCT reOpenBuff, UINT style);
// The handle is a file descriptor (INVALID_HANDLE_VALUE is -1); access,
// disposition and the flush are honoured, sharing and attributes are not.
HANDLE CreateFileA(LPCSTR fileName, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flagsAndAttributes, HANDLE templateFile);
BOOL FlushFileBuffers(HANDLE file);
BOOL MoveFileA(LPCSTR existing, LPCSTR target);
BOOL MoveFileExA(LPCSTR existing, LPCSTR target, DWORD flags);
BOOL DeleteFileA(LPCSTR fileName);
short GetFileTitleA(LPCSTR file, LPSTR title, WORD size);

// strings.cpp
int lstrlenA(LPCSTR string);
LPSTR lstrcpyA(LPSTR dest, LPCSTR src);
LPSTR lstrcpynA(LPSTR dest, LPCSTR src, int max);
LPSTR lstrcatA(LPSTR dest, LPCSTR src);
int lstrcmpA(LPCSTR a, LPCSTR b);
int lstrcmpiA(LPCSTR a, LPCSTR b);
LPSTR CharUpperA(LPSTR string);
int wsprintfA(LPSTR buffer, LPCSTR format, ...) __attribute__((format(printf, 2, 3)));
int wvsprintfA(LPSTR buffer, LPCSTR format, va_list args);
int MulDiv(int number, int numerator, int denominator);

// resources.cpp: the string and dialog tables generated from imexp.rc.
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size);
// A dialog's resource is its DLGTEMPLATE bytes, as in a Windows module.
HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
HRSRC FindResourceExA(HMODULE module, LPCSTR type, LPCSTR name, WORD language);
DWORD SizeofResource(HMODULE module, HRSRC resource);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL resource);

// message_boxes.cpp: message boxes (answered by the presenter) and cursors.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();

// dialogs.cpp: modal dialogs from templates, their loops and messages. The
// user's side of a dialog is the presenter (include/imexp/presenter.h).
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc, LPARAM param);
INT_PTR DialogBoxIndirectParamA(HINSTANCE instance, LPCDLGTEMPLATEA dialogTemplate, HWND owner, DLGPROC proc,
                                LPARAM param);
BOOL EndDialog(HWND dialog, INT_PTR result);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
BOOL MapDialogRect(HWND dialog, LPRECT rect);

// controls.cpp: control texts, numbers and check states.
BOOL SetWindowTextA(HWND window, LPCSTR text);
int GetWindowTextA(HWND window, LPSTR buffer, int size);
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size);
BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned);
UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned);
// Check boxes (BS_CHECKBOX, BS_AUTOCHECKBOX): BST_UNCHECKED or BST_CHECKED.
UINT IsDlgButtonChecked(HWND dialog, int id);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);

// window_state.cpp: the state and geometry of windows.
BOOL IsWindow(HWND window);
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND window);
HWND SetFocus(HWND window);
HWND GetFocus();
BOOL ShowWindow(HWND window, int command);
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);
BOOL IsWindowVisible(HWND window);
BOOL GetWindowRect(HWND window, LPRECT rect);
BOOL GetClientRect(HWND window, LPRECT rect);
HWND GetDesktopWindow();
HWND GetParent(HWND window);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
LONG GetWindowLongA(HWND window, int index);
LONG SetWindowLongA(HWND window, int index, LONG value);
LONG_PTR GetWindowLongPtrA(HWND window, int index);
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);

// file_dialogs.cpp: the Open and Save common dialogs, Explorer style, with
// the hook's child dialog; the user's side is the presenter.
BOOL GetOpenFileNameA(LPOPENFILENAMEA ofn);
BOOL GetSaveFileNameA(LPOPENFILENAMEA ofn);
DWORD CommDlgExtendedError();
