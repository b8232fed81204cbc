// Whole writes: ImExp_WriteFile of large host images to the test converter,
// whose writer discards the bands (Write.sink=1), so that no file system time
// is measured beyond the empty temporary file and its rename. The baseline
// drives an unlisted copy of the same converter library directly
// (WRSetupWriting, WRWriteHeader, WRWriteBand, WREndWriting, WRCleanUp) with
// the descriptor and band height the manager used, and has the host copy each
// row straight into its place in the band (GetRow). What the manager adds on
// top is writer matching, loading the converter for the call, the temporary
// file, its buffers and its row step.
//
// Loading and freeing a converter is most of that on small images: mapping
// and unmapping a library also costs the host's image its TLB entries. So a
// second baseline loads a third copy of the converter for each write and
// frees it afterwards, as the manager must; against it the overhead is what
// the manager does beyond the load.
//
//   write/manager/<layout>/<width>x<height>   bytes/s of host rows written
//   write/raw/<layout>/<width>x<height>       the same for the baseline
// Counters of the manager side:
//   vs_raw        median per-round ratio of manager time to baseline time
//   overhead_pct  (vs_raw - 1) x 100; target: at most 15
//   extra_us      manager time - baseline time per write, in microseconds
//   vs_loaded     the same ratio against the baseline that loads its
//                 converter copy for each write
//   loaded_overhead_pct, loaded_extra_us   likewise
//   band_rows     rows per band, the same on both sides
// The one-row image has no target: its extra_us is what every write costs
// whatever its size (choosing, loading and freeing the writer, the temporary
// file and its rename).
//
// Before anything is timed, one write of each side with the sink off must put
// exactly the host's image, top row first, into its file.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <imexp/host.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/pipeline_paired_timing.h"
#include "bench/pipeline_shapes.h"
#include "tests/support/recording_host.h"
#include "tests/support/test_support.h"

namespace {

using namespace imexp::test;
using namespace imexp::bench;

// A host that keeps its image in one block and copies rows out of it.
class HostImage final : public CAbstractWriteWA {
 public:
  explicit HostImage(const Shape& shape)
      : width(shape.width), height(shape.height), type(shape.hostType), rowBytes(HostRowSize(width, type)) {
    pixels.resize(rowBytes * height);
    for (uint32_t r = 0; r < height; ++r) {
      for (std::size_t x = 0; x < rowBytes; ++x)
        pixels[r * rowBytes + x] = static_cast<uint8_t>(r * 29 + x * 11);
    }
  }
  int Reserved1(int, int) override { return 0; }
  int Reserved2(int, int) override { return 0; }
  int GetImageSize(int, int, int* w, int* h) override {
    *w = static_cast<int>(width);
    *h = static_cast<int>(height);
    return 0;
  }
  int GetImageType(int, int, int* imageType) override {
    *imageType = type;
    return 0;
  }
  int GetPalette(int, int, ImExpPaletteEntry* entries) override {
    for (int i = 0; i < 256; ++i) entries[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
    return 0;
  }
  int GetResolution(int, int, int* horizontal, int* vertical) override {
    *horizontal = *vertical = 72;
    return 0;
  }
  int GetRow(int, int, int hostRow, unsigned char* row) override {
    ++rowsFetched;
    if (static_cast<unsigned>(hostRow) >= height) {
      ++strayRows;
      return 0;
    }
    std::memcpy(row, pixels.data() + static_cast<std::size_t>(hostRow) * rowBytes, rowBytes);
    return 0;
  }

  // The rows as a writer receives them, top row first.
  std::vector<uint8_t> TopDown() const {
    std::vector<uint8_t> rows(pixels.size());
    for (uint32_t r = 0; r < height; ++r) {
      std::memcpy(rows.data() + std::size_t{r} * rowBytes,
                  pixels.data() + std::size_t{height - 1 - r} * rowBytes, rowBytes);
    }
    return rows;
  }

  const uint32_t width, height;
  const int type;
  const std::size_t rowBytes;
  std::vector<uint8_t> pixels;
  long long rowsFetched = 0;
  int strayRows = 0;
};

// The descriptor fields the manager gave its writer, from the call log.
struct WriterLayout {
  uint16_t colorType = 0, bitsPerPixel = 0, resUnit = 0;
  uint32_t bytesPerLine = 0, resX = 0, resY = 0, bandRows = 0;
};

// The entry points the baselines call.
struct WriterCalls {
  WRSetupWritingFn setupWriting = nullptr;
  WRWriteHeaderFn writeHeader = nullptr;
  WRWriteBandFn writeBand = nullptr;
  WREndWritingFn endWriting = nullptr;
  WRCleanUpFn cleanUp = nullptr;

