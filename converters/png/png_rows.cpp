// The row functions, one template each, instantiated for the depths and
// channel counts PNG allows.
#include "png_rows.h"

#include <imexp/converter_settings.h>

#include <cstddef>
#include <cstring>

#include "png_format.h"

namespace png {
namespace {

// Sample `index` of a decoded scanline: packed below 8 bits, the first in
// the high bits.
template <uint32_t Depth>
uint16_t SampleAt(const uint8_t* row, uint32_t index) {
  if constexpr (Depth == 8) {
    return row[index];
  } else if constexpr (Depth == 16) {
    uint16_t value;
    std::memcpy(&value, row + std::size_t{index} * 2, sizeof value);
    return value;
  } else {
    uint32_t bit = index * Depth;
    return static_cast<uint16_t>((row[bit / 8] >> (8 - Depth - bit % 8)) & ((1u << Depth) - 1));
  }
}

// A sample as one of 256 levels.
template <uint32_t Depth>
uint8_t LevelOf(uint16_t value) {
  if constexpr (Depth == 16) {
    return Reduce16(value);
  } else if constexpr (Depth == 8) {
    return static_cast<uint8_t>(value);
  } else {
    return static_cast<uint8_t>(value * 255u / ((1u << Depth) - 1));
  }
}

// The inverse of SampleAt for our packed 1- and 4-bit rows.
template <uint32_t Bits>
void PutPacked(uint8_t* row, uint32_t x, uint32_t value) {
  uint32_t bit = x * Bits;
  uint32_t shift = 8 - Bits - bit % 8;
  auto mask = static_cast<uint8_t>(((1u << Bits) - 1) << shift);
  row[bit / 8] = static_cast<uint8_t>((row[bit / 8] & ~mask) | ((value << shift) & mask));
}

// Grey levels or palette indices as packed pixels of OutBits, each value
// multiplied by Scale (four grey levels are every fifth of sixteen).
template <uint32_t Depth, uint32_t OutBits, uint32_t Scale>
void PackedRow(const RowContext& r, const uint8_t* in, uint8_t* out, uint32_t first, uint32_t step) {
  for (uint32_t k = 0, x = first; x < r.width; ++k, x += step)
    PutPacked<OutBits>(out, x, SampleAt<Depth>(in, k) * Scale);
}

// Grey levels or palette indices as bytes.
template <uint32_t Depth>
void ByteRow(const RowContext& r, const uint8_t* in, uint8_t* out, uint32_t first, uint32_t step) {
  for (uint32_t k = 0, x = first; x < r.width; ++k, x += step)
    out[x] = LevelOf<Depth>(SampleAt<Depth>(in, k));
}

template <uint32_t Depth>
void RgbRow(const RowContext& r, const uint8_t* in, uint8_t* out, uint32_t first, uint32_t step) {
  for (uint32_t k = 0, x = first; x < r.width; ++k, x += step) {
    for (uint32_t c = 0; c < 3; ++c)
      out[std::size_t{x} * 3 + c] = LevelOf<Depth>(SampleAt<Depth>(in, k * 3 + c));
  }
}

// Pixels of `Channels` samples, the alpha sample last where Alpha, else
// with the file's transparent colour, laid over the background as grey
// levels or as RGB.
template <uint32_t Depth, uint32_t Channels, bool Alpha, bool RgbOut>
void OverBackgroundRow(const RowContext& r, const uint8_t* in, uint8_t* out, uint32_t first, uint32_t step) {
  constexpr uint32_t kColours = Alpha ? Channels - 1 : Channels;
  for (uint32_t k = 0, x = first; x < r.width; ++k, x += step) {
    uint16_t raw[Channels];
    for (uint32_t c = 0; c < Channels; ++c) raw[c] = SampleAt<Depth>(in, k * Channels + c);
    uint8_t alpha = 255;
    if constexpr (Alpha) {
      alpha = LevelOf<Depth>(raw[Channels - 1]);
    } else if constexpr (Channels == 1) {
      if (raw[0] == r.trns.gray) alpha = 0;
    } else {
      if (raw[0] == r.trns.red && raw[1] == r.trns.green && raw[2] == r.trns.blue) alpha = 0;
    }
    if constexpr (RgbOut) {
      for (uint32_t c = 0; c < 3; ++c) {
        out[std::size_t{x} * 3 + c] =
            OverBackground(LevelOf<Depth>(raw[kColours == 1 ? 0 : c]), alpha, r.background[c]);
      }
    } else {
      out[x] = OverBackground(LevelOf<Depth>(raw[0]), alpha, r.background[0]);
    }
  }
}

// Grey files with coverage: a transparent level at any depth, or an alpha
// sample at 8 or 16 bits.
template <bool RgbOut>
RowFunction OverBackgroundGreyRow(uint32_t depth, bool alpha) {
  if (alpha)
    return depth == 16 ? OverBackgroundRow<16, 2, true, RgbOut> : OverBackgroundRow<8, 2, true, RgbOut>;
  switch (depth) {
    case 1:
      return OverBackgroundRow<1, 1, false, RgbOut>;
    case 2:
      return OverBackgroundRow<2, 1, false, RgbOut>;
    case 4:
      return OverBackgroundRow<4, 1, false, RgbOut>;
    case 8:
      return OverBackgroundRow<8, 1, false, RgbOut>;
    default:
      return OverBackgroundRow<16, 1, false, RgbOut>;
  }
}

}  // namespace

RowFunction ChooseRowFunction(const spng_ihdr& ihdr, bool composite, Layout layout) {
  const uint32_t depth = ihdr.bit_depth;
  const bool sixteen = depth == 16;
  const bool alpha = ihdr.color_type == kPngGrayAlpha || ihdr.color_type == kPngRgba;
  if (composite) {
    if (ihdr.color_type == kPngRgba)
      return sixteen ? OverBackgroundRow<16, 4, true, true> : OverBackgroundRow<8, 4, true, true>;
    if (ihdr.color_type == kPngRgb)
      return sixteen ? OverBackgroundRow<16, 3, false, true> : OverBackgroundRow<8, 3, false, true>;
    if (layout == Layout::kRgb) return OverBackgroundGreyRow<true>(depth, alpha);
    if (layout == Layout::kGray8) return OverBackgroundGreyRow<false>(depth, alpha);
    return nullptr;
  }
  switch (layout) {
    case Layout::kGray1:
      return depth == 1 ? PackedRow<1, 1, 1> : nullptr;
    case Layout::kGray4:
      return depth == 2 ? PackedRow<2, 4, 5> : depth == 4 ? PackedRow<4, 4, 1> : nullptr;
    case Layout::kPalette4:
      return depth == 1   ? PackedRow<1, 4, 1>
             : depth == 2 ? PackedRow<2, 4, 1>
             : depth == 4 ? PackedRow<4, 4, 1>
                          : nullptr;
    case Layout::kGray8:
    case Layout::kPalette8:
      return sixteen ? ByteRow<16> : depth == 8 ? ByteRow<8> : nullptr;
    case Layout::kRgb:
      return sixteen ? RgbRow<16> : depth == 8 ? RgbRow<8> : nullptr;
  }
  return nullptr;
}

}  // namespace png
