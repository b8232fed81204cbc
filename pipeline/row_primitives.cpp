// The shared row kernels that are not templates.
#include "pipeline/row_primitives.h"

namespace imexp::rowkernel {

// Eight lookups merged into one store: the loop is bound by the table loads,
// and byte stores would add one more memory operation per pixel.
void LookupBytes(const uint8_t* source, uint8_t* destination, size_t count, const uint8_t* table) {
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const uint8_t* s = source + i;
    const uint64_t word = uint64_t{table[s[0]]} | uint64_t{table[s[1]]} << 8 | uint64_t{table[s[2]]} << 16 |
                          uint64_t{table[s[3]]} << 24 | uint64_t{table[s[4]]} << 32 |
                          uint64_t{table[s[5]]} << 40 | uint64_t{table[s[6]]} << 48 |
                          uint64_t{table[s[7]]} << 56;
    StoreLE64(destination + i, word);
    KeepScalar();
  }
  for (; i < count; ++i) destination[i] = table[source[i]];
}

// A source byte holds two pixels, so a 256-entry table of output byte pairs
// halves the lookups; only 16 table entries can be reached, and the pair
// table is rebuilt per call because the lookup belongs to the image.
void LookupNibbles(const uint8_t* source, uint8_t* destination, uint32_t width, const uint8_t* table) {
  const size_t pairs = width / 2;
  size_t j = 0;
  if (width >= kTableMinPixels) {
    uint16_t pair[256];
    for (unsigned high = 0; high < 16; ++high) {
      for (unsigned low = 0; low < 16; ++low) {
        pair[high * 16 + low] = static_cast<uint16_t>(table[high] | table[low] << 8);
      }
    }
    for (; j + 4 <= pairs; j += 4) {
      const uint8_t* s = source + j;
      StoreLE64(destination + 2 * j, uint64_t{pair[s[0]]} | uint64_t{pair[s[1]]} << 16 |
                                         uint64_t{pair[s[2]]} << 32 | uint64_t{pair[s[3]]} << 48);
    }
  }
  for (; j < pairs; ++j) {
    destination[2 * j] = table[source[j] >> 4];
    destination[2 * j + 1] = table[source[j] & 15];
  }
  if (width % 2) destination[2 * pairs] = table[source[pairs] >> 4];
}

// Eight pixels are three words. In each word the middle byte of every triple
// stays, the first takes the byte two places up and the third the byte two
// places down; the masks say which byte of a word plays which part (the
// pattern repeats every three words), and bytes that cross a word boundary
// come from the neighbouring word.
void SwapTriples(const uint8_t* source, uint8_t* destination, size_t pixels) {
  constexpr uint64_t kMiddle0 = 0xFF0000FF0000FF00, kFirst0 = 0x00FF0000FF0000FF, kLast0 = 0x0000FF0000FF0000;
  constexpr uint64_t kMiddle1 = kLast0, kFirst1 = kMiddle0, kLast1 = kFirst0;
  constexpr uint64_t kMiddle2 = kFirst0, kFirst2 = kLast0, kLast2 = kMiddle0;
  size_t x = 0;
  for (; x + 8 <= pixels; x += 8) {
    const uint8_t* s = source + 3 * x;
    const uint64_t w0 = LoadLE64(s), w1 = LoadLE64(s + 8), w2 = LoadLE64(s + 16);
    uint8_t* d = destination + 3 * x;
    StoreLE64(d, (w0 & kMiddle0) | (((w0 >> 16) | (w1 << 48)) & kFirst0) | ((w0 << 16) & kLast0));
    StoreLE64(d + 8,
              (w1 & kMiddle1) | (((w1 >> 16) | (w2 << 48)) & kFirst1) | (((w1 << 16) | (w0 >> 48)) & kLast1));
    StoreLE64(d + 16, (w2 & kMiddle2) | ((w2 >> 16) & kFirst2) | (((w2 << 16) | (w1 >> 48)) & kLast2));
  }
  for (; x < pixels; ++x) {
    const uint8_t first = source[3 * x];
    destination[3 * x] = source[3 * x + 2];
    destination[3 * x + 1] = source[3 * x + 1];
    destination[3 * x + 2] = first;
  }
}

}  // namespace imexp::rowkernel
