// Win32 base types and constants on POSIX: the platform layer of the
// manager is written against them, and converters that show dialogs use them
// through <imexp/converter_ui.h>. Sizes follow the LP64 Windows model: LONG
// and DWORD are 32 bits, handles and *_PTR types are pointer-sized.
#pragma once

#include <cstddef>
#include <cstdint>

#include <imexp/converter.h>  // HFILE and HWND, shared with converters

using BOOL = int;
using BYTE = unsigned char;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using INT = int;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using SHORT = short;
using CHAR = char;
using LONGLONG = std::int64_t;
using SIZE_T = std::size_t;
using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using ULONG_PTR = std::uintptr_t;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;
using LPSTR = char*;
using LPCSTR = const char*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPCCH = const char*;
using PBYTE = BYTE*;

using HANDLE = void*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
struct HGLOBAL__;
using HGLOBAL = HGLOBAL__*;
struct HRSRC__;
using HRSRC = HRSRC__*;
struct HCURSOR__;
using HCURSOR = HCURSOR__*;
using FARPROC = INT_PTR (*)();

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#ifndef MAX_PATH
#define MAX_PATH 260
#endif

#define WINAPI
#define CALLBACK

#define LOWORD(l) ((WORD)(((std::uintptr_t)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((std::uintptr_t)(l)) >> 16) & 0xffff))
#define MAKEINTRESOURCEA(i) ((LPSTR)(ULONG_PTR)((WORD)(i)))
#define MAKEINTRESOURCE MAKEINTRESOURCEA
#define MAKELANGID(primary, sub) ((WORD)((((WORD)(sub)) << 10) | (WORD)(primary)))
#define LANG_ENGLISH 0x09
#define LANG_RUSSIAN 0x19
#define SUBLANG_DEFAULT 0x01
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)

// Resource types
#define RT_STRING MAKEINTRESOURCEA(6)
#define RT_DIALOG MAKEINTRESOURCEA(5)

// Error mode
#define SEM_FAILCRITICALERRORS 0x0001u
#define SEM_NOGPFAULTERRORBOX 0x0002u
#define SEM_NOOPENFILEERRORBOX 0x8000u

// LoadLibraryExA: where a library's imports are looked for
#define LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR 0x00000100u
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800u

// Global memory
#define GMEM_FIXED 0x0000u
#define GMEM_MOVEABLE 0x0002u
#define GMEM_ZEROINIT 0x0040u
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)

// Files
#define HFILE_ERROR ((HFILE)-1)
#define OF_READ 0x0000u
#define OF_WRITE 0x0001u
#define OF_READWRITE 0x0002u
#define OF_SHARE_COMPAT 0x0000u
#define OF_SHARE_EXCLUSIVE 0x0010u
#define OF_SHARE_DENY_WRITE 0x0020u
#define OF_SHARE_DENY_READ 0x0030u
#define OF_SHARE_DENY_NONE 0x0040u
#define OF_PARSE 0x0100u
#define OF_DELETE 0x0200u
#define OF_VERIFY 0x0400u
#define OF_CANCEL 0x0800u
#define OF_CREATE 0x1000u
#define OF_PROMPT 0x2000u
#define OF_EXIST 0x4000u
#define OF_REOPEN 0x8000u
#define OFS_MAXPATHNAME 128
#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2
#define MOVEFILE_REPLACE_EXISTING 0x00000001u
#define MOVEFILE_WRITE_THROUGH 0x00000008u
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u
#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u

struct OFSTRUCT {
  BYTE cBytes;
  BYTE fFixedDisk;
  WORD nErrCode;
  WORD Reserved1;
  WORD Reserved2;
  CHAR szPathName[OFS_MAXPATHNAME];
};
using LPOFSTRUCT = OFSTRUCT*;
struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

// Last-error values the layer sets
#define ERROR_SUCCESS 0u
#define ERROR_FILE_NOT_FOUND 2u
#define ERROR_PATH_NOT_FOUND 3u
#define ERROR_ACCESS_DENIED 5u
#define ERROR_INVALID_HANDLE 6u
#define ERROR_NOT_ENOUGH_MEMORY 8u
#define ERROR_INVALID_DATA 13u
#define ERROR_OUTOFMEMORY 14u
#define ERROR_NOT_SAME_DEVICE 17u
#define ERROR_WRITE_FAULT 29u
#define ERROR_HANDLE_DISK_FULL 39u
#define ERROR_FILE_EXISTS 80u
#define ERROR_INVALID_PARAMETER 87u
#define ERROR_DISK_FULL 112u
#define ERROR_INSUFFICIENT_BUFFER 122u
#define ERROR_FILE_TOO_LARGE 223u
#define ERROR_DISK_QUOTA_EXCEEDED 1295u
#define ERROR_MOD_NOT_FOUND 126u
#define ERROR_PROC_NOT_FOUND 127u
#define ERROR_ALREADY_EXISTS 183u
#define ERROR_INVALID_WINDOW_HANDLE 1400u
#define ERROR_CONTROL_ID_NOT_FOUND 1421u
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813u
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814u

