#include "pipeline/palette_analysis.h"

#include <imexp/host.h>

namespace imexp {

namespace {

constexpr int kEntries = 256;

const uint8_t* Red(const uint8_t* palette) { return palette; }
const uint8_t* Green(const uint8_t* palette) { return palette + kEntries; }
const uint8_t* Blue(const uint8_t* palette) { return palette + 2 * kEntries; }

// True when the top `bits` bits of every red entry i (of n) equal f(i).
template <typename Level>
bool RedPlaneIsRamp(const uint8_t* palette, int n, int bits, Level level) {
  for (int i = 0; i < n; ++i) {
    if ((level(Red(palette)[i]) >> (8 - bits)) != i) return false;
  }
  return true;
}

}  // namespace

void AnalysePalette(int bits, const uint8_t* palette, int* colorFlag, int* paletteFlag, int* invertedFlag) {
  if (*paletteFlag == 0) return;
  *invertedFlag = 0;
  if (bits == 1) {
    // Two entries are always black and white, whatever their colors.
    *colorFlag = 0;
    *invertedFlag = Red(palette)[0] > Red(palette)[1] ? 1 : 0;
    *paletteFlag = 0;
    return;
  }
  // Depths above 8 bits have no more than the 256 entries of the palette;
  // they are looked at as an 8-bit palette.
  if (bits > 8 || bits < 1) bits = 8;
  int n = 1 << bits;
  if (*colorFlag) {
    *colorFlag = 0;
    for (int i = 0; i < n; ++i) {
      if (Green(palette)[i] != Red(palette)[i] || Blue(palette)[i] != Red(palette)[i]) {
        *colorFlag = 1;
        break;
      }
    }
  }
  if (*colorFlag) return;
  if (RedPlaneIsRamp(palette, n, bits, [](uint8_t red) { return red; })) {
    *paletteFlag = 0;
    return;
  }
  if (RedPlaneIsRamp(palette, n, bits, [](uint8_t red) { return 255 - red; })) {
    *paletteFlag = 0;
    *invertedFlag = 1;
    return;
  }
  *paletteFlag = 1;  // greys, but neither ramp
}

void SpreadRedPlane(uint8_t* palette) {
  for (int i = 0; i < kEntries; ++i) {
    palette[2 * kEntries + i] = palette[i];
    palette[kEntries + i] = palette[2 * kEntries + i];
  }
}

int ChooseHostType(int bits, int acceptedTypes, int colorFlag) {
  if ((acceptedTypes & HIT_BILEVEL) && bits == 1) return HIT_BILEVEL;
  if ((acceptedTypes & HIT_PAL16) && bits <= 4) return HIT_PAL16;
  if ((acceptedTypes & HIT_GRAY256) && bits <= 8 && colorFlag == 0) return HIT_GRAY256;
  if ((acceptedTypes & HIT_PAL256) && bits <= 8) return HIT_PAL256;
  if (acceptedTypes & HIT_RGB24) return HIT_RGB24;
  return 0;
}

}  // namespace imexp
