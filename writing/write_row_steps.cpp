// The row steps of writing: one host row into one row of the converter's
// layout, widening or copying. Each touches the host row's own bytes and,
// in the band buffer, exactly the extent ChooseWriteStep reports (per plane
// for the planar steps, planes `stride` bytes apart).
#include "writing/write_row_steps.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "pipeline/row_primitives.h"

namespace imexp {

namespace {

using rowkernel::ExpandBits;

uint8_t* Plane(const WriteRowState& state, unsigned plane) {
  return state.destination + size_t{plane} * state.stride;
}

// Host byte (two 4-bit pixels) to its bits in four plane bytes: byte p of the
// word is plane p, the first pixel's bit at 0x80 and the second's at 0x40.
// Shifting the word right by 2 moves a pair to the next two pixel places
// without crossing into the next plane.
constexpr std::array<uint32_t, 256> kNibblePlaneBits = [] {
  std::array<uint32_t, 256> table{};
  for (uint32_t byte = 0; byte < 256; ++byte) {
    for (uint32_t plane = 0; plane < 4; ++plane) {
      table[byte] |= ((byte >> (4 + plane)) & 1) << (8 * plane + 7) | ((byte >> plane) & 1)
                                                                          << (8 * plane + 6);
    }
  }
  return table;
}();

// The host row and the band never overlap; saying so lets the compiler
// vectorise the loop, half again as fast as the scalar one.
void SplitTriples(const uint8_t* __restrict source, uint8_t* __restrict red, uint8_t* __restrict green,
                  uint8_t* __restrict blue, uint32_t width) {
  uint32_t x = 0;
  for (; x + 4 <= width; x += 4) {
    const uint64_t low = rowkernel::LoadLE64(source + 3 * x);
    const uint32_t high = rowkernel::LoadLE32(source + 3 * x + 8);
    rowkernel::StoreLE32(blue + x, uint32_t(low & 255) | uint32_t((low >> 24) & 255) << 8 |
                                       uint32_t((low >> 48) & 255) << 16 | ((high >> 8) & 255) << 24);
    rowkernel::StoreLE32(green + x, uint32_t((low >> 8) & 255) | uint32_t((low >> 32) & 255) << 8 |
                                        uint32_t(low >> 56) << 16 | ((high >> 16) & 255) << 24);
    rowkernel::StoreLE32(red + x, uint32_t((low >> 16) & 255) | uint32_t((low >> 40) & 255) << 8 |
                                      (high & 255) << 16 | (high >> 24) << 24);
  }
  for (; x < width; ++x) {
    red[x] = source[3 * x + 2];
    green[x] = source[3 * x + 1];
    blue[x] = source[3 * x];
  }
}

// Four host bytes make one byte of every plane (the steps' tails, and the
// whole row where the processor has no vector path).
void Write4To4PlanarPortable(WriteRowState& state) {
  const uint8_t* source = state.source;
  uint8_t* plane0 = Plane(state, 0);
  uint8_t* plane1 = Plane(state, 1);
  uint8_t* plane2 = Plane(state, 2);
  uint8_t* plane3 = Plane(state, 3);
  auto store = [&](size_t i, uint32_t bits) {
    plane0[i] = static_cast<uint8_t>(bits);
    plane1[i] = static_cast<uint8_t>(bits >> 8);
    plane2[i] = static_cast<uint8_t>(bits >> 16);
    plane3[i] = static_cast<uint8_t>(bits >> 24);
  };
  const size_t hostBytes = (size_t{state.width} + 1) / 2;
  const size_t whole = hostBytes / 4;
  for (size_t i = 0; i < whole; ++i) {
    const uint8_t* s = source + 4 * i;
    store(i, kNibblePlaneBits[s[0]] | kNibblePlaneBits[s[1]] >> 2 | kNibblePlaneBits[s[2]] >> 4 |
                 kNibblePlaneBits[s[3]] >> 6);
  }
  if (const size_t rest = hostBytes % 4) {
    uint32_t bits = 0;
    for (size_t k = 0; k < rest; ++k) bits |= kNibblePlaneBits[source[4 * whole + k]] >> (2 * k);
    store(whole, bits);
  }
}

void Write8To24Portable(WriteRowState& state) {
  rowkernel::PaletteTo24<false>(state.source, state.destination, state.width, state.palette);
}

// One plane at a time through its palette plane: the byte lookup is bound by
// its loads, and three of them beat one lookup in a merged table followed by
// three byte stores a pixel.
void Write8To24PlanarPortable(WriteRowState& state) {
  for (unsigned plane = 0; plane < 3; ++plane) {
    rowkernel::LookupBytes(state.source, Plane(state, plane), state.width, state.palette + 256 * plane);
  }
}

// Four pixels (twelve bytes) become one 32-bit word per plane; the host's
// blue-green-red triples go to red, green, blue planes.
void WriteRGBPlanarPortable(WriteRowState& state) {
  SplitTriples(state.source, Plane(state, 0), Plane(state, 1), Plane(state, 2), state.width);
}

// The rest of a row after `pixels` done by a vector step, for the portable
// step to finish. Planar steps only: the planes keep their stride.
WriteRowState After(const WriteRowState& state, size_t pixels, size_t sourceBytes, size_t planeBytes) {
  WriteRowState rest = state;
  rest.source += sourceBytes;
  rest.destination += planeBytes;
  rest.width -= static_cast<uint32_t>(pixels);
  return rest;
}

#if IMEXP_ROW_VECTOR

// 256 pixels a step: each host word of eight pixels turned into its four
// plane bytes (3, 1, 2, 0), the bytes gathered into runs per plane, the runs
// of four words transposed into planes, and the runs put back in pixel order.
IMEXP_AVX2_TARGET void Write4To4PlanarAvx2(WriteRowState& state) {
  constexpr size_t kBlock = 32;  // bytes of each plane
  const size_t whole = (size_t{state.width} + 1) / 2 / 4;
  uint8_t* plane0 = Plane(state, 0);
  uint8_t* plane1 = Plane(state, 1);
  uint8_t* plane2 = Plane(state, 2);
  uint8_t* plane3 = Plane(state, 3);
  const __m256i runs = _mm256_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15,  //
                                        0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
  const __m256i inOrder = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  size_t i = 0;
  for (; i + kBlock <= whole; i += kBlock) {
    const __m256i* in = reinterpret_cast<const __m256i*>(state.source + 4 * i);
    const __m256i y0 = _mm256_shuffle_epi8(rowkernel::NibbleWordsToPlaneWords(_mm256_loadu_si256(in)), runs);
    const __m256i y1 =
        _mm256_shuffle_epi8(rowkernel::NibbleWordsToPlaneWords(_mm256_loadu_si256(in + 1)), runs);
    const __m256i y2 =
        _mm256_shuffle_epi8(rowkernel::NibbleWordsToPlaneWords(_mm256_loadu_si256(in + 2)), runs);
    const __m256i y3 =
        _mm256_shuffle_epi8(rowkernel::NibbleWordsToPlaneWords(_mm256_loadu_si256(in + 3)), runs);
    const __m256i t0 = _mm256_unpacklo_epi32(y0, y1), t1 = _mm256_unpackhi_epi32(y0, y1);
    const __m256i t2 = _mm256_unpacklo_epi32(y2, y3), t3 = _mm256_unpackhi_epi32(y2, y3);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(plane3 + i),
                        _mm256_permutevar8x32_epi32(_mm256_unpacklo_epi64(t0, t2), inOrder));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(plane1 + i),
                        _mm256_permutevar8x32_epi32(_mm256_unpackhi_epi64(t0, t2), inOrder));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(plane2 + i),
                        _mm256_permutevar8x32_epi32(_mm256_unpacklo_epi64(t1, t3), inOrder));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(plane0 + i),
                        _mm256_permutevar8x32_epi32(_mm256_unpackhi_epi64(t1, t3), inOrder));
  }
  // With an odd width the last whole word may end past the last pixel.
  WriteRowState rest = After(state, std::min<size_t>(8 * i, state.width), 4 * i, i);
  Write4To4PlanarPortable(rest);
}

