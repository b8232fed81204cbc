// Whole reads: ImExp_ReadFile of large images from the test converter, whose
// bands are produced without file I/O (synthetic=1), into a minimal host
// that copies each row into its image. The baseline drives an unlisted copy
// of the same converter library directly (RDReadHeader, RDSetupReading,
// RDReadBand, RDCleanUp) with the band height the manager chose, and copies
// each band row straight into the same host image. What the manager adds on
// top is detection (one content probe), loading the converter for the call,
// the descriptor checks, its buffers and its row step, and the virtual PutRow.
//
//   read/manager/<layout>/<width>x<height>   bytes/s of host output
//   read/raw/<layout>/<width>x<height>       the same for the baseline
// Counters of the manager side:
//   vs_raw        median per-round ratio of manager time to baseline time
//   overhead_pct  (vs_raw - 1) x 100; target: at most 15 for rows of 1000
//                 pixels and more
//   extra_us      manager time - baseline time per read, in microseconds
//   band_rows     rows per band, the same on both sides
// The one-row image has no target: its extra_us is what every read costs
// whatever its size (finding, loading and freeing the converter).
//
// Both sides must deliver the same image, every row of it where it belongs;
// that is checked once for each shape before anything is timed.
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
#include "tests/support/test_image.h"
#include "tests/support/test_support.h"

namespace {

using namespace imexp::test;
using namespace imexp::bench;

// A host as plain as one can be: one block for the image, each row copied
// into its place. The block is kept from read to read so that neither side
// pays for fresh pages.
class HostImage final : public CAbstractReadWA {
 public:
  int Reserved1(int, int) override { return 0; }
  int Reserved2(int, int) override { return 0; }
  int SetImageSize(int, int, unsigned int w, unsigned int h) override {
    width = w;
    height = h;
    return 0;
  }
  int SetImageType(int, int, int imageType) override {
    rowBytes = HostRowSize(width, imageType);
    pixels.resize(rowBytes * height);
    return 0;
  }
  int SetPalette(int, int, ImExpPaletteEntry*, int) override { return 0; }
  int SetResolution(int, int, int, int) override { return 0; }
  int PutRow(int, int, int hostRow, unsigned char* row) override {
    if (static_cast<unsigned>(hostRow) >= height) {
      ++strayRows;
      return 0;
    }
    std::memcpy(pixels.data() + static_cast<std::size_t>(hostRow) * rowBytes, row, rowBytes);
    return 0;
  }

  unsigned width = 0, height = 0;
  std::size_t rowBytes = 0;
  std::vector<uint8_t> pixels;
  int strayRows = 0;
};

struct ReadSetup {
  explicit ReadSetup(const Shape& s) : shape(s) {}
  // Apart from the constructor, so that a failing check finds the set-up
  // owned and its folder is removed on the way out.
  void Prepare();

