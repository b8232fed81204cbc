// Decoded PNG scanlines brought to the layouts the manager takes: one row
// function per image, chosen from the file's colour type and depth and
// the layout we deliver.
#pragma once

#include <spng.h>

#include <cstdint>

namespace png {

// The layouts we hand to the manager.
enum class Layout { kGray1, kGray4, kGray8, kPalette4, kPalette8, kRgb };

// What a row function needs beyond the pixels.
struct RowContext {
  uint32_t width = 0;
  spng_trns trns{};  // the transparent colour of grey and RGB files
  uint8_t background[3] = {255, 255, 255};
};

// Converts the pixels of one decoded scanline (the file's layout, 16-bit
// samples host-endian) into a row of our layout: pixel k of the scanline
// goes to column first + k * step. A whole row is first 0, step 1; an
// interlacing pass has its own. Other columns of `out` are left alone.
using RowFunction = void (*)(const RowContext& context, const uint8_t* in, uint8_t* out, uint32_t first,
                             uint32_t step);

// The row function for a file of this colour type and depth delivered in
// `layout`; `composite` lays each pixel over the background by its alpha
// sample or the file's transparent colour. Null for a combination we never
// deliver.
RowFunction ChooseRowFunction(const spng_ihdr& ihdr, bool composite, Layout layout);

}  // namespace png