// For plane p (red, green, blue) of a 16-pixel step, which byte of each of
// the three host vectors lands where; -128 leaves a byte to another vector.
struct SplitShuffles {
  alignas(16) int8_t byte[3][3][16];
};
constexpr SplitShuffles kSplitShuffles = [] {
  SplitShuffles m{};
  for (int plane = 0; plane < 3; ++plane) {
    for (int x = 0; x < 16; ++x) {
      const int at = 3 * x + 2 - plane;
      for (int k = 0; k < 3; ++k) m.byte[plane][k][x] = int8_t(at / 16 == k ? at % 16 : -128);
    }
  }
  return m;
}();

IMEXP_AVX2_TARGET void WriteRGBPlanarAvx2(WriteRowState& state) {
  constexpr size_t kBlock = 16;
  const size_t width = state.width;
  size_t x = 0;
  for (; x + kBlock <= width; x += kBlock) {
    const __m128i* in = reinterpret_cast<const __m128i*>(state.source + 3 * x);
    const __m128i in0 = _mm_loadu_si128(in), in1 = _mm_loadu_si128(in + 1), in2 = _mm_loadu_si128(in + 2);
    for (unsigned plane = 0; plane < 3; ++plane) {
      const __m128i* mask = reinterpret_cast<const __m128i*>(kSplitShuffles.byte[plane]);
      const __m128i bytes = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(in0, _mm_load_si128(mask)),
                                                      _mm_shuffle_epi8(in1, _mm_load_si128(mask + 1))),
                                         _mm_shuffle_epi8(in2, _mm_load_si128(mask + 2)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(Plane(state, plane) + x), bytes);
    }
  }
  WriteRowState rest = After(state, x, 3 * x, x);
  WriteRGBPlanarPortable(rest);
}

