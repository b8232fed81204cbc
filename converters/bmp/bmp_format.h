// What the reader, the writer and the entry points of the BMP converter share:
// our error codes and the parsed file header.
#pragma once

#include <imexp/converter_support.h>

#include <cstdint>

namespace imexp::bmp {

using namespace imexp::conv;

// Our own error codes, worded in bmp_converter.cpp.
constexpr int kErrBadHeader = kFirstOwnError;
constexpr int kErrBadDimensions = kFirstOwnError + 1;
constexpr int kErrUnsupportedDepth = kFirstOwnError + 2;
constexpr int kErrUnsupportedCompression = kFirstOwnError + 3;
constexpr int kErrPaletteTooLarge = kFirstOwnError + 4;
constexpr int kErrBadBitFields = kFirstOwnError + 5;
constexpr int kErrBadDataOffset = kFirstOwnError + 6;

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kWindowsInfoHeaderSize = 40;
constexpr uint32_t kLargestInfoHeader = 124;
// Info headers from this size on hold an alpha mask (at offset 52).
constexpr uint32_t kAlphaMaskHeaderSize = 56;

enum class Variant { kOs2V1, kOs2V2, kWindowsV3, kWindowsV4, kWindowsV5 };
enum class Compression { kNone, kRle8, kRle4, kBitFields };

// A BMP header after every field has been checked against the others and
// against the file's size; pixel data may still turn out to be short.
struct BmpHeader {
  long fileSize = 0;
  Variant variant = Variant::kWindowsV3;
  uint32_t width = 0;
  uint32_t height = 0;
  bool topDown = false;
  uint16_t bits = 0;
  Compression compression = Compression::kNone;
  int32_t ppmX = 0;  // pixels per metre; 0 when unknown
  int32_t ppmY = 0;
  uint32_t paletteOffset = 0;
  uint32_t paletteCount = 0;  // entries present in the file, never above 2^bits
  uint32_t paletteEntrySize = 4;
  uint32_t masks[4] = {};  // red, green, blue and alpha (0: none) for 16 and 32 bits
  uint32_t dataOffset = 0;
  uint64_t stride = 0;    // stored row, padded to 4 bytes
  uint64_t rowBytes = 0;  // bytes of a stored row that hold pixels
};

// Reads and checks the headers at the start of `file` (position not trusted).
[[nodiscard]] int ParseBmpHeader(HFILE file, BmpHeader& header);
// The cheap test of RDCheckFile: signature and a header size we know.
[[nodiscard]] bool LooksLikeBmp(HFILE file);

const char* VariantName(Variant variant);
const char* CompressionName(Compression compression);

}  // namespace imexp::bmp