  static WriterCalls From(const Library& library) {
    WriterCalls calls;
    calls.setupWriting = library.Get<WRSetupWritingFn>("WRSetupWriting");
    calls.writeHeader = library.Get<WRWriteHeaderFn>("WRWriteHeader");
    calls.writeBand = library.Get<WRWriteBandFn>("WRWriteBand");
    calls.endWriting = library.Get<WREndWritingFn>("WREndWriting");
    calls.cleanUp = library.Get<WRCleanUpFn>("WRCleanUp");
    Require(calls.setupWriting && calls.writeHeader && calls.writeBand && calls.endWriting && calls.cleanUp,
            "a baseline's converter copy lacks an entry point");
    return calls;
  }
};

struct WriteSetup {
  explicit WriteSetup(const Shape& s) : shape(s), image(s) {}
  // Apart from the constructor, so that a failing check finds the set-up
  // owned and its folder is removed on the way out.
  void Prepare();

  Shape shape;
  ManagerSetup setup;
  std::string target;
  std::string iniPath;
  std::unique_ptr<MessageBoxCapture> capture;
  ImExp_WriteFileFn writeFile = nullptr;
  std::unique_ptr<Library> raw;  // the baseline's own copy, loaded once
  WriterCalls rawCalls;
  fs::path loadedCopy;  // the copy the second baseline loads for each write
  std::string rawPath;
  HFILE rawFile = -1;
  WriterLayout layout;
  uint8_t palette[CONV_PALETTE_BYTES] = {};
  std::vector<uint8_t> band;
  HostImage image;
  // Through the base class, as the manager calls it.
  CAbstractWriteWA* host = &image;

