#include "tools/imexp/verify/conformance_library.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "tools/imexp/verify/verify_platform.h"

namespace imexp::cli::verify {

const char* const kEntryNames[kEntryCount] = {
    "ConvGetVersion", "ConvGetDllInfo",  "ConvGetErrorString", "ConvSetup",      "ConvAbout",
    "RDCheckFile",    "RDGetImageCount", "RDGetImageInfo",     "RDShowDetails",  "RDReadHeader",
    "RDSetupReading", "RDReadBand",      "RDCleanUp",          "WRSetupWriting", "WRWriteHeader",
    "WRWriteBand",    "WREndWriting",    "WRCleanUp"};

namespace {

constexpr uint32_t kVersionMask = 0xFFFFu;
constexpr uint32_t kCapabilities = CONV_VERSION_CAPABILITY_1 | CONV_VERSION_CAPABILITY_2;
constexpr uint32_t kDefinedFlags = CONV_FLAG_READER | CONV_FLAG_WRITER | CONV_FLAG_ABOUT | CONV_FLAG_SETUP |
                                   CONV_FLAG_CHECKS_CONTENT | CONV_FLAG_MULTI_IMAGE;
constexpr uint32_t kDefinedWriteFormats = 0x3FFu;
constexpr uint32_t kDefinedResUnits = CONV_RES_NONE | CONV_RES_DPI | CONV_RES_DPCM | CONV_RES_SCREEN;
// What ConvGetDllInfo finds in the record before it fills it: anything but
// zeros, so that a string left unterminated shows.
constexpr unsigned char kRecordFill = 0xA5;

const Entry kReadingEntries[] = {kRDGetImageInfo, kRDReadHeader, kRDSetupReading, kRDReadBand, kRDCleanUp};
const Entry kWritingEntries[] = {kWRSetupWriting, kWRWriteHeader, kWRWriteBand, kWREndWriting, kWRCleanUp};

struct FlagEntries {
  uint32_t flag;
  const char* flagName;
  std::vector<Entry> entries;
};

const std::vector<FlagEntries>& FlagTable() {
  static const std::vector<FlagEntries> table = {
      {CONV_FLAG_READER, "reader (0x01)", {std::begin(kReadingEntries), std::end(kReadingEntries)}},
      {CONV_FLAG_WRITER, "writer (0x02)", {std::begin(kWritingEntries), std::end(kWritingEntries)}},
      {CONV_FLAG_ABOUT, "about (0x04)", {kConvAbout}},
      {CONV_FLAG_SETUP, "setup (0x08)", {kConvSetup}},
      {CONV_FLAG_CHECKS_CONTENT, "content check (0x10)", {kRDCheckFile}},
      {CONV_FLAG_MULTI_IMAGE, "multi-image (0x20)", {kRDGetImageCount}},
  };
  return table;
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
  return text;
}

// The length of a string that ends inside its field, or -1.
int TerminatedLength(const char* field, std::size_t size) {
  const void* end = std::memchr(field, '\0', size);
  return end == nullptr ? -1 : static_cast<int>(static_cast<const char*>(end) - field);
}

void CheckVersion(Session& s, uint32_t version, bool* usable) {
  Report& r = s.report;
  *usable = (version & kVersionMask) >= CONV_INTERFACE_VERSION;
  if (!*usable) {
    r.Fail("version", Hex(version) + ": interface version below 0x0300, the manager skips this converter");
  } else if ((version & kCapabilities) == 0) {
    r.Fail("version", Hex(version) +
                          ": neither capability bit (0x00010000, 0x00020000) is set, the setup dialog "
                          "refuses to install it");
  } else {
    r.Pass("version", Hex(version));
  }
}

// Masks "*.ext" separated by ";", the extension of letters, digits, "_" or "?".
bool ExtensionsWellFormed(const std::string& list) {
  std::size_t start = 0;
  while (true) {
    std::size_t end = list.find(';', start);
    std::string mask = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (mask.size() < 3 || mask[0] != '*' || mask[1] != '.') return false;
    for (std::size_t i = 2; i < mask.size(); ++i) {
      unsigned char c = static_cast<unsigned char>(mask[i]);
      if (!(std::isalnum(c) || c == '_' || c == '?')) return false;
    }
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

void CheckRecordStrings(Session& s) {
  Report& r = s.report;
  const ConvRecord& rec = s.record;
  struct Field {
    const char* name;
    const char* text;
    std::size_t size;
  } fields[] = {{"name", rec.name, sizeof rec.name},
                {"description", rec.description, sizeof rec.description},
                {"extensions", rec.extensions, sizeof rec.extensions}};
  bool fine = true;
  for (const Field& f : fields) {
    if (TerminatedLength(f.text, f.size) < 0) {
      r.Fail("record",
             std::string(f.name) + " is not terminated inside its " + std::to_string(f.size) + " bytes");
      fine = false;
    }
  }
  if (!fine) return;
  if (rec.name[0] == '\0') {
    r.Fail("record", "name is empty: the dialogs and remembered formats know a converter by it");
    fine = false;
  }
  if (!ExtensionsWellFormed(rec.extensions)) {
    r.Fail("record",
           std::string("extensions \"") + rec.extensions + "\" are not masks \"*.ext\" separated by \";\"");
    fine = false;
  }
  if (fine) {
    r.Pass("record", std::string("name \"") + rec.name + "\", description \"" + rec.description +
                         "\", extensions \"" + rec.extensions + "\"");
  }
}

void CheckRecordBits(Session& s) {
  Report& r = s.report;
  const ConvRecord& rec = s.record;
  bool fine = true;
  if ((rec.flags & ~kDefinedFlags) != 0) {
    r.Fail("flags", Hex(rec.flags) + " sets bits outside 0x3F, which mean nothing to the manager");
    fine = false;
  }
  if ((rec.flags & (CONV_FLAG_READER | CONV_FLAG_WRITER)) == 0) {
    r.Fail("flags", Hex(rec.flags) + " neither reads (0x01) nor writes (0x02)");
    fine = false;
  }
  if (s.Has(CONV_FLAG_WRITER)) {
    if ((rec.writeFormats & ~kDefinedWriteFormats) != 0) {
      r.Fail("flags", "writeFormats " + Hex(rec.writeFormats) + " sets bits outside 0x3FF");
      fine = false;
    }
    if ((rec.writeFormats & kDefinedWriteFormats) == 0) {
      r.Fail("flags", "a writer with no layout in writeFormats: the manager never chooses it");
      fine = false;
    }
    if ((rec.writeResUnits & ~kDefinedResUnits) != 0) {
      r.Fail("flags",
             "writeResUnits " + Hex(rec.writeResUnits) + " sets bits outside 0x01, 0x04, 0x08, 0x10");
      fine = false;
    }
  }
  if (fine) {
    r.Pass("flags", "flags " + Hex(rec.flags) + ", writeFormats " + Hex(rec.writeFormats) +
                        ", writeResUnits " + Hex(rec.writeResUnits));
  }
}

void CheckEntryPoints(Session& s) {
  Report& r = s.report;
  bool fine = true;
  std::vector<bool> promised(kEntryCount, false);
  promised[kConvGetVersion] = promised[kConvGetDllInfo] = promised[kConvGetErrorString] = true;
  promised[kRDShowDetails] = true;  // optional with any flag
  for (const FlagEntries& f : FlagTable()) {
    for (Entry e : f.entries) {
      if (s.Has(f.flag)) {
        promised[e] = true;
        if (!s.present[e]) {
          r.Fail("entry points",
                 std::string(kEntryNames[e]) + " is missing, promised by the " + f.flagName + " flag");
          fine = false;
        }
      }
    }
  }
  for (const FlagEntries& f : FlagTable()) {
    for (Entry e : f.entries) {
      if (s.present[e] && !promised[e]) {
        r.Note("entry points",
               std::string(kEntryNames[e]) + " is exported but the " + f.flagName + " flag is not set");
      }
    }
  }
  if (fine) r.Pass("entry points", "every entry point the flags promise is exported");
}

}  // namespace

bool Session::Reads() const {
  if (!Has(CONV_FLAG_READER)) return false;
  for (Entry e : kReadingEntries) {
    if (e != kRDGetImageInfo && !present[e]) return false;
  }
  return true;
}

bool Session::Writes() const {
  if (!Has(CONV_FLAG_WRITER)) return false;
  for (Entry e : kWritingEntries) {
    if (!present[e]) return false;
  }
  return true;
}

Operation::Operation(Session& session, const std::string& what) : session_(session), what_(what) {
  ++session_.operations;
  session_.report.Running("loading the library for " + what_);
  module_ = OpenLibrary(session_.library, nullptr);
  if (module_ == nullptr) return;
  for (int e = 0; e < kEntryCount; ++e) entries_[e] = ModuleExport(module_, kEntryNames[e]);
}

Operation::~Operation() {
  if (module_ == nullptr) return;
  session_.report.Running("freeing the library after " + what_);
  CloseLibrary(module_);
  if (!session_.pinned && ModuleStillLoaded(session_.library)) {
    session_.pinned = true;
    session_.report.Fail("unload", "the library stays loaded after " + what_ +
                                       ", so it keeps state between operations (on Linux, usually a "
                                       "unique symbol: build with -fno-gnu-unique)");
  }
}

bool CheckLibrary(Session& s) {
  Operation load(s, "the list load");
  if (!load.loaded()) {
    s.report.Fail("load", "the library can no longer be loaded");
    return false;
  }
  for (int e = 0; e < kEntryCount; ++e) s.present[e] = load.Get<void*>(static_cast<Entry>(e)) != nullptr;
  auto getVersion = load.Get<ConvGetVersionFn>(kConvGetVersion);
  auto getDllInfo = load.Get<ConvGetDllInfoFn>(kConvGetDllInfo);
  if (getVersion == nullptr || getDllInfo == nullptr) {
    s.report.Fail("entry points", std::string(getVersion == nullptr ? "ConvGetVersion" : "ConvGetDllInfo") +
                                      " is missing: the manager skips this library");
    return false;
  }
  s.report.Running("ConvGetVersion");
  bool usable = false;
  CheckVersion(s, getVersion(), &usable);
  if (!usable) return false;

  std::memset(&s.record, kRecordFill, sizeof s.record);
  std::memset(s.record.path, 0, sizeof s.record.path);
  std::snprintf(s.record.path, sizeof s.record.path, "%s", s.library.c_str());
  s.report.Running("ConvGetDllInfo");
  getDllInfo(&s.record, s.iniPath.data());
  CheckRecordStrings(s);
  CheckRecordBits(s);
  CheckEntryPoints(s);
  return true;
}

void ReportUnloading(const Session& s) {
  if (!s.pinned) {
    s.report.Pass("unload", "the library left the process after each of its " + std::to_string(s.operations) +
                                " loads");
  }
}

}  // namespace imexp::cli::verify
