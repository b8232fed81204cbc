// 16- and 32-bit pixels: colour masks and their expansion to 24-bit rows.
#pragma once

#include <array>
#include <cstdint>

namespace imexp::bmp {

// One channel of a masked pixel: (pixel & mask) >> shift runs from 0 to
// maxValue, which is stretched to 0..255.
struct ChannelScale {
  uint32_t mask = 0;
  uint32_t shift = 0;
  uint32_t maxValue = 1;
};

struct ChannelScales {
  std::array<ChannelScale, 3> colour;       // red, green, blue
  ChannelScale alpha;                       // mask 0: every pixel opaque
  uint8_t background[3] = {255, 255, 255};  // what transparent pixels lie over
};

// Masks that are empty, overlap, have holes or reach past the pixel cannot
// be scaled meaningfully; the result is an error code. The alpha mask
// (masks[3]) may be 0.
[[nodiscard]] int CheckMasks(const uint32_t masks[4], uint16_t bits);
ChannelScales ScalesOf(const uint32_t masks[4]);

// Expands one stored row of 16- or 32-bit pixels to blue, green, red bytes,
// laying pixels with alpha over the background.
using BitFieldRowFn = void (*)(const uint8_t* in, uint8_t* out, uint32_t width, const ChannelScales& scales);
BitFieldRowFn BitFieldRowFor(uint16_t bits, bool alpha);

}  // namespace imexp::bmp