void Write8To24Avx512(WriteRowState& state) {
  rowkernel::PaletteTo24Avx512<false>(state.source, state.destination, state.width, state.palette);
}

// 64 pixels a step, one lookup per plane in its palette plane.
IMEXP_AVX512_TARGET void Write8To24PlanarAvx512(WriteRowState& state) {
  constexpr size_t kBlock = 64;
  using rowkernel::Load64;
  const uint8_t* red = state.palette;
  const uint8_t* green = red + 256;
  const uint8_t* blue = red + 512;
  const __m512i red0 = Load64(red), red1 = Load64(red + 64), red2 = Load64(red + 128),
                red3 = Load64(red + 192);
  const __m512i green0 = Load64(green), green1 = Load64(green + 64);
  const __m512i green2 = Load64(green + 128), green3 = Load64(green + 192);
  const __m512i blue0 = Load64(blue), blue1 = Load64(blue + 64);
  const __m512i blue2 = Load64(blue + 128), blue3 = Load64(blue + 192);
  const size_t width = state.width;
  size_t x = 0;
  for (; x + kBlock <= width; x += kBlock) {
    const __m512i index = Load64(state.source + x);
    _mm512_storeu_si512(Plane(state, 0) + x, rowkernel::LookupBytes64(index, red0, red1, red2, red3));
    _mm512_storeu_si512(Plane(state, 1) + x, rowkernel::LookupBytes64(index, green0, green1, green2, green3));
    _mm512_storeu_si512(Plane(state, 2) + x, rowkernel::LookupBytes64(index, blue0, blue1, blue2, blue3));
  }
  WriteRowState rest = After(state, x, x, x);
  Write8To24PlanarPortable(rest);
}

#endif  // IMEXP_ROW_VECTOR

// The steps that have an implementation per path, one set per path.
struct PathSteps {
  WriteRowStep write4To4Planar, write8To24, write8To24Planar, writeRGBPlanar;
};
constexpr PathSteps kPortableSteps = {Write4To4PlanarPortable, Write8To24Portable, Write8To24PlanarPortable,
                                      WriteRGBPlanarPortable};
#if IMEXP_ROW_VECTOR
constexpr PathSteps kAvx2Steps = {Write4To4PlanarAvx2, Write8To24Portable, Write8To24PlanarPortable,
                                  WriteRGBPlanarAvx2};
constexpr PathSteps kAvx512Steps = {Write4To4PlanarAvx2, Write8To24Avx512, Write8To24PlanarAvx512,
                                    WriteRGBPlanarAvx2};
#else
constexpr PathSteps kAvx2Steps = kPortableSteps;
constexpr PathSteps kAvx512Steps = kPortableSteps;
#endif

const PathSteps& StepsOn(rowkernel::KernelPath path) {
  switch (path) {
    case rowkernel::KernelPath::kAvx512:
      return kAvx512Steps;
    case rowkernel::KernelPath::kAvx2:
      return kAvx2Steps;
    default:
      return kPortableSteps;
  }
}

// The one place this file picks a path: on first use, for the life of the
// library.
const PathSteps& Chosen() {
  static const PathSteps& chosen = StepsOn(rowkernel::FastestKernelPath());
  return chosen;
}

}  // namespace

// Inverse: CopyRow.
void WriteCopy(WriteRowState& state) { std::memcpy(state.destination, state.source, state.stride); }

// Inverse: none among the read converters (BitsToNibbles spreads the same
// bits to 1 instead of 15).
void Write1To4(WriteRowState& state) { ExpandBits<4, 15>(state.source, state.destination, state.width); }

// Inverse: PlanesToNibbles (every set pixel reads back as 15). The host's
// packed bits already are one bit plane, so each plane is a plain copy.
void Write1To4Planar(WriteRowState& state) {
  const size_t bytes = (size_t{state.width} + 7) / 8;
  for (unsigned plane = 0; plane < 4; ++plane) std::memcpy(Plane(state, plane), state.source, bytes);
}

// Inverse: PackBytesToBits.
void Write1To8(WriteRowState& state) { ExpandBits<8, 255>(state.source, state.destination, state.width); }

