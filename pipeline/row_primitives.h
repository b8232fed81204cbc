// Building blocks shared by the read converters and the write steps. Kernels
// that differ only in depth, fill value or channel order are one template
// here, so that a fix reaches every variant at once.
//
// Several pixels are combined in a 64-bit word and stored at once; the word's
// lowest byte is always the first in memory (the LE helpers keep that true on
// any byte order), so the shifts below read as byte positions.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "pipeline/row_vector.h"

namespace imexp::rowkernel {

template <typename Word>
constexpr Word ByteSwap(Word v) {
  Word r = 0;
  for (std::size_t i = 0; i < sizeof(Word); ++i, v >>= 8) r = static_cast<Word>(r << 8 | (v & 0xFF));
  return r;
}

// A word from the bytes at `p`, the first byte lowest.
template <typename Word>
inline Word LoadLE(const uint8_t* p) {
  Word v;
  std::memcpy(&v, p, sizeof v);
  if constexpr (std::endian::native == std::endian::big) v = ByteSwap(v);
  return v;
}

// Stores `v` at `p`, lowest byte first.
template <typename Word>
inline void StoreLE(uint8_t* p, Word v) {
  if constexpr (std::endian::native == std::endian::big) v = ByteSwap(v);
  std::memcpy(p, &v, sizeof v);
}

inline uint64_t LoadLE64(const uint8_t* p) { return LoadLE<uint64_t>(p); }
inline void StoreLE64(uint8_t* p, uint64_t v) { StoreLE(p, v); }
inline uint32_t LoadLE32(const uint8_t* p) { return LoadLE<uint32_t>(p); }
inline void StoreLE32(uint8_t* p, uint32_t v) { StoreLE(p, v); }

// GCC vectorises the table-lookup loops of these kernels with emulated
// gathers, which run at half the speed of the plain scalar loop; an empty asm
// statement in the loop body keeps it scalar. Other compilers get the plain
// loop.
inline void KeepScalar() {
#if defined(__GNUC__)
  __asm__ volatile("");
#endif
}

// Below this many pixels a per-call table costs more than it saves.
inline constexpr uint32_t kTableMinPixels = 64;

// ---------------------------------------------------------------- 1-bit pixels

// One byte of eight 1-bit pixels (first pixel in the most significant bit)
// spread to kOutBits per pixel: kOutBits bytes, kValue where the bit is set.
// For 4 bits kValue is a nibble, first pixel in the high nibble.
template <unsigned kOutBits, uint8_t kValue>
struct BitExpansionTable {
  alignas(64) uint8_t entry[256][kOutBits];
};

template <unsigned kOutBits, uint8_t kValue>
constexpr BitExpansionTable<kOutBits, kValue> MakeBitExpansion() {
  static_assert(kOutBits == 4 || kOutBits == 8 || kOutBits == 24);
  BitExpansionTable<kOutBits, kValue> table{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    for (unsigned pixel = 0; pixel < 8; ++pixel) {
      if (((byte << pixel) & 0x80) == 0) continue;
      if constexpr (kOutBits == 4) {
        uint8_t& out = table.entry[byte][pixel / 2];
        out = static_cast<uint8_t>(out | (pixel % 2 ? kValue : kValue << 4));
      } else {
        for (unsigned k = 0; k < kOutBits / 8; ++k) table.entry[byte][pixel * (kOutBits / 8) + k] = kValue;
      }
    }
  }
  return table;
}

template <unsigned kOutBits, uint8_t kValue>
inline constexpr BitExpansionTable<kOutBits, kValue> kBitExpansion = MakeBitExpansion<kOutBits, kValue>();

// `width` 1-bit pixels to kOutBits each. A partial last source byte yields
// only the output bytes its pixels reach; at 4 bits an odd width therefore
// also carries the bit after the last pixel into the last low nibble, which
// is what the rows of both directions define.
template <unsigned kOutBits, uint8_t kValue>
void ExpandBits(const uint8_t* source, uint8_t* destination, uint32_t width) {
  const auto& table = kBitExpansion<kOutBits, kValue>;
  const size_t whole = width / 8;
  for (size_t i = 0; i < whole; ++i)
    std::memcpy(destination + i * kOutBits, table.entry[source[i]], kOutBits);
  if (const unsigned rest = width % 8) {
    std::memcpy(destination + whole * kOutBits, table.entry[source[whole]], (rest * kOutBits + 7) / 8);
  }
}

// ---------------------------------------------------------------- lookups

// destination[i] = table[source[i]].
void LookupBytes(const uint8_t* source, uint8_t* destination, size_t count, const uint8_t* table);
#if IMEXP_ROW_VECTOR
IMEXP_AVX512_TARGET void LookupBytesAvx512(const uint8_t* source, uint8_t* destination, size_t count,
                                           const uint8_t* table);
#endif

// `width` packed 4-bit pixels (first in the high nibble) to one table byte
// each; with an odd width the last source byte gives only its high nibble.
void LookupNibbles(const uint8_t* source, uint8_t* destination, uint32_t width, const uint8_t* table);

// Palette entry i (planes red[256], green[256], blue[256]) as three bytes in
// output order in the low 24 bits of a word.
template <bool kBlueFirst>
inline uint32_t PaletteTriple(const uint8_t* palette, unsigned i) {
  const uint32_t red = palette[i], green = palette[256 + i], blue = palette[512 + i];
  return kBlueFirst ? blue | green << 8 | red << 16 : red | green << 8 | blue << 16;
}

// One byte per pixel through the palette to three bytes per pixel, blue
// first for the host, red first for converters. The three planes are merged
// into one table per call: one load per pixel instead of three, and cheap
// next to a row (the palette may differ from one image to the next). Two
// pixels go out as one 8-byte store every six bytes; the two bytes each
// store writes ahead are rewritten by the next, so a step needs a pixel after
// it.
template <bool kBlueFirst>
void PaletteTo24(const uint8_t* source, uint8_t* destination, size_t count, const uint8_t* palette) {
  constexpr size_t kBlock = 8;
  size_t x = 0;
  if (count >= kTableMinPixels) {
    uint32_t triple[256];
    for (unsigned i = 0; i < 256; ++i) triple[i] = PaletteTriple<kBlueFirst>(palette, i);
    for (; x + kBlock < count; x += kBlock) {
      const uint8_t* s = source + x;
      uint8_t* d = destination + 3 * x;
      for (unsigned k = 0; k < kBlock; k += 2)
        StoreLE64(d + 3 * k, triple[s[k]] | uint64_t{triple[s[k + 1]]} << 24);
      KeepScalar();
    }
  }
  for (; x < count; ++x) {
    const uint32_t p = PaletteTriple<kBlueFirst>(palette, source[x]);
    destination[3 * x] = static_cast<uint8_t>(p);
    destination[3 * x + 1] = static_cast<uint8_t>(p >> 8);
    destination[3 * x + 2] = static_cast<uint8_t>(p >> 16);
  }
}

#if IMEXP_ROW_VECTOR
// The same 64 pixels at a time: three lookups, one per palette plane, and
// the three planes interleaved.
template <bool kBlueFirst>
IMEXP_AVX512_TARGET void PaletteTo24Avx512(const uint8_t* source, uint8_t* destination, size_t count,
                                           const uint8_t* palette);
#endif

// ---------------------------------------------------------------- byte order

// Exchanges the first and third byte of `pixels` triples. Its own inverse.
void SwapTriples(const uint8_t* source, uint8_t* destination, size_t pixels);

}  // namespace imexp::rowkernel
