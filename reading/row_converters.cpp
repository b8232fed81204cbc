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
  const auto& table = kBitExpansion<kOutBits, 1>;
  const uint8_t* plane0 = source;
  const uint8_t* plane1 = source + planeStride;
  const uint8_t* plane2 = source + 2 * planeStride;
  const uint8_t* plane3 = source + 3 * planeStride;
  auto spread = [&table](uint8_t bits) {
    Word word;
    std::memcpy(&word, table.entry[bits], sizeof word);
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

}  // namespace

// ---------------------------------------------------------------- stage 1

// Inverse: Write1To8 (its 0 and 255 bytes pack back to the same bits). Any
// non-zero byte counts as set, so a converter's stray values cannot leak
// into the neighbouring pixels.
void PackBytesToBits(ReadRowState& state) {
  const uint8_t* source = state.source;
  uint8_t* row = state.intermediate;
  const size_t whole = state.width / 8;
  for (size_t j = 0; j < whole; ++j) {
    const uint8_t* s = source + 8 * j;
    row[j] = static_cast<uint8_t>((s[0] != 0) << 7 | (s[1] != 0) << 6 | (s[2] != 0) << 5 | (s[3] != 0) << 4 |
                                  (s[4] != 0) << 3 | (s[5] != 0) << 2 | (s[6] != 0) << 1 | (s[7] != 0));
  }
  if (const unsigned rest = state.width % 8) {
    unsigned byte = 0;
    for (unsigned k = 0; k < rest; ++k) byte |= unsigned{source[8 * whole + k] != 0} << (7 - k);
    row[whole] = static_cast<uint8_t>(byte);
  }
}

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
void PlanesToNibbles(ReadRowState& state) {
  CombineBitPlanes<4>(state.source, state.planeStride, state.intermediate, state.width);
}

// Inverse: none directly; Write4To4Planar after PackBytesToNibbles.
void PlanesToBytes(ReadRowState& state) {
  CombineBitPlanes<8>(state.source, state.planeStride, state.intermediate, state.width);
}

// Inverse: none on the write side (Write1To4 spreads the same way to 15).
void BitsToNibbles(ReadRowState& state) { ExpandBits<4, 1>(state.source, state.intermediate, state.width); }

// Inverse: WriteRGBPlanar.
void PlanesToBGR(ReadRowState& state) {
  const uint8_t* red = state.source;
  MergePlanes(red, red + state.planeStride, red + 2 * size_t{state.planeStride}, state.intermediate,
              state.width);
}

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
void GreyLookup(ReadRowState& state) {
  rowkernel::LookupBytes(state.stage2Input, state.host, state.hostBytes, state.palette);
}

// No inverse (a palette need not be one-to-one); Write8To24 is the same
// lookup in the converters' red-first order. Whole pixels only: N is 3 x W
// for a true-colour host, and a stray remainder must not run past the row.
void PaletteToBGR(ReadRowState& state) {
  rowkernel::PaletteTo24<true>(state.stage2Input, state.host, state.hostBytes / 3, state.palette);
}

// Its own inverse, and the same kernel as WriteSwapRGB.
void SwapRGB(ReadRowState& state) {
  rowkernel::SwapTriples(state.stage2Input, state.host, state.hostBytes / 3);
}

namespace {

struct Stage1Entry {
  ReadStage1Kind kind;
  ReadRowConverter convert;
};
constexpr Stage1Entry kStage1Converters[] = {
    {kPackBytesToBits, PackBytesToBits},       {kUnpackBitsToBytes, UnpackBitsToBytes},
    {kPackBytesToNibbles, PackBytesToNibbles}, {kUnpackNibblesToBytes, UnpackNibblesToBytes},
    {kPlanesToNibbles, PlanesToNibbles},       {kPlanesToBytes, PlanesToBytes},
    {kBitsToNibbles, BitsToNibbles},           {kPlanesToBGR, PlanesToBGR},
};

struct Stage2Entry {
  ReadStage2Kind kind;
  ReadRowConverter convert;
};
constexpr Stage2Entry kStage2Converters[] = {
    {kCopyRow, CopyRow},           {kInvertRow, InvertRow}, {kGreyLookup, GreyLookup},
    {kPaletteToBGR, PaletteToBGR}, {kSwapRGB, SwapRGB},
};

template <typename Kind, typename Entry, std::size_t N>
ReadRowConverter Find(const Entry (&table)[N], Kind kind) {
  for (const Entry& entry : table) {
    if (entry.kind == kind) return entry.convert;
  }
  return nullptr;
}

}  // namespace

ReadRowConverter Stage1Converter(ReadStage1Kind kind) { return Find(kStage1Converters, kind); }
ReadRowConverter Stage2Converter(ReadStage2Kind kind) { return Find(kStage2Converters, kind); }

}  // namespace imexp
