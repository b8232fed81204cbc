#include <windows.h>

#include "tests/plugins/test_converter.h"

namespace tconv {

std::string SelfPath() {
  HMODULE self = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(&SelfPath), &self)) {
    return "";
  }
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(self, path, sizeof path);
  return n > 0 && n < sizeof path ? std::string(path, n) : std::string();
}

}  // namespace tconv
