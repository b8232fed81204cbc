// The converter under test as the manager sees it: its library loaded for one
// operation at a time, its entry points by plain name, and the checks of what
// it says about itself (version word, record, entry points for its flags).
#pragma once

#include <imexp/converter.h>

#include <string>
#include <vector>

#include "tools/imexp/verify/conformance_report.h"

namespace imexp::cli::verify {

// Every entry point of the contract, in the order of kEntryNames.
enum Entry {
  kConvGetVersion,
  kConvGetDllInfo,
  kConvGetErrorString,
  kConvSetup,
  kConvAbout,
  kRDCheckFile,
  kRDGetImageCount,
  kRDGetImageInfo,
  kRDShowDetails,
  kRDReadHeader,
  kRDSetupReading,
  kRDReadBand,
  kRDCleanUp,
  kWRSetupWriting,
  kWRWriteHeader,
  kWRWriteBand,
  kWREndWriting,
  kWRCleanUp,
  kEntryCount
};
extern const char* const kEntryNames[kEntryCount];

// What one run of the kit knows about the converter.
struct Session {
  std::string library;        // the path it is loaded from
  std::vector<char> iniPath;  // what every entry point gets as iniPath
  Report& report;
  ConvRecord record{};          // as ConvGetDllInfo filled it
  bool present[kEntryCount]{};  // entry points the library exports
  int operations = 0;           // loads so far
  bool pinned = false;          // once still loaded after a free

  bool Has(uint32_t flag) const { return (record.flags & flag) != 0; }
  bool Reads() const;   // reader flag and the reading entry points
  bool Writes() const;  // writer flag and the writing entry points
};

// One operation's load of the library, freed when it ends, after which the
// library must be gone from the process.
class Operation {
 public:
  Operation(Session& session, const std::string& what);
  ~Operation();
  Operation(const Operation&) = delete;
  Operation& operator=(const Operation&) = delete;

  bool loaded() const { return module_ != nullptr; }
  template <typename Fn>
  Fn Get(Entry entry) const {
    return reinterpret_cast<Fn>(entries_[entry]);
  }

 private:
  Session& session_;
  std::string what_;
  void* module_ = nullptr;
  void* entries_[kEntryCount]{};
};

// Checks 1 to 3 in one load: the version word, the record ConvGetDllInfo
// fills and the entry points its flags promise. False when nothing more
// can be checked (no version, no record, or a version the manager refuses).
bool CheckLibrary(Session& session);

// The verdict on unloading, once every operation has run.
void ReportUnloading(const Session& session);

}  // namespace imexp::cli::verify
