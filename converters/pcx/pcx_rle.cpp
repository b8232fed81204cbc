// Run-length coding of PCX scan lines.
#include "pcx_rle.h"

#include <cstring>

namespace pcx {

namespace {
constexpr uint8_t kRunFlag = 0xC0;
constexpr std::size_t kLongestRun = 63;
}  // namespace

int DecodeLine(imexp::conv::FileInput& input, bool compressed, uint8_t* line, std::size_t count) {
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
