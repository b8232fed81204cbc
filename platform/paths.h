// The platform differences the core has to know about, named once. Read
// through platform/win32.h, after the API the helpers below call.
#pragma once

#include <cstdint>

namespace imexp::platform {

#ifdef _WIN32
// Windows paths separate folders with '\'; '/' is accepted by the system too.
inline constexpr char kPathSeparator = '\\';
inline constexpr bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }
// Converter paths in CONVERT.INI with a drive letter ("C:...") are absolute;
// anything else is relative to the manager's folder.
[[nodiscard]] inline constexpr bool IsAbsoluteConverterPath(const char* value) {
  return value[0] != '\0' && value[1] == ':';
}
inline constexpr const char* kSharedLibrarySuffix = ".dll";
// The file system ignores letter case: "A.DLL" and "a.dll" in one folder are
// one library.
[[nodiscard]] inline bool SamePath(const char* a, const char* b) { return lstrcmpiA(a, b) == 0; }
// The install dialog offers converter libraries by the string table's own
// pattern and default extension ("*.DLL", "DLL"); null says so.
inline constexpr const char* kLibraryPattern = nullptr;
inline constexpr const char* kLibraryExtension = nullptr;
// The ANSI functions' texts take one byte a character in the Windows code
// pages.
inline constexpr int kMostBytesPerCharacter = 1;
// The C++ runtime that the bundled converters share, in the manager's folder
// (the build copies it there). A converter that carried its own would lose
// a thread-local-storage slot at every unload; one loaded and unloaded with
// each converter would too, and cost its load every time. The manager loads
// it from its own folder before the first converter and keeps it.
inline constexpr const char* kConverterRuntime = "libstdc++-6.dll";
#else
inline constexpr char kPathSeparator = '/';
inline constexpr bool IsPathSeparator(char c) { return c == '/'; }
// A value starting with '/' is absolute on POSIX; the drive-letter rule of
// Windows is kept so that an INI written on Windows reads the same way.
[[nodiscard]] inline constexpr bool IsAbsoluteConverterPath(const char* value) {
  return value[0] == '/' || (value[0] != '\0' && value[1] == ':');
}
inline constexpr const char* kSharedLibrarySuffix = ".so";
// Letter case tells files apart: "a.so" and "A.so" may be two libraries.
[[nodiscard]] inline bool SamePath(const char* a, const char* b) { return lstrcmpA(a, b) == 0; }
// The string table's "*.DLL" and "DLL" name no library here; the install
// dialog offers shared objects instead.
inline constexpr const char* kLibraryPattern = "*.so";
inline constexpr const char* kLibraryExtension = "so";
// The ANSI functions' texts are UTF-8 here: a Russian letter takes two
// bytes, any character at most four.
inline constexpr int kMostBytesPerCharacter = 4;
// Converters find their C++ runtime through the system's dynamic linker.
inline constexpr const char* kConverterRuntime = nullptr;
#endif

// The bytes a buffer needs for a text of `characters` characters loaded
// from the resources, where Win32 sizes it in characters.
inline constexpr int TextBytes(int characters) { return characters * kMostBytesPerCharacter; }

// A module handle below 32 is a failed load (the Win16 error range that
// LoadLibrary kept).
template <typename Handle>
[[nodiscard]] inline bool IsLoadedModule(Handle handle) {
  return reinterpret_cast<std::uintptr_t>(handle) >= 32;
}

}  // namespace imexp::platform
