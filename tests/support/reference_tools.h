// Comparing a converter's pixels with what the field's own tools make of the
// same file: running those tools, reading the PNM they print, and bringing
// both sides to 8-bit RGB.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/converter_driver.h"
#include "tests/support/test_support.h"

namespace imexp::test {

// An image as 8-bit red, green, blue triplets, top row first.
struct RgbImage {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> rgb;
  bool operator==(const RgbImage&) const = default;
};

// Runs `command` through the Unix shell (from a Windows build under wine as
// well); its exit status, or -1 when it could not run or was killed.
int RunCommand(const std::string& command);

// True when `program` is found on PATH.
bool ToolAvailable(const std::string& program);

// A shell word for `word`, quoted.
std::string ShellQuote(const std::string& word);
// The shell word for a path of this platform: under wine, the Unix name of
// the Windows path.
std::string ShellPath(const fs::path& path);
// The shell's command that starts `program`, one of the programs built
// beside the tests (under wine, by the build's wine loader).
std::string ProgramCommand(std::string_view program);

// Decodes a binary or plain PBM, PGM or PPM (any maxval, scaled to 8 bits
// with rounding) as RGB; an image of size 0 x 0 when it cannot be parsed.
RgbImage DecodePnm(const std::string& bytes);
RgbImage ReadPnmAsRgb(const fs::path& file);

// The image a converter delivered, in whatever layout it described (bilevel,
// grey with or without inversion, palette, packed or not, planes, BGR), as
// RGB.
RgbImage ConverterImageAsRgb(const ConverterImage& image);

// The largest difference of one sample between two images of equal size, or
// 256 when their sizes differ.
int LargestDifference(const RgbImage& a, const RgbImage& b);
// "" when no sample differs by more than `tolerance`; otherwise where the
// first such difference lies.
std::string FirstDifference(const RgbImage& expected, const RgbImage& actual, int tolerance = 0);

}  // namespace imexp::test
