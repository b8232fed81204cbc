// Converter libraries and our own module over dlopen.
//
// A handle is the dlopen handle. Libraries are opened by absolute path so
// that GetModuleFileNameA can report the full path the way Win32 does (the
// path as loaded, made absolute), even after the current folder changed.
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/posix/module_handles.h"
#include "platform/win32.h"

namespace {

UINT errorMode = 0;

#ifdef IMEXP_KEEP_LIBRARIES_LOADED
// Under the fuzzer and under ThreadSanitizer a library stays once loaded.
// The fuzzer counts coverage in the counters of every library it has seen
// load and cannot let one go. ThreadSanitizer does not see that the loader
// orders one thread's unloading of a library before another thread's
// loading it again at the same address, and would take the two for a race.
constexpr int kKeepLoaded = RTLD_NODELETE;
#else
constexpr int kKeepLoaded = 0;
#endif

DWORD CopyModulePath(const std::string& path, LPSTR out, DWORD size) {
  if (size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  // Like Windows Vista and later: a truncated name is still terminated and
  // the result is the buffer size.
  if (path.size() >= size) {
    std::memcpy(out, path.data(), size - 1);
    out[size - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::memcpy(out, path.c_str(), path.size() + 1);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(path.size());
}

}  // namespace

namespace imexp::posix {

std::string NormalizePath(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t i = 0;
  while (i <= path.size()) {
    std::size_t next = path.find('/', i);
    if (next == std::string::npos) next = path.size();
    std::string part = path.substr(i, next - i);
    if (part == "..") {
      if (!parts.empty() && parts.back() != "..") {
        parts.pop_back();
      } else if (path.empty() || path[0] != '/') {
        parts.push_back(part);
      }
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = next + 1;
  }
  std::string out;
  for (const std::string& part : parts) {
    if (!out.empty() || (!path.empty() && path[0] == '/')) out.push_back('/');
    out += part;
  }
  if (out.empty()) out.push_back(!path.empty() && path[0] == '/' ? '/' : '.');
  return out;
}

std::string FullPath(const char* name) {
  std::string path;
  if (name[0] != '/') {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) != nullptr) path = cwd;
    path += '/';
  }
  path += name;
  return NormalizePath(path);
}

HMODULE ModuleContaining(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return nullptr;
  // The module is loaded (the address lies in it); RTLD_NOLOAD only finds its
  // handle, and the extra reference it takes is given back at once.
  void* handle = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
  if (handle != nullptr) dlclose(handle);
  return static_cast<HMODULE>(handle);
}

}  // namespace imexp::posix

HMODULE LoadLibraryA(LPCSTR fileName) {
  if (fileName == nullptr || fileName[0] == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string path = std::strchr(fileName, '/') ? imexp::posix::FullPath(fileName) : fileName;
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | kKeepLoaded);
  if (handle == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  imexp::posix::AttachLoadedModule(static_cast<HMODULE>(handle));
  return static_cast<HMODULE>(handle);
}

HMODULE LoadLibraryExA(LPCSTR fileName, HANDLE file, DWORD flags) {
  constexpr DWORD kSearchFlags = LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;
  bool fullPathNeeded = (flags & LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR) != 0;
  if (file != nullptr || (flags & ~kSearchFlags) != 0 || fileName == nullptr ||
      (fullPathNeeded && fileName[0] != '/')) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return LoadLibraryA(fileName);
}

BOOL FreeLibrary(HMODULE module) {
  if (module != nullptr) imexp::posix::DetachFreedModule(module);
  if (module == nullptr || dlclose(module) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
  if (module == nullptr || procName == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  // dlsym on a handle searches its dependencies too; a converter's export
  // must be its own, so the symbol has to resolve inside the module itself.
  void* symbol = dlsym(module, procName);
  if (symbol != nullptr) {
    Dl_info info{};
    link_map* map = nullptr;
    if (dladdr(symbol, &info) == 0 || dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr ||
        reinterpret_cast<void*>(map->l_addr) != info.dli_fbase) {
      symbol = nullptr;
    }
  }
  if (symbol == nullptr) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(symbol);
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
  if (module == nullptr) {
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n < 0) {
      SetLastError(ERROR_INVALID_HANDLE);
      return 0;
    }
    exe[n] = '\0';
    return CopyModulePath(exe, fileName, size);
  }
  link_map* map = nullptr;
  if (dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr || map->l_name == nullptr ||
      map->l_name[0] == '\0') {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return CopyModulePath(
      map->l_name[0] == '/' ? imexp::posix::NormalizePath(map->l_name) : imexp::posix::FullPath(map->l_name),
      fileName, size);
}

UINT SetErrorMode(UINT mode) {
  // No system box ever appears on POSIX; the mode is kept so that the
  // save-and-restore pattern of the callers behaves as on Windows.
  UINT previous = errorMode;
  errorMode = mode;
  return previous;
}
