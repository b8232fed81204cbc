// The three buffers of a read (band, intermediate row, host row) and the row
// converters installed over them.
#pragma once

#include <imexp/converter.h>

#include "platform/global_block.h"
#include "reading/row_converters.h"

namespace imexp {

struct ReadRowBuffers {
  GlobalBlock band;
  GlobalBlock intermediate;
  GlobalBlock host;
  uint32_t bandBytes = 0;
  uint32_t intermediateBytes = 0;  // 0: no stage-1 step, no intermediate row
  uint32_t hostRowBytes = 0;       // N; the host buffer is kHostRowSlack longer
};

// Fixes the sizes once the band is sized (bandRows set).
void PlanRowBuffers(const ConvImageDesc& desc, int hostType, ReadStage1Kind stage1Kind,
                    ReadStage2Kind stage2Kind, ReadRowBuffers& buffers);
// Allocates band, intermediate (if any) and host buffers, in that order;
// false as soon as one fails. Points the row state at them.
[[nodiscard]] bool AllocRowBuffers(ReadRowBuffers& buffers, ReadRowState& rows);
// Installs the two converters of the kinds chosen and the row geometry.
void InstallRowConverters(const ConvImageDesc& desc, ReadStage1Kind stage1Kind, ReadStage2Kind stage2Kind,
                          const ReadRowBuffers& buffers, ReadRowState& rows, ReadRowConverter* stage1,
                          ReadRowConverter* stage2);
// Frees band, intermediate and host buffers, whichever exist; safe always.
void FreeRowBuffers(ReadRowBuffers& buffers);

}  // namespace imexp
