// Row conversion for writing: one host row (as GetRow delivers it) into one
// row of the converter's output layout, widening or copying, never reducing.
#pragma once

#include <cstdint>

#include "pipeline/kernel_path.h"

namespace imexp {

struct WriteRowState {
  const uint8_t* source = nullptr;      // the host row GetRow has just filled
  uint8_t* destination = nullptr;       // where the output row starts in the band buffer
  uint32_t width = 0;                   // pixels
  uint32_t stride = 0;                  // planar: bytesPerLine; else the bytes a copy moves
  const uint8_t* greyLookup = nullptr;  // 256 entries (the 4 -> 8 step)
  const uint8_t* palette = nullptr;     // red[256], green[256], blue[256] (steps to 24 bits)
};

using WriteRowStep = void (*)(WriteRowState& state);

void WriteCopy(WriteRowState& state);
void Write1To4(WriteRowState& state);
void Write1To4Planar(WriteRowState& state);
void Write1To8(WriteRowState& state);
void Write1To24(WriteRowState& state);
void Write1To24Planar(WriteRowState& state);
void Write4To4Planar(WriteRowState& state);
void Write4To8(WriteRowState& state);
void Write4To24(WriteRowState& state);
void Write4To24Planar(WriteRowState& state);
void Write8To24(WriteRowState& state);
void Write8To24Planar(WriteRowState& state);
void WriteSwapRGB(WriteRowState& state);
void WriteRGBPlanar(WriteRowState& state);

// `step` as one implementation path runs it. The steps above run
// FastestKernelPath(); this lets the tests run every path. A step with one
// implementation is its own answer.
[[nodiscard]] WriteRowStep WriteStepOn(WriteRowStep step, rowkernel::KernelPath path);

// The chosen step and how much of the band it writes for one row.
struct WriteStepChoice {
  WriteRowStep convert = nullptr;
  uint32_t planesWritten = 1;  // 1, 3 or 4
  uint64_t bytesPerPlane = 0;  // bytes written into each plane (or the one row)
};

// Chooses the step from the host image's bits (1, 4, 8 or 24), the effective
// output bits (1 or 4 unpacked count as 8), whether the output is planar and
// bgrOrder; computes the extent for `width` pixels.
[[nodiscard]] WriteStepChoice ChooseWriteStep(int sourceBits, int effectiveOutputBits, bool planar,
                                              int bgrOrder, uint32_t width);

// Prepares the lookup data once per write. `colorType` is the host image's
// colour class (0 to 3), `sourceBits` its bits, `outputBits` the chosen
// output bits before the one-byte-per-pixel rule. Fills `greyLookup` (256)
// when `effectiveOutputBits` is 8, and adjusts `palette` (red, green, blue
// planes, 768) when `outputBits` is 24. `hostRed` is the red plane of the
// host palette.
void PrepareWriteLookup(int colorType, int sourceBits, int outputBits, int effectiveOutputBits, bool planar,
                        int bgrOrder, const uint8_t* hostRed, uint8_t* greyLookup, uint8_t* palette);

}  // namespace imexp
