// Writing entry points: uncompressed 1, 4, 8-bit paletted and 24-bit files
// with a 40-byte info header. The manager hands rows over bottom first, the
// order BMP stores them, so the pixel data is written front to back.
#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <vector>

#include "bmp_format.h"

namespace imexp::bmp {

namespace {

constexpr uint32_t kWriteBandRows = 32;
constexpr uint32_t kPaletteEntrySize = 4;

struct WriteState {
  uint32_t width = 0;
  uint32_t height = 0;
  uint16_t bits = 0;
  uint32_t rowBytes = 0;  // what the manager puts into each band row
  uint32_t stride = 0;    // the stored row with its padding
  uint8_t lastByteMask = 0xFF;
  uint32_t paletteEntries = 0;
  uint32_t dataOffset = 0;
  int32_t ppmX = 0;
  int32_t ppmY = 0;
  uint32_t rowsWritten = 0;
  std::vector<uint8_t> stored;
};

std::unique_ptr<WriteState> gWrite;

int32_t PixelsPerMetre(uint16_t unit, uint32_t value) {
  uint64_t ppm = 0;
  if (unit == CONV_UNIT_DPCM) ppm = uint64_t{value} * 100;
  if (unit == CONV_UNIT_DPI) ppm = (uint64_t{value} * 10000 + 127) / 254;
  return static_cast<int32_t>(std::min<uint64_t>(ppm, INT32_MAX));
}

[[nodiscard]] int SetupWriting(ConvImageDesc& desc) {
  gWrite.reset();
  bool paletted = desc.colorType <= CONV_COLOR_PALETTE &&
                  (desc.bitsPerPixel == 1 || desc.bitsPerPixel == 4 || desc.bitsPerPixel == 8);
  bool rgb = desc.colorType == CONV_COLOR_RGB && desc.bitsPerPixel == 24;
  if (!paletted && !rgb) return CONV_ERR_ILLEGAL_CONVERSION;
  if (desc.width == 0 || desc.height == 0) return CONV_ERR_GENERAL;

  auto state = std::make_unique<WriteState>();
  WriteState& s = *state;
  s.width = desc.width;
  s.height = desc.height;
  s.bits = desc.bitsPerPixel;
  uint64_t rowBits = uint64_t{s.width} * s.bits;
  uint64_t stride = (rowBits + 31) / 32 * 4;
  s.paletteEntries = paletted ? 1u << s.bits : 0;
  s.dataOffset = kFileHeaderSize + kWindowsInfoHeaderSize + s.paletteEntries * kPaletteEntrySize;
  // The file size field is 32 bits, and the file helpers seek with a long.
  uint64_t fileSize = s.dataOffset + stride * s.height;
  if (s.width > INT32_MAX || s.height > INT32_MAX || fileSize > 0xFFFFFFFFu ||
      fileSize > static_cast<uint64_t>(LONG_MAX)) {
    return CONV_ERR_FILE_TOO_BIG;
  }
  s.stride = static_cast<uint32_t>(stride);
  s.rowBytes = static_cast<uint32_t>((rowBits + 7) / 8);
  // Readers ignore the bits after the last pixel, but a file should not
  // depend on what the manager left there.
  uint32_t usedBits = static_cast<uint32_t>(rowBits % 8);
  s.lastByteMask = static_cast<uint8_t>(usedBits == 0 ? 0xFF : 0xFF00 >> usedBits);
  s.ppmX = PixelsPerMetre(desc.resUnit, desc.resX);
  s.ppmY = PixelsPerMetre(desc.resUnit, desc.resY);

  desc.planes = 1;
  desc.bytesPerLine = s.rowBytes;
  desc.packedPixels = 1;
  desc.bgrOrder = rgb ? 1 : 0;
  DescribeBands(desc, CONV_ACCESS_BOTTOM_UP, CONV_ACCESS_BOTTOM_UP, kWriteBandRows);
  gWrite = std::move(state);
  return CONV_OK;
}

[[nodiscard]] int WriteHeader(const ConvImageDesc& desc) {
  const WriteState& s = *gWrite;
  std::vector<uint8_t> header(s.dataOffset, 0);
  uint8_t* p = header.data();
  p[0] = 'B';
  p[1] = 'M';
  PutLe32(p + 2, s.dataOffset + s.stride * s.height);
  PutLe32(p + 10, s.dataOffset);
  uint8_t* info = p + kFileHeaderSize;
  PutLe32(info, kWindowsInfoHeaderSize);
  PutLe32(info + 4, s.width);
  PutLe32(info + 8, s.height);  // positive: bottom-up
  PutLe16(info + 12, 1);
  PutLe16(info + 14, s.bits);
  PutLe32(info + 20, s.stride * s.height);
  PutLe32(info + 24, static_cast<uint32_t>(s.ppmX));
  PutLe32(info + 28, static_cast<uint32_t>(s.ppmY));
  PutLe32(info + 32, s.paletteEntries);
  uint8_t* entry = info + kWindowsInfoHeaderSize;
  for (uint32_t i = 0; i < s.paletteEntries; ++i, entry += kPaletteEntrySize) {
    entry[0] = desc.palette[512 + i];
    entry[1] = desc.palette[256 + i];
    entry[2] = desc.palette[i];
  }
  return WriteAt(desc.hFile, 0, header.data(), header.size());
}

[[nodiscard]] int WriteBand(const ConvImageDesc& desc, const unsigned char* band) {
  WriteState& s = *gWrite;
  uint32_t count = desc.bandCount;
  // Rows must come bottom first and without gaps: the file is written in order.
  if (desc.bandRow != s.height - 1 - s.rowsWritten || !BandInsideImage(desc, s.height, true)) {
    return CONV_ERR_GENERAL;
  }
  s.stored.assign(std::size_t{count} * s.stride, 0);
  for (uint32_t k = 0; k < count; ++k) {
    uint8_t* out = s.stored.data() + std::size_t{k} * s.stride;
    std::memcpy(out, band + std::size_t{k} * s.rowBytes, s.rowBytes);
    out[s.rowBytes - 1] &= s.lastByteMask;
  }
  uint64_t offset = s.dataOffset + uint64_t{s.rowsWritten} * s.stride;
  if (int error = WriteAt(desc.hFile, offset, s.stored.data(), s.stored.size())) return error;
  s.rowsWritten += count;
  return CONV_OK;
}

}  // namespace

}  // namespace imexp::bmp

using namespace imexp::bmp;

CONV_ENTRY(int) WRSetupWriting(ConvImageDesc* desc, char** /*hostParam*/, int /*hostValue*/) {
  if (desc == nullptr || desc->palette == nullptr) return CONV_ERR_GENERAL;
  return Guarded([&] { return SetupWriting(*desc); });
}

CONV_ENTRY(int) WRWriteHeader(ConvImageDesc* desc) {
  if (desc == nullptr || desc->palette == nullptr || !gWrite) return CONV_ERR_GENERAL;
  return Guarded([&] { return WriteHeader(*desc); });
}

CONV_ENTRY(int) WRWriteBand(ConvImageDesc* desc, unsigned char* band) {
  if (desc == nullptr || band == nullptr || !gWrite) return CONV_ERR_GENERAL;
  return Guarded([&] { return WriteBand(*desc, band); });
}

CONV_ENTRY(int) WREndWriting(ConvImageDesc* desc) {
  if (desc == nullptr || !gWrite) return CONV_ERR_GENERAL;
  return gWrite->rowsWritten == gWrite->height ? CONV_OK : CONV_ERR_GENERAL;
}

CONV_ENTRY(void) WRCleanUp(ConvImageDesc* /*desc*/) { gWrite.reset(); }
