#include "pipeline/grey_ramps.h"

namespace imexp {

namespace {

constexpr unsigned kEntries = 256;

void SetGrey(uint8_t* palette, unsigned i, uint8_t level) {
  palette[2 * kEntries + i] = level;
  palette[kEntries + i] = level;
  palette[i] = level;
}

}  // namespace

void BuildGreyRamp(unsigned bits, int inverted, uint8_t* palette) {
  if (bits > 8) bits = 8;
  const unsigned max = (1u << bits) - 1;
  for (unsigned i = 0; i <= max; ++i) {
    const unsigned v = max == 0 ? 0 : i * 255 / max;
    SetGrey(palette, i, static_cast<uint8_t>(inverted ? 255 - v : v));
  }
}

void BuildRoundedGreyRamp(unsigned bits, uint8_t* palette) {
  if (bits > 8) bits = 8;
  const unsigned max = (1u << bits) - 1;
  for (unsigned i = 0; i < kEntries; ++i) SetGrey(palette, i, i <= max ? RoundedLevel(i, 255, max) : 0);
}

}  // namespace imexp
