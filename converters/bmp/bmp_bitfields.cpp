#include "bmp_bitfields.h"

#include <bit>

#include "bmp_format.h"

namespace imexp::bmp {

int CheckMasks(const uint32_t masks[3], uint16_t bits) {
  uint32_t pixelBits = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
  uint32_t seen = 0;
  for (int c = 0; c < 3; ++c) {
    uint32_t mask = masks[c];
    uint32_t lowest = mask & (~mask + 1);
    // Adding the lowest set bit clears a contiguous run completely.
    bool contiguous = ((mask + lowest) & mask) == 0;
    if (mask == 0 || (mask & ~pixelBits) != 0 || (mask & seen) != 0 || !contiguous) return kErrBadBitFields;
    seen |= mask;
  }
  return CONV_OK;
}

ChannelScales ScalesOf(const uint32_t masks[3]) {
  ChannelScales scales;
  for (int c = 0; c < 3; ++c) {
    uint32_t shift = masks[c] == 0 ? 0 : static_cast<uint32_t>(std::countr_zero(masks[c]));
    uint32_t maxValue = masks[c] >> shift;
    scales[static_cast<std::size_t>(c)] = {masks[c], shift, maxValue == 0 ? 1 : maxValue};
  }
  return scales;
}

namespace {

inline uint8_t Scale(uint32_t pixel, const ChannelScale& channel) {
  uint64_t value = (pixel & channel.mask) >> channel.shift;
  return static_cast<uint8_t>((value * 255 + channel.maxValue / 2) / channel.maxValue);
}

template <int kBytes>
void ExpandRow(const uint8_t* in, uint8_t* out, uint32_t width, const ChannelScales& scales) {
  for (uint32_t x = 0; x < width; ++x, in += kBytes, out += 3) {
    uint32_t pixel = kBytes == 2 ? Le16(in) : Le32(in);
    out[0] = Scale(pixel, scales[2]);
    out[1] = Scale(pixel, scales[1]);
    out[2] = Scale(pixel, scales[0]);
  }
}

}  // namespace

BitFieldRowFn BitFieldRowFor(uint16_t bits) { return bits == 16 ? ExpandRow<2> : ExpandRow<4>; }

}  // namespace imexp::bmp
