// The read driver of imexp verify: one read of a file through the converter
// under test, the way the manager reads (descriptor block, band sizing, the
// four band loops, clean-up on every path), with every breach of the band
// protocol it sees put into words.
#pragma once

#include <imexp/converter.h>

#include <string>
#include <vector>

#include "tools/imexp/verify/conformance_library.h"
#include "tools/imexp/verify/conformance_pixels.h"

namespace imexp::cli::verify {

struct ReadOptions {
  uint32_t bandRows = 0;  // rows of the band buffer; 0 for the manager's choice
  uint16_t rowOrder = 0;  // with accessMode 3: 1 or 2 in place of the converter's; 0 keeps it
  bool cancelAfterFirstBand = false;
  // A file cut short: a converter-driven read may end before the last row.
  bool cutShort = false;
  // The descriptor's imageIndex and imageCount.
  uint16_t image = 0;
  uint16_t imageCount = 1;
};

struct ReadResult {
  int error = CONV_OK;
  std::string failedIn;  // the entry point or rule that ended the read
  bool headerRead = false;
  ConvImageDesc header{};  // as RDReadHeader left it
  uint32_t bandRows = 0;   // the band height used
  uint16_t chosenAccess = 0;
  RgbImage pixels;
  std::vector<std::string> breaches;  // of the band protocol, in words
};

// Reads `file` within the operation's load of the library.
ReadResult ReadWith(Session& session, const Operation& operation, const std::string& file,
                    const ReadOptions& options);

// "top to bottom, bands of 3 rows" and the like.
std::string DescribeRead(const ReadResult& result);

}  // namespace imexp::cli::verify
