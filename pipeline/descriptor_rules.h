// The rules a descriptor keeps: the checks after RDReadHeader and the band
// sizing of both directions.
#pragma once

#include <imexp/converter.h>

namespace imexp {

// Rows and bands never exceed this many bytes (0x7F00).
inline constexpr uint32_t kMaxBandBytes = 32512;
// Nor does an image have more pixels a row, or more rows.
inline constexpr uint32_t kMaxDimension = 32512;

// 0, or CONV_ERR_INVALID_FILE when a read descriptor breaks one of the
// seven conditions, checked in this order: a size of no pixels; a colour
// type past RGB; no bits, planes or row bytes; rows too short for their
// pixels; a size or row past the limits above; a plane count other than 1,
// 3 for 24 bits or 4 for 4 bits; 24 bits without RGB or RGB without 24.
[[nodiscard]] int CheckReadDescriptor(const ConvImageDesc& desc);
// Bytes of one row of the converter's layout, all planes.
constexpr uint64_t DescriptorRowBytes(const ConvImageDesc& desc) {
  return uint64_t{desc.planes} * desc.bytesPerLine;
}
// True when a manager-driven band runs from the bottom row up (the host's
// row index rising), false for the usual top-down order.
constexpr bool RowsGoUp(const ConvImageDesc& desc) { return desc.rowOrder == CONV_ACCESS_BOTTOM_UP; }
// rowOrder when accessMode is CONV_ACCESS_EITHER, else accessMode.
[[nodiscard]] uint16_t ChooseAccess(const ConvImageDesc& desc);
// Sets chosenAccess and bandRows for a read: 0, or CONV_ERR_FILE_TOO_BIG
// when a row or the band exceeds kMaxBandBytes, or CONV_ERR_INVALID_FILE for
// a band of no rows.
[[nodiscard]] int SizeReadBand(ConvImageDesc& desc);
// Sets chosenAccess and bandRows for a write: 0 or CONV_ERR_FILE_TOO_BIG.
[[nodiscard]] int SizeWriteBand(ConvImageDesc& desc);
// True when `count` rows from descriptor row `first`, travelling in the
// descriptor's row order, are at least one, fit the band buffer (bandRows)
// and lie inside the image. Converters name such bands; the manager checks
// them before it touches a byte.
[[nodiscard]] bool BandFits(const ConvImageDesc& desc, uint32_t first, uint32_t count);
// The host row (0 = bottom) of the first row of the next manager-driven band
// after `done` rows, in the descriptor's row order.
[[nodiscard]] uint32_t NextHostRow(const ConvImageDesc& desc, uint32_t done);

}  // namespace imexp
