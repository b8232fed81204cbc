// Helpers shared by the test suites: folders and files, loading libraries
// the way a host does, capturing message boxes, and a manager installed into
// a folder of its own with a real CONVERT.INI and real converter libraries.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace imexp::test {

namespace fs = std::filesystem;

// ---------------------------------------------------------------- files

// The folder of the running test program; the manager, the converters and
// the test plug-ins are built into it.
fs::path ExecutableDir();

// A fresh folder that is removed with everything in it at destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }
  // `name` inside the folder, as a narrow string for the C interfaces.
  std::string File(std::string_view name) const;

 private:
  fs::path path_;
};

std::string ReadFileBytes(const fs::path& file);
// Upper-cased ASCII, for comparing paths that Windows may report in another case.
std::string FoldCase(std::string text);
void WriteFileBytes(const fs::path& file, std::string_view bytes);
// The platform's form of a path (backslashes on Windows).
std::string NativePath(const fs::path& path);

// ---------------------------------------------------------------- platform

// File name of a shared library built from target `base` ("x.so", "x.dll").
std::string SharedLibraryName(std::string_view base);
// The manager library's file name ("libimexp.so", "imexp.dll").
std::string ManagerLibraryName();
// The module whose resources LoadStringA reads in the conformance tests (the
// test program itself, which links the manager's resource tables).
void* ResourceInstance();
// True when the Windows build runs under wine rather than on Windows.
bool IsWine();
// True when the program's CPU is emulated in user mode (32-bit Windows
// programs on a kernel without 32-bit support, scripts/i386_emulation.sh):
// the emulator gives Wine no details of a fault, so a fault that Win32
// catches inside a function is taken for an illegal instruction there.
bool UnderCpuEmulation();
// Text the way the ANSI functions return it: UTF-8 on POSIX, the ANSI code
// page (1251 for Russian) on Windows. `utf8` is given in UTF-8.
std::string PlatformText(std::string_view utf8);
// The longest prefix of `text` (platform encoding) of at most `bytes` bytes
// that does not split a character.
std::string CutToCharacters(const std::string& text, std::size_t bytes);

// A library loaded the way a host loads one (LoadLibraryA / dlopen).
class Library {
 public:
  explicit Library(const fs::path& file);
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  bool loaded() const { return handle_ != nullptr; }
  void* handle() const { return handle_; }
  void* Symbol(const char* name) const;
  template <typename Fn>
  Fn Get(const char* name) const {
    return reinterpret_cast<Fn>(Symbol(name));
  }
  // Unloads now (the destructor then does nothing).
  void Unload();

 private:
  void* handle_ = nullptr;
};

// True when a library of this file is loaded in the process (POSIX: the
// dynamic linker still holds it; Windows: a module of that path exists).
bool IsLibraryLoaded(const fs::path& file);

// Makes the nth global-heap allocation from now fail in the POSIX platform
// layer of `manager` (null: the layer linked into the test program); 0 turns
// it off. Returns false where the switch does not exist: the real Windows
// heap cannot be told to fail, so such tests are skipped there.
bool FailNthAllocation(const Library* manager, int nth);

// Installs `hook` (null: none) in the POSIX platform layer of `manager`: it
// is asked before each file call with the call's kind ("open", "create",
// "read", "write", "seek", "close", "flush", "replace", "move", "delete") and
// returns 0 to let it go on or an errno value to fail it. False where there
// is no such switch (Windows).
using FileCallHook = int (*)(const char* kind);
bool SetFileCallHook(const Library* manager, FileCallHook hook);

// ---------------------------------------------------------------- message boxes

struct MessageBoxRecord {
  std::string caption;
  std::string text;
  bool errorIcon = false;
  bool warningIcon = false;
};

// Records every message box shown while it exists and answers each with OK.
// On POSIX it installs a presenter into the given manager library (null: the
// platform layer linked into the test program itself); on Windows it hooks
// the real message boxes of the calling thread.
class MessageBoxCapture {
 public:
  explicit MessageBoxCapture(const Library* manager = nullptr);
  ~MessageBoxCapture();
  MessageBoxCapture(const MessageBoxCapture&) = delete;
  MessageBoxCapture& operator=(const MessageBoxCapture&) = delete;
  const std::vector<MessageBoxRecord>& boxes() const;
  void Clear();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// ---------------------------------------------------------------- manager setup

// A manager installed in a temporary folder: a copy of the manager library,
// a CONVERT.INI and copies of converter libraries, loaded like a host loads
// it. Each installed converter copy gets a file name of its own, which is
// also the section of CONVERT.INI that scripts the test converter.
class ManagerSetup {
 public:
  ManagerSetup();
  const TempDir& dir() const { return dir_; }

  // Copies converter library `target` (built into the test folder) as
  // `copyName` (without suffix) into the setup folder or a sub-folder of it;
  // returns the file name with suffix.
  std::string InstallConverter(std::string_view target, std::string_view copyName,
                               std::string_view subFolder = {});
  // Appends text to CONVERT.INI, or replaces the whole file.
  void AppendIni(std::string_view text);
  void WriteIni(std::string_view text);
  std::string IniPath() const;

  // Copies the manager in and loads it.
  const Library& Load();
  const Library& manager() const { return *manager_; }
  void Unload();

  // Lines the test converter appended to its call log in this folder.
  std::vector<std::string> CallLog() const;
  void ClearCallLog() const;

 private:
  TempDir dir_;
  std::unique_ptr<Library> manager_;
};

// The "key=value" lines of section `section` of an INI file, in file order,
// upper-cased (paths may come back in another case on Windows).
std::vector<std::string> IniSectionLines(const fs::path& ini, const std::string& section);

// Lines of `log` that contain `fragment`.
std::vector<std::string> LinesWith(const std::vector<std::string>& log, std::string_view fragment);

}  // namespace imexp::test
