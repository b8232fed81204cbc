// Row conversion for reading: turning one row of the converter's layout
// into one host row, in at most two steps chosen once per read.
//
// Stage 1 changes the packing (bits, nibbles, bytes, planes) into an
// intermediate row; stage 2 produces the host row (copy, complement, grey
// lookup, palette lookup, byte order). Each converter is one pass over one
// row with no per-pixel branching on the layout and no allocation.
#pragma once

#include <cstdint>

#include "pipeline/kernel_path.h"

namespace imexp {

// What the row converters work on during one read. The read pipeline fixes
// the buffers, the palette and the sizes once, then moves `source` along the
// band buffer and sets `stage2Input` per row (the intermediate row after a
// stage-1 step, else the source row).
struct ReadRowState {
  const uint8_t* source = nullptr;       // S: current row in the band buffer
  uint8_t* intermediate = nullptr;       // M: stage-1 output
  const uint8_t* stage2Input = nullptr;  // I: M, or S without a stage-1 step
  uint8_t* host = nullptr;               // H: host row buffer
  const uint8_t* palette = nullptr;      // red[256], green[256], blue[256]
  uint32_t width = 0;                    // W: pixels
  uint32_t hostBytes = 0;                // N: bytes of one host row
  uint32_t planeStride = 0;              // P: bytesPerLine
};

using ReadRowConverter = void (*)(ReadRowState& state);

// Stage-1 kinds (kNoStage1: no stage-1 step) and stage-2 kinds.
enum ReadStage1Kind {
  kNoStage1 = 0,
  kPackBytesToBits = 1,
  kUnpackBitsToBytes = 2,
  kPackBytesToNibbles = 3,
  kUnpackNibblesToBytes = 4,
  kPlanesToNibbles = 5,
  kPlanesToBytes = 6,
  kBitsToNibbles = 7,
  kPlanesToBGR = 8,
};
enum ReadStage2Kind {
  kCopyRow = 0,
  kInvertRow = 1,
  kGreyLookup = 2,
  kPaletteToBGR = 3,
  kSwapRGB = 4,
};

// The converter of each kind; null for kNoStage1 (and for a value that
// names no kind).
[[nodiscard]] ReadRowConverter Stage1Converter(ReadStage1Kind kind);
[[nodiscard]] ReadRowConverter Stage2Converter(ReadStage2Kind kind);
// The converter of a kind as one implementation path runs it. The two above
// run FastestKernelPath(); these let the tests run every path.
[[nodiscard]] ReadRowConverter Stage1Converter(ReadStage1Kind kind, rowkernel::KernelPath path);
[[nodiscard]] ReadRowConverter Stage2Converter(ReadStage2Kind kind, rowkernel::KernelPath path);

// Stage 1 (S -> M). Each comment in the implementation names its inverse
// among the write steps.
void PackBytesToBits(ReadRowState& state);
void UnpackBitsToBytes(ReadRowState& state);
void PackBytesToNibbles(ReadRowState& state);
void UnpackNibblesToBytes(ReadRowState& state);
void PlanesToNibbles(ReadRowState& state);
void PlanesToBytes(ReadRowState& state);
void BitsToNibbles(ReadRowState& state);
void PlanesToBGR(ReadRowState& state);
// Stage 2 (I -> H).
void CopyRow(ReadRowState& state);
void InvertRow(ReadRowState& state);
void GreyLookup(ReadRowState& state);
void PaletteToBGR(ReadRowState& state);
void SwapRGB(ReadRowState& state);

// Chooses the two kinds from the source layout and the host image type.
// `planar` is 1 when planes is not 1. Returns 1, or 0 for a layout that has
// no conversion (2- and 3-bit rows packed or planar, four-plane rows not
// packed); the kinds are then left as they were.
[[nodiscard]] int SelectRowConverters(uint16_t bitsPerPixel, int planar, int packedPixels, int paletteFlag,
                                      int invertedFlag, int bgrOrder, int hostType,
                                      ReadStage1Kind* stage1Kind, ReadStage2Kind* stage2Kind);

// Bytes of each plane of a source row that the chosen pair reads for a row
// of `width` pixels. A descriptor whose bytesPerLine is smaller would make
// the converters read past the row; the read rejects it.
// Without a stage-1 step the stage-2 converter reads the host row's N bytes
// straight from the source, and only the host image type fixes N (CopyRow
// reads (W + 7) / 8 bytes for HIT_BILEVEL, 3 x W for HIT_RGB24); pass it.
// Left at 0 the largest extent the kinds allow is assumed.
[[nodiscard]] uint64_t RowConverterSourceBytes(ReadStage1Kind stage1Kind, ReadStage2Kind stage2Kind,
                                               uint32_t width, int hostType = 0);

}  // namespace imexp
