/*
 * ImExp converter dialogs: the Win32 functions a converter's ConvSetup and
 * ConvAbout may call, the same on every platform.
 *
 * A converter writes its dialogs once, against Win32: DialogBoxParamA with a
 * template from its own resource script, the dialog-item functions,
 * MessageBoxA, LoadStringA from its own module and the private-profile
 * functions on the `iniPath` it was given. On Windows these are Win32's own
 * (link user32) and the templates come from the module's resources. On
 * POSIX the manager that loaded the converter offers its own implementation
 * of them, and the converter's resources are tables generated from its
 * script and linked into it; link the imexp_converter_ui library (CMake:
 * imexp_add_converter(... RESOURCES file.rc) does both).
 *
 * ImExpConverterModule() is the converter's own module handle, the instance
 * to pass to DialogBoxParamA and LoadStringA.
 *
 * On POSIX a converter loaded by something other than the manager (a
 * test program, say) has no user interface: DialogBoxParamA returns -1,
 * MessageBoxA returns 0 and the profile functions give their defaults.
 */
#ifndef IMEXP_CONVERTER_UI_H
#define IMEXP_CONVERTER_UI_H

#include <imexp/converter.h>

#ifdef _WIN32

#include <windows.h>

/* The module that holds this function: the converter itself. */
inline HINSTANCE ImExpConverterModule() {
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&ImExpConverterModule), &self);
  return self;
}

#else

#include <imexp/posix_win32_types.h>

HINSTANCE ImExpConverterModule();

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc, LPARAM param);
BOOL EndDialog(HWND dialog, INT_PTR result);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
HWND GetDlgItem(HWND dialog, int id);
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size);
BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned);
UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned);
UINT IsDlgButtonChecked(HWND dialog, int id);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
BOOL EnableWindow(HWND window, BOOL enable);
HWND SetFocus(HWND window);
BOOL SetWindowTextA(HWND window, LPCSTR text);
int GetWindowTextA(HWND window, LPSTR buffer, int size);
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size);
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                               LPCSTR fileName);
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName);
LONG_PTR GetWindowLongPtrA(HWND window, int index);
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);

#endif

#endif /* IMEXP_CONVERTER_UI_H */
