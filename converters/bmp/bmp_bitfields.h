// 16- and 32-bit pixels: colour masks and their expansion to 24-bit rows.
#pragma once

#include <array>
#include <cstdint>

namespace imexp::bmp {

// One colour channel of a masked pixel: (pixel & mask) >> shift runs from 0
// to maxValue, which is stretched to 0..255.
struct ChannelScale {
  uint32_t mask = 0;
  uint32_t shift = 0;
  uint32_t maxValue = 1;
};
using ChannelScales = std::array<ChannelScale, 3>;  // red, green, blue

// Masks that are empty, overlap, have holes or reach past the pixel cannot
// be scaled meaningfully; the result is an error code.
[[nodiscard]] int CheckMasks(const uint32_t masks[3], uint16_t bits);
ChannelScales ScalesOf(const uint32_t masks[3]);

// Expands one stored row of 16- or 32-bit pixels to blue, green, red bytes.
using BitFieldRowFn = void (*)(const uint8_t* in, uint8_t* out, uint32_t width, const ChannelScales& scales);
BitFieldRowFn BitFieldRowFor(uint16_t bits);

}  // namespace imexp::bmp
