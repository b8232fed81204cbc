#include <dlfcn.h>
#include <unistd.h>

#include "tests/plugins/test_converter.h"

namespace tconv {

std::string SelfPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&SelfPath), &info) == 0 || info.dli_fname == nullptr) return "";
  return info.dli_fname;
}

void* ManagerFunction(const char* name) {
  void* manager = dlopen((CopyFolder() + IMEXP_MANAGER_FILE_NAME).c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (manager == nullptr) return nullptr;
  void* function = dlsym(manager, name);
  dlclose(manager);  // the host keeps it loaded
  return function;
}

std::string PathOfFile(HFILE file) {
  char path[4096];
  std::string link = "/proc/self/fd/" + std::to_string(file);
  ssize_t n = readlink(link.c_str(), path, sizeof path - 1);
  return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace tconv