// Window, dialog and control styles
#define WS_POPUP 0x80000000u
#define WS_CHILD 0x40000000u
#define WS_VISIBLE 0x10000000u
#define WS_DISABLED 0x08000000u
#define WS_CLIPSIBLINGS 0x04000000u
#define WS_CAPTION 0x00C00000u
#define WS_BORDER 0x00800000u
#define WS_VSCROLL 0x00200000u
#define WS_SYSMENU 0x00080000u
#define WS_GROUP 0x00020000u
#define WS_TABSTOP 0x00010000u
#define DS_SETFONT 0x40u
#define DS_MODALFRAME 0x80u
#define DS_CONTROL 0x400u
#define SS_LEFT 0x0u
#define SS_CENTER 0x1u
#define SS_RIGHT 0x2u
#define SS_BLACKFRAME 0x7u
#define BS_PUSHBUTTON 0x0u
#define BS_DEFPUSHBUTTON 0x1u
#define BS_CHECKBOX 0x2u
#define BS_AUTOCHECKBOX 0x3u
#define ES_LEFT 0x0u
#define LBS_NOTIFY 0x1u
#define LBS_SORT 0x2u

// Window geometry and state
struct RECT {
  LONG left, top, right, bottom;
};
using LPRECT = RECT*;
struct POINT {
  LONG x, y;
};
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5
#define SWP_NOSIZE 0x0001u
#define SWP_NOMOVE 0x0002u
#define SWP_NOZORDER 0x0004u
#define SWP_NOACTIVATE 0x0010u
#define SWP_SHOWWINDOW 0x0040u
#define SWP_HIDEWINDOW 0x0080u
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWL_ID (-12)
#define GWLP_ID GWL_ID
#define GWLP_USERDATA (-21)
#define DWLP_MSGRESULT 0
#define DWLP_DLGPROC ((int)sizeof(LRESULT))
#define DWLP_USER ((int)(sizeof(LRESULT) + sizeof(void*)))

// Dialogs and messages
using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);
#pragma pack(push, 2)
struct DLGTEMPLATE {
  DWORD style;
  DWORD dwExtendedStyle;
  WORD cdit;
  short x, y, cx, cy;
};
#pragma pack(pop)
using LPCDLGTEMPLATEA = const DLGTEMPLATE*;
struct NMHDR {
  HWND hwndFrom;
  UINT_PTR idFrom;
  UINT code;
};
#define MAKELONG(low, high) ((LONG)(((WORD)(low)) | (((DWORD)((WORD)(high))) << 16)))
#define MAKEWPARAM(low, high) ((WPARAM)(DWORD)MAKELONG(low, high))
#define MAKELPARAM(low, high) ((LPARAM)(DWORD)MAKELONG(low, high))
#define WM_SETREDRAW 0x000Bu
#define WM_SETTEXT 0x000Cu
#define WM_GETTEXT 0x000Du
#define WM_GETTEXTLENGTH 0x000Eu
#define WM_CLOSE 0x0010u
#define WM_NOTIFY 0x004Eu
#define WM_INITDIALOG 0x0110u
#define WM_COMMAND 0x0111u
#define WM_USER 0x0400u
#define DM_GETDEFID (WM_USER + 0)
#define DM_SETDEFID (WM_USER + 1)
#define DC_HASDEFID 0x534B
#define BN_CLICKED 0
#define EN_SETFOCUS 0x0100
#define EN_KILLFOCUS 0x0200
#define EN_CHANGE 0x0300
#define LBN_SELCHANGE 1
#define LBN_SETFOCUS 4
#define LBN_KILLFOCUS 5
#define BM_GETCHECK 0x00F0u
#define BM_SETCHECK 0x00F1u
#define BM_CLICK 0x00F5u
#define BST_UNCHECKED 0x0000u
#define BST_CHECKED 0x0001u
#define BST_INDETERMINATE 0x0002u
#define EM_GETSEL 0x00B0u
#define EM_SETSEL 0x00B1u
#define EM_LIMITTEXT 0x00C5u
#define EM_SETLIMITTEXT EM_LIMITTEXT
#define EM_GETLIMITTEXT 0x00D5u
#define LB_ADDSTRING 0x0180u
#define LB_INSERTSTRING 0x0181u
#define LB_DELETESTRING 0x0182u
#define LB_RESETCONTENT 0x0184u
#define LB_SETCURSEL 0x0186u
#define LB_GETCURSEL 0x0188u
#define LB_GETTEXT 0x0189u
#define LB_GETTEXTLEN 0x018Au
#define LB_GETCOUNT 0x018Bu
#define LB_ERR (-1)
#define CB_ADDSTRING 0x0143u
#define CB_GETCOUNT 0x0146u
#define CB_GETCURSEL 0x0147u
#define CB_GETLBTEXT 0x0148u
#define CB_GETLBTEXTLEN 0x0149u
#define CB_RESETCONTENT 0x014Bu
#define CB_SETCURSEL 0x014Eu
#define CB_ERR (-1)
#define CBN_SELCHANGE 1
#define CBN_SELENDOK 9

