// Run-length coding of PCX scan lines and the buffered file streams around it.
#include "pcx_rle.h"

#include <algorithm>
#include <cstring>

namespace pcx {

namespace {
constexpr uint8_t kRunFlag = 0xC0;
constexpr std::size_t kLongestRun = 63;
}  // namespace

bool ByteInput::Refill() {
  if (next_ >= end_) return false;
  if (ConvFileSeek(file_, next_, CONV_SEEK_SET) != next_) return false;
  std::size_t want = std::min<std::size_t>(buffer_.size(), static_cast<std::size_t>(end_ - next_));
  long got = ConvFileRead(file_, buffer_.data(), static_cast<unsigned long>(want));
  if (got <= 0) return false;
  pos_ = 0;
  len_ = static_cast<std::size_t>(got);
  next_ += got;
  return true;
}

void ByteOutput::Append(const uint8_t* bytes, std::size_t count) {
  pending_.insert(pending_.end(), bytes, bytes + count);
}

int ByteOutput::Flush() {
  if (pending_.empty()) return CONV_OK;
  if (ConvFileSeek(file_, offset_, CONV_SEEK_SET) != offset_) return CONV_ERR_DISK_FULL;
  if (ConvFileWrite(file_, pending_.data(), static_cast<unsigned long>(pending_.size())) != 0) {
    return CONV_ERR_DISK_FULL;
  }
  offset_ += static_cast<long>(pending_.size());
  pending_.clear();
  return CONV_OK;
}

int DecodeLine(ByteInput& input, bool compressed, uint8_t* line, std::size_t count) {
  std::size_t filled = 0;
  while (filled < count) {
    int byte = input.Get();
    if (byte < 0) return CONV_ERR_END_OF_FILE;
    if (!compressed || (byte & kRunFlag) != kRunFlag) {
      line[filled++] = static_cast<uint8_t>(byte);
      continue;
    }
    std::size_t run = static_cast<std::size_t>(byte & ~kRunFlag);
    int value = input.Get();
    if (value < 0) return CONV_ERR_END_OF_FILE;
    if (run > count - filled) return CONV_ERR_DECOMPRESSOR;
    std::memset(line + filled, value, run);
    filled += run;
  }
  return CONV_OK;
}

void EncodeRuns(const uint8_t* bytes, std::size_t count, std::vector<uint8_t>& out) {
  std::size_t i = 0;
  while (i < count) {
    uint8_t value = bytes[i];
    std::size_t run = 1;
    while (run < kLongestRun && i + run < count && bytes[i + run] == value) ++run;
    // A lone byte with both top bits set would read as a count.
    if (run > 1 || (value & kRunFlag) == kRunFlag) out.push_back(static_cast<uint8_t>(kRunFlag | run));
    out.push_back(value);
    i += run;
  }
}

}  // namespace pcx
