#include "reading/read_buffers.h"

#include <imexp/host.h>

namespace imexp {

namespace {

// The host row buffer carries 32 bytes beyond the row, as hosts expect.
constexpr uint32_t kHostRowSlack = 32;

int HostBits(int hostType) {
  switch (hostType) {
    case HIT_BILEVEL:
      return 1;
    case HIT_PAL16:
      return 4;
    case HIT_RGB24:
      return 24;
    default:
      return 8;
  }
}

}  // namespace

uint32_t HostRowBytes(uint32_t width, int hostType) {
  return static_cast<uint32_t>((uint64_t{width} * HostBits(hostType) + 7) / 8);
}

void PlanRowBuffers(const ConvImageDesc& desc, int hostType, int stage1Kind, int stage2Kind,
                    ReadRowBuffers& buffers) {
  buffers.hostRowBytes = HostRowBytes(desc.width, hostType);
  buffers.bandBytes = desc.bandRows * desc.planes * desc.bytesPerLine;
  if (stage1Kind == kNoStage1) {
    buffers.intermediateBytes = 0;
  } else {
    // PaletteToBGR reads one byte a pixel; every other stage-2 step reads a
    // host row's worth.
    buffers.intermediateBytes = stage2Kind == kPaletteToBGR ? desc.width : buffers.hostRowBytes;
  }
}

bool AllocRowBuffers(ReadRowBuffers& buffers, ReadRowState& rows) {
  // Rows may go to the host straight from the band, so the band carries the
  // host buffer's slack behind its last row.
  if (!buffers.band.Allocate(uint64_t{buffers.bandBytes} + kHostRowSlack)) return false;
  if (buffers.intermediateBytes != 0 && !buffers.intermediate.Allocate(buffers.intermediateBytes))
    return false;
  if (!buffers.host.Allocate(uint64_t{buffers.hostRowBytes} + kHostRowSlack)) return false;
  rows.source = buffers.band.as<uint8_t>();
  rows.intermediate = buffers.intermediateBytes != 0 ? buffers.intermediate.as<uint8_t>() : nullptr;
  rows.stage2Input = rows.intermediate != nullptr ? rows.intermediate : rows.source;
  rows.host = buffers.host.as<uint8_t>();
  return true;
}

void InstallRowConverters(const ConvImageDesc& desc, int stage1Kind, int stage2Kind,
                          const ReadRowBuffers& buffers, ReadRowState& rows, ReadRowConverter* stage1,
                          ReadRowConverter* stage2) {
  *stage1 = kRowConverterTable[stage1Kind];
  *stage2 = kRowConverterTable[10 + stage2Kind];
  rows.width = desc.width;
  rows.hostBytes = buffers.hostRowBytes;
  rows.planeStride = desc.bytesPerLine;
  rows.palette = desc.palette;
}

void FreeRowBuffers(ReadRowBuffers& buffers) {
  buffers.band.Free();
  buffers.intermediate.Free();
  buffers.host.Free();
}

}  // namespace imexp
