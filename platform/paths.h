// The platform differences the core has to know about, named once.
#pragma once

#include <cstdint>

namespace imexp::platform {

#ifdef _WIN32
// Windows paths separate folders with '\'; '/' is accepted by the system too.
inline constexpr char kPathSeparator = '\\';
inline constexpr bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }
// Converter paths in CONVERT.INI with a drive letter ("C:...") are absolute;
// anything else is relative to the manager's folder.
inline constexpr bool IsAbsoluteConverterPath(const char* value) {
  return value[0] != '\0' && value[1] == ':';
}
inline constexpr const char* kSharedLibrarySuffix = ".dll";
#else
inline constexpr char kPathSeparator = '/';
inline constexpr bool IsPathSeparator(char c) { return c == '/'; }
// A value starting with '/' is absolute on POSIX; the drive-letter rule of
// Windows is kept so that an INI written on Windows reads the same way.
inline constexpr bool IsAbsoluteConverterPath(const char* value) {
  return value[0] == '/' || (value[0] != '\0' && value[1] == ':');
}
inline constexpr const char* kSharedLibrarySuffix = ".so";
#endif

// A module handle below 32 is a failed load (the Win16 error range that
// LoadLibrary kept).
template <typename Handle>
inline bool IsLoadedModule(Handle handle) {
  return reinterpret_cast<std::uintptr_t>(handle) >= 32;
}

}  // namespace imexp::platform
