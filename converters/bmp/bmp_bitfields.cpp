#include "bmp_bitfields.h"

#include <bit>

#include <imexp/converter_settings.h>

#include "bmp_format.h"

namespace imexp::bmp {

int CheckMasks(const uint32_t masks[4], uint16_t bits) {
  uint32_t pixelBits = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
  uint32_t seen = 0;
  for (int c = 0; c < 4; ++c) {
    uint32_t mask = masks[c];
    if (c == 3 && mask == 0) break;
    uint32_t lowest = mask & (~mask + 1);
    // Adding the lowest set bit clears a contiguous run completely.
    bool contiguous = ((mask + lowest) & mask) == 0;
    if (mask == 0 || (mask & ~pixelBits) != 0 || (mask & seen) != 0 || !contiguous) return kErrBadBitFields;
    seen |= mask;
  }
  return CONV_OK;
}

namespace {

ChannelScale ScaleOf(uint32_t mask) {
  uint32_t shift = mask == 0 ? 0 : static_cast<uint32_t>(std::countr_zero(mask));
  uint32_t maxValue = mask >> shift;
  return {mask, shift, maxValue == 0 ? 1 : maxValue};
}

}  // namespace

ChannelScales ScalesOf(const uint32_t masks[4]) {
  ChannelScales scales;
  for (std::size_t c = 0; c < 3; ++c) scales.colour[c] = ScaleOf(masks[c]);
  scales.alpha = ScaleOf(masks[3]);
  return scales;
}

namespace {

inline uint8_t Scale(uint32_t pixel, const ChannelScale& channel) {
  uint64_t value = (pixel & channel.mask) >> channel.shift;
  return static_cast<uint8_t>((value * 255 + channel.maxValue / 2) / channel.maxValue);
}

template <int kBytes, bool kAlpha>
void ExpandRow(const uint8_t* in, uint8_t* out, uint32_t width, const ChannelScales& scales) {
  for (uint32_t x = 0; x < width; ++x, in += kBytes, out += 3) {
    uint32_t pixel = kBytes == 2 ? Le16(in) : Le32(in);
    for (std::size_t c = 0; c < 3; ++c) {
      // Blue, green, red: the colour masks are red, green, blue.
      uint8_t value = Scale(pixel, scales.colour[2 - c]);
      out[c] = kAlpha
                   ? imexp::conv::OverBackground(value, Scale(pixel, scales.alpha), scales.background[2 - c])
                   : value;
    }
  }
}

}  // namespace

BitFieldRowFn BitFieldRowFor(uint16_t bits, bool alpha) {
  if (bits == 16) return alpha ? ExpandRow<2, true> : ExpandRow<2, false>;
  return alpha ? ExpandRow<4, true> : ExpandRow<4, false>;
}

}  // namespace imexp::bmp
