// The PCX header: byte layout, validation and naming.
#include "pcx_format.h"

#include <cstring>

namespace pcx {

const std::array<uint8_t, 48> kDefaultColorMap = {
    0x00, 0x00, 0x00, 0x00, 0x00, 0xAA, 0x00, 0xAA, 0x00, 0x00, 0xAA, 0xAA, 0xAA, 0x00, 0x00, 0xAA,
    0x00, 0xAA, 0xAA, 0x55, 0x00, 0xAA, 0xAA, 0xAA, 0x55, 0x55, 0x55, 0x55, 0x55, 0xFF, 0x55, 0xFF,
    0x55, 0x55, 0xFF, 0xFF, 0xFF, 0x55, 0x55, 0xFF, 0x55, 0xFF, 0xFF, 0xFF, 0x55, 0xFF, 0xFF, 0xFF,
};

void DecodeHeader(const uint8_t* b, PcxHeader* h) {
  h->manufacturer = b[0];
  h->version = b[1];
  h->encoding = b[2];
  h->bitsPerPlane = b[3];
  h->xMin = Le16(b + 4);
  h->yMin = Le16(b + 6);
  h->xMax = Le16(b + 8);
  h->yMax = Le16(b + 10);
  h->hDpi = Le16(b + 12);
  h->vDpi = Le16(b + 14);
  std::memcpy(h->colorMap.data(), b + 16, h->colorMap.size());
  h->planes = b[65];
  h->bytesPerLine = Le16(b + 66);
  h->paletteInfo = Le16(b + 68);
}

void EncodeHeader(const PcxHeader& h, uint8_t* b) {
  std::memset(b, 0, kHeaderBytes);
  b[0] = h.manufacturer;
  b[1] = h.version;
  b[2] = h.encoding;
  b[3] = h.bitsPerPlane;
  PutLe16(b + 4, h.xMin);
  PutLe16(b + 6, h.yMin);
  PutLe16(b + 8, h.xMax);
  PutLe16(b + 10, h.yMax);
  PutLe16(b + 12, h.hDpi);
  PutLe16(b + 14, h.vDpi);
  std::memcpy(b + 16, h.colorMap.data(), h.colorMap.size());
  b[65] = h.planes;
  PutLe16(b + 66, h.bytesPerLine);
  PutLe16(b + 68, h.paletteInfo);
}

uint8_t LayoutBitsPerPlane(PcxLayout layout) {
  return layout == PcxLayout::kBilevel || layout == PcxLayout::kSixteen ? 1 : 8;
}

uint8_t LayoutPlanes(PcxLayout layout) {
  switch (layout) {
    case PcxLayout::kSixteen:
      return 4;
    case PcxLayout::kTrueColour:
      return 3;
    default:
      return 1;
  }
}

int ValidateHeader(const PcxHeader& h, PcxImage* image) {
  if (h.manufacturer != kManufacturer) return CONV_ERR_UNKNOWN_FORMAT;
  if (h.version > 5 || h.encoding > 1) return CONV_ERR_UNSUPPORTED_SUBFORMAT;
  if (h.xMax < h.xMin || h.yMax < h.yMin) return CONV_ERR_INVALID_FILE;
  PcxImage out;
  out.width = uint32_t{h.xMax} - h.xMin + 1;
  out.height = uint32_t{h.yMax} - h.yMin + 1;
  if (out.width > kMaxSide || out.height > kMaxSide) return kErrImageTooLarge;

  if (h.bitsPerPlane == 1 && h.planes == 1) {
    out.layout = PcxLayout::kBilevel;
  } else if (h.bitsPerPlane == 1 && h.planes == 4) {
    out.layout = PcxLayout::kSixteen;
  } else if (h.bitsPerPlane == 8 && h.planes == 1) {
    out.layout = PcxLayout::kIndexed256;
  } else if (h.bitsPerPlane == 8 && h.planes == 3) {
    out.layout = PcxLayout::kTrueColour;
  } else {
    return CONV_ERR_UNSUPPORTED_SUBFORMAT;
  }
  out.planes = h.planes;
  out.bitsPerPixel = static_cast<uint16_t>(h.bitsPerPlane * h.planes);
  out.bytesPerLine = h.bytesPerLine;
  // A line that cannot hold its pixels would make us deliver bytes that
  // were never decoded.
  if (out.bytesPerLine < (out.width * h.bitsPerPlane + 7) / 8) return CONV_ERR_INVALID_FILE;
  if (std::size_t{out.planes} * out.bytesPerLine > kMaxBandBytes) return CONV_ERR_FILE_TOO_BIG;
  *image = out;
  return CONV_OK;
}

const char* VersionName(uint8_t version) {
  switch (version) {
    case 0:
      return "PCX v2.5";
    case 2:
      return "PCX v2.8";
    case 3:
      return "PCX v2.8 (no palette)";
    case 4:
      return "PCX for Windows";
    case 5:
      return "PCX v3.0";
    default:
      return "PCX";
  }
}

}  // namespace pcx
