// The row converters for reading. Each works on the state the read fixed and
// touches exactly its row: the source extent RowConverterSourceBytes reports,
// the intermediate row (W bytes before PaletteToBGR, else N), the host row
// (N bytes). Only the width decides how a row ends, never the pixel values.
#include "reading/row_converters.h"

#include <cstring>
#include <type_traits>

#include "pipeline/row_primitives.h"

namespace imexp {

namespace {

using rowkernel::ExpandBits;
using rowkernel::kBitExpansion;

// Four bit planes (plane p carries bit p of each pixel) to 4 or 8 bits per
// pixel: each plane byte is spread with the value-1 expansion table and
// shifted to its bit; the shifts stay inside a nibble or byte, so the word
// needs no particular byte order.
template <unsigned kOutBits>
void CombineBitPlanes(const uint8_t* source, size_t planeStride, uint8_t* destination, uint32_t width) {
  using Word = std::conditional_t<kOutBits == 8, uint64_t, uint32_t>;
  static_assert(sizeof(Word) == kOutBits);
  const uint8_t* plane0 = source;
  const uint8_t* plane1 = source + planeStride;
  const uint8_t* plane2 = source + 2 * planeStride;
  const uint8_t* plane3 = source + 3 * planeStride;
  auto spread = [](uint8_t bits) {
    Word word;
    std::memcpy(&word, kBitExpansion<kOutBits, 1>.entry[bits], sizeof word);
    return word;
  };
  auto combine = [&](size_t i) {
    return spread(plane0[i]) | spread(plane1[i]) << 1 | spread(plane2[i]) << 2 | spread(plane3[i]) << 3;
  };
  const size_t whole = width / 8;
  for (size_t i = 0; i < whole; ++i) {
    const Word word = combine(i);
    std::memcpy(destination + i * sizeof word, &word, sizeof word);
  }
  if (const unsigned rest = width % 8) {
    const Word word = combine(whole);
    std::memcpy(destination + whole * sizeof word, &word, (rest * kOutBits + 7) / 8);
  }
}

// A plain loop, which the compiler schedules better than word shuffles. The
// band and the intermediate row never overlap; saying so spares the compiler
// its overlap checks and lets it move loads ahead of earlier stores.
void MergePlanes(const uint8_t* __restrict red, const uint8_t* __restrict green,
                 const uint8_t* __restrict blue, uint8_t* __restrict row, size_t width) {
  for (size_t x = 0; x < width; ++x) {
    row[3 * x] = blue[x];
    row[3 * x + 1] = green[x];
    row[3 * x + 2] = red[x];
  }
}

// Eight flags a byte. (Gathering the flags of a 64-bit word with one
// multiplication measured slower than this.)
void PackBits(const uint8_t* source, uint8_t* row, size_t width) {
  const size_t whole = width / 8;
  for (size_t j = 0; j < whole; ++j) {
    const uint8_t* s = source + 8 * j;
    row[j] = static_cast<uint8_t>((s[0] != 0) << 7 | (s[1] != 0) << 6 | (s[2] != 0) << 5 | (s[3] != 0) << 4 |
                                  (s[4] != 0) << 3 | (s[5] != 0) << 2 | (s[6] != 0) << 1 | (s[7] != 0));
  }
  if (const unsigned rest = width % 8) {
    unsigned byte = 0;
    for (unsigned k = 0; k < rest; ++k) byte |= unsigned{source[8 * whole + k] != 0} << (7 - k);
    row[whole] = static_cast<uint8_t>(byte);
  }
}

void PackBytesToBitsPortable(ReadRowState& state) { PackBits(state.source, state.intermediate, state.width); }

void PlanesToNibblesPortable(ReadRowState& state) {
  CombineBitPlanes<4>(state.source, state.planeStride, state.intermediate, state.width);
}

void PlanesToBGRPortable(ReadRowState& state) {
  const uint8_t* red = state.source;
  MergePlanes(red, red + state.planeStride, red + 2 * size_t{state.planeStride}, state.intermediate,
              state.width);
}

void GreyLookupPortable(ReadRowState& state) {
  rowkernel::LookupBytes(state.stage2Input, state.host, state.hostBytes, state.palette);
}

void PaletteToBGRPortable(ReadRowState& state) {
  rowkernel::PaletteTo24<true>(state.stage2Input, state.host, state.hostBytes / 3, state.palette);
}

#if IMEXP_ROW_VECTOR

// Thirty-two pixels a step: each group of eight compare results is reversed,
// so that the byte mask has every group's first pixel at the top of its byte.
IMEXP_AVX2_TARGET void PackBytesToBitsAvx2(ReadRowState& state) {
  constexpr size_t kBlock = 32;
  const uint8_t* source = state.source;
  uint8_t* row = state.intermediate;
  const size_t width = state.width;
  const __m256i reverse = _mm256_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8,  //
                                           7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8);
  size_t x = 0;
  for (; x + kBlock <= width; x += kBlock) {
    const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + x));
    const __m256i zero = _mm256_shuffle_epi8(_mm256_cmpeq_epi8(bytes, _mm256_setzero_si256()), reverse);
    rowkernel::StoreLE32(row + x / 8, ~static_cast<uint32_t>(_mm256_movemask_epi8(zero)));
  }
  PackBits(source + x, row + x / 8, width - x);
}

