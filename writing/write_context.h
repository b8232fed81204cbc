// The state of one ImExp_WriteFile call, owned by the call.
#pragma once

#include <imexp/converter.h>
#include <imexp/host.h>

#include "platform/files.h"
#include "platform/global_block.h"
#include "platform/win32.h"
#include "writing/temporary_file.h"
#include "writing/write_row_steps.h"

namespace imexp {

struct WriteContext {
  // The call's arguments.
  CAbstractWriteWA* image = nullptr;
  HWND owner = nullptr;
  char* fileName = nullptr;
  CProgress* progress = nullptr;
  char** hostParam = nullptr;
  int hostValue = 0;

  // The image, the writer chosen for it and the layout it is written in.
  int colorType = CONV_COLOR_GRAY;
  int sourceBits = 0;
  int writer = -1;  // index in the converter list
  int outputColorType = CONV_COLOR_GRAY;
  int outputBits = 0;
  uint32_t width = 0;  // as the host gives them; 0 for a size a descriptor cannot carry
  uint32_t height = 0;
  int dpiX = 0;
  int dpiY = 0;
  uint8_t palette[CONV_PALETTE_BYTES] = {};  // red, green, blue planes; the descriptor points here
  uint8_t greyLookup[256] = {};
  bool mapGreyIndices = false;  // grey palette indices become grey levels first
  uint8_t indexMap[256] = {};   // index -> value at the output depth, for that mapping

  // What the write takes, in the order it is taken.
  HMODULE library = nullptr;
  WRSetupWritingFn setupWriting = nullptr;
  WRWriteHeaderFn writeHeader = nullptr;
  WRWriteBandFn writeBand = nullptr;
  WREndWritingFn endWriting = nullptr;
  WRCleanUpFn cleanUp = nullptr;
  TemporaryFile temporary;
  ConvImageDesc desc{};
  bool cleanUpDue = false;
  bool progressBegun = false;
  GlobalBlock band;
  GlobalBlock row;  // where GetRow puts each host row
  // The system's reason when the write ended with CONV_ERR_DISK_FULL: a
  // file-size limit or a quota is reported as what it is.
  DWORD fileError = ERROR_SUCCESS;

  WriteStepChoice rowStep;
  WriteRowState rows;
};

// Builds indexMap for an image whose grey palette is replaced by a ramp at
// its own depth.
void PrepareGreyIndexMap(WriteContext& context);
// Calls a writer entry point and gives its result. When that is "disk full",
// the system's reason for the write that failed is kept for the message; a
// converter's own helpers leave it where the manager can read it.
template <typename Call>
[[nodiscard]] int CallWriter(WriteContext& context, Call call) {
  platform::ClearFileError();
  int result = call();
  if (result == CONV_ERR_DISK_FULL) context.fileError = platform::LastFileError();
  return result;
}
// Runs the loop the writer's access mode selects; the error code results.
[[nodiscard]] int TransferRows(WriteContext& context);

}  // namespace imexp
