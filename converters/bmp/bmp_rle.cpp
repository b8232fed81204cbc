#include "bmp_rle.h"

#include <algorithm>
#include <cstring>

#include "bmp_format.h"

namespace imexp::bmp {

namespace {

// Second byte after a zero count.
constexpr uint8_t kEndOfLine = 0;
constexpr uint8_t kEndOfBitmap = 1;
constexpr uint8_t kDelta = 2;

}  // namespace

RleDecoder::RleDecoder(HFILE file, long dataOffset, long dataEnd, uint32_t width, uint32_t height,
                       bool fourBit)
    : width_(width), height_(height), fourBit_(fourBit), row_(std::size_t{width} + 1, 0) {
  input_.Start(file, dataOffset, dataEnd);
}

int RleDecoder::NextByte(uint8_t& value) {
  int byte = input_.Get();
  if (byte < 0) return CONV_ERR_END_OF_FILE;
  value = static_cast<uint8_t>(byte);
  return CONV_OK;
}

int RleDecoder::AbsoluteRun(uint32_t count) {
  uint32_t bytes = fourBit_ ? (count + 1) / 2 : count;
  // Pixels past the row's end are read and dropped.
  uint32_t kept = std::min(count, width_ - x_);
  uint8_t* out = row_.data() + x_;
  for (uint32_t i = 0; i < bytes; ++i) {
    uint8_t value;
    if (int error = NextByte(value)) return error;
    uint8_t pixels[2] = {fourBit_ ? static_cast<uint8_t>(value >> 4) : value,
                         static_cast<uint8_t>(value & 15)};
    for (uint32_t k = 0; k < (fourBit_ ? 2u : 1u); ++k) {
      uint32_t at = fourBit_ ? 2 * i + k : i;
      if (at < kept) out[at] = pixels[k];
    }
  }
  x_ += kept;
  // Absolute runs keep the data aligned to 16 bits; a pad byte missing at
  // the very end of the data harms nobody.
  uint8_t pad;
  if (bytes % 2 != 0) static_cast<void>(NextByte(pad));
  return CONV_OK;
}

int RleDecoder::DecodeRow() {
  std::fill(row_.begin(), row_.end(), 0);
  uint32_t row = nextRow_++;
  if (row >= height_) return CONV_ERR_DECOMPRESSOR;
  if (y_ > row) return CONV_OK;

  for (;;) {
    uint8_t count;
    if (int error = NextByte(count)) {
      // Data that stops right after the last pixel of the image lacks only
      // its end-of-bitmap code.
      return row + 1 == height_ && x_ == width_ ? CONV_OK : error;
    }
    uint8_t value;
    if (int error = NextByte(value)) return error;
    if (count > 0) {
      // Encoders that pad every row to a multiple of four pixels run past
      // its end; the run stops at the row's last pixel.
      count = static_cast<uint8_t>(std::min<uint32_t>(count, width_ - x_));
      uint8_t* out = row_.data() + x_;
      if (fourBit_) {
        uint8_t pair[2] = {static_cast<uint8_t>(value >> 4), static_cast<uint8_t>(value & 15)};
        for (uint32_t i = 0; i < count; ++i) out[i] = pair[i & 1];
      } else {
        std::memset(out, value, count);
      }
      x_ += count;
      continue;
    }
    switch (value) {
      case kEndOfLine:
        ++y_;
        x_ = 0;
        return CONV_OK;
      case kEndOfBitmap:
        y_ = height_;
        return CONV_OK;
      case kDelta: {
        uint8_t dx, dy;
        if (int error = NextByte(dx)) return error;
        if (int error = NextByte(dy)) return error;
        // A delta may move to the row after the last: nothing more of the
        // image follows, and the rows it skips stay 0.
        if (dx > width_ - x_ || dy > height_ - y_) return CONV_ERR_DECOMPRESSOR;
        x_ += dx;
        y_ += dy;
        if (dy > 0) return CONV_OK;
        break;
      }
      default:
        if (int error = AbsoluteRun(value)) return error;
        break;
    }
  }
}

}  // namespace imexp::bmp
