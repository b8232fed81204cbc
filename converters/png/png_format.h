// What the PNG converter's entry points share: the converter's own error
// codes, the decoder over the manager's file handle and the facts of a PNG
// header that decide how its pixels reach the manager.
#pragma once

#include <imexp/converter_support.h>
#include <spng.h>

#include <cstdint>
#include <memory>

namespace png {

using namespace imexp::conv;

// Our own error codes, worded in png_converter.cpp.
inline constexpr int kErrImageTooLarge = kFirstOwnError;
// Any other refusal of the PNG library, worded with the library's reason.
inline constexpr int kErrLibrary = kFirstOwnError + 1;

// PNG colour types.
inline constexpr uint8_t kPngGray = 0;
inline constexpr uint8_t kPngRgb = 2;
inline constexpr uint8_t kPngPalette = 3;
inline constexpr uint8_t kPngGrayAlpha = 4;
inline constexpr uint8_t kPngRgba = 6;

// The library's reason for the last refusal, kept for ConvGetErrorString.
const char* LastReason();

// Our code for a libspng result (never 0 for an error). Results without a
// code of the manager's become kErrLibrary, with the reason remembered.
int MapLibraryError(int error);

// A decoding context reading the file through ReadAt from a tracked
// offset, with limits that refuse oversized images and chunks before the
// library allocates for them.
class Decoder {
 public:
  Decoder() = default;
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;
  ~Decoder();

  // Our code for a file that cannot be decoded at all.
  [[nodiscard]] int Open(HFILE file);
  spng_ctx* ctx() const { return ctx_; }

 private:
  static int Read(spng_ctx* ctx, void* user, void* dest, std::size_t length);

  spng_ctx* ctx_ = nullptr;
  HFILE file_ = -1;
  uint64_t offset_ = 0;
};

// The header chunk and the chunks before the image data that we use.
struct PngHeader {
  spng_ihdr ihdr{};
  bool hasPhys = false;
  spng_phys phys{};

  uint32_t Channels() const;
  // Bits of one pixel in the file.
  uint32_t FileBits() const { return Channels() * ihdr.bit_depth; }
  // Bytes of one decoded row in the file's own layout.
  uint64_t FileRowBytes() const { return (uint64_t{ihdr.width} * FileBits() + 7) / 8; }
};

// Reads the header and pHYs, refusing images wider or higher than the
// manager takes and images whose data the file is too short to hold.
[[nodiscard]] int ReadPngHeader(Decoder& decoder, HFILE file, PngHeader* header);

// The resolution as the manager describes it: DPI from pixels per metre,
// a bare proportion when the file names no unit, else none.
void DescribeResolution(const PngHeader& header, uint16_t* unit, uint32_t* x, uint32_t* y);

}  // namespace png