// Common dialogs: the record in its Windows NT 4 form, the one without the
// later extension fields.
using LPOFNHOOKPROC = UINT_PTR (*)(HWND, UINT, WPARAM, LPARAM);
struct OPENFILENAMEA {
  DWORD lStructSize;
  HWND hwndOwner;
  HINSTANCE hInstance;
  LPCSTR lpstrFilter;
  LPSTR lpstrCustomFilter;
  DWORD nMaxCustFilter;
  DWORD nFilterIndex;
  LPSTR lpstrFile;
  DWORD nMaxFile;
  LPSTR lpstrFileTitle;
  DWORD nMaxFileTitle;
  LPCSTR lpstrInitialDir;
  LPCSTR lpstrTitle;
  DWORD Flags;
  WORD nFileOffset;
  WORD nFileExtension;
  LPCSTR lpstrDefExt;
  LPARAM lCustData;
  LPOFNHOOKPROC lpfnHook;
  LPCSTR lpTemplateName;
};
using LPOPENFILENAMEA = OPENFILENAMEA*;
#define OPENFILENAME_SIZE_VERSION_400A sizeof(OPENFILENAMEA)
struct OFNOTIFYA {
  NMHDR hdr;
  LPOPENFILENAMEA lpOFN;
  LPSTR pszFile;
};
#define OFN_OVERWRITEPROMPT 0x00000002u
#define OFN_HIDEREADONLY 0x00000004u
#define OFN_NOCHANGEDIR 0x00000008u
#define OFN_ENABLEHOOK 0x00000020u
#define OFN_ENABLETEMPLATE 0x00000040u
#define OFN_ENABLETEMPLATEHANDLE 0x00000080u
#define OFN_EXTENSIONDIFFERENT 0x00000400u
#define OFN_PATHMUSTEXIST 0x00000800u
#define OFN_FILEMUSTEXIST 0x00001000u
#define OFN_NOREADONLYRETURN 0x00008000u
#define OFN_EXPLORER 0x00080000u
#define CDN_FIRST (0u - 601u)
#define CDN_INITDONE (CDN_FIRST - 0u)
#define CDN_SELCHANGE (CDN_FIRST - 1u)
#define CDN_FOLDERCHANGE (CDN_FIRST - 2u)
#define CDN_FILEOK (CDN_FIRST - 5u)
#define CDN_TYPECHANGE (CDN_FIRST - 6u)
#define CDM_FIRST (WM_USER + 100)
#define CDM_GETSPEC (CDM_FIRST + 0)
#define CDM_GETFILEPATH (CDM_FIRST + 1)
#define CDM_GETFOLDERPATH (CDM_FIRST + 2)
#define CDM_SETCONTROLTEXT (CDM_FIRST + 4)
#define CDERR_STRUCTSIZE 0x0001u
#define CDERR_DIALOGFAILURE 0xFFFFu
#define FNERR_BUFFERTOOSMALL 0x3003u

// Message boxes
#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_YESNO 0x00000004u
#define MB_ICONHAND 0x00000010u
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONASTERISK 0x00000040u
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_APPLMODAL 0x00000000u
#define MB_TASKMODAL 0x00002000u
#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7

// Cursors
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_WAIT MAKEINTRESOURCEA(32514)
