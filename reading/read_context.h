// The state of one read, owned by the call.
#pragma once

#include <imexp/converter.h>
#include <imexp/host.h>

#include "platform/global_block.h"
#include "platform/win32.h"
#include "reading/read_buffers.h"
#include "reading/read_file.h"
#include "reading/row_converters.h"

namespace imexp {

// The export's arguments, the image asked for, and what the read takes
// and decides.
struct ReadContext : ReadArguments {
  ImageRequest request;

  // What the read takes, in the order it is taken; Release() gives it back.
  HCURSOR restoreCursor = nullptr;
  HFILE file = HFILE_ERROR;
  GlobalBlock descriptorBlock;  // ConvImageDesc followed by its 768-byte palette
  ConvImageDesc* desc = nullptr;
  int converter = -1;
  HMODULE library = nullptr;
  RDReadHeaderFn readHeader = nullptr;
  RDSetupReadingFn setupReading = nullptr;
  RDReadBandFn readBand = nullptr;
  RDCleanUpFn cleanUp = nullptr;
  bool cleanUpDue = false;  // from the moment RDReadHeader is about to be called
  ReadRowBuffers buffers;

  // The image read: its number in the file and the file's count.
  int imageIndex = 0;
  int imageCount = 1;

  // Decisions made from the descriptor.
  int colorFlag = 0;
  int paletteFlag = 0;
  int invertedFlag = 0;
  int hostType = 0;
  ReadStage1Kind stage1Kind = kNoStage1;
  ReadStage2Kind stage2Kind = kCopyRow;
  ReadRowState rows;
  ReadRowConverter stage1 = nullptr;
  ReadRowConverter stage2 = nullptr;
};

// Runs the band loop that chosenAccess and bandRows select; the result is
// the error code (0 when every band arrived).
[[nodiscard]] int RunBandLoop(ReadContext& context);

}  // namespace imexp
