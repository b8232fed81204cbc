#include <windows.h>

#include "tests/plugins/test_converter.h"

namespace tconv {

std::string SelfPath() {
  HMODULE self = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(&SelfPath), &self)) {
    return "";
  }
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(self, path, sizeof path);
  return n > 0 && n < sizeof path ? std::string(path, n) : std::string();
}

void* ManagerFunction(const char* name) {
  HMODULE manager = GetModuleHandleA((CopyFolder() + "imexp.dll").c_str());
  return manager != nullptr ? reinterpret_cast<void*>(GetProcAddress(manager, name)) : nullptr;
}

std::string PathOfFile(HFILE file) {
  // An HFILE from OpenFile is the file's HANDLE.
  char path[MAX_PATH];
  DWORD n = GetFinalPathNameByHandleA(reinterpret_cast<HANDLE>(static_cast<intptr_t>(file)), path,
                                      sizeof path, FILE_NAME_NORMALIZED);
  if (n == 0 || n >= sizeof path) return "";
  std::string text(path, n);
  if (text.rfind("\\\\?\\", 0) == 0) text.erase(0, 4);
  return text;
}

}  // namespace tconv
