// The texts of the Image Info dialog, built from a ConvImageInfo record and
// the manager's string table, for printing.
#pragma once

#include <imexp/converter.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace imexp::cli {

// Loads a string of the manager's table by ID ("" when absent).
using StringLoader = std::function<std::string(unsigned id)>;

struct InfoLine {
  std::string label;  // as the dialog labels it, e.g. "Colors :"
  std::string value;
};

// The dialog's fields in its order; "Image :" only for multi-image files.
std::vector<InfoLine> DescribeImage(const ConvImageInfo& info, const StringLoader& strings);

// An image held by the host as the manager handed it over: its layout
// (one HIT_* value) rather than the file's colour type.
struct HeldImage {
  std::string path;
  unsigned width = 0;
  unsigned height = 0;
  int hostType = 0;
  unsigned bitsPerPixel = 0;  // of the host type
  int resolutionX = 0;        // dots per inch, 0 when unknown
  int resolutionY = 0;
};

// The fields of the dialog that fit an image in memory: file name (the
// path it was read from), dimensions, type, colours and resolution.
std::vector<InfoLine> DescribeHeldImage(const HeldImage& image, const StringLoader& strings);

// Prints the lines to stdout with their labels right-aligned, as the
// dialog aligns them.
void PrintInfoLines(const std::vector<InfoLine>& lines);

// 2 to the power of `bits`, the exponent capped at 24.
uint32_t ColourCount(unsigned bits);
// Decimal with a comma between groups of three digits: 1,024; 16,777,216.
std::string GroupDigits(uint64_t value);
// String ID of a colour type's name (16 to 24, in the table's odd order);
// 0 for types the table does not name.
unsigned ColourTypeStringId(unsigned colorType);
// `format` with its first "%u" replaced by `first`, its second by `second`
// and "%%" by "%"; anything else is copied as it is. Strings of the table
// are formats meant for wsprintf; filling them by hand keeps a stray
// directive from reading arguments that are not there.
std::string FillNumbers(const std::string& format, unsigned first, unsigned second);
// `format` with "%s" replaced by `text` (the manager's error messages).
std::string FillText(const std::string& format, const std::string& text);
// A fixed-size record field up to its first NUL, never past its end.
std::string FieldText(const char* field, std::size_t size);

}  // namespace imexp::cli
