// Deciding from a converter's palette whether an image really has colour,
// whether its values must go through the palette, and whether a grey image
// runs from white to black; and picking the host image type from that.
#pragma once

#include <cstdint>

namespace imexp {

// Reads and rewrites the three flags in place. `palette` is the descriptor's
// red[256], green[256], blue[256]. Only the first 2^bits entries (at most
// 256) are looked at.
void AnalysePalette(int bits, const uint8_t* palette, int* colorFlag, int* paletteFlag, int* invertedFlag);
// Copies the red plane into the green and blue planes, all 256 entries.
void SpreadRedPlane(uint8_t* palette);
// The host image type (HIT_*) for an image of `bits` bits, or 0 when the
// host accepts none that fits.
[[nodiscard]] int ChooseHostType(int bits, int acceptedTypes, int colorFlag);

}  // namespace imexp
