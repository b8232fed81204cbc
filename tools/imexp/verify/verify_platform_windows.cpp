// imexp verify on Windows: LoadLibraryEx as the manager loads converters,
// _lopen handles, an unhandled-exception filter for the crash report. The
// heap is not measured here.
#include <windows.h>

#include <cstdio>
#include <string>

#include "tools/imexp/host_platform.h"
#include "tools/imexp/verify/verify_platform.h"

namespace imexp::cli::verify {

namespace {

std::string g_step = "starting";

LONG WINAPI OnCrash(EXCEPTION_POINTERS* exception) {
  std::fprintf(stderr, "imexp verify: crashed during %s (exception 0x%08lx)\n", g_step.c_str(),
               static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode));
  std::fflush(stderr);
  return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

ModuleHandle OpenLibrary(const std::string& path, std::string* reason) {
  // By full path, its imports looked for beside it and in the system folder
  // only, as the manager loads a converter.
  char full[MAX_PATH];
  DWORD length = GetFullPathNameA(NativePath(path).c_str(), sizeof full, full, nullptr);
  if (length == 0 || length >= sizeof full) {
    if (reason != nullptr) *reason = "cannot be loaded (its full path is too long)";
    return nullptr;
  }
  // No "cannot find the library" box of the system's own.
  UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module =
      LoadLibraryExA(full, nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  SetErrorMode(previous);
  if (module == nullptr && reason != nullptr) {
    *reason = "cannot be loaded (error " + std::to_string(GetLastError()) + ")";
  }
  return reinterpret_cast<ModuleHandle>(module);
}

void* ModuleExport(ModuleHandle module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void CloseLibrary(ModuleHandle module) { FreeLibrary(static_cast<HMODULE>(module)); }

bool ModuleStillLoaded(const std::string& path) {
  return GetModuleHandleA(NativePath(path).c_str()) != nullptr;
}

std::string ManagerFolder() {
  HMODULE manager = nullptr;
  auto anchor = reinterpret_cast<LPCSTR>(reinterpret_cast<void*>(Manager().readFile));
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, anchor,
          &manager)) {
    return "";
  }
  char path[MAX_PATH] = "";
  DWORD length = GetModuleFileNameA(manager, path, sizeof path);
  if (length == 0 || length >= sizeof path) return "";
  std::string folder(path, length);
  std::size_t slash = folder.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : folder.substr(0, slash);
}

HFILE OpenForReading(const std::string& path) { return _lopen(NativePath(path).c_str(), OF_READ); }

HFILE CreateForWriting(const std::string& path) { return _lcreat(NativePath(path).c_str(), 0); }

void CloseFile(HFILE file) { _lclose(file); }

void InstallCrashReport() { SetUnhandledExceptionFilter(&OnCrash); }

void CrashStep(const std::string& step) { g_step = step; }

long long HeapInUse() { return -1; }

}  // namespace imexp::cli::verify
