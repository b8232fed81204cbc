#include "reading/read_buffers.h"

#include <imexp/host.h>

#include "pipeline/descriptor_rules.h"
#include "pipeline/row_sizes.h"

namespace imexp {

void PlanRowBuffers(const ConvImageDesc& desc, int hostType, ReadStage1Kind stage1Kind,
                    ReadStage2Kind stage2Kind, ReadRowBuffers& buffers) {
  buffers.hostRowBytes = static_cast<uint32_t>(HostRowBytes(hostType, desc.width));
  buffers.bandBytes = static_cast<uint32_t>(desc.bandRows * DescriptorRowBytes(desc));
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

void InstallRowConverters(const ConvImageDesc& desc, ReadStage1Kind stage1Kind, ReadStage2Kind stage2Kind,
                          const ReadRowBuffers& buffers, ReadRowState& rows, ReadRowConverter* stage1,
                          ReadRowConverter* stage2) {
  *stage1 = Stage1Converter(stage1Kind);
  *stage2 = Stage2Converter(stage2Kind);
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