// Inverse: none (each byte of a pixel is 0 or 255 alike).
void Write1To24(WriteRowState& state) { ExpandBits<24, 255>(state.source, state.destination, state.width); }

// Inverse: none. The three planes are equal, so two are copies of the first,
// still in cache.
void Write1To24Planar(WriteRowState& state) {
  uint8_t* first = Plane(state, 0);
  ExpandBits<8, 255>(state.source, first, state.width);
  std::memcpy(Plane(state, 1), first, state.width);
  std::memcpy(Plane(state, 2), first, state.width);
}

// Inverse: PlanesToNibbles. Four host bytes make one byte of every plane.
// Each plane byte is stored whole, so nothing from the band's previous
// contents survives, and pixels past the row's host bytes count as 0. With
// an odd width the pixel after the last one (the low nibble of the last host
// byte) is carried over, as in the other direction.
void Write4To4Planar(WriteRowState& state) { Chosen().write4To4Planar(state); }

// Inverse: UnpackNibblesToBytes then a reverse lookup, which exists only
// when the lookup is one-to-one (the identity, or a ramp to 8 bits).
void Write4To8(WriteRowState& state) {
  rowkernel::LookupNibbles(state.source, state.destination, state.width, state.greyLookup);
}

// Inverse: none (a palette need not be one-to-one). Every host byte holds
// two pixels, so a table of both pixels' six bytes halves the lookups.
void Write4To24(WriteRowState& state) {
  const uint8_t* source = state.source;
  uint8_t* destination = state.destination;
  const uint8_t* palette = state.palette;
  const size_t pairs = state.width / 2;
  size_t j = 0;
  if (state.width >= rowkernel::kTableMinPixels) {
    uint64_t triple[16];
    for (unsigned i = 0; i < 16; ++i) triple[i] = rowkernel::PaletteTriple<false>(palette, i);
    uint64_t pair[256];
    for (unsigned high = 0; high < 16; ++high) {
      for (unsigned low = 0; low < 16; ++low) pair[high * 16 + low] = triple[high] | triple[low] << 24;
    }
    for (; j + 4 <= pairs; j += 4) {
      const uint64_t e0 = pair[source[j]], e1 = pair[source[j + 1]];
      const uint64_t e2 = pair[source[j + 2]], e3 = pair[source[j + 3]];
      uint8_t* d = destination + 6 * j;
      rowkernel::StoreLE64(d, e0 | e1 << 48);
      rowkernel::StoreLE64(d + 8, e1 >> 16 | e2 << 32);
      rowkernel::StoreLE64(d + 16, e2 >> 32 | e3 << 16);
    }
  }
  auto put = [&](size_t x, unsigned index) {
    destination[3 * x] = palette[index];
    destination[3 * x + 1] = palette[256 + index];
    destination[3 * x + 2] = palette[512 + index];
  };
  for (; j < pairs; ++j) {
    put(2 * j, source[j] >> 4);
    put(2 * j + 1, source[j] & 15);
  }
  if (state.width % 2) put(2 * pairs, source[pairs] >> 4);
}

// Inverse: none. Each plane is the nibble lookup through its palette plane.
void Write4To24Planar(WriteRowState& state) {
  for (unsigned plane = 0; plane < 3; ++plane) {
    rowkernel::LookupNibbles(state.source, Plane(state, plane), state.width, state.palette + 256 * plane);
  }
}

// Inverse: none; PaletteToBGR is the same lookup in the host's blue-first
// order.
void Write8To24(WriteRowState& state) { Chosen().write8To24(state); }

// Inverse: none.
void Write8To24Planar(WriteRowState& state) { Chosen().write8To24Planar(state); }

// Inverse: SwapRGB (the same kernel).
void WriteSwapRGB(WriteRowState& state) {
  rowkernel::SwapTriples(state.source, state.destination, state.width);
}

// Inverse: PlanesToBGR.
void WriteRGBPlanar(WriteRowState& state) { Chosen().writeRGBPlanar(state); }

namespace {

struct StepOnPath {
  WriteRowStep step;
  WriteRowStep PathSteps::*onPath;
};
constexpr StepOnPath kStepsOnPath[] = {
    {Write4To4Planar, &PathSteps::write4To4Planar},
    {Write8To24, &PathSteps::write8To24},
    {Write8To24Planar, &PathSteps::write8To24Planar},
    {WriteRGBPlanar, &PathSteps::writeRGBPlanar},
};

}  // namespace

WriteRowStep WriteStepOn(WriteRowStep step, rowkernel::KernelPath path) {
  for (const StepOnPath& entry : kStepsOnPath) {
    if (entry.step == step) return StepsOn(path).*(entry.onPath);
  }
  return step;
}

}  // namespace imexp
