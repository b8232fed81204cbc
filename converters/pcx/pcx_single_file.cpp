// A plain PCX file: one page that fills the whole file.
#include "pcx_container.h"
#include "pcx_resources.h"

namespace pcx {

const ContainerIdentity kContainer = {"PCX", "PCX image", "*.PCX", 0, IDS_FORMATS};

bool HasContainerSignature(HFILE file) {
  uint8_t b[4] = {};
  if (!ReadExactlyAt(file, 0, b, sizeof b)) return false;
  bool knownDepth = b[3] == 1 || b[3] == 2 || b[3] == 4 || b[3] == 8;
  return b[0] == kManufacturer && b[1] <= 5 && b[2] <= 1 && knownDepth;
}

int LocatePage(HFILE file, int index, PcxPage* page) {
  if (index != 0) return CONV_ERR_WRONG_IMAGE_NUMBER;
  long size = ConvFileSize(file);
  if (size < static_cast<long>(kHeaderBytes)) return CONV_ERR_END_OF_FILE;
  page->offset = 0;
  page->end = size;
  return CONV_OK;
}

int WriteContainerHeader(HFILE /*file*/, long* pageOffset) {
  *pageOffset = 0;
  return CONV_OK;
}

const char* ContainerFormatName(const PcxHeader& header) { return VersionName(header.version); }

}  // namespace pcx
