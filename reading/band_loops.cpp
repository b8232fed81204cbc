// The band loops of a read, converter-driven or manager-driven, by rows or
// by bands. Every row goes through the installed row converters to the
// host, followed by a progress update that may cancel.
//
// The converter names the rows of a converter-driven band, and of a fixed
// manager-driven band the count; such a band must lie inside the image and
// inside the band buffer, or the read ends with CONV_ERR_INVALID_FILE before
// a byte outside either is touched. A converter-driven read that ends before
// every row has arrived ends with CONV_ERR_END_OF_FILE, not with success.
#include <bitset>

#include "pipeline/band_walk.h"
#include "pipeline/row_sizes.h"
#include "reading/read_context.h"

namespace imexp {

namespace {

class BandLoop {
 public:
  explicit BandLoop(ReadContext& context)
      : c_(context),
        d_(*context.desc),
        rowBytes_(static_cast<uint32_t>(DescriptorRowBytes(d_))),
        direct_(context.stage1 == nullptr && context.stage2 == CopyRow) {}

  int Run() { return d_.chosenAccess == CONV_ACCESS_CONVERTER ? ConverterDriven() : ManagerDriven(); }

 private:
  // Converts the row at `source` and hands it over as `hostRow`.
  int HandOver(const uint8_t* source, uint32_t hostRow) {
    if (direct_) {
      c_.image->PutRow(0, 0, static_cast<int>(hostRow), const_cast<uint8_t*>(source));
    } else {
      ReadRowState& rows = c_.rows;
      rows.source = source;
      if (c_.stage1 != nullptr) {
        c_.stage1(rows);
      } else {
        rows.stage2Input = source;
      }
      c_.stage2(rows);
      c_.image->PutRow(0, 0, static_cast<int>(hostRow), rows.host);
    }
    return CountRow(c_.progress, delivered_++, d_.height);
  }

  // Hands over `count` rows from the start of the band buffer.
  int HandOverBand(uint32_t first, uint32_t count) {
    const uint8_t* band = c_.buffers.band.as<uint8_t>();
    return ForEachBandRow(d_, first, count, [&](uint32_t hostRow, uint32_t k) {
      if (!arrived_[hostRow]) {
        arrived_[hostRow] = true;
        ++distinctRows_;
      }
      return HandOver(band + std::size_t{k} * rowBytes_, hostRow);
    });
  }

  int ReadBand() { return c_.readBand(&d_, c_.buffers.band.as<uint8_t>()); }

  // A converter that says it has no more bands before every row of the
  // image arrived has left the host with rows it never filled.
  int ConverterDrivenEnd() const { return distinctRows_ == d_.height ? CONV_OK : CONV_ERR_END_OF_FILE; }

  // The converter names each band it has read; row by row, a band is one
  // row whatever bandCount says.
  int ConverterDriven() {
    for (;;) {
      int result = ReadBand();
      if (result == 1) return ConverterDrivenEnd();
      if (result != 0) return result;
      const uint32_t count = d_.bandRows == 1 ? 1 : d_.bandCount;
      if (!BandFits(d_, d_.bandRow, count)) return CONV_ERR_INVALID_FILE;
      if (int error = HandOverBand(d_.bandRow, count)) return error;
    }
  }

  // The manager names each band; a failed or final band read before the
  // last band ends the read with the converter's result.
  int ManagerDriven() {
    return WalkManagerBands(d_, [this](uint32_t first, uint32_t count) {
      if (int result = ReadBand()) return result;
      return HandOverBand(first, count);
    });
  }

  ReadContext& c_;
  ConvImageDesc& d_;
  const uint32_t rowBytes_;
  // A plain copy would only move the row from the band into the host row
  // buffer; the host gets the band's row itself (the band carries the host
  // buffer's slack, kHostRowSlack, behind its last row).
  const bool direct_;
  uint32_t delivered_ = 0;
  // Which host rows have arrived, for the converter-driven loops.
  std::bitset<kMaxDimension> arrived_;
  uint32_t distinctRows_ = 0;
};

}  // namespace

int RunBandLoop(ReadContext& context) { return BandLoop(context).Run(); }

}  // namespace imexp
