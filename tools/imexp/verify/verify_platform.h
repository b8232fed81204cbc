// What imexp verify needs from the platform to drive a converter the way the
// manager does: loading and freeing its library, telling whether it really
// went away, the manager's file handles, the manager's folder, a word on a
// crash, and the heap in use. One implementation file per platform.
#pragma once

#include <imexp/converter.h>

#include <string>

namespace imexp::cli::verify {

using ModuleHandle = void*;

// Loads the library as the manager does; null with the loader's reason.
ModuleHandle OpenLibrary(const std::string& path, std::string* reason);
// The export of that plain name, or null.
void* ModuleExport(ModuleHandle module, const char* name);
void CloseLibrary(ModuleHandle module);
// True when the library at `path` is still mapped into the process.
[[nodiscard]] bool ModuleStillLoaded(const std::string& path);

// The folder of the manager library this program uses, without a trailing
// separator; empty when it cannot be told.
std::string ManagerFolder();

// Files as the manager opens them: read-only for reading, created (or
// emptied) for writing. kNoFile when the file cannot be opened.
inline constexpr HFILE kNoFile = -1;
HFILE OpenForReading(const std::string& path);
HFILE CreateForWriting(const std::string& path);
void CloseFile(HFILE file);

// From now on a crash prints "imexp verify: crashed during <step>" with the
// step last given to CrashStep, before the platform ends the program.
void InstallCrashReport();
void CrashStep(const std::string& step);

// Bytes the C heap has handed out and not taken back, or -1 where that
// cannot be measured (other platforms, sanitizer builds).
long long HeapInUse();

}  // namespace imexp::cli::verify
