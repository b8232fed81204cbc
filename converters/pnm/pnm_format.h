// What the PNM converter's entry points share: the header as parsed, the
// text tokeniser and the converter's own error codes.
#pragma once

#include <imexp/converter_support.h>

#include <cstdint>

namespace pnm {

using namespace imexp::conv;

// Our own error codes, worded in pnm_converter.cpp.
inline constexpr int kErrImageTooLarge = kFirstOwnError;
inline constexpr int kErrBadMaxval = kFirstOwnError + 1;
inline constexpr int kErrBadSample = kFirstOwnError + 2;

struct PnmHeader {
  int kind = 0;  // the digit after 'P': 1 to 3 text, 4 to 6 binary
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t maxval = 1;
  long dataOffset = 0;  // first raster byte

  bool Binary() const { return kind >= 4; }
  bool Bilevel() const { return kind == 1 || kind == 4; }
  uint32_t Channels() const { return kind == 3 || kind == 6 ? 3 : 1; }
  uint32_t BytesPerSample() const { return maxval > 255 ? 2 : 1; }
  // Bytes of one row in a binary file.
  uint64_t FileRowBytes() const {
    return Bilevel() ? (uint64_t{width} + 7) / 8 : uint64_t{width} * Channels() * BytesPerSample();
  }
  // Bits per pixel as stored in the file, for the information dialog.
  uint16_t FileBitsPerPixel() const {
    return Bilevel() ? 1 : static_cast<uint16_t>(8 * BytesPerSample() * Channels());
  }
};

// Parses the header at the start of the file. On success the input stands
// at the first raster byte (header->dataOffset); text rasters are read on
// through the same input.
[[nodiscard]] int ParseHeader(HFILE file, FileInput& input, PnmHeader* header);

// One text sample: a decimal number, or for P1 a single '0' or '1' (plain
// PBM needs no separators between pixels). Values beyond 65535 saturate.
[[nodiscard]] int ReadTextSample(FileInput& input, bool bilevel, uint32_t* value);

// "PPM binary (P6)" and its kin.
const char* FormatName(int kind);

}  // namespace pnm
