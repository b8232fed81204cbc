// Internals of the scriptable test converter shared by its source files.
#pragma once

#include <imexp/converter_support.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tconv {

// Key/value script of one installed copy: its own section of CONVERT.INI,
// overridden for reads by the header of the test image file. Keys are
// compared without regard to case.
class Script {
 public:
  void Set(const std::string& key, const std::string& value);
  bool Has(const std::string& key) const;
  std::string Text(const std::string& key, const std::string& fallback = "") const;
  long long Number(const std::string& key, long long fallback = 0) const;
  // "a,b,c" as numbers.
  std::vector<long long> Numbers(const std::string& key) const;
  // "row:count,row:count" pairs.
  std::vector<std::pair<long long, long long>> Pairs(const std::string& key) const;

 private:
  std::map<std::string, std::string> values_;
};

// The full path of this library (platform-specific).
std::string SelfPath();

// Export `name` of the manager copy beside this converter, when that copy
// is loaded; null otherwise (platform-specific).
void* ManagerFunction(const char* name);

// The path of an open file handle, as far as the platform can tell.
std::string PathOfFile(HFILE file);

// File name of this copy without folder and suffix: its section name.
std::string CopyName();
// The folder of this copy, with a trailing separator.
std::string CopyFolder();

// Loads this copy's section from `iniPath`, or from CONVERT.INI beside the
// copy when `iniPath` is null or empty.
Script LoadScript(const char* iniPath);
// Parses "key=value" lines of a test image header into `script`; returns the
// offset of the pixel data after the "DATA" line, or -1 without one.
long ParseHeader(const std::string& file, Script& script);

// Appends "<copy> <text>" to calls.log beside the copy.
void Log(const std::string& text);

// Error scripted for `entryPoint` at its `call`-th call (1-based): key
// "Error.<entryPoint>" = "code" (every call) or "code@n" (the n-th only).
int ScriptedError(const Script& script, const std::string& entryPoint, int call);

std::string Hex(const uint8_t* bytes, std::size_t count);
std::string DescriptorFields(const ConvImageDesc& desc);

}  // namespace tconv
