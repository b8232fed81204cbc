// Writing one PCX page (behind a DCX page table in the DCX library). The
// manager hands the rows over in the file's own plane layout, so every scan
// line is only cleaned and run-length coded. We name the bands ourselves:
// top to bottom, a few rows at a time.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "pcx_container.h"
#include "pcx_format.h"
#include "pcx_rle.h"

namespace pcx {
namespace {

constexpr uint32_t kWriteBandRows = 8;

struct WriteState {
  PcxLayout layout = PcxLayout::kBilevel;
  uint32_t width = 0;
  uint32_t height = 0;
  uint16_t planes = 1;
  uint32_t bytesPerLine = 0;  // per plane, even as PCX wants it
  uint32_t rowBytes = 0;      // all planes of one row
  uint32_t bandRows = 0;      // the most rows we name in one band
  uint32_t nextRow = 0;
  std::vector<uint8_t> line;
  FileOutput output;
};

std::unique_ptr<WriteState> g_write;

uint16_t ToDpi(const ConvImageDesc& desc, uint32_t value) {
  uint64_t dpi = 0;
  if (desc.resUnit == CONV_UNIT_DPI) dpi = value;
  if (desc.resUnit == CONV_UNIT_DPCM) dpi = (uint64_t{value} * 254 + 50) / 100;
  return static_cast<uint16_t>(std::min<uint64_t>(dpi, 0xFFFF));
}

// Padding bytes and the bits after the last pixel are whatever the band
// buffer held; zeroes keep the runs long and the file reproducible.
void CleanLine(WriteState& s) {
  uint32_t bitsPerPlane = LayoutBitsPerPlane(s.layout);
  uint32_t used = (s.width * bitsPerPlane + 7) / 8;
  for (uint16_t p = 0; p < s.planes; ++p) {
    uint8_t* plane = s.line.data() + std::size_t{p} * s.bytesPerLine;
    std::memset(plane + used, 0, s.bytesPerLine - used);
    if (uint32_t tail = (s.width * bitsPerPlane) % 8) {
      plane[used - 1] &= static_cast<uint8_t>(0xFF00u >> tail);
    }
  }
}

void NameBand(const WriteState& s, ConvImageDesc* desc) {
  desc->bandRow = s.nextRow;
  desc->bandCount = std::min(s.bandRows, s.height - s.nextRow);
}

[[nodiscard]] int SetupWriting(ConvImageDesc* desc) {
  g_write.reset();
  auto state = std::make_unique<WriteState>();
  WriteState& s = *state;
  if (desc->width == 0 || desc->height == 0) return CONV_ERR_INVALID_FILE;
  if (desc->width > kMaxSide || desc->height > kMaxSide) return kErrImageTooLarge;
  switch (desc->bitsPerPixel) {
    case 1:
      s.layout = PcxLayout::kBilevel;
      break;
    case 4:
      s.layout = PcxLayout::kSixteen;
      break;
    case 8:
      s.layout = PcxLayout::kIndexed256;
      break;
    case 24:
      s.layout = PcxLayout::kTrueColour;
      break;
    default:
      return CONV_ERR_ILLEGAL_CONVERSION;
  }
  s.width = desc->width;
  s.height = desc->height;
  s.planes = LayoutPlanes(s.layout);
  s.bytesPerLine = ((desc->width * LayoutBitsPerPlane(s.layout) + 7) / 8 + 1) & ~1u;
  s.rowBytes = s.planes * s.bytesPerLine;
  if (s.rowBytes > kMaxBandBytes) return CONV_ERR_FILE_TOO_BIG;
  // The manager's band buffer holds at most 32512 bytes.
  s.bandRows = std::min(kWriteBandRows, kMaxBandBytes / s.rowBytes);
  s.line.resize(s.rowBytes);

  // Ask for the file's own layout: the manager splits 16-colour rows into
  // four bit planes and RGB rows into three byte planes for us.
  desc->planes = s.planes;
  desc->bytesPerLine = s.bytesPerLine;
  desc->packedPixels = 1;
  desc->bgrOrder = 0;
  DescribeBands(*desc, CONV_ACCESS_CONVERTER, CONV_ACCESS_TOP_DOWN, kWriteBandRows);
  NameBand(s, desc);
  g_write = std::move(state);
  return CONV_OK;
}

[[nodiscard]] int WriteHeader(ConvImageDesc* desc) {
  if (!g_write) return CONV_ERR_GENERAL;
  WriteState& s = *g_write;
  // The manager has sized the band buffer by now; never name more rows.
  s.bandRows = std::min(s.bandRows, desc->bandRows);
  if (s.bandRows == 0) return CONV_ERR_FILE_TOO_BIG;
  s.nextRow = 0;
  NameBand(s, desc);

  long pageOffset = 0;
  if (int error = WriteContainerHeader(desc->hFile, &pageOffset)) return error;
  PcxHeader h;
  h.bitsPerPlane = LayoutBitsPerPlane(s.layout);
  h.xMax = static_cast<uint16_t>(s.width - 1);
  h.yMax = static_cast<uint16_t>(s.height - 1);
  h.hDpi = ToDpi(*desc, desc->resX);
  h.vDpi = ToDpi(*desc, desc->resY);
  h.planes = static_cast<uint8_t>(s.planes);
  h.bytesPerLine = static_cast<uint16_t>(s.bytesPerLine);
  h.paletteInfo = desc->colorType == CONV_COLOR_GRAY || desc->colorType == CONV_COLOR_GRAY_PALETTE ? 2 : 1;
  // Images of up to 16 colours keep their palette in the header.
  std::size_t entries = s.layout == PcxLayout::kBilevel ? 2 : s.layout == PcxLayout::kSixteen ? 16 : 0;
  for (std::size_t i = 0; i < entries; ++i) {
    h.colorMap[3 * i] = desc->palette[i];
    h.colorMap[3 * i + 1] = desc->palette[256 + i];
    h.colorMap[3 * i + 2] = desc->palette[512 + i];
  }
  uint8_t bytes[kHeaderBytes];
  EncodeHeader(h, bytes);
  s.output.Start(desc->hFile, pageOffset);
  s.output.Append(bytes, sizeof bytes);
  return s.output.Flush();
}

[[nodiscard]] int WriteBand(ConvImageDesc* desc, const uint8_t* band) {
  if (!g_write) return CONV_ERR_GENERAL;
  WriteState& s = *g_write;
  uint32_t count = desc->bandCount;
  // Only the band we named, never more rows than we said we take.
  if (desc->bandRow != s.nextRow || count > s.bandRows || !BandInsideImage(*desc, s.height, false)) {
    return CONV_ERR_GENERAL;
  }
  for (uint32_t k = 0; k < count; ++k) {
    std::memcpy(s.line.data(), band + std::size_t{k} * s.rowBytes, s.rowBytes);
    CleanLine(s);
    for (uint16_t p = 0; p < s.planes; ++p) {
      EncodeRuns(s.line.data() + std::size_t{p} * s.bytesPerLine, s.bytesPerLine, s.output.pending());
    }
  }
  s.nextRow += count;
  if (s.output.Full()) {
    if (int error = s.output.Flush()) return error;
  }
  if (s.nextRow == s.height) return 1;
  NameBand(s, desc);
  return CONV_OK;
}

[[nodiscard]] int EndWriting(ConvImageDesc* desc) {
  if (!g_write) return CONV_ERR_GENERAL;
  WriteState& s = *g_write;
  if (s.nextRow != s.height) return CONV_ERR_GENERAL;
  if (s.layout == PcxLayout::kIndexed256) {
    std::vector<uint8_t>& out = s.output.pending();
    out.push_back(kPaletteMarker);
    for (std::size_t i = 0; i < 256; ++i) {
      out.push_back(desc->palette[i]);
      out.push_back(desc->palette[256 + i]);
      out.push_back(desc->palette[512 + i]);
    }
  }
  return s.output.Flush();
}

}  // namespace
}  // namespace pcx

CONV_ENTRY(int) WRSetupWriting(ConvImageDesc* desc, char** /*hostParam*/, int /*hostValue*/) {
  return pcx::Guarded(pcx::SetupWriting, desc);
}

CONV_ENTRY(int) WRWriteHeader(ConvImageDesc* desc) { return pcx::Guarded(pcx::WriteHeader, desc); }

CONV_ENTRY(int) WRWriteBand(ConvImageDesc* desc, unsigned char* band) {
  return pcx::Guarded(pcx::WriteBand, desc, band);
}

CONV_ENTRY(int) WREndWriting(ConvImageDesc* desc) { return pcx::Guarded(pcx::EndWriting, desc); }

CONV_ENTRY(void) WRCleanUp(ConvImageDesc* /*desc*/) { pcx::g_write.reset(); }
