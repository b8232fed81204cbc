// The PCX page format as both libraries (single PCX files and DCX
// collections) see it: the 128-byte header, the four pixel layouts we read
// and write, and the converter's own error codes.
#pragma once

#include <imexp/converter.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <new>

namespace pcx {

// The manager asks us to word every code from 16 up while we are loaded,
// including its own 17 to 20, so our codes start above those.
inline constexpr int kErrImageTooLarge = 21;
inline constexpr int kErrBadPageTable = 22;

// The manager's limit for width, height and row bytes.
inline constexpr uint32_t kMaxDimension = 32512;
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

// Copies a string into a fixed-size record field, always terminated.
void CopyField(char* field, std::size_t size, const char* text);

// Little-endian fields of the header and of the DCX page table.
inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t Get32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
inline void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v) {
  Put16(p, static_cast<uint16_t>(v));
  Put16(p + 2, static_cast<uint16_t>(v >> 16));
}

// Runs an entry point's body; an allocation failure becomes
// CONV_ERR_NO_MEMORY instead of unwinding into the manager.
template <typename Body>
[[nodiscard]] int Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return CONV_ERR_NO_MEMORY;
  } catch (...) {
    return CONV_ERR_GENERAL;
  }
}

}  // namespace pcx
