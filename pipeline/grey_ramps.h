// The two grey ramps of the pipelines. They differ on purpose: a read
// derives its levels by truncating division, as the images read have always
// been shown; a write gives converters levels rounded to the nearest, with
// the entries after the ramp cleared.
#pragma once

#include <cstdint>

namespace imexp {

// a x b / c rounded to the nearest integer, as the platform's MulDiv rounds
// non-negative values; 0 when c is 0.
constexpr uint8_t RoundedLevel(uint32_t a, uint32_t b, uint32_t c) {
  return c == 0 ? 0 : static_cast<uint8_t>((uint64_t{a} * b + c / 2) / c);
}

// Reading: 2^bits entries (bits up to 8) of i x 255 / max truncated, or 255
// less that when inverted, into all three planes (red[256], green[256],
// blue[256]); the entries after the ramp are left as they are.
void BuildGreyRamp(unsigned bits, int inverted, uint8_t* palette);

// Writing: 2^bits entries of i x 255 / max rounded to the nearest in all
// three planes, and every entry after them 0.
void BuildRoundedGreyRamp(unsigned bits, uint8_t* palette);

}  // namespace imexp
