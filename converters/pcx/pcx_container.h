// Where the PCX pages of a file lie. A PCX file is one page; a DCX file is a
// page table followed by PCX pages. Each library links exactly one
// implementation of this interface (pcx_single_file.cpp or dcx_container.cpp),
// and everything else is shared.
#pragma once

#include <imexp/converter.h>

#include <cstdint>

#include "pcx_format.h"

namespace pcx {

// One page: its header starts at `offset`, and its data (the trailing
// palette included) ends before `end`.
struct PcxPage {
  long offset = 0;
  long end = 0;
};

struct ContainerIdentity {
  const char* name;
  const char* description;
  const char* extensions;
  uint32_t flags;      // CONV_FLAG_* beyond reader, writer and content check
  unsigned aboutText;  // the string that says what it reads and writes
};

extern const ContainerIdentity kContainer;

// True when the file starts like one of ours.
[[nodiscard]] bool HasContainerSignature(HFILE file);

// Finds page `index` (0-based) of the file.
[[nodiscard]] int LocatePage(HFILE file, int index, PcxPage* page);

// Writes whatever precedes the one page we write at the start of the file
// and tells where the page goes.
[[nodiscard]] int WriteContainerHeader(HFILE file, long* pageOffset);

// The information dialog's format name for a page with this header.
const char* ContainerFormatName(const PcxHeader& header);

}  // namespace pcx