  Shape shape;
  ManagerSetup setup;
  std::string path;
  std::string iniPath;
  std::unique_ptr<MessageBoxCapture> capture;
  ImExp_ReadFileFn readFile = nullptr;
  // The baseline's own copy, loaded once: the manager's copy is never held
  // by the benchmark, so the manager really loads and frees it every read.
  std::unique_ptr<Library> raw;
  RDReadHeaderFn readHeader = nullptr;
  RDSetupReadingFn setupReading = nullptr;
  RDReadBandFn readBand = nullptr;
  RDCleanUpFn cleanUp = nullptr;
  uint32_t bandRows = 0;  // as the manager chose it
  std::vector<uint8_t> band;
  HostImage image;
};

void ManagerRead(ReadSetup& s) {
  if (s.readFile(&s.image, nullptr, s.path.data(), s.shape.hostType, nullptr, nullptr, 0) != 1) {
    Fail("ImExp_ReadFile failed on " + s.shape.Name());
  }
}

// Manager-driven, top to bottom, as the image file asks.
int RawBands(ReadSetup& s, ConvImageDesc& d) {
  const std::size_t rowBytes = std::size_t{d.planes} * d.bytesPerLine;
  const std::size_t hostBytes = s.image.rowBytes;
  uint8_t* band = s.band.data();
  uint8_t* pixels = s.image.pixels.data();
  for (uint32_t done = 0; done < d.height;) {
    const uint32_t count = std::min(s.bandRows, d.height - done);
    d.bandRow = done;
    d.bandCount = count;
    if (int error = s.readBand(&d, band)) return error;
    for (uint32_t k = 0; k < count; ++k) {
      std::memcpy(pixels + std::size_t{d.height - 1 - done - k} * hostBytes, band + k * rowBytes, hostBytes);
    }
    done += count;
  }
  return CONV_OK;
}

void RawRead(ReadSetup& s) {
  HFILE file = open(s.path.c_str(), O_RDONLY | O_CLOEXEC);
  if (file < 0) Fail("cannot open " + s.path);
  // The descriptor with its palette behind it, as the manager lays it out.
  struct {
    ConvImageDesc desc;
    unsigned char palette[CONV_PALETTE_BYTES];
  } block{};
  ConvImageDesc& d = block.desc;
  d.fileName = s.path.data();
  d.iniPath = s.iniPath.data();
  d.hFile = file;
  d.imageCount = 1;
  d.palette = block.palette;
  int error = s.readHeader(&d, nullptr, 0);
  if (error == CONV_OK) {
    d.chosenAccess = d.accessMode == CONV_ACCESS_EITHER ? d.rowOrder : d.accessMode;
    d.bandRows = s.bandRows;
    error = s.setupReading(&d);
  }
  if (error == CONV_OK) error = RawBands(s, d);
  s.cleanUp(&d);
  close(file);
  if (error != CONV_OK)
    Fail("the raw read failed with code " + std::to_string(error) + " on " + s.shape.Name());
}

// The synthetic converter fills byte x of image row y (0 = top) with
// y * 31 + x * 7; the host keeps row y as host row height - 1 - y.
void CheckSyntheticImage(const ReadSetup& s, const std::vector<uint8_t>& pixels) {
  const Shape& shape = s.shape;
  for (uint32_t hostRow = 0; hostRow < shape.height; ++hostRow) {
    const uint32_t imageRow = shape.height - 1 - hostRow;
    const uint8_t* row = pixels.data() + std::size_t{hostRow} * s.image.rowBytes;
    for (std::size_t x = 0; x < s.image.rowBytes; ++x) {
      if (row[x] != static_cast<uint8_t>(imageRow * 31 + x * 7)) {
        Fail("ImExp_ReadFile put wrong bytes into host row " + std::to_string(hostRow) + " at byte " +
             std::to_string(x) + " of " + shape.Name());
      }
    }
  }
}

// One read through the manager fixes the band height and must give the image
// the converter produced; the baseline must then give the very same bytes.
void CheckBothSides(ReadSetup& s) {
  const std::string name = s.shape.Name();
  s.setup.ClearCallLog();
  ManagerRead(s);
  Require(s.capture->boxes().empty(), "ImExp_ReadFile showed a message box on " + name);
  Require(s.image.width == s.shape.width && s.image.height == s.shape.height &&
              s.image.rowBytes == HostRowSize(s.shape.width, s.shape.hostType),
          "the host was given the wrong size or type for " + name);
  Require(s.image.strayRows == 0, "ImExp_ReadFile handed over rows outside the image of " + name);

  const std::vector<std::string> log = s.setup.CallLog();
  const std::vector<std::string> setupLines = LinesWith(log, "pipeline_reader RDSetupReading");
  const std::vector<std::string> cleanUpLines = LinesWith(log, "pipeline_reader RDCleanUp");
  Require(setupLines.size() == 1 && cleanUpLines.size() == 1,
          "the converter's call log of " + name + " lacks RDSetupReading or RDCleanUp");
  Require(LogNumber(setupLines[0], "chosenAccess", name) == 1,
          "the read of " + name + " is not manager-driven");
  s.bandRows = LogNumber(setupLines[0], "bandRows", name);
  Require(s.bandRows >= 1, "no band height in the call log of " + name);
  const uint32_t bands = (s.shape.height + s.bandRows - 1) / s.bandRows;
  Require(LogField(cleanUpLines[0], "bandCalls") == std::to_string(bands),
          "the manager did not read " + name + " in " + std::to_string(bands) + " bands");

  const std::vector<uint8_t> expected = s.image.pixels;
  CheckSyntheticImage(s, expected);

  s.band.assign(std::size_t{s.bandRows} * s.image.rowBytes, 0);
  std::fill(s.image.pixels.begin(), s.image.pixels.end(), uint8_t{0});
  RawRead(s);
  Require(s.image.pixels == expected,
          "the raw baseline delivered another image than the manager for " + name);
}

void ReadSetup::Prepare() {
  const std::string copy = setup.InstallConverter("imexp_test_converter", "pipeline_reader");
  const std::string rawCopy = setup.InstallConverter("imexp_test_converter", "pipeline_raw_reader");
  setup.WriteIni("[Converters]\n0=" + copy + "\n[pipeline_reader]\nName=PIPELINE\nExtensions=*.TST\n");
  iniPath = setup.IniPath();

  TestImage header;
  header.Set("width", shape.width).Set("height", shape.height);
  header.Set("bitsPerPixel", shape.BitsPerPixel()).Set("colorType", shape.ColorType());
  // The 24-bit source is in the host's blue, green, red order, so both sides
  // copy rows: the manager's overhead is measured, not the cost of a colour
  // swap that the baseline would not make.
  if (shape.BitsPerPixel() == 24) header.Set("bgrOrder", 1);
  // Bands as tall as the manager allows; no log line per band, which would
  // cost more than the band.
  header.Set("accessMode", 1).Set("maxBandRows", 64).Set("synthetic", 1).Set("quiet", 1);
  path = setup.dir().File("image.tst");
  WriteFileBytes(path, header.Bytes());

  const Library& manager = setup.Load();
  capture = std::make_unique<MessageBoxCapture>(&manager);
  readFile = manager.Get<ImExp_ReadFileFn>("ImExp_ReadFile");
  Require(readFile != nullptr, "the manager copy exports no ImExp_ReadFile");

  raw = std::make_unique<Library>(setup.dir().path() / rawCopy);
  readHeader = raw->Get<RDReadHeaderFn>("RDReadHeader");
  setupReading = raw->Get<RDSetupReadingFn>("RDSetupReading");
  readBand = raw->Get<RDReadBandFn>("RDReadBand");
  cleanUp = raw->Get<RDCleanUpFn>("RDCleanUp");
  Require(readHeader && setupReading && readBand && cleanUp,
          "the baseline's converter copy lacks an entry point");

  CheckBothSides(*this);
}

void BM_ManagerRead(benchmark::State& state, const Shape& shape) {
  ReadSetup& s = SetupFor<ReadSetup>(shape);
  TimeIterations(state, s, ManagerRead);

  auto manager = [&s] { ManagerRead(s); };
  auto raw = [&s] { RawRead(s); };
  const PairedTiming paired = MeasurePaired(manager, raw);
  CountPaired(state, paired, "vs_raw", "");
  state.counters["band_rows"] = s.bandRows;
}

void BM_RawRead(benchmark::State& state, const Shape& shape) {
  ReadSetup& s = SetupFor<ReadSetup>(shape);
  TimeIterations(state, s, RawRead);
  state.counters["band_rows"] = s.bandRows;
}

}  // namespace

int main(int argc, char** argv) {
  return RunPipelineBenchmarks(argc, argv, "read", BM_ManagerRead, BM_RawRead);
}
