// Choosing the row step of a write and preparing the lookups it reads.
#include <cstring>

#include <imexp/converter.h>

#include "pipeline/grey_ramps.h"
#include "writing/write_row_steps.h"

namespace imexp {

namespace {

enum class Planes { kAny, kSingle, kPlanar };
enum class Order { kAny, kRgb, kBgr };  // bgrOrder 0, non-zero

struct WriteStepRow {
  int sourceBits;
  int outputBits;  // effective
  Planes planes;
  Order order;
  WriteRowStep step;
  uint32_t planesWritten;
  uint32_t bitsPerPlane;  // bits one pixel takes in each written plane
};

constexpr WriteStepRow kWriteSteps[] = {
    {1, 1, Planes::kAny, Order::kAny, WriteCopy, 1, 1},
    {1, 4, Planes::kSingle, Order::kAny, Write1To4, 1, 4},
    {1, 4, Planes::kPlanar, Order::kAny, Write1To4Planar, 4, 1},
    {1, 8, Planes::kAny, Order::kAny, Write1To8, 1, 8},
    {1, 24, Planes::kSingle, Order::kAny, Write1To24, 1, 24},
    {1, 24, Planes::kPlanar, Order::kAny, Write1To24Planar, 3, 8},
    {4, 4, Planes::kSingle, Order::kAny, WriteCopy, 1, 4},
    {4, 4, Planes::kPlanar, Order::kAny, Write4To4Planar, 4, 1},
    {4, 8, Planes::kAny, Order::kAny, Write4To8, 1, 8},
    {4, 24, Planes::kSingle, Order::kAny, Write4To24, 1, 24},
    {4, 24, Planes::kPlanar, Order::kAny, Write4To24Planar, 3, 8},
    {8, 24, Planes::kSingle, Order::kAny, Write8To24, 1, 24},
    {8, 24, Planes::kPlanar, Order::kAny, Write8To24Planar, 3, 8},
    {24, 24, Planes::kSingle, Order::kRgb, WriteSwapRGB, 1, 24},
    {24, 24, Planes::kSingle, Order::kBgr, WriteCopy, 1, 24},
    {24, 24, Planes::kPlanar, Order::kAny, WriteRGBPlanar, 3, 8},
};

// Entries below 2 to the power of `bits` are prepared; a palette has 256.
uint32_t EntriesBelow(int bits) {
  if (bits <= 0) return 1;
  return bits >= 8 ? 256 : 1u << bits;
}

}  // namespace

WriteStepChoice ChooseWriteStep(int sourceBits, int effectiveOutputBits, bool planar, int bgrOrder,
                                uint32_t width) {
  const Order order = bgrOrder ? Order::kBgr : Order::kRgb;
  WriteStepChoice choice;
  choice.convert = WriteCopy;
  uint64_t bitsPerPlane = sourceBits > 0 ? static_cast<uint64_t>(sourceBits) : 0;
  for (const WriteStepRow& row : kWriteSteps) {
    if (row.sourceBits != sourceBits || row.outputBits != effectiveOutputBits) continue;
    if (row.planes != Planes::kAny && (row.planes == Planes::kPlanar) != planar) continue;
    if (row.order != Order::kAny && row.order != order) continue;
    choice.convert = row.step;
    choice.planesWritten = row.planesWritten;
    bitsPerPlane = row.bitsPerPlane;
    break;
  }
  choice.bytesPerPlane = (uint64_t{width} * bitsPerPlane + 7) / 8;
  return choice;
}

void PrepareWriteLookup(int colorType, int sourceBits, int outputBits, int effectiveOutputBits, bool planar,
                        int bgrOrder, const uint8_t* hostRed, uint8_t* greyLookup, uint8_t* palette) {
  const uint32_t entries = EntriesBelow(sourceBits);
  if (effectiveOutputBits == 8 && greyLookup) {
    if (colorType == CONV_COLOR_GRAY) {
      // A ramp to the output's own range: 16 greys become 0, 17, ... 255 at
      // 8 bits and stay 0 to 15 as unpacked 4-bit bytes.
      const uint32_t top = EntriesBelow(outputBits) - 1;
      for (uint32_t i = 0; i < entries; ++i) greyLookup[i] = RoundedLevel(i, top, entries - 1);
    } else if (colorType == CONV_COLOR_GRAY_PALETTE && outputBits == 8 && hostRed) {
      std::memmove(greyLookup, hostRed, entries);  // the caller may keep the red plane right here
    } else {
      for (uint32_t i = 0; i < entries; ++i) greyLookup[i] = static_cast<uint8_t>(i);
    }
  }
  if (outputBits == 24 && palette) {
    uint8_t* red = palette;
    uint8_t* green = palette + 256;
    uint8_t* blue = palette + 512;
    if (colorType == CONV_COLOR_GRAY) {
      for (uint32_t i = 0; i < entries; ++i) red[i] = green[i] = blue[i] = RoundedLevel(i, 255, entries - 1);
    } else if (colorType == CONV_COLOR_PALETTE && bgrOrder != 0 && !planar) {
      // The palette steps write red, green, blue; exchanging the planes
      // makes them write the blue-first order this converter asked for.
      for (uint32_t i = 0; i < entries; ++i) {
        const uint8_t r = red[i];
        red[i] = blue[i];
        blue[i] = r;
      }
    }
  }
}

}  // namespace imexp
