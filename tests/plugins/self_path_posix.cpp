#include <dlfcn.h>

#include "tests/plugins/test_converter.h"

namespace tconv {

std::string SelfPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&SelfPath), &info) == 0 || info.dli_fname == nullptr) return "";
  return info.dli_fname;
}

}  // namespace tconv
