// Reading a PCX page. The run-length code can only be followed from the
// start, so rows go top to bottom, one decoded band after the other; each
// scan line decodes straight into the band, all planes of it at once.
#include <algorithm>
#include <memory>
#include <vector>

#include "pcx_container.h"
#include "pcx_format.h"
#include "pcx_rle.h"

namespace pcx {
namespace {

constexpr uint32_t kReadBandRows = 64;

// A page as the manager sees it: geometry, colors and where its rows lie.
struct PageDescription {
  PcxPage page;
  PcxHeader header;
  PcxImage image;
  uint16_t colorType = CONV_COLOR_PALETTE;
  std::array<uint8_t, CONV_PALETTE_BYTES> palette{};  // red, green, blue planes
  long dataEnd = 0;                                   // the compressed rows end before this offset
  // A bilevel page of two colours other than black and white, handed over
  // as a 4-bit image: the manager reads every 1-bit image as black and white.
  bool twoColors = false;
};

void SetEntry(PageDescription& d, std::size_t index, const uint8_t* rgb) {
  d.palette[index] = rgb[0];
  d.palette[256 + index] = rgb[1];
  d.palette[512 + index] = rgb[2];
}

// Version 3 files say outright that their header palette means nothing;
// older writers left it zero-filled for the same purpose.
bool HeaderPaletteIsMeaningless(const PcxHeader& h) {
  return h.version == 3 ||
         std::all_of(h.colorMap.begin(), h.colorMap.end(), [](uint8_t b) { return b == 0; });
}

[[nodiscard]] int ReadTrailingPalette(HFILE file, PageDescription& d, bool* found) {
  *found = false;
  long start = d.page.end - static_cast<long>(kTrailingPaletteBytes);
  if (start < d.page.offset + static_cast<long>(kHeaderBytes)) return CONV_OK;
  uint8_t bytes[kTrailingPaletteBytes];
  if (!ReadExactlyAt(file, static_cast<uint64_t>(start), bytes, sizeof bytes)) return CONV_ERR_END_OF_FILE;
  if (bytes[0] != kPaletteMarker) return CONV_OK;
  for (std::size_t i = 0; i < 256; ++i) SetEntry(d, i, bytes + 1 + 3 * i);
  d.dataEnd = start;
  *found = true;
  return CONV_OK;
}

// Colour type and palette of a page. A bilevel page without a usable
// palette is plain black and white; a 256-colour page whose palette is
// missing is read as grey levels rather than refused.
[[nodiscard]] int DescribeColours(HFILE file, PageDescription& d) {
  const PcxHeader& h = d.header;
  switch (d.image.layout) {
    case PcxLayout::kBilevel:
      // Two equal entries (zeros, typically) cannot tell the pixels apart.
      if (h.version == 3 || std::equal(h.colorMap.begin(), h.colorMap.begin() + 3, h.colorMap.begin() + 3)) {
        d.colorType = CONV_COLOR_GRAY;
      } else {
        d.colorType = CONV_COLOR_PALETTE;
        for (std::size_t i = 0; i < 2; ++i) SetEntry(d, i, h.colorMap.data() + 3 * i);
        d.twoColors = !IsBlackAndWhite(d.palette.data());
      }
      return CONV_OK;
    case PcxLayout::kSixteen: {
      const auto& map = HeaderPaletteIsMeaningless(h) ? kDefaultColorMap : h.colorMap;
      d.colorType = CONV_COLOR_PALETTE;
      for (std::size_t i = 0; i < 16; ++i) SetEntry(d, i, map.data() + 3 * i);
      return CONV_OK;
    }
    case PcxLayout::kIndexed256: {
      bool found = false;
      if (int error = ReadTrailingPalette(file, d, &found)) return error;
      d.colorType = found ? CONV_COLOR_PALETTE : CONV_COLOR_GRAY;
      return CONV_OK;
    }
    case PcxLayout::kTrueColour:
      d.colorType = CONV_COLOR_RGB;
      return CONV_OK;
  }
  return CONV_ERR_UNSUPPORTED_SUBFORMAT;
}

[[nodiscard]] int DescribePage(HFILE file, int index, PageDescription* d) {
  if (int error = LocatePage(file, index, &d->page)) return error;
  uint8_t bytes[kHeaderBytes];
  if (!ReadExactlyAt(file, static_cast<uint64_t>(d->page.offset), bytes, sizeof bytes))
    return CONV_ERR_END_OF_FILE;
  DecodeHeader(bytes, &d->header);
  if (int error = ValidateHeader(d->header, &d->image)) return error;
  d->dataEnd = d->page.end;
  return DescribeColours(file, *d);
}

struct ReadState {
  PageDescription page;
  FileInput input;
  uint32_t rowBytes = 0;      // a row in the band
  uint32_t fileRowBytes = 0;  // a decoded scan line, all planes
  std::vector<uint8_t> line;  // two-colour pages: the scan line before it is spread
  uint32_t nextRow = 0;
};

std::unique_ptr<ReadState> g_read;

[[nodiscard]] int ReadHeader(ConvImageDesc* desc) {
  g_read.reset();
  auto state = std::make_unique<ReadState>();
  PageDescription& d = state->page;
  if (int error = DescribePage(desc->hFile, desc->imageIndex, &d)) return error;
  const PcxImage& image = d.image;
  desc->width = image.width;
  desc->height = image.height;
  desc->colorType = d.colorType;
  desc->bitsPerPixel = d.twoColors ? 4 : image.bitsPerPixel;
  desc->planes = image.planes;
  desc->bytesPerLine = d.twoColors ? (image.width + 1) / 2 : image.bytesPerLine;
  desc->packedPixels = 1;
  desc->invertedGray = 0;
  desc->bgrOrder = 0;
  std::copy(d.palette.begin(), d.palette.end(), desc->palette);
  if (d.header.hDpi != 0 && d.header.vDpi != 0) {
    desc->resUnit = CONV_UNIT_DPI;
    desc->resX = d.header.hDpi;
    desc->resY = d.header.vDpi;
  } else {
    desc->resUnit = CONV_UNIT_UNKNOWN;
    desc->resX = desc->resY = 0;
  }
  DescribeBands(*desc, CONV_ACCESS_TOP_DOWN, CONV_ACCESS_TOP_DOWN, kReadBandRows);
  state->rowBytes = desc->planes * desc->bytesPerLine;
  state->fileRowBytes = uint32_t{image.planes} * image.bytesPerLine;
  if (d.twoColors) state->line.assign(state->fileRowBytes, 0);
  g_read = std::move(state);
  return CONV_OK;
}

[[nodiscard]] int SetupReading(ConvImageDesc* desc) {
  if (!g_read) return CONV_ERR_GENERAL;
  ReadState& s = *g_read;
  s.input.Start(desc->hFile, s.page.page.offset + static_cast<long>(kHeaderBytes), s.page.dataEnd);
  s.nextRow = 0;
  return CONV_OK;
}

[[nodiscard]] int ReadBand(ConvImageDesc* desc, uint8_t* band) {
  if (!g_read) return CONV_ERR_GENERAL;
  ReadState& s = *g_read;
  uint32_t count = desc->bandCount;
  // Rows come in file order only, and no more than the band buffer holds.
  if (desc->bandRow != s.nextRow || !BandInsideImage(*desc, s.page.image.height, false))
    return CONV_ERR_GENERAL;
  bool compressed = s.page.header.encoding == 1;
  for (uint32_t k = 0; k < count; ++k) {
    uint8_t* row = band + std::size_t{k} * s.rowBytes;
    uint8_t* line = s.page.twoColors ? s.line.data() : row;
    if (int error = DecodeLine(s.input, compressed, line, s.fileRowBytes)) return error;
    if (s.page.twoColors) SpreadBitsToNibbles(line, row, s.page.image.width);
  }
  s.nextRow += count;
  return CONV_OK;
}

}  // namespace
}  // namespace pcx

