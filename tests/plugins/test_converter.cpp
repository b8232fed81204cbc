// A converter whose every answer is scripted, for testing the manager.
//
// Each installed copy reads its script from the section of CONVERT.INI named
// after its file name (without suffix); a read also takes keys from the
// header of the test image file, which look like this:
//
//   IMEXPTEST
//   width=9
//   height=4
//   bitsPerPixel=4
//   ...
//   DATA
//   <height rows of planes x bytesPerLine bytes, top row first>
//
// Every call is appended to calls.log beside the copy with its key arguments
// and the descriptor fields it saw. The variants that lack an entry point
// are this code linked with an export list without it; TCONV_PINNED gives
// the copy a unique symbol that keeps it loaded for good.
//
// Keys that break the contract on purpose, for the conformance kit:
// Check=current (the content check reads where the file was left),
// Read.ignoreBandRow=1 (manager-driven bands counted from the top whatever
// bandRow says), Read.overrun=1 (a byte past the band buffer),
// LeakOnCleanUp=1 (RDCleanUp forgets the read's state), Read.cutError=N
// (RDReadHeader fails with N on a file shorter than its header says).
// Write.header=1 makes the writer put an IMEXPTEST header before the rows,
// so that its files read back.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <thread>
#include <type_traits>

#include "tests/plugins/test_converter.h"

#ifdef TCONV_PINNED
// An inline variable of default visibility becomes a unique symbol unless
// built with -fno-gnu-unique, and glibc then never unloads the library.
inline __attribute__((visibility("default"))) int tconvPinnedCalls = 0;
#endif

