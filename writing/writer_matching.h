// Which converter writes a host image under a file name, and in which of
// its output layouts.
#pragma once

#include <imexp/host.h>

#include <cstdint>

namespace imexp {

// Asks the host for its image type (and palette, for the paletted types) and
// derives the colour class: colour type 0 to 3 and bits 1, 4, 8 or 24. The
// host palette is spread into `palette` (red, green, blue planes). 0 for an
// image type outside the five.
[[nodiscard]] int ClassifyWriteImage(CAbstractWriteWA* image, uint8_t* palette, int* colorType, int* bits);
// Fills the first 2^bits entries of the planes from the host's palette.
void FetchHostPalette(CAbstractWriteWA* image, uint8_t* palette, int bits);
// The write layouts (WF_* bits) an image of that class can be written in.
[[nodiscard]] uint32_t WriteLayoutMask(int colorType, int bits);
// The first write-capable converter whose layouts meet `mask` and whose
// extensions match `fileName`, or -1.
[[nodiscard]] int ChooseWriter(uint32_t mask, const char* fileName);
// The first layout of the fixed table in `mask` not below `bits`: its
// colour type and bits. False when none qualifies.
[[nodiscard]] bool ChooseOutputLayout(uint32_t mask, int bits, int* colorType, int* outputBits);

}  // namespace imexp
