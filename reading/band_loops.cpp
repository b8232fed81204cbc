// The four band loops of a read. Every row goes through the installed row
// converters to the host, followed by a progress update that may cancel.
//
// The converter names the rows of a converter-driven band, and of a fixed
// manager-driven band the count; such a band must lie inside the image and
// inside the band buffer, or the read ends with CONV_ERR_INVALID_FILE before
// a byte outside either is touched. A converter-driven read that ends before
// every row has arrived ends with CONV_ERR_END_OF_FILE, not with success.
#include <algorithm>
#include <bitset>

#include "reading/read_context.h"
#include "registry/descriptor_rules.h"

namespace imexp {

namespace {

class BandLoop {
 public:
  explicit BandLoop(ReadContext& context)
      : c_(context),
        d_(*context.desc),
        rowBytes_(d_.planes * d_.bytesPerLine),
        up_(d_.rowOrder == 2),
        direct_(context.stage1 == nullptr && context.stage2 == CopyRow) {}

  int Run() {
    if (d_.chosenAccess == 0) return d_.bandRows == 1 ? ConverterDrivenRows() : ConverterDrivenBands();
    return d_.bandRows == 1 ? ManagerDrivenRows() : ManagerDrivenBands();
  }

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
    uint32_t done = delivered_++;
    if (c_.progress != nullptr &&
        c_.progress->Update(static_cast<int>(done), static_cast<int>(d_.height)) == 0) {
      return CONV_ERR_CANCELLED;
    }
    return CONV_OK;
  }

  // Hands over `count` rows from the start of the band buffer.
  int HandOverBand(uint32_t first, uint32_t count) {
    const uint8_t* source = c_.buffers.band.as<uint8_t>();
    uint32_t hostRow = d_.height - 1 - first;
    for (uint32_t k = 0; k < count; ++k) {
      if (!arrived_[hostRow]) {
        arrived_[hostRow] = true;
        ++distinctRows_;
      }
      if (int error = HandOver(source, hostRow)) return error;
      source += rowBytes_;
      hostRow = up_ ? hostRow + 1 : hostRow - 1;
    }
    return CONV_OK;
  }

  int ReadBand() { return c_.readBand(&d_, c_.buffers.band.as<uint8_t>()); }

  // A converter that says it has no more bands before every row of the
  // image arrived has left the host with rows it never filled.
  int ConverterDrivenEnd() const { return distinctRows_ == d_.height ? CONV_OK : CONV_ERR_END_OF_FILE; }

  int ConverterDrivenRows() {
    for (;;) {
      int result = ReadBand();
      if (result == 1) return ConverterDrivenEnd();
      if (result != 0) return result;
      if (!BandFits(d_, d_.bandRow, 1)) return CONV_ERR_INVALID_FILE;
      if (int error = HandOverBand(d_.bandRow, 1)) return error;
    }
  }

  int ConverterDrivenBands() {
    for (;;) {
      int result = ReadBand();
      if (result == 1) return ConverterDrivenEnd();
      if (result != 0) return result;
      if (!BandFits(d_, d_.bandRow, d_.bandCount)) return CONV_ERR_INVALID_FILE;
      if (int error = HandOverBand(d_.bandRow, d_.bandCount)) return error;
    }
  }

  int ManagerDrivenRows() {
    for (uint32_t done = 0; done < d_.height; ++done) {
      uint32_t first = d_.height - 1 - NextHostRow(d_, done);
      d_.bandRow = first;
      d_.bandCount = 1;
      if (int result = ReadBand()) return result;
      if (int error = HandOverBand(first, 1)) return error;
    }
    return CONV_OK;
  }

  int ManagerDrivenBands() {
    uint32_t done = 0;
    while (done < d_.height) {
      uint32_t first = d_.height - 1 - NextHostRow(d_, done);
      d_.bandRow = first;
      uint32_t count;
      if (d_.fixedBand == 0) {
        count = std::min(d_.bandRows, d_.height - done);
        d_.bandCount = count;
      } else {
        // The converter stated this band's size ahead of the call.
        count = d_.bandCount;
        if (!BandFits(d_, first, count)) return CONV_ERR_INVALID_FILE;
      }
      if (int result = ReadBand()) return result;
      if (int error = HandOverBand(first, count)) return error;
      done += count;
    }
    return CONV_OK;
  }

  ReadContext& c_;
  ConvImageDesc& d_;
  const uint32_t rowBytes_;
  const bool up_;
  // A plain copy would only move the row from the band into the host row
  // buffer; the host gets the band's row itself (the band carries the host
  // buffer's 32 bytes of slack behind its last row).
  const bool direct_;
  uint32_t delivered_ = 0;
  // Which host rows have arrived, for the converter-driven loops.
  std::bitset<kMaxDimension> arrived_;
  uint32_t distinctRows_ = 0;
};

}  // namespace

int RunBandLoop(ReadContext& context) { return BandLoop(context).Run(); }

}  // namespace imexp
