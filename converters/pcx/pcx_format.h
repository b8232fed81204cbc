// The PCX page format as both libraries (single PCX files and DCX
// collections) see it: the 128-byte header, the four pixel layouts we read
// and write, and the converter's own error codes.
#pragma once

#include <imexp/converter_support.h>

#include <array>
#include <cstddef>
#include <cstdint>

namespace pcx {

using namespace imexp::conv;

// Our own error codes, worded in pcx_converter.cpp.
inline constexpr int kErrImageTooLarge = kFirstOwnError;
inline constexpr int kErrBadPageTable = kFirstOwnError + 1;

inline constexpr std::size_t kHeaderBytes = 128;
inline constexpr uint8_t kManufacturer = 0x0A;
// The 256-colour palette trails the page: a marker byte and 256 RGB triples.
inline constexpr uint8_t kPaletteMarker = 0x0C;
inline constexpr std::size_t kTrailingPaletteBytes = 1 + 768;

struct PcxHeader {
  uint8_t manufacturer = kManufacturer;
  uint8_t version = 5;
  uint8_t encoding = 1;
  uint8_t bitsPerPlane = 0;
  uint16_t xMin = 0, yMin = 0, xMax = 0, yMax = 0;
  uint16_t hDpi = 0, vDpi = 0;
  std::array<uint8_t, 48> colorMap{};  // 16 RGB triples
  uint8_t planes = 0;
  uint16_t bytesPerLine = 0;
  uint16_t paletteInfo = 0;  // 1 colour, 2 grey
};

void DecodeHeader(const uint8_t* bytes, PcxHeader* header);
void EncodeHeader(const PcxHeader& header, uint8_t* bytes);

// The pixel layouts this converter reads and writes.
enum class PcxLayout {
  kBilevel,     // 1 bit, 1 plane
  kSixteen,     // 1 bit, 4 planes: plane p is bit p of the colour index
  kIndexed256,  // 8 bits, 1 plane, palette after the pixels
  kTrueColour,  // 8 bits, 3 planes: red, green, blue
};

// A header checked against what we can read, in the manager's terms.
struct PcxImage {
  PcxLayout layout = PcxLayout::kBilevel;
  uint32_t width = 0;
  uint32_t height = 0;
  uint16_t bitsPerPixel = 0;  // over all planes
  uint16_t planes = 0;
  uint32_t bytesPerLine = 0;  // per plane, as in the file
};

// Checks a header for sound geometry and a supported layout.
[[nodiscard]] int ValidateHeader(const PcxHeader& header, PcxImage* image);

// Bits per pixel of one plane, and planes, of a layout.
uint8_t LayoutBitsPerPlane(PcxLayout layout);
uint8_t LayoutPlanes(PcxLayout layout);

// "PCX v3.0" and its kin.
const char* VersionName(uint8_t version);

// The 16 colours a reader assumes when a file carries no palette of its
// own, as red, green, blue triples.
extern const std::array<uint8_t, 48> kDefaultColorMap;

}  // namespace pcx
