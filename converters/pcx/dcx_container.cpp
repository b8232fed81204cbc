// A DCX file: a magic number, a table of up to 1023 page offsets ended by a
// zero entry, then the PCX pages the table points to.
#include <algorithm>
#include <vector>

#include "pcx_container.h"
#include "pcx_resources.h"

namespace pcx {
namespace {

constexpr uint32_t kDcxMagic = 987654321u;
constexpr std::size_t kMaxPages = 1023;
// Magic and the full table; we always write all of it, as other writers do.
constexpr std::size_t kFullTableBytes = 4 + 4 * (kMaxPages + 1);

struct PageTable {
  std::vector<uint32_t> offsets;
  long fileSize = 0;
};

[[nodiscard]] int ReadPageTable(HFILE file, PageTable* table) {
  long size = ConvFileSize(file);
  if (size < 0) return CONV_ERR_END_OF_FILE;
  uint8_t bytes[kFullTableBytes];
  std::size_t want = std::min<std::size_t>(static_cast<std::size_t>(size), sizeof bytes);
  long got = ReadAt(file, 0, bytes, want);
  if (got < 0) return CONV_ERR_END_OF_FILE;
  if (got < 4 || Le32(bytes) != kDcxMagic) return CONV_ERR_UNKNOWN_FORMAT;
  table->fileSize = size;
  table->offsets.clear();
  for (std::size_t i = 0; i < kMaxPages; ++i) {
    // A table that the end of the file cuts off has lost its pages too.
    if (4 + 4 * (i + 1) > static_cast<std::size_t>(got)) return kErrBadPageTable;
    uint32_t offset = Le32(bytes + 4 + 4 * i);
    if (offset == 0) break;
    table->offsets.push_back(offset);
  }
  return CONV_OK;
}

}  // namespace

const ContainerIdentity kContainer = {"DCX", "Multi-page PCX image", "*.DCX", CONV_FLAG_MULTI_IMAGE,
                                      IDS_FORMATS_MULTI_PAGE};

bool HasContainerSignature(HFILE file) {
  uint8_t magic[4] = {};
  return ReadExactlyAt(file, 0, magic, sizeof magic) && Le32(magic) == kDcxMagic;
}

int LocatePage(HFILE file, int index, PcxPage* page) {
  PageTable table;
  if (int error = ReadPageTable(file, &table)) return error;
  std::size_t count = table.offsets.size();
  if (count == 0) return CONV_ERR_NO_IMAGES;
  if (index < 0 || static_cast<std::size_t>(index) >= count) return CONV_ERR_WRONG_IMAGE_NUMBER;
  // A page starts after the table (its entries and the closing zero) and
  // leaves room for a header inside the file.
  int64_t offset = table.offsets[static_cast<std::size_t>(index)];
  int64_t tableEnd = 4 + 4 * static_cast<int64_t>(std::min(count + 1, kMaxPages + 1));
  if (offset < tableEnd || offset + static_cast<int64_t>(kHeaderBytes) > table.fileSize) {
    return kErrBadPageTable;
  }
  // Pages need not be in order; this one ends where the next one up starts.
  int64_t end = table.fileSize;
  for (uint32_t other : table.offsets) {
    if (other > offset && other < end) end = other;
  }
  page->offset = static_cast<long>(offset);
  page->end = static_cast<long>(end);
  return CONV_OK;
}

int WriteContainerHeader(HFILE file, long* pageOffset) {
  std::vector<uint8_t> bytes(kFullTableBytes, 0);
  PutLe32(bytes.data(), kDcxMagic);
  PutLe32(bytes.data() + 4, static_cast<uint32_t>(kFullTableBytes));
  if (int error = WriteAt(file, 0, bytes.data(), bytes.size())) return error;
  *pageOffset = static_cast<long>(kFullTableBytes);
  return CONV_OK;
}

const char* ContainerFormatName(const PcxHeader& /*header*/) { return "DCX"; }

}  // namespace pcx

CONV_ENTRY(int) RDGetImageCount(HFILE file, char* /*iniPath*/, int* count, int* singleView) {
  return pcx::Guarded([&] {
    *count = 0;
    *singleView = 0;
    pcx::PageTable table;
    if (int error = pcx::ReadPageTable(file, &table)) return error;
    *count = static_cast<int>(table.offsets.size());
    return *count == 0 ? int{CONV_ERR_NO_IMAGES} : int{CONV_OK};
  });
}