  ~WriteSetup() {
    if (rawFile >= 0) close(rawFile);
  }
};

void ManagerWrite(WriteSetup& s) {
  int reserved = -1;
  if (s.writeFile(&s.image, nullptr, s.target.data(), &reserved, nullptr, nullptr, 0) != 1) {
    Fail("ImExp_WriteFile failed on " + s.shape.Name());
  }
}

// Manager-driven, top to bottom, in bands of the manager's height.
int RawBands(WriteSetup& s, const WriterCalls& calls, ConvImageDesc& d) {
  const std::size_t rowBytes = std::size_t{d.planes} * d.bytesPerLine;
  uint8_t* band = s.band.data();
  for (uint32_t done = 0; done < d.height;) {
    const uint32_t count = std::min(s.layout.bandRows, d.height - done);
    for (uint32_t k = 0; k < count; ++k) {
      s.host->GetRow(0, 0, static_cast<int>(d.height - 1 - done - k), band + k * rowBytes);
    }
    d.bandRow = done;
    d.bandCount = count;
    if (int error = calls.writeBand(&d, band)) return error;
    done += count;
  }
  return CONV_OK;
}

void RawWrite(WriteSetup& s, const WriterCalls& calls) {
  const WriterLayout& l = s.layout;
  ConvImageDesc d{};
  d.fileName = s.target.data();
  d.iniPath = s.iniPath.data();
  d.hFile = s.rawFile;
  d.imageCount = 1;
  d.width = s.shape.width;
  d.height = s.shape.height;
  d.colorType = l.colorType;
  d.bitsPerPixel = l.bitsPerPixel;
  d.planes = 1;
  d.bytesPerLine = l.bytesPerLine;
  d.packedPixels = 1;
  d.outputBits = l.bitsPerPixel;
  d.palette = s.palette;
  d.resUnit = l.resUnit;
  d.resX = l.resX;
  d.resY = l.resY;
  d.accessMode = CONV_ACCESS_TOP_DOWN;
  d.rowOrder = 1;
  d.maxBandRows = 1;
  d.chosenAccess = 1;
  d.bandRows = 1;
  d.bandCount = 1;
  int error = calls.setupWriting(&d, nullptr, 0);
  if (error == CONV_OK) {
    d.chosenAccess = d.accessMode == CONV_ACCESS_EITHER ? d.rowOrder : d.accessMode;
    d.bandRows = l.bandRows;
    error = calls.writeHeader(&d);
  }
  if (error == CONV_OK) error = RawBands(s, calls, d);
  if (error == CONV_OK) error = calls.endWriting(&d);
  calls.cleanUp(&d);
  if (error != CONV_OK)
    Fail("the raw write failed with code " + std::to_string(error) + " on " + s.shape.Name());
}

void RawWrite(WriteSetup& s) { RawWrite(s, s.rawCalls); }

void LoadedRawWrite(WriteSetup& s) {
  Library library(s.loadedCopy);
  RawWrite(s, WriterCalls::From(library));
}

std::string Ini(const std::string& copy, bool sink) {
  // Bands as tall as the manager allows, and no log line per band, which
  // would cost more than the band. The writer takes rows in the host's blue,
  // green, red order, so both sides copy rows rather than swap colours.
  const std::string script =
      std::string("quiet=1\nWrite.bgrOrder=1\nWrite.maxBandRows=64\nWrite.sink=") + (sink ? "1" : "0") + "\n";
  return "[Converters]\n0=" + copy + "\n[pipeline_writer]\nName=PIPELINE\nExtensions=*.TST\n" + script +
         "[pipeline_raw_writer]\n" + script + "[pipeline_raw_writer_loaded]\n" + script;
}

// With the sink off, each side must write the host's image, top row first,
// in the same bands; then the sink goes on for timing.
void CheckBothSides(WriteSetup& s, const std::string& copy) {
  const std::string name = s.shape.Name();
  s.setup.ClearCallLog();
  ManagerWrite(s);
  Require(s.capture->boxes().empty(), "ImExp_WriteFile showed a message box on " + name);
  Require(s.image.strayRows == 0, "ImExp_WriteFile asked for rows outside the image of " + name);
  Require(s.image.rowsFetched == s.shape.height,
          "ImExp_WriteFile asked for " + std::to_string(s.image.rowsFetched) + " rows of " + name);
  const std::vector<uint8_t> expected = s.image.TopDown();
  const std::string expectedBytes(expected.begin(), expected.end());
  Require(ReadFileBytes(s.target) == expectedBytes,
          "ImExp_WriteFile wrote another image than the host's: " + name);

  const std::vector<std::string> log = s.setup.CallLog();
  const std::vector<std::string> setupLines = LinesWith(log, "pipeline_writer WRSetupWriting");
  const std::vector<std::string> headerLines = LinesWith(log, "pipeline_writer WRWriteHeader");
  const std::vector<std::string> endLines = LinesWith(log, "pipeline_writer WREndWriting");
  Require(setupLines.size() == 1 && headerLines.size() == 1 && endLines.size() == 1,
          "the writer's call log of " + name + " lacks an entry point");
  WriterLayout& l = s.layout;
  l.colorType = static_cast<uint16_t>(LogNumber(setupLines[0], "colorType", name));
  l.bitsPerPixel = static_cast<uint16_t>(LogNumber(setupLines[0], "bitsPerPixel", name));
  l.bytesPerLine = LogNumber(setupLines[0], "bytesPerLine", name);
  l.resUnit = static_cast<uint16_t>(LogNumber(setupLines[0], "resUnit", name));
  l.resX = LogNumber(setupLines[0], "resX", name);
  l.resY = LogNumber(setupLines[0], "resY", name);
  Require(LogNumber(headerLines[0], "chosenAccess", name) == 1,
          "the write of " + name + " is not manager-driven");
  l.bandRows = LogNumber(headerLines[0], "bandRows", name);
  Require(l.bandRows >= 1, "no band height in the call log of " + name);
  const std::string bands = std::to_string((s.shape.height + l.bandRows - 1) / l.bandRows);
  Require(LogField(endLines[0], "bandCalls") == bands,
          "the manager did not write " + name + " in " + bands + " bands");

  s.band.assign(std::size_t{l.bandRows} * l.bytesPerLine, 0);
  RawWrite(s);
  Require(ReadFileBytes(s.rawPath) == expectedBytes,
          "the raw baseline wrote another image than the host's: " + name);
  const std::vector<std::string> rawEnd = LinesWith(s.setup.CallLog(), "pipeline_raw_writer WREndWriting");
  Require(rawEnd.size() == 1 && LogField(rawEnd[0], "bandCalls") == bands,
          "the raw baseline did not write " + name + " in " + bands + " bands");
  LoadedRawWrite(s);
  Require(!IsLibraryLoaded(s.loadedCopy), "the loading baseline left its converter loaded: " + name);
  const std::vector<std::string> loadedEnd =
      LinesWith(s.setup.CallLog(), "pipeline_raw_writer_loaded WREndWriting");
  Require(loadedEnd.size() == 1 && LogField(loadedEnd[0], "bandCalls") == bands,
          "the loading baseline did not write " + name + " in " + bands + " bands");

  s.setup.WriteIni(Ini(copy, true));
  ManagerWrite(s);
  Require(fs::file_size(s.target) == 0, "the writer still writes with the sink on: " + name);
}

void WriteSetup::Prepare() {
  const std::string copy = setup.InstallConverter("imexp_test_converter", "pipeline_writer");
  const std::string rawCopy = setup.InstallConverter("imexp_test_converter", "pipeline_raw_writer");
  loadedCopy =
      setup.dir().path() / setup.InstallConverter("imexp_test_converter", "pipeline_raw_writer_loaded");
  setup.WriteIni(Ini(copy, false));
  iniPath = setup.IniPath();
  target = setup.dir().File("out.tst");
  rawPath = setup.dir().File("raw.out");
  rawFile = open(rawPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  Require(rawFile >= 0, "cannot create " + rawPath);

  const Library& manager = setup.Load();
  capture = std::make_unique<MessageBoxCapture>(&manager);
  writeFile = manager.Get<ImExp_WriteFileFn>("ImExp_WriteFile");
  Require(writeFile != nullptr, "the manager copy exports no ImExp_WriteFile");

  raw = std::make_unique<Library>(setup.dir().path() / rawCopy);
  rawCalls = WriterCalls::From(*raw);

  CheckBothSides(*this, copy);
}

void BM_ManagerWrite(benchmark::State& state, const Shape& shape) {
  WriteSetup& s = SetupFor<WriteSetup>(shape);
  TimeIterations(state, s, ManagerWrite);

  auto manager = [&s] { ManagerWrite(s); };
  auto raw = [&s] { RawWrite(s); };
  const PairedTiming paired = MeasurePaired(manager, raw);
  CountPaired(state, paired, "vs_raw", "");
  auto loaded = [&s] { LoadedRawWrite(s); };
  const PairedTiming pairedLoaded = MeasurePaired(manager, loaded);
  CountPaired(state, pairedLoaded, "vs_loaded", "loaded_");
  state.counters["band_rows"] = s.layout.bandRows;
}

void BM_RawWrite(benchmark::State& state, const Shape& shape) {
  WriteSetup& s = SetupFor<WriteSetup>(shape);
  TimeIterations(state, s, [](WriteSetup& w) { RawWrite(w); });
  state.counters["band_rows"] = s.layout.bandRows;
}

}  // namespace

int main(int argc, char** argv) {
  return RunPipelineBenchmarks(argc, argv, "write", BM_ManagerWrite, BM_RawWrite);
}