// Sixty-four pixels a step: the same reversal, and a test of every byte
// against itself puts the flags straight into a 64-bit mask.
IMEXP_AVX512_TARGET void PackBytesToBitsAvx512(ReadRowState& state) {
  constexpr size_t kBlock = 64;
  const uint8_t* source = state.source;
  uint8_t* row = state.intermediate;
  const size_t width = state.width;
  // Eight bytes reversed in each group of the register (per 128-bit half).
  const __m512i reverse =
      _mm512_set_epi64(0x08090A0B0C0D0E0F, 0x0001020304050607, 0x08090A0B0C0D0E0F, 0x0001020304050607,
                       0x08090A0B0C0D0E0F, 0x0001020304050607, 0x08090A0B0C0D0E0F, 0x0001020304050607);
  size_t x = 0;
  for (; x + kBlock <= width; x += kBlock) {
    const __m512i bytes = _mm512_shuffle_epi8(rowkernel::Load64(source + x), reverse);
    rowkernel::StoreLE64(row + x / 8, _mm512_test_epi8_mask(bytes, bytes));
  }
  PackBits(source + x, row + x / 8, width - x);
}

// 256 pixels a step: the bytes of the four planes interleaved into one word
// per eight pixels, each word's bits moved to nibble order, and the words
// put back in pixel order (the interleaving works within 128-bit halves).
IMEXP_AVX2_TARGET void PlanesToNibblesAvx2(ReadRowState& state) {
  constexpr size_t kBlock = 32;  // bytes of each plane
  const uint8_t* plane0 = state.source;
  const uint8_t* plane1 = plane0 + state.planeStride;
  const uint8_t* plane2 = plane1 + state.planeStride;
  const uint8_t* plane3 = plane2 + state.planeStride;
  uint8_t* row = state.intermediate;
  const size_t whole = state.width / 8;
  size_t i = 0;
  for (; i + kBlock <= whole; i += kBlock) {
    const __m256i p0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(plane0 + i));
    const __m256i p1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(plane1 + i));
    const __m256i p2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(plane2 + i));
    const __m256i p3 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(plane3 + i));
    const __m256i low31 = _mm256_unpacklo_epi8(p3, p1), high31 = _mm256_unpackhi_epi8(p3, p1);
    const __m256i low20 = _mm256_unpacklo_epi8(p2, p0), high20 = _mm256_unpackhi_epi8(p2, p0);
    // Plane bytes 0-3 and 16-19, 4-7 and 20-23, 8-11 and 24-27, 12-15 and 28-31.
    const __m256i a = rowkernel::PlaneWordsToNibbleWords(_mm256_unpacklo_epi16(low31, low20));
    const __m256i b = rowkernel::PlaneWordsToNibbleWords(_mm256_unpackhi_epi16(low31, low20));
    const __m256i c = rowkernel::PlaneWordsToNibbleWords(_mm256_unpacklo_epi16(high31, high20));
    const __m256i d = rowkernel::PlaneWordsToNibbleWords(_mm256_unpackhi_epi16(high31, high20));
    __m256i* out = reinterpret_cast<__m256i*>(row + 4 * i);
    _mm256_storeu_si256(out, _mm256_permute2x128_si256(a, b, 0x20));
    _mm256_storeu_si256(out + 1, _mm256_permute2x128_si256(c, d, 0x20));
    _mm256_storeu_si256(out + 2, _mm256_permute2x128_si256(a, b, 0x31));
    _mm256_storeu_si256(out + 3, _mm256_permute2x128_si256(c, d, 0x31));
  }
  CombineBitPlanes<4>(plane0 + i, state.planeStride, row + 4 * i, state.width - 8 * i);
}

// For output vector k of a 48-byte step, which byte of each plane (red,
// green, blue) lands where; -128 leaves a byte to another plane.
struct MergeShuffles {
  alignas(16) int8_t byte[3][3][16];
};
constexpr MergeShuffles kMergeShuffles = [] {
  MergeShuffles m{};
  for (int k = 0; k < 3; ++k) {
    for (int i = 0; i < 16; ++i) {
      const int at = 16 * k + i, channel = at % 3;  // blue, green, red
      for (int plane = 0; plane < 3; ++plane)
        m.byte[k][plane][i] = int8_t(plane == 2 - channel ? at / 3 : -128);
    }
  }
  return m;
}();

