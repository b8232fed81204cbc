// Helpers of the command-line suites: running the built `imexp` or a copy
// of it, images in a form that compares pixel for pixel, and small encoders
// that make source files without the code under test.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/reference_tools.h"
#include "tests/support/test_support.h"

namespace imexp::test::cli {

// ---------------------------------------------------------------- running

struct RunResult {
  int status = -1;       // the exit status; -1 when the program did not end by itself
  bool crashed = false;  // killed by a signal, or a Windows exception code
  std::string out;
  std::string err;
};

// Runs a program with these arguments and waits for it. Platform code.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args);
// The built command-line host beside the test program.
std::string ImexpPath();
RunResult RunImexp(const std::vector<std::string>& args);

// The program, the manager, the bundled converters and their CONVERT.INI in
// a folder of their own, so that the build's list and settings stay as
// they are.
class ToolCopy {
 public:
  ToolCopy();
  std::string Path(const std::string& file) const { return dir_.File(file); }
  RunResult Run(const std::vector<std::string>& args) const;
  // Section Converters, lines "key=value" with paths in folded case.
  std::vector<std::string> Section() const {
    return IniSectionLines(dir_.path() / "CONVERT.INI", "Converters");
  }
  // The lines Section() gives for converters copied from these targets.
  std::vector<std::string> Listed(const std::vector<std::string>& bases) const;
  void AppendIni(const std::string& text) const;

 private:
  TempDir dir_;
};

// What must hold for any run: it ended by itself, and no sanitizer spoke.
// Returns "" when so, else what went wrong with the program's stderr.
std::string CleanExit(const RunResult& result);

// The committed sample files.
fs::path SamplesDir();
// True when this build has the converter of `format` (a converters/ folder
// name: "bmp", "pcx", "png", ...).
bool FormatBuilt(const std::string& format);
// The samples of the formats whose converters this build has (samples/<format>/;
// the DCX pages come with the PCX converter), in a stable order.
std::vector<fs::path> ReadableSamples();
// A sample's path as the platform spells it, for imexp's arguments.
std::string Sample(const std::string& relative);

// Names of the manager's temporary files ("~cv*.tmp") left in a folder.
std::vector<std::string> LeftoverTemporaries(const fs::path& folder);

// ---------------------------------------------------------------- pixels

// An image as 8-bit RGB, top row first: what every format and layout is
// compared through (DecodePnm, ReadPnmAsRgb and FirstDifference come with it).
using Pixels = RgbImage;

// ---------------------------------------------------------------- sources

using Rgb = std::array<uint8_t, 3>;

// An image in one of the five host layouts, with the values it holds.
struct SourceImage {
  std::string layout;  // "bilevel", "pal16", "pal256", "gray256", "rgb24"
  unsigned width = 0;
  unsigned height = 0;
  std::vector<Rgb> palette;      // paletted layouts
  std::vector<uint32_t> values;  // top row first: index, grey level, 0/1 or 0xRRGGBB
  Pixels ToPixels() const;
};

// A patterned image of the layout, with every palette entry distinct and
// not grey, so a mix-up of indices or planes shows.
SourceImage MakeSource(const std::string& layout, unsigned width, unsigned height);

// A file the source is naturally stored in: PBM, PGM or PPM (raw) for
// bilevel, grey and RGB images, an uncompressed BMP for paletted ones.
std::string EncodeSourceFile(const SourceImage& image);
std::string SourceExtension(const SourceImage& image);

// Raw PNM of RGB pixels (P6), for netpbm's writers.
std::string EncodePpm(const Pixels& pixels);

}  // namespace imexp::test::cli
