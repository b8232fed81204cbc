// The shared row kernels that are not templates, and the one answer to
// which implementation path the kernel files run.
#include "pipeline/row_primitives.h"

namespace imexp::rowkernel {

KernelPath FastestKernelPath() {
#if IMEXP_ROW_VECTOR
  static const KernelPath path = [] {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vbmi"))
      return KernelPath::kAvx512;
    return __builtin_cpu_supports("avx2") ? KernelPath::kAvx2 : KernelPath::kPortable;
  }();
  return path;
#else
  return KernelPath::kPortable;
#endif
}

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

#if IMEXP_ROW_VECTOR
IMEXP_AVX512_TARGET void LookupBytesAvx512(const uint8_t* source, uint8_t* destination, size_t count,
                                           const uint8_t* table) {
  constexpr size_t kBlock = 64;
  const __m512i table0 = Load64(table), table1 = Load64(table + 64);
  const __m512i table2 = Load64(table + 128), table3 = Load64(table + 192);
  size_t i = 0;
  for (; i + kBlock <= count; i += kBlock) {
    _mm512_storeu_si512(destination + i, LookupBytes64(Load64(source + i), table0, table1, table2, table3));
  }
  LookupBytes(source + i, destination + i, count - i, table);
}

namespace {

// Where each byte of the three 64-byte output vectors of 64 pixels comes
// from: the pixel, plus 64 for the middle channel (the second source of the
// two-register permutation). The third channel's bytes are then put in where
// thirdChannel says, from the third register.
struct TripleInterleave {
  alignas(64) uint8_t index[3][64];
  uint64_t thirdChannel[3];
};
constexpr TripleInterleave kTripleInterleave = [] {
  TripleInterleave t{};
  for (unsigned k = 0; k < 3; ++k) {
    for (unsigned i = 0; i < 64; ++i) {
      const unsigned at = 64 * k + i, pixel = at / 3, channel = at % 3;
      t.index[k][i] = static_cast<uint8_t>(channel == 1 ? 64 + pixel : pixel);
      if (channel == 2) t.thirdChannel[k] |= uint64_t{1} << i;
    }
  }
  return t;
}();

}  // namespace

template <bool kBlueFirst>
IMEXP_AVX512_TARGET void PaletteTo24Avx512(const uint8_t* source, uint8_t* destination, size_t count,
                                           const uint8_t* palette) {
  constexpr size_t kBlock = 64;
  const uint8_t* first = kBlueFirst ? palette + 512 : palette;
  const uint8_t* middle = palette + 256;
  const uint8_t* third = kBlueFirst ? palette : palette + 512;
  const __m512i first0 = Load64(first), first1 = Load64(first + 64);
  const __m512i first2 = Load64(first + 128), first3 = Load64(first + 192);
  const __m512i middle0 = Load64(middle), middle1 = Load64(middle + 64);
  const __m512i middle2 = Load64(middle + 128), middle3 = Load64(middle + 192);
  const __m512i third0 = Load64(third), third1 = Load64(third + 64);
  const __m512i third2 = Load64(third + 128), third3 = Load64(third + 192);
  size_t x = 0;
  for (; x + kBlock <= count; x += kBlock) {
    const __m512i index = Load64(source + x);
    const __m512i a = LookupBytes64(index, first0, first1, first2, first3);
    const __m512i b = LookupBytes64(index, middle0, middle1, middle2, middle3);
    const __m512i c = LookupBytes64(index, third0, third1, third2, third3);
    for (unsigned k = 0; k < 3; ++k) {
      const __m512i where = Load64(kTripleInterleave.index[k]);
      const __m512i two = _mm512_permutex2var_epi8(a, where, b);
      _mm512_storeu_si512(destination + 3 * x + 64 * k,
                          _mm512_mask_permutexvar_epi8(two, kTripleInterleave.thirdChannel[k], where, c));
    }
  }
  PaletteTo24<kBlueFirst>(source + x, destination + 3 * x, count - x, palette);
}

template IMEXP_AVX512_TARGET void PaletteTo24Avx512<true>(const uint8_t*, uint8_t*, size_t, const uint8_t*);
template IMEXP_AVX512_TARGET void PaletteTo24Avx512<false>(const uint8_t*, uint8_t*, size_t, const uint8_t*);
#endif

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