IMEXP_AVX2_TARGET void PlanesToBGRAvx2(ReadRowState& state) {
  constexpr size_t kBlock = 16;
  const uint8_t* red = state.source;
  const uint8_t* green = red + state.planeStride;
  const uint8_t* blue = green + state.planeStride;
  uint8_t* row = state.intermediate;
  const size_t width = state.width;
  auto mask = [](int k, int plane) {
    return reinterpret_cast<const __m128i*>(kMergeShuffles.byte[k][plane]);
  };
  size_t x = 0;
  for (; x + kBlock <= width; x += kBlock) {
    const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(red + x));
    const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(green + x));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(blue + x));
    for (int k = 0; k < 3; ++k) {
      const __m128i merged = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(r, _mm_load_si128(mask(k, 0))),
                                                       _mm_shuffle_epi8(g, _mm_load_si128(mask(k, 1)))),
                                          _mm_shuffle_epi8(b, _mm_load_si128(mask(k, 2))));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 3 * x + 16 * k), merged);
    }
  }
  MergePlanes(red + x, green + x, blue + x, row + 3 * x, width - x);
}

void GreyLookupAvx512(ReadRowState& state) {
  rowkernel::LookupBytesAvx512(state.stage2Input, state.host, state.hostBytes, state.palette);
}

void PaletteToBGRAvx512(ReadRowState& state) {
  rowkernel::PaletteTo24Avx512<true>(state.stage2Input, state.host, state.hostBytes / 3, state.palette);
}

#endif  // IMEXP_ROW_VECTOR

// The converters that have an implementation per path, one set per path.
struct PathKernels {
  ReadRowConverter packBytesToBits, planesToNibbles, planesToBGR, greyLookup, paletteToBGR;
};
constexpr PathKernels kPortableKernels = {PackBytesToBitsPortable, PlanesToNibblesPortable,
                                          PlanesToBGRPortable, GreyLookupPortable, PaletteToBGRPortable};
#if IMEXP_ROW_VECTOR
constexpr PathKernels kAvx2Kernels = {PackBytesToBitsAvx2, PlanesToNibblesAvx2, PlanesToBGRAvx2,
                                      GreyLookupPortable, PaletteToBGRPortable};
constexpr PathKernels kAvx512Kernels = {PackBytesToBitsAvx512, PlanesToNibblesAvx2, PlanesToBGRAvx2,
                                        GreyLookupAvx512, PaletteToBGRAvx512};
#else
constexpr PathKernels kAvx2Kernels = kPortableKernels;
constexpr PathKernels kAvx512Kernels = kPortableKernels;
#endif

const PathKernels& KernelsOn(rowkernel::KernelPath path) {
  switch (path) {
    case rowkernel::KernelPath::kAvx512:
      return kAvx512Kernels;
    case rowkernel::KernelPath::kAvx2:
      return kAvx2Kernels;
    default:
      return kPortableKernels;
  }
}

// The one place this file picks a path: on first use, for the life of the
// library.
const PathKernels& Chosen() {
  static const PathKernels& chosen = KernelsOn(rowkernel::FastestKernelPath());
  return chosen;
}

}  // namespace

// ---------------------------------------------------------------- stage 1

// Inverse: Write1To8 (its 0 and 255 bytes pack back to the same bits). Any
// non-zero byte counts as set, so a converter's stray values cannot leak
// into the neighbouring pixels.
void PackBytesToBits(ReadRowState& state) { Chosen().packBytesToBits(state); }

// Inverse: PackBytesToBits. Write1To8 is the same spread with 255 for 1.
void UnpackBitsToBytes(ReadRowState& state) {
  ExpandBits<8, 1>(state.source, state.intermediate, state.width);
}

// Inverse: UnpackNibblesToBytes, and Write4To8 with an identity lookup. The
// second pixel of a pair is ORed in whole, as the layout is defined; values
// of 16 and up are the converter's fault.
void PackBytesToNibbles(ReadRowState& state) {
  const uint8_t* source = state.source;
  uint8_t* row = state.intermediate;
  const size_t pairs = state.width / 2;
  for (size_t k = 0; k < pairs; ++k) row[k] = static_cast<uint8_t>(source[2 * k] << 4 | source[2 * k + 1]);
  if (state.width % 2) row[pairs] = static_cast<uint8_t>(source[2 * pairs] << 4);
}

// Inverse: PackBytesToNibbles (and Write4To8 with an identity lookup is the
// same unpacking on the write side).
void UnpackNibblesToBytes(ReadRowState& state) {
  const uint8_t* source = state.source;
  uint8_t* row = state.intermediate;
  const size_t pairs = state.width / 2;
  for (size_t k = 0; k < pairs; ++k) {
    row[2 * k] = source[k] >> 4;
    row[2 * k + 1] = source[k] & 15;
  }
  if (state.width % 2) row[2 * pairs] = source[pairs] >> 4;
}

