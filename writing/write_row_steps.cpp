// The row steps of writing: one host row into one row of the converter's
// layout, widening or copying. Each touches the host row's own bytes and,
// in the band buffer, exactly the extent ChooseWriteStep reports (per plane
// for the planar steps, planes `stride` bytes apart).
#include "writing/write_row_steps.h"

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
void Write4To4Planar(WriteRowState& state) {
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
void Write8To24(WriteRowState& state) {
  rowkernel::PaletteTo24<false>(state.source, state.destination, state.width, state.palette);
}

// Inverse: none. One lookup in the merged palette serves all three planes:
// two loads and three stores per pixel instead of three lookups.
void Write8To24Planar(WriteRowState& state) {
  const uint8_t* source = state.source;
  uint8_t* red = Plane(state, 0);
  uint8_t* green = Plane(state, 1);
  uint8_t* blue = Plane(state, 2);
  const size_t width = state.width;
  if (width < rowkernel::kTableMinPixels) {
    for (unsigned plane = 0; plane < 3; ++plane) {
      rowkernel::LookupBytes(source, Plane(state, plane), width, state.palette + 256 * plane);
    }
    return;
  }
  uint32_t triple[256];
  for (unsigned i = 0; i < 256; ++i) triple[i] = rowkernel::PaletteTriple<false>(state.palette, i);
  for (size_t x = 0; x < width; ++x) {
    const uint32_t p = triple[source[x]];
    red[x] = static_cast<uint8_t>(p);
    green[x] = static_cast<uint8_t>(p >> 8);
    blue[x] = static_cast<uint8_t>(p >> 16);
    rowkernel::KeepScalar();
  }
}

// Inverse: SwapRGB (the same kernel).
void WriteSwapRGB(WriteRowState& state) {
  rowkernel::SwapTriples(state.source, state.destination, state.width);
}

// Inverse: PlanesToBGR. Four pixels (twelve bytes) become one 32-bit word
// per plane; the host's blue-green-red triples go to red, green, blue planes.
void WriteRGBPlanar(WriteRowState& state) {
  SplitTriples(state.source, Plane(state, 0), Plane(state, 1), Plane(state, 2), state.width);
}

}  // namespace imexp