CONV_ENTRY(int) RDCheckFile(HFILE file, char* /*iniPath*/) {
  return pcx::HasContainerSignature(file) ? 1 : 0;
}

CONV_ENTRY(int) RDGetImageInfo(HFILE file, int image, char* /*iniPath*/, ConvImageInfo* info) {
  return pcx::Guarded([&] {
    pcx::PageDescription d;
    if (int error = pcx::DescribePage(file, image, &d)) return error;
    info->width = d.image.width;
    info->height = d.image.height;
    info->colorType = d.colorType;
    info->bitsPerPixel = d.image.bitsPerPixel;
    bool dpi = d.header.hDpi != 0 && d.header.vDpi != 0;
    info->resUnit = dpi ? CONV_UNIT_DPI : CONV_UNIT_UNKNOWN;
    info->resX = dpi ? d.header.hDpi : 0;
    info->resY = dpi ? d.header.vDpi : 0;
    pcx::CopyField(info->formatName, pcx::ContainerFormatName(d.header));
    pcx::CopyField(info->compression, d.header.encoding == 1 ? "RLE" : "");
    return int{CONV_OK};
  });
}

CONV_ENTRY(int) RDReadHeader(ConvImageDesc* desc, char** /*hostParam*/, int /*hostValue*/) {
  return pcx::Guarded(pcx::ReadHeader, desc);
}

CONV_ENTRY(int) RDSetupReading(ConvImageDesc* desc) { return pcx::Guarded(pcx::SetupReading, desc); }

CONV_ENTRY(int) RDReadBand(ConvImageDesc* desc, unsigned char* band) {
  return pcx::Guarded(pcx::ReadBand, desc, band);
}

CONV_ENTRY(void) RDCleanUp(ConvImageDesc* /*desc*/) { pcx::g_read.reset(); }
