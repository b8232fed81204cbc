#include "pipeline/descriptor_rules.h"

#include <algorithm>

namespace imexp {

namespace {

// A read's band holds as many rows as fit this many bytes, one at least.
constexpr uint64_t kReadBandBytes = 8192;

}  // namespace

int CheckReadDescriptor(const ConvImageDesc& d) {
  if (d.width == 0 || d.height == 0) return CONV_ERR_INVALID_FILE;
  if (d.colorType > CONV_COLOR_RGB) return CONV_ERR_INVALID_FILE;
  if (d.bitsPerPixel == 0 || d.planes == 0 || d.bytesPerLine == 0) return CONV_ERR_INVALID_FILE;
  // Unsigned 32-bit, as the descriptor's fields are; the limits below keep
  // every accepted descriptor far from wrapping.
  if (uint32_t{d.planes} * d.bytesPerLine * 8u < uint32_t{d.bitsPerPixel} * d.width) {
    return CONV_ERR_INVALID_FILE;
  }
  if (d.width > kMaxDimension || d.height > kMaxDimension || d.bytesPerLine > kMaxBandBytes) {
    return CONV_ERR_INVALID_FILE;
  }
  bool planesFit =
      d.planes == 1 || (d.planes == 3 && d.bitsPerPixel == 24) || (d.planes == 4 && d.bitsPerPixel == 4);
  if (!planesFit) return CONV_ERR_INVALID_FILE;
  if ((d.bitsPerPixel == 24) != (d.colorType == CONV_COLOR_RGB)) return CONV_ERR_INVALID_FILE;
  return CONV_OK;
}

uint16_t ChooseAccess(const ConvImageDesc& desc) {
  return desc.accessMode == CONV_ACCESS_EITHER ? desc.rowOrder : desc.accessMode;
}

int SizeReadBand(ConvImageDesc& desc) {
  desc.chosenAccess = ChooseAccess(desc);
  const uint64_t rowBytes = DescriptorRowBytes(desc);
  if (rowBytes == 0) return CONV_ERR_INVALID_FILE;
  if (desc.fixedBand != 0) {
    desc.bandRows = desc.maxBandRows;
  } else {
    uint64_t fitting = std::max<uint64_t>(1, kReadBandBytes / rowBytes);
    desc.bandRows = static_cast<uint32_t>(std::min<uint64_t>(desc.maxBandRows, fitting));
  }
  if (rowBytes > kMaxBandBytes || uint64_t{desc.bandRows} * rowBytes > kMaxBandBytes) {
    return CONV_ERR_FILE_TOO_BIG;
  }
  // A converter promises at least one row a band; a band of none would read
  // nothing forever.
  if (desc.bandRows == 0) return CONV_ERR_INVALID_FILE;
  return CONV_OK;
}

int SizeWriteBand(ConvImageDesc& desc) {
  desc.chosenAccess = ChooseAccess(desc);
  const uint64_t rowBytes = DescriptorRowBytes(desc);
  // A row of no bytes cannot be divided into the band limit.
  if (rowBytes == 0) return CONV_ERR_FILE_TOO_BIG;
  if (desc.fixedBand != 0) {
    desc.bandRows = desc.maxBandRows;
  } else {
    desc.bandRows = static_cast<uint32_t>(std::min<uint64_t>(kMaxBandBytes / rowBytes, desc.maxBandRows));
  }
  if (desc.bandRows == 0 || uint64_t{desc.bandRows} * rowBytes > kMaxBandBytes) {
    return CONV_ERR_FILE_TOO_BIG;
  }
  return CONV_OK;
}

bool BandFits(const ConvImageDesc& desc, uint32_t first, uint32_t count) {
  if (count == 0 || count > desc.bandRows || first >= desc.height) return false;
  return RowsGoUp(desc) ? count - 1 <= first : uint64_t{first} + count <= desc.height;
}

uint32_t NextHostRow(const ConvImageDesc& desc, uint32_t done) {
  return RowsGoUp(desc) ? done : desc.height - 1 - done;
}

}  // namespace imexp
