// The loops of a write, converter-driven or manager-driven. Every host row
// is fetched with GetRow, converted into its place in the band and counted
// for progress.
//
// The writer names the rows of a converter-driven band, and of a fixed band
// the count; such a band must lie inside the image and the band buffer, or
// the write ends with CONV_ERR_INVALID_FILE before either is overrun.
#include "pipeline/band_walk.h"
#include "pipeline/descriptor_rules.h"
#include "pipeline/grey_ramps.h"
#include "pipeline/row_sizes.h"
#include "writing/write_context.h"

namespace imexp {

namespace {

// How much of the image is handed to the writer between two requests that
// the system start writing the temporary file out. Without them a large
// image stays in the page cache until the flush before the commit, which
// then waits for all of it; with them the storage writes while the rows are
// converted. Of 2, 8 and 32 MB, 2 MB left a 144 MB save to disk the least
// to wait for.
constexpr uint64_t kWriteBackBytes = uint64_t{2} << 20;

}  // namespace

void PrepareGreyIndexMap(WriteContext& c) {
  // The palette's grey of each index, as the nearest level of the ramp the
  // writer was given (256 or 16 levels).
  int top = (1 << c.outputBits) - 1;
  for (int i = 0; i < 256; ++i) c.indexMap[i] = RoundedLevel(c.greyLookup[i], top, 255);
}

namespace {

class RowTransfer {
 public:
  explicit RowTransfer(WriteContext& context)
      : c_(context),
        d_(context.desc),
        rowBytes_(static_cast<uint32_t>(DescriptorRowBytes(d_))),
        direct_(context.rowStep.convert == WriteCopy && d_.planes < 2 &&
                context.rowStep.bytesPerPlane ==
                    PackedRowBytes(d_.width, static_cast<uint32_t>(context.sourceBits))) {}

  int Run() { return d_.accessMode == CONV_ACCESS_CONVERTER ? ConverterDriven() : ManagerDriven(); }

 private:
  // Grey indices that are kept at their depth under a ramp palette become
  // their grey levels, in the host row before the step.
  void MapGreyIndices(uint8_t* row) const {
    const uint64_t bytes = PackedRowBytes(d_.width, static_cast<uint32_t>(c_.sourceBits));
    if (c_.sourceBits == 8) {
      for (uint64_t i = 0; i < bytes; ++i) row[i] = c_.indexMap[row[i]];
    } else {
      for (uint64_t i = 0; i < bytes; ++i) {
        row[i] = static_cast<uint8_t>(c_.indexMap[row[i] >> 4] << 4 | c_.indexMap[row[i] & 15]);
      }
    }
  }

  // Host row `hostRow` into row `k` of the band.
  int Transfer(uint32_t hostRow, uint32_t k) {
    uint8_t* slot = c_.band.as<uint8_t>() + std::size_t{k} * rowBytes_;
    if (direct_) {
      c_.image->GetRow(0, 0, static_cast<int>(hostRow), slot);
      if (c_.mapGreyIndices) MapGreyIndices(slot);
    } else {
      uint8_t* row = c_.row.as<uint8_t>();
      c_.image->GetRow(0, 0, static_cast<int>(hostRow), row);
      if (c_.mapGreyIndices) MapGreyIndices(row);
      c_.rows.destination = slot;
      c_.rowStep.convert(c_.rows);
    }
    return CountRow(c_.progress, transferred_++, d_.height);
  }

  // `count` rows from descriptor row `first`, in the row order.
  int TransferBand(uint32_t first, uint32_t count) {
    return ForEachBandRow(d_, first, count,
                          [this](uint32_t hostRow, uint32_t k) { return Transfer(hostRow, k); });
  }

  // The band's rows to the writer; every kWriteBackBytes of them, the
  // temporary file is set writing out.
  int WriteBand(uint32_t count) {
    int result = CallWriter(c_, [this] { return c_.writeBand(&d_, c_.band.as<uint8_t>()); });
    bytesSinceWriteBack_ += uint64_t{count} * rowBytes_;
    if (bytesSinceWriteBack_ >= kWriteBackBytes) {
      c_.temporary.StartWriteBack();
      bytesSinceWriteBack_ = 0;
    }
    return result;
  }

  int ConverterDriven() {
    for (;;) {
      uint32_t first = d_.bandRow;
      uint32_t count = d_.bandCount;
      if (!BandFits(d_, first, count)) return CONV_ERR_INVALID_FILE;
      if (int error = TransferBand(first, count)) return error;
      int result = WriteBand(count);
      if (result == 1) return CONV_OK;  // that was the last band
      if (result != 0) return result;
    }
  }

  // The manager names each band; any result but 0 from the writer, 1
  // included, ends the write: no band is the last before the image is.
  int ManagerDriven() {
    return WalkManagerBands(d_, [this](uint32_t first, uint32_t count) {
      if (int error = TransferBand(first, count)) return error;
      return WriteBand(count);
    });
  }

  WriteContext& c_;
  ConvImageDesc& d_;
  const uint32_t rowBytes_;
  // The step would only copy the whole host row: the host fills the band's
  // row itself.
  const bool direct_;
  uint32_t transferred_ = 0;
  uint64_t bytesSinceWriteBack_ = 0;
};

}  // namespace

int TransferRows(WriteContext& context) { return RowTransfer(context).Run(); }

}  // namespace imexp
