// The walk over an image's rows that reading and writing share: which host
// rows a band holds, in which order, and how the manager cuts the image
// into bands when it drives the transfer.
#pragma once

#include <imexp/converter.h>
#include <imexp/host.h>

#include <algorithm>

#include "pipeline/descriptor_rules.h"

namespace imexp {

// Tells the host's progress object (if any) that row `done` of `height` has
// gone through, counting from 0 over the whole call; CONV_ERR_CANCELLED when
// the host answers that the user cancelled.
[[nodiscard]] inline int CountRow(CProgress* progress, uint32_t done, uint32_t height) {
  if (progress != nullptr && progress->Update(static_cast<int>(done), static_cast<int>(height)) == 0) {
    return CONV_ERR_CANCELLED;
  }
  return CONV_OK;
}

// Calls `row(hostRow, k)` for the `count` rows of a band from descriptor row
// `first` (0 = top), k counting from the band's start, in the descriptor's
// row order; stops at the first non-zero result and returns it.
template <typename Row>
[[nodiscard]] int ForEachBandRow(const ConvImageDesc& d, uint32_t first, uint32_t count, Row row) {
  const bool up = RowsGoUp(d);
  uint32_t hostRow = d.height - 1 - first;
  for (uint32_t k = 0; k < count; ++k) {
    if (int error = row(hostRow, k)) return error;
    hostRow = up ? hostRow + 1 : hostRow - 1;
  }
  return CONV_OK;
}

// The manager-driven transfer: the image cut into bands of bandRows rows
// (the last one shorter) in the row order, or of the converter's own fixed
// bandCount, each announced in bandRow and bandCount before `band(first,
// count)` moves it. A band of one row is always one row. A fixed band that
// leaves the image or the band buffer ends the walk with
// CONV_ERR_INVALID_FILE; the first non-zero result of `band` ends it too.
template <typename Band>
[[nodiscard]] int WalkManagerBands(ConvImageDesc& d, Band band) {
  uint32_t done = 0;
  while (done < d.height) {
    const uint32_t first = d.height - 1 - NextHostRow(d, done);
    uint32_t count;
    if (d.bandRows == 1 || d.fixedBand == 0) {
      count = std::min(d.bandRows, d.height - done);
      d.bandCount = count;
    } else {
      count = d.bandCount;  // as the converter stated it ahead of the band
      if (!BandFits(d, first, count)) return CONV_ERR_INVALID_FILE;
    }
    d.bandRow = first;
    if (int error = band(first, count)) return error;
    done += count;
  }
  return CONV_OK;
}

}  // namespace imexp
