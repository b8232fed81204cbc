/*
 * How the manager offers its user interface to converters on POSIX.
 *
 * On Windows a converter's dialogs are Win32's own. On POSIX the Win32
 * functions a converter's dialogs call live in the manager's platform layer,
 * which no converter links against. So the manager hands each library it
 * loads this table: right after loading, it calls the library's own
 * export
 *
 *     const ResourceTables* ImExpPosix_AttachUi(const ImExpUiTable* ui, HMODULE self);
 *
 * when there is one (the imexp_converter_ui library of the SDK provides it,
 * together with functions of the Win32 names that forward to the table).
 * The library answers with its own resource tables, which the manager then
 * serves for its module handle `self` until the library is freed. The table
 * stays valid while the library is loaded.
 *
 * The table only grows: new functions go at its end, and `size` tells a
 * converter which ones a manager has.
 */
#pragma once

#include <imexp/posix_resources.h>
#include <imexp/posix_win32_types.h>

struct ImExpUiTable {
  unsigned size; /* sizeof(ImExpUiTable) of the manager */
  INT_PTR (*DialogBoxParamA)(HINSTANCE, LPCSTR, HWND, DLGPROC, LPARAM);
  BOOL (*EndDialog)(HWND, INT_PTR);
  LRESULT (*SendMessageA)(HWND, UINT, WPARAM, LPARAM);
  LRESULT (*SendDlgItemMessageA)(HWND, int, UINT, WPARAM, LPARAM);
  HWND (*GetDlgItem)(HWND, int);
  BOOL (*SetDlgItemTextA)(HWND, int, LPCSTR);
  UINT (*GetDlgItemTextA)(HWND, int, LPSTR, int);
  BOOL (*SetDlgItemInt)(HWND, int, UINT, BOOL);
  UINT (*GetDlgItemInt)(HWND, int, BOOL*, BOOL);
  UINT (*IsDlgButtonChecked)(HWND, int);
  BOOL (*CheckDlgButton)(HWND, int, UINT);
  BOOL (*EnableWindow)(HWND, BOOL);
  HWND (*SetFocus)(HWND);
  BOOL (*SetWindowTextA)(HWND, LPCSTR);
  int (*GetWindowTextA)(HWND, LPSTR, int);
  int (*MessageBoxA)(HWND, LPCSTR, LPCSTR, UINT);
  int (*LoadStringA)(HINSTANCE, UINT, LPSTR, int);
  DWORD (*GetPrivateProfileStringA)(LPCSTR, LPCSTR, LPCSTR, LPSTR, DWORD, LPCSTR);
  BOOL (*WritePrivateProfileStringA)(LPCSTR, LPCSTR, LPCSTR, LPCSTR);
  LONG_PTR (*GetWindowLongPtrA)(HWND, int);
  LONG_PTR (*SetWindowLongPtrA)(HWND, int, LONG_PTR);
};

/* The converter's export, and its name for the manager's lookup. */
using ImExpPosix_AttachUiFn = const imexp::posix::ResourceTables* (*)(const ImExpUiTable*, HMODULE);
inline constexpr const char kImExpPosixAttachUi[] = "ImExpPosix_AttachUi";
