// Drives a converter plug-in directly, the way the manager does, so that a
// converter's own tests can read and write files without the manager's
// pipelines: the descriptor, the band protocol and the call order are the
// manager's; the pixels stay in the converter's layout.
#pragma once

#include <imexp/converter.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace imexp::test {

// Opens a file the way the manager hands files to converters (_lopen or
// OpenFile on Windows, a descriptor on POSIX): read-only, or created for
// writing. -1 on failure.
HFILE OpenConverterFile(const std::string& path, bool create);
void CloseConverterFile(HFILE file);

// An image in a converter's row layout.
struct ConverterImage {
  ConvImageDesc desc{};  // as the converter described it (reading) or as given (writing)
  std::vector<uint8_t> palette = std::vector<uint8_t>(CONV_PALETTE_BYTES);  // red, green, blue planes
  std::vector<std::vector<uint8_t>> rows;  // top row first, planes x bytesPerLine bytes each
};

class ConverterDriver {
 public:
  // Loads the converter library `target` from the test folder.
  explicit ConverterDriver(std::string_view target);
  bool loaded() const { return library_.loaded(); }
  // Hands `path` to every entry point as the CONVERT.INI path from now on
  // (by default the CONVERT.INI beside the test programs).
  void UseIni(const std::string& path);
  const Library& library() const { return library_; }

  uint32_t Version() const;
  ConvRecord Record() const;
  // RDCheckFile on the open file.
  bool Check(const std::string& path) const;
  // RDGetImageCount (count, singleView); the error code is the result.
  int ImageCount(const std::string& path, int* count, int* singleView) const;
  // RDGetImageInfo for image `index`; the error code is the result.
  int Info(const std::string& path, int index, ConvImageInfo* info) const;
  // ConvGetErrorString for `code`.
  std::string ErrorText(int code, const std::string& title) const;

  // Reads image `imageIndex` of `path` (the descriptor's imageIndex and
  // imageCount) into `image`: RDReadHeader,
  // RDSetupReading, the band loop the descriptor asks for, RDCleanUp. The
  // band height follows the manager's rule unless `bandRows` is given.
  // Returns the first error code (0 for success). Bands that name rows
  // outside the image or more rows than the band holds fail with
  // CONV_ERR_INVALID_FILE, as in the manager.
  int Read(const std::string& path, ConverterImage& image, uint32_t bandRows = 0, uint16_t imageIndex = 0,
           uint16_t imageCount = 1) const;

  // Writes `image` to `path`: the manager's default descriptor from
  // image.desc's width, height, colorType and bitsPerPixel, WRSetupWriting,
  // then each row converted from the default layout (planes 1, packed,
  // RGB order) to what the converter asked for, WRWriteHeader, bands,
  // WREndWriting, WRCleanUp. Returns the first error code.
  int Write(const std::string& path, const ConverterImage& image) const;

 private:
  Library library_;
  mutable char iniPath_[256] = "";
};

// Converts a row between the default write layout (planes 1, packed pixels,
// red-green-blue) and the layout of `desc`. Used by Write; exposed for tests
// that compare converter layouts.
std::vector<uint8_t> ToConverterLayout(const std::vector<uint8_t>& row, const ConvImageDesc& desc);
std::vector<uint8_t> FromConverterLayout(const std::vector<uint8_t>& row, const ConvImageDesc& desc);

}  // namespace imexp::test
