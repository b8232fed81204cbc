// The few Win32 declarations that the host built with Microsoft's C++ ABI
// needs, where no Windows SDK is installed: the types <imexp/host.h> uses
// and the kernel32 functions the host calls. Values and signatures are the
// SDK's.
#pragma once

typedef int BOOL;
typedef unsigned int UINT;
typedef long LONG;
typedef unsigned long DWORD;
typedef int HFILE;
typedef const char* LPCCH;
typedef void* HANDLE;
typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HMODULE;

#define WINAPI __stdcall
#define HFILE_ERROR ((HFILE)-1)
#define STD_OUTPUT_HANDLE ((DWORD)-11)
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)

extern "C" {
__declspec(dllimport) UINT WINAPI _lread(HFILE file, void* buffer, UINT count);
__declspec(dllimport) UINT WINAPI _lwrite(HFILE file, LPCCH buffer, UINT count);
__declspec(dllimport) LONG WINAPI _llseek(HFILE file, LONG offset, int origin);
__declspec(dllimport) HANDLE WINAPI GetStdHandle(DWORD which);
__declspec(dllimport) BOOL WINAPI
    WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* written, void* overlapped);
__declspec(dllimport) BOOL WINAPI DeleteFileA(const char* path);
__declspec(dllimport) DWORD WINAPI GetFileAttributesA(const char* path);
__declspec(dllimport) void WINAPI ExitProcess(UINT code);
__declspec(dllimport) HANDLE WINAPI GetProcessHeap(void);
__declspec(dllimport) void* WINAPI HeapAlloc(HANDLE heap, DWORD flags, decltype(sizeof 0) bytes);
__declspec(dllimport) BOOL WINAPI HeapFree(HANDLE heap, DWORD flags, void* block);
}