// Inverse: Write4To4Planar.
void PlanesToNibbles(ReadRowState& state) { Chosen().planesToNibbles(state); }

// Inverse: none directly; Write4To4Planar after PackBytesToNibbles.
void PlanesToBytes(ReadRowState& state) {
  CombineBitPlanes<8>(state.source, state.planeStride, state.intermediate, state.width);
}

// Inverse: none on the write side (Write1To4 spreads the same way to 15).
void BitsToNibbles(ReadRowState& state) { ExpandBits<4, 1>(state.source, state.intermediate, state.width); }

// Inverse: WriteRGBPlanar.
void PlanesToBGR(ReadRowState& state) { Chosen().planesToBGR(state); }

// ---------------------------------------------------------------- stage 2

// Inverse: WriteCopy.
void CopyRow(ReadRowState& state) { std::memcpy(state.host, state.stage2Input, state.hostBytes); }

// Its own inverse. Every byte is complemented, including the padding bits of
// the last one; the host ignores them.
void InvertRow(ReadRowState& state) {
  const uint8_t* input = state.stage2Input;
  uint8_t* host = state.host;
  const size_t bytes = state.hostBytes;
  for (size_t i = 0; i < bytes; ++i) host[i] = static_cast<uint8_t>(~input[i]);
}

// No inverse: several indices may share a grey level. The red plane stands
// for the grey level because palette analysis left the planes equal.
void GreyLookup(ReadRowState& state) { Chosen().greyLookup(state); }

// No inverse (a palette need not be one-to-one); Write8To24 is the same
// lookup in the converters' red-first order. Whole pixels only: N is 3 x W
// for a true-colour host, and a stray remainder must not run past the row.
void PaletteToBGR(ReadRowState& state) { Chosen().paletteToBGR(state); }

// Its own inverse, and the same kernel as WriteSwapRGB.
void SwapRGB(ReadRowState& state) {
  rowkernel::SwapTriples(state.stage2Input, state.host, state.hostBytes / 3);
}

namespace {

// A kind's converter, and for a kind with an implementation per path the
// member of PathKernels that names it.
using PathMember = ReadRowConverter PathKernels::*;

struct Stage1Entry {
  ReadStage1Kind kind;
  ReadRowConverter convert;
  PathMember onPath = nullptr;
};
constexpr Stage1Entry kStage1Converters[] = {
    {kPackBytesToBits, PackBytesToBits, &PathKernels::packBytesToBits},
    {kUnpackBitsToBytes, UnpackBitsToBytes},
    {kPackBytesToNibbles, PackBytesToNibbles},
    {kUnpackNibblesToBytes, UnpackNibblesToBytes},
    {kPlanesToNibbles, PlanesToNibbles, &PathKernels::planesToNibbles},
    {kPlanesToBytes, PlanesToBytes},
    {kBitsToNibbles, BitsToNibbles},
    {kPlanesToBGR, PlanesToBGR, &PathKernels::planesToBGR},
};

struct Stage2Entry {
  ReadStage2Kind kind;
  ReadRowConverter convert;
  PathMember onPath = nullptr;
};
constexpr Stage2Entry kStage2Converters[] = {
    {kCopyRow, CopyRow},
    {kInvertRow, InvertRow},
    {kGreyLookup, GreyLookup, &PathKernels::greyLookup},
    {kPaletteToBGR, PaletteToBGR, &PathKernels::paletteToBGR},
    {kSwapRGB, SwapRGB},
};

template <typename Kind, typename Entry, std::size_t N>
const Entry* Find(const Entry (&table)[N], Kind kind) {
  for (const Entry& entry : table) {
    if (entry.kind == kind) return &entry;
  }
  return nullptr;
}

template <typename Entry>
ReadRowConverter Converter(const Entry* entry) {
  return entry ? entry->convert : nullptr;
}

template <typename Entry>
ReadRowConverter ConverterOn(const Entry* entry, rowkernel::KernelPath path) {
  if (!entry) return nullptr;
  return entry->onPath ? KernelsOn(path).*(entry->onPath) : entry->convert;
}

}  // namespace

ReadRowConverter Stage1Converter(ReadStage1Kind kind) { return Converter(Find(kStage1Converters, kind)); }
ReadRowConverter Stage2Converter(ReadStage2Kind kind) { return Converter(Find(kStage2Converters, kind)); }

ReadRowConverter Stage1Converter(ReadStage1Kind kind, rowkernel::KernelPath path) {
  return ConverterOn(Find(kStage1Converters, kind), path);
}
ReadRowConverter Stage2Converter(ReadStage2Kind kind, rowkernel::KernelPath path) {
  return ConverterOn(Find(kStage2Converters, kind), path);
}

}  // namespace imexp
