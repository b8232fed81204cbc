// Decoding of RLE8 and RLE4 pixel data, one stored row at a time.
#pragma once

#include <imexp/converter_support.h>

#include <cstdint>
#include <vector>

namespace imexp::bmp {

class RleDecoder {
 public:
  // The compressed data runs from `dataOffset` to `dataEnd` in `file`.
  RleDecoder(HFILE file, long dataOffset, long dataEnd, uint32_t width, uint32_t height, bool fourBit);

  // Decodes the next stored row (bottom row first in a bottom-up file) into
  // row(): one byte per pixel, pixels the data never reaches left 0. Runs
  // that go past the row's end are cut there; deltas that leave the image
  // (other than to the row after the last) give CONV_ERR_DECOMPRESSOR, data
  // that ends too early CONV_ERR_END_OF_FILE.
  [[nodiscard]] int DecodeRow();
  // width + 1 bytes, so that an odd row can be packed two pixels at a time.
  const uint8_t* row() const { return row_.data(); }

 private:
  [[nodiscard]] int NextByte(uint8_t& value);
  [[nodiscard]] int AbsoluteRun(uint32_t count);

  imexp::conv::FileInput input_;

  uint32_t width_;
  uint32_t height_;
  bool fourBit_;
  std::vector<uint8_t> row_;
  // Where the next pixel lands, y in stored order. A delta or an end of
  // bitmap moves y past rows that DecodeRow then delivers as zeros.
  uint32_t x_ = 0;
  uint32_t y_ = 0;
  uint32_t nextRow_ = 0;
};

}  // namespace imexp::bmp
