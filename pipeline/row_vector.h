// The vector building blocks of the row kernels, on x86 (32- and 64-bit).
// The baseline of those targets has neither AVX2 nor AVX-512, so the kernels
// that use them are compiled for that instruction set alone
// (IMEXP_AVX2_TARGET, IMEXP_AVX512_TARGET) and run only where
// FastestKernelPath() found it. Every such kernel has a portable twin that
// runs elsewhere and that the tests run everywhere.
//
// AVX2 serves the kernels that move bytes about (pshufb and friends);
// AVX-512 with VBMI serves the byte lookups, where one permutation of two
// registers looks up 64 bytes in a 128-entry table. AVX2 gathers lose to the
// plain loop on the processors measured, so there are none.
//
// The loops keep their vectors in registers: 64-bit Windows cannot promise a
// stack aligned for spilled 32- or 64-byte vectors.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pipeline/kernel_path.h"

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#define IMEXP_ROW_VECTOR 1
#define IMEXP_AVX2_TARGET __attribute__((target("avx2")))
#define IMEXP_AVX512_TARGET __attribute__((target("avx2,avx512f,avx512bw,avx512vbmi")))
#include <immintrin.h>
#else
#define IMEXP_ROW_VECTOR 0
#endif

namespace imexp::rowkernel {

#if IMEXP_ROW_VECTOR

// Exchanges the bits selected by `mask` with the bits `delta` places above
// them, in every 32-bit word.
template <int kDelta>
IMEXP_AVX2_TARGET inline __m256i SwapBits(__m256i word, uint32_t mask) {
  const __m256i t =
      _mm256_and_si256(_mm256_xor_si256(_mm256_srli_epi32(word, kDelta), word), _mm256_set1_epi32(int(mask)));
  return _mm256_xor_si256(_mm256_xor_si256(word, t), _mm256_slli_epi32(t, kDelta));
}

// Eight pixels of four bit planes and the same pixels as four nibble bytes,
// one 32-bit word each way. The plane word holds the plane bytes in the order
// 3, 1, 2, 0 (byte 0 lowest); the nibble word is the four output bytes, first
// pixel in the high nibble of byte 0. Numbering a bit by its byte (b1 b0) and
// its place in the byte (c2 c1 c0, pixel 7 - c), the bit at (b1 b0 c2 c1 c0)
// of the plane word belongs at (~c2 ~c1 c0 ~b0 ~b1) of the nibble word. Three
// exchanges of index bits get it there: 2 with 4 and 1 with 3, each with both
// complemented, and 0 with 2; the plane order absorbs the complements of b0
// and b1. Every exchange is its own inverse, so the way back runs them in
// reverse.
IMEXP_AVX2_TARGET inline __m256i PlaneWordsToNibbleWords(__m256i word) {
  word = SwapBits<20>(word, 0x00000F0F);
  word = SwapBits<3>(word, 0x0A0A0A0A);
  return SwapBits<10>(word, 0x00330033);
}

IMEXP_AVX2_TARGET inline __m256i NibbleWordsToPlaneWords(__m256i word) {
  word = SwapBits<10>(word, 0x00330033);
  word = SwapBits<3>(word, 0x0A0A0A0A);
  return SwapBits<20>(word, 0x00000F0F);
}

// table[index] for 64 byte indices; the table is 256 bytes in four
// registers. Two two-register permutations look up the low seven bits in
// each half of the table, and the top bit picks the half.
IMEXP_AVX512_TARGET inline __m512i LookupBytes64(__m512i index, __m512i table0, __m512i table1,
                                                 __m512i table2, __m512i table3) {
  const __m512i low = _mm512_permutex2var_epi8(table0, index, table1);
  const __m512i high = _mm512_permutex2var_epi8(table2, index, table3);
  return _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), low, high);
}

IMEXP_AVX512_TARGET inline __m512i Load64(const uint8_t* p) { return _mm512_loadu_si512(p); }

#endif  // IMEXP_ROW_VECTOR

}  // namespace imexp::rowkernel