namespace {

// The exit status of a process that "Read.crash=1" ends.
constexpr int kCrashStatus = 86;

using imexp::conv::Guarded;
using imexp::conv::GuardedVoid;
using tconv::Log;
using tconv::Script;

[[maybe_unused]] std::string Quoted(const char* text) {
  return text == nullptr ? "(null)" : "'" + std::string(text) + "'";
}

[[maybe_unused]] std::string HostParam(char** hostParam) {
  if (hostParam == nullptr) return "(null)";
  return Quoted(*hostParam);
}

[[maybe_unused]] std::string ReadWholeFile(HFILE file) {
  long size = ConvFileSize(file);
  std::string bytes(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
  if (size > 0 && ConvFileRead(file, bytes.data(), static_cast<unsigned long>(size)) != size) bytes.clear();
  return bytes;
}

// Fills a record field zero-padded, or under Unterminated=1 with no
// terminator at all, to prove that the manager bounds every read of it.
[[maybe_unused]] void CopyField(char* field, std::size_t size, const std::string& text, bool terminate) {
  std::memset(field, terminate ? 0 : 'X', size);
  if (terminate) {
    imexp::conv::CopyField(field, size, text.c_str());
  } else {
    std::memcpy(field, text.data(), std::min(text.size(), size));
  }
}

// The fields ConvImageInfo and ConvImageDesc share, as scripted.
template <typename Record>
void ScriptImageFields(const Script& s, Record& record) {
  record.width = static_cast<uint32_t>(s.Number("width", 1));
  record.height = static_cast<uint32_t>(s.Number("height", 1));
  record.colorType = static_cast<uint16_t>(s.Number("colorType", 0));
  record.bitsPerPixel = static_cast<uint16_t>(s.Number("bitsPerPixel", 8));
  record.resUnit = static_cast<uint16_t>(s.Number("resUnit", 0));
  record.resX = static_cast<uint32_t>(s.Number("resX", 0));
  record.resY = static_cast<uint32_t>(s.Number("resY", 0));
}

// The start of the log line of RDReadHeader and WRSetupWriting.
[[maybe_unused]] std::string OpeningCall(const char* entry, char** hostParam, int hostValue,
                                         const ConvImageDesc& desc) {
  return std::string(entry) + " hostParam=" + HostParam(hostParam) +
         " hostValue=" + std::to_string(hostValue) + " fileName=" + Quoted(desc.fileName) +
         " iniPath=" + Quoted(desc.iniPath);
}

// Whether the manager put the palette right behind the descriptor.
[[maybe_unused]] std::string PaletteBehind(const ConvImageDesc& desc) {
  bool behind = desc.palette == reinterpret_cast<const unsigned char*>(&desc) + sizeof(ConvImageDesc);
  return " paletteBehind=" + std::to_string(behind ? 1 : 0);
}

// One line per band call, or only the first under quiet=1: a line per band
// would cost the benchmarks more than the band.
[[maybe_unused]] void LogBandCall(const char* entry, int call, const ConvImageDesc& desc,
                                  const Script& script) {
  if (script.Number("quiet", 0) != 0 && call != 1) return;
  Log(std::string(entry) + " call=" + std::to_string(call) + " bandRow=" + std::to_string(desc.bandRow) +
      " bandCount=" + std::to_string(desc.bandCount) + " bandRows=" + std::to_string(desc.bandRows) +
      " chosenAccess=" + std::to_string(desc.chosenAccess));
}

// The script of this copy plus the header of the file it is handed.
[[maybe_unused]] Script FileScript(HFILE file, const char* iniPath, std::string* bytes, long* dataOffset) {
  Script script = tconv::LoadScript(iniPath);
  std::string content = ReadWholeFile(file);
  long offset = content.rfind("IMEXPTEST", 0) == 0 ? tconv::ParseHeader(content, script) : -1;
  if (bytes != nullptr) *bytes = std::move(content);
  if (dataOffset != nullptr) *dataOffset = offset;
  return script;
}

// The bands of one read or write: the scripted converter-driven bands
// ("row:count,..."), else the whole image in bands of `rows`, and the
// scripted counts of fixed bands.
struct BandPlan {
  Script script;
  int bandCalls = 0;
  std::vector<std::pair<long long, long long>> bands;
  std::size_t nextBand = 0;
  std::vector<long long> fixedCounts;
  std::size_t nextFixed = 0;
  uint32_t produced = 0;

  // The next converter-driven band; false when there is none left. Unless
  // scripted, bands travel from row 0 down, or with `up` from the bottom row.
  bool NextBand(bool scripted, uint32_t height, uint32_t rows, bool up, long long* first, long long* count) {
    if (scripted) {
      if (nextBand >= bands.size()) return false;
      *first = bands[nextBand].first;
      *count = bands[nextBand].second;
      ++nextBand;
      return true;
    }
    if (produced >= height) return false;
    *count = std::min(rows, height - produced);
    *first = up ? height - 1 - produced : produced;
    produced += static_cast<uint32_t>(*count);
    return true;
  }
  // A fixed band's next scripted count, while there is one.
  void NextFixedCount(ConvImageDesc& desc) {
    if (desc.fixedBand && nextFixed < fixedCounts.size()) {
      desc.bandCount = static_cast<uint32_t>(fixedCounts[nextFixed++]);
    }
  }
};

// ------------------------------------------------------------------ reading

struct ReadState : BandPlan {
  std::string file;
  long dataOffset = -1;
  std::size_t rowBytes = 0;
  uint32_t height = 0;
  bool synthetic = false;
};

std::unique_ptr<ReadState> reading;

[[maybe_unused]] void FillRow(const ReadState& state, uint32_t row, uint8_t* out) {
  if (state.synthetic) {
    for (std::size_t x = 0; x < state.rowBytes; ++x) out[x] = static_cast<uint8_t>(row * 31 + x * 7);
    return;
  }
  std::size_t offset = static_cast<std::size_t>(state.dataOffset) + row * state.rowBytes;
  std::size_t available =
      offset < state.file.size() ? std::min(state.rowBytes, state.file.size() - offset) : 0;
  if (available > 0) std::memcpy(out, state.file.data() + offset, available);
  std::memset(out + available, 0xEE, state.rowBytes - available);
}

// Fills the band with the rows it names, never more than the manager's band
// buffer holds; rows outside the image are filled with 0xEE.
[[maybe_unused]] void FillBand(const ReadState& state, const ConvImageDesc& desc, uint8_t* band,
                               long long first, long long count) {
  long long rows = std::min<long long>(count, desc.bandRows);
  for (long long k = 0; k < rows; ++k) {
    long long row = desc.rowOrder == 2 ? first - k : first + k;
    uint8_t* out = band + k * static_cast<long long>(state.rowBytes);
    if (row >= 0 && row < state.height) {
      FillRow(state, static_cast<uint32_t>(row), out);
    } else {
      std::memset(out, 0xEE, state.rowBytes);
    }
  }
}

// ------------------------------------------------------------------ writing

struct WriteState : BandPlan {
  unsigned long long checksum = 0;
};

std::unique_ptr<WriteState> writing;

// Names the next converter-driven band; false when the image is done.
[[maybe_unused]] bool NextWriteBand(WriteState& state, ConvImageDesc& desc) {
  long long first = 0;
  long long count = 0;
  if (!state.NextBand(state.script.Has("Write.bands"), desc.height, std::max<uint32_t>(desc.bandRows, 1),
                      false, &first, &count)) {
    return false;
  }
  desc.bandRow = static_cast<uint32_t>(first);
  desc.bandCount = static_cast<uint32_t>(count);
  return true;
}

}  // namespace

CONV_ENTRY(uint32_t) ConvGetVersion(void) {
  uint32_t version = 0;
  GuardedVoid([&] {
    Script script = tconv::LoadScript(nullptr);
    Log("ConvGetVersion");
#ifdef TCONV_PINNED
    ++tconvPinnedCalls;
#endif
    version = static_cast<uint32_t>(script.Number("Version", imexp::conv::kConverterVersion));
  });
  return version;
}

CONV_ENTRY(void) ConvGetDllInfo(ConvRecord* record, char* iniPath) {
  GuardedVoid([&] {
    Script script = tconv::LoadScript(iniPath);
    Log("ConvGetDllInfo path=" + Quoted(record->path) + " iniPath=" + Quoted(iniPath));
    bool terminate = script.Number("Unterminated", 0) == 0;
    record->flags = static_cast<uint32_t>(script.Number("Flags", 0x13));
    record->writeFormats = static_cast<uint32_t>(script.Number("WriteFormats", 0x3FF));
    record->writeResUnits = static_cast<uint16_t>(script.Number("WriteResUnits", 0x04));
    CopyField(record->name, sizeof record->name, script.Text("Name", tconv::CopyName()), terminate);
    CopyField(record->description, sizeof record->description, script.Text("Description", "Test images"),
              terminate);
    CopyField(record->extensions, sizeof record->extensions, script.Text("Extensions", "*.TST"), terminate);
  });
}

CONV_ENTRY(void) ConvGetErrorString(int code, char* fileTitle, char* iniPath, char* text) {
  GuardedVoid([&] {
    Script script = tconv::LoadScript(iniPath);
    Log("ConvGetErrorString code=" + std::to_string(code) + " title=" + Quoted(fileTitle));
    if (script.Number("Unterminated", 0) != 0) {
      std::memset(text, 'E', imexp::conv::kErrorTextSize);
      return;
    }
    std::snprintf(text, imexp::conv::kErrorTextSize, "%s says error %d in '%s'", tconv::CopyName().c_str(),
                  code, fileTitle ? fileTitle : "(null)");
  });
}

CONV_ENTRY(void) ConvSetup(HWND, char* iniPath) {
  GuardedVoid([&] { Log("ConvSetup iniPath=" + Quoted(iniPath)); });
}

CONV_ENTRY(void) ConvAbout(HWND owner) {
  GuardedVoid([&] {
    Log("ConvAbout");
    // "AboutOpensSetup=1": asks the manager for its setup dialog, as a
    // converter's window could while the manager's own setup dialog is up.
    if (tconv::LoadScript(nullptr).Number("AboutOpensSetup", 0) == 0) return;
    auto configure =
        reinterpret_cast<int(CONV_API*)(HWND)>(tconv::ManagerFunction("ImExp_ConfigureConverters"));
    Log("ConvAbout setup=" + std::to_string(configure != nullptr ? configure(owner) : -1));
  });
}

CONV_ENTRY(int) RDCheckFile(HFILE file, char* iniPath) {
  return Guarded([&] {
    long position = ConvFileSeek(file, 0, CONV_SEEK_CUR);
    Script script = tconv::LoadScript(iniPath);
    std::string mode = script.Text("Check", "magic");
    int accepted;
    if (mode == "accept") {
      accepted = 1;
    } else if (mode == "refuse") {
      accepted = 0;
    } else if (mode == "current") {
      char magic[9] = {};
      accepted = ConvFileRead(file, magic, sizeof magic) == static_cast<long>(sizeof magic) &&
                 std::memcmp(magic, "IMEXPTEST", sizeof magic) == 0;
    } else {
      char magic[9] = {};
      accepted = imexp::conv::ReadExactlyAt(file, 0, magic, sizeof magic) &&
                 std::memcmp(magic, "IMEXPTEST", sizeof magic) == 0;
    }
    Log("RDCheckFile position=" + std::to_string(position) + " iniPath=" + Quoted(iniPath) +
        " result=" + std::to_string(accepted));
    return accepted;
  });
}

CONV_ENTRY(int) RDGetImageCount(HFILE file, char* iniPath, int* count, int* singleView) {
  return Guarded([&] {
    Script script = FileScript(file, iniPath, nullptr, nullptr);
    Log("RDGetImageCount");
    if (int error = tconv::ScriptedError(script, "RDGetImageCount", 1)) return error;
    *count = static_cast<int>(script.Number("imageCount", 1));
    *singleView = static_cast<int>(script.Number("singleView", 0));
    return 0;
  });
}

CONV_ENTRY(int) RDGetImageInfo(HFILE file, int image, char* iniPath, ConvImageInfo* info) {
  return Guarded([&] {
    Script script = FileScript(file, iniPath, nullptr, nullptr);
    std::ostringstream line;
    line << "RDGetImageInfo image=" << image << " title=" << Quoted(info->title)
         << " formatName0=" << static_cast<int>(info->formatName[0])
         << " compression0=" << static_cast<int>(info->compression[0]) << " imageCount=" << info->imageCount
         << " imageIndex=" << info->imageIndex << " resUnit=" << info->resUnit
         << " hasDetails=" << info->hasDetails;
    Log(line.str());
    if (int error = tconv::ScriptedError(script, "RDGetImageInfo", 1)) return error;
    // "infoCatches=1": an exception thrown and caught inside the converter,
    // as converters over C++ libraries have them; the runtime keeps its
    // exception state in thread-local storage.
    if (script.Number("infoCatches", 0) != 0) {
      try {
        throw std::runtime_error("caught inside");
      } catch (const std::runtime_error&) {
      }
    }
    if (script.Number("infoLeaves", 0) != 0) return 0;
    ScriptImageFields(script, *info);
    info->hasDetails = static_cast<int32_t>(script.Number("hasDetails", 0));
    CopyField(info->formatName, sizeof info->formatName, script.Text("format", "Test format"), true);
    CopyField(info->compression, sizeof info->compression, script.Text("compression", ""), true);
    return 0;
  });
}

CONV_ENTRY(int) RDShowDetails(HWND, HFILE file, char* iniPath, ConvImageInfo* info) {
  return Guarded([&] {
    Script script = FileScript(file, iniPath, nullptr, nullptr);
    Log("RDShowDetails title=" + Quoted(info->title));
    return tconv::ScriptedError(script, "RDShowDetails", 1);
  });
}

CONV_ENTRY(int) RDReadHeader(ConvImageDesc* desc, char** hostParam, int hostValue) {
  return Guarded([&] {
    auto state = std::make_unique<ReadState>();
    state->script = FileScript(desc->hFile, desc->iniPath, &state->file, &state->dataOffset);
    const Script& s = state->script;
    Log(OpeningCall("RDReadHeader", hostParam, hostValue, *desc) +
        " imageIndex=" + std::to_string(desc->imageIndex) +
        " imageCount=" + std::to_string(desc->imageCount) + PaletteBehind(*desc));

    ScriptImageFields(s, *desc);
    desc->planes = static_cast<uint16_t>(s.Number("planes", 1));
    uint32_t defaultBytes = desc->planes > 1 ? (desc->width * (desc->bitsPerPixel / desc->planes) + 7) / 8
                                             : (desc->width * desc->bitsPerPixel + 7) / 8;
    desc->bytesPerLine = static_cast<uint32_t>(s.Number("bytesPerLine", defaultBytes));
    desc->packedPixels = static_cast<int32_t>(s.Number("packedPixels", 1));
    desc->invertedGray = static_cast<int32_t>(s.Number("invertedGray", 0));
    desc->bgrOrder = static_cast<int32_t>(s.Number("bgrOrder", 0));
    desc->accessMode = static_cast<uint16_t>(s.Number("accessMode", 1));
    desc->rowOrder = static_cast<uint16_t>(s.Number("rowOrder", desc->accessMode == 2 ? 2 : 1));
    desc->fixedBand = static_cast<uint16_t>(s.Number("fixedBand", 0));
    desc->maxBandRows = static_cast<uint32_t>(s.Number("maxBandRows", 1));
    std::string palette = s.Text("palette");
    for (std::size_t i = 0; i + 1 < palette.size() && i / 2 < CONV_PALETTE_BYTES; i += 2) {
      desc->palette[i / 2] = static_cast<unsigned char>(std::stoi(palette.substr(i, 2), nullptr, 16));
    }

    state->rowBytes = std::size_t{desc->planes} * desc->bytesPerLine;
    state->height = desc->height;
    state->synthetic = s.Number("synthetic", 0) != 0;
    state->bands = s.Pairs("bands");
    state->fixedCounts = s.Numbers("fixedCounts");
    int error = tconv::ScriptedError(s, "RDReadHeader", 1);
    const std::size_t wanted = state->rowBytes * state->height;
    if (s.Has("Read.cutError") && state->dataOffset >= 0 &&
        state->file.size() < static_cast<std::size_t>(state->dataOffset) + wanted) {
      error = static_cast<int>(s.Number("Read.cutError"));
    }
    reading = std::move(state);
    return error;
  });
}

CONV_ENTRY(int) RDSetupReading(ConvImageDesc* desc) {
  return Guarded([&] {
    Log("RDSetupReading " + tconv::DescriptorFields(*desc));
    if (!reading) return int{CONV_ERR_GENERAL};
    reading->NextFixedCount(*desc);
    return tconv::ScriptedError(reading->script, "RDSetupReading", 1);
  });
}

CONV_ENTRY(int) RDReadBand(ConvImageDesc* desc, unsigned char* band) {
  return Guarded([&] {
    if (!reading) return int{CONV_ERR_GENERAL};
    ReadState& state = *reading;
    int call = ++state.bandCalls;
    LogBandCall("RDReadBand", call, *desc, state.script);
    // "Read.crash=1": the process ends at once, as a crashing converter ends it.
    if (state.script.Number("Read.crash", 0) != 0) std::_Exit(kCrashStatus);
    if (int error = tconv::ScriptedError(state.script, "RDReadBand", call)) return error;

    if (desc->chosenAccess == 0) {
      long long first = 0;
      long long count = 0;
      if (!state.NextBand(state.script.Has("bands"), state.height, desc->bandRows, desc->rowOrder == 2,
                          &first, &count)) {
        return 1;
      }
      desc->bandRow = static_cast<uint32_t>(first);
      desc->bandCount = static_cast<uint32_t>(count);
      FillBand(state, *desc, band, first, count);
      return 0;
    }
    long long first = desc->bandRow;
    if (state.script.Number("Read.ignoreBandRow", 0) != 0) {
      first = state.produced;
      state.produced += desc->bandCount;
    }
    FillBand(state, *desc, band, first, desc->bandCount);
    if (state.script.Number("Read.overrun", 0) != 0) band[desc->bandRows * state.rowBytes] = 0;
    state.NextFixedCount(*desc);
    return 0;
  });
}

CONV_ENTRY(void) RDCleanUp(ConvImageDesc* desc) {
  GuardedVoid([&] {
    Log("RDCleanUp bandCalls=" + std::to_string(reading ? reading->bandCalls : -1) +
        " width=" + std::to_string(desc->width));
  });
  if (reading && reading->script.Number("LeakOnCleanUp", 0) != 0) {
    (void)reading.release();
  }
  reading.reset();
}

CONV_ENTRY(int) WRSetupWriting(ConvImageDesc* desc, char** hostParam, int hostValue) {
  return Guarded([&] {
    auto state = std::make_unique<WriteState>();
    state->script = tconv::LoadScript(desc->iniPath);
    const Script& s = state->script;
    Log(OpeningCall("WRSetupWriting", hostParam, hostValue, *desc) + " hFilePath=" +
        Quoted(tconv::PathOfFile(desc->hFile).c_str()) + " " + tconv::DescriptorFields(*desc) +
        PaletteBehind(*desc) + " palette=" + tconv::Hex(desc->palette, CONV_PALETTE_BYTES));

    auto apply16 = [&](const char* key, uint16_t& field) {
      if (s.Has(key)) field = static_cast<uint16_t>(s.Number(key));
    };
    auto apply32 = [&](const char* key, auto& field) {
      if (s.Has(key)) field = static_cast<std::remove_reference_t<decltype(field)>>(s.Number(key));
    };
    apply16("Write.planes", desc->planes);
    apply32("Write.bytesPerLine", desc->bytesPerLine);
    apply32("Write.packedPixels", desc->packedPixels);
    apply32("Write.bgrOrder", desc->bgrOrder);
    apply16("Write.accessMode", desc->accessMode);
    apply16("Write.rowOrder", desc->rowOrder);
    apply16("Write.fixedBand", desc->fixedBand);
    apply32("Write.maxBandRows", desc->maxBandRows);
    apply16("Write.bitsPerPixel", desc->bitsPerPixel);
    state->bands = s.Pairs("Write.bands");
    state->fixedCounts = s.Numbers("Write.fixedCounts");
    if (!state->fixedCounts.empty()) {
      desc->bandCount = static_cast<uint32_t>(state->fixedCounts[state->nextFixed++]);
    }
    if (desc->accessMode == 0 && s.Has("Write.bands") && s.Text("Write.firstBandIn") != "header") {
      NextWriteBand(*state, *desc);
    }
    int error = tconv::ScriptedError(s, "WRSetupWriting", 1);
    writing = std::move(state);
    return error;
  });
}

CONV_ENTRY(int) WRWriteHeader(ConvImageDesc* desc) {
  return Guarded([&] {
    if (!writing) return int{CONV_ERR_GENERAL};
    if (desc->accessMode == 0 && writing->script.Text("Write.firstBandIn") == "header") {
      NextWriteBand(*writing, *desc);
    } else if (desc->accessMode == 0 && !writing->script.Has("Write.bands")) {
      if (writing->script.Number("Write.defaultFirstBand", 0) != 0) {
        // The manager's default names the top row alone.
        writing->produced = desc->bandCount;
      } else {
        // Without a script, walk the image top to bottom in bands of bandRows.
        NextWriteBand(*writing, *desc);
      }
    }
    Log("WRWriteHeader " + tconv::DescriptorFields(*desc));
    if (writing->script.Number("Write.header", 0) != 0) {
      std::string header = "IMEXPTEST\nwidth=" + std::to_string(desc->width) +
                           "\nheight=" + std::to_string(desc->height) +
                           "\ncolorType=" + std::to_string(desc->colorType) +
                           "\nbitsPerPixel=" + std::to_string(desc->bitsPerPixel) +
                           "\nplanes=" + std::to_string(desc->planes) +
                           "\nbytesPerLine=" + std::to_string(desc->bytesPerLine) +
                           "\npackedPixels=" + std::to_string(desc->packedPixels) +
                           "\nbgrOrder=" + std::to_string(desc->bgrOrder) +
                           "\npalette=" + tconv::Hex(desc->palette, CONV_PALETTE_BYTES) + "\nDATA\n";
      if (ConvFileWrite(desc->hFile, header.data(), static_cast<unsigned long>(header.size())) != 0) {
        return int{CONV_ERR_DISK_FULL};
      }
    }
    return tconv::ScriptedError(writing->script, "WRWriteHeader", 1);
  });
}

CONV_ENTRY(int) WRWriteBand(ConvImageDesc* desc, unsigned char* band) {
  return Guarded([&] {
    if (!writing) return int{CONV_ERR_GENERAL};
    WriteState& state = *writing;
    int call = ++state.bandCalls;
    LogBandCall("WRWriteBand", call, *desc, state.script);
    if (long long sleep = state.script.Number("Write.sleepMs", 0)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(sleep));
    }
    if (int error = tconv::ScriptedError(state.script, "WRWriteBand", call)) return error;

    std::size_t rowBytes = std::size_t{desc->planes} * desc->bytesPerLine;
    std::size_t bytes = std::min<std::size_t>(desc->bandCount, desc->bandRows) * rowBytes;
    if (state.script.Number("Write.sink", 0) != 0) {
      for (std::size_t i = 0; i < bytes; i += 64) state.checksum += band[i];
    } else if (bytes > 0 && ConvFileWrite(desc->hFile, band, static_cast<unsigned long>(bytes)) != 0) {
      return int{CONV_ERR_DISK_FULL};
    }
    if (desc->accessMode == 0 && !NextWriteBand(state, *desc)) return 1;
    state.NextFixedCount(*desc);
    return 0;
  });
}

CONV_ENTRY(int) WREndWriting(ConvImageDesc*) {
  return Guarded([&] {
    Log("WREndWriting bandCalls=" + std::to_string(writing ? writing->bandCalls : -1));
    return writing ? tconv::ScriptedError(writing->script, "WREndWriting", 1) : int{CONV_ERR_GENERAL};
  });
}

CONV_ENTRY(void) WRCleanUp(ConvImageDesc*) {
  GuardedVoid([] { Log("WRCleanUp"); });
  writing.reset();
}
