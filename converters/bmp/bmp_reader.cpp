// Reading entry points: content check, image information and the band loop.
//
// Uncompressed files let the manager drive: bottom-up files bottom to top,
// top-down files top to bottom, so that every band is a run of consecutive
// stored rows read in one go. RLE data can only be decoded in stored order,
// so those files drive the bands themselves.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "bmp_bitfields.h"
#include "bmp_format.h"
#include "bmp_rle.h"
#include "bmp_settings.h"

namespace imexp::bmp {

namespace {

constexpr uint32_t kReadBandRows = 16;

struct ReadState {
  BmpHeader header;
  uint32_t bytesPerLine = 0;
  ChannelScales scales;
  // Set where stored rows are expanded: 16 and 32 bits, and 1-bit images
  // of two colours other than black and white, read as 4-bit images.
  BitFieldRowFn expandRow = nullptr;
  std::vector<uint8_t> stored;  // stored rows of a band awaiting expansion
  std::unique_ptr<RleDecoder> rle;
  uint32_t nextStoredRow = 0;  // converter-driven: first stored row of the next band
};

// One read runs at a time, and the library is loaded for each operation.
std::unique_ptr<ReadState> gRead;

uint32_t PixelsPerMetreToDpcm(int32_t ppm) { return ppm <= 0 ? 0 : (static_cast<uint32_t>(ppm) + 50) / 100; }

// A resolution with only one direction known is as good as none.
template <typename Record>
void FillResolution(const BmpHeader& h, Record& record) {
  uint32_t x = PixelsPerMetreToDpcm(h.ppmX);
  uint32_t y = PixelsPerMetreToDpcm(h.ppmY);
  bool known = x != 0 && y != 0;
  record.resUnit = known ? CONV_UNIT_DPCM : CONV_UNIT_UNKNOWN;
  record.resX = known ? x : 0;
  record.resY = known ? y : 0;
}

void SpreadTwoColors(const uint8_t* in, uint8_t* out, uint32_t width, const ChannelScales& /*scales*/) {
  SpreadBitsToNibbles(in, out, width);
}

bool IsRle(const BmpHeader& h) {
  return h.compression == Compression::kRle8 || h.compression == Compression::kRle4;
}

[[nodiscard]] int ReadPalette(HFILE file, const BmpHeader& h, unsigned char* palette) {
  std::memset(palette, 0, CONV_PALETTE_BYTES);
  if (h.paletteCount == 0) return CONV_OK;
  std::vector<uint8_t> entries(std::size_t{h.paletteCount} * h.paletteEntrySize);
  long got = ReadAt(file, h.paletteOffset, entries.data(), entries.size());
  if (got < 0 || static_cast<std::size_t>(got) != entries.size()) return CONV_ERR_END_OF_FILE;
  for (uint32_t i = 0; i < h.paletteCount; ++i) {
    const uint8_t* entry = entries.data() + std::size_t{i} * h.paletteEntrySize;
    palette[i] = entry[2];
    palette[256 + i] = entry[1];
    palette[512 + i] = entry[0];
  }
  return CONV_OK;
}

[[nodiscard]] int ReadHeader(ConvImageDesc& desc) {
  gRead.reset();
  if (desc.palette == nullptr) return CONV_ERR_GENERAL;
  auto state = std::make_unique<ReadState>();
  BmpHeader& h = state->header;
  if (int error = ParseBmpHeader(desc.hFile, h)) return error;
  if (h.width > kMaxSide || h.height > kMaxSide) return CONV_ERR_FILE_TOO_BIG;

  // Only the padding of the last row may be missing; anything shorter is
  // reported now instead of after part of the image has gone to the host.
  bool truncated =
      !IsRle(h) && h.dataOffset + h.stride * (h.height - 1) + h.rowBytes > static_cast<uint64_t>(h.fileSize);
  if (int error = ReadPalette(desc.hFile, h, desc.palette)) return error;
  bool bitFields = h.bits == 16 || h.bits == 32;
  bool twoColors = h.bits == 1 && !IsBlackAndWhite(desc.palette);
  uint16_t bits = bitFields ? 24 : twoColors ? 4 : h.bits;
  if (bitFields) {
    state->scales = ScalesOf(h.masks);
    SettingColor background = SettingValue(desc.iniPath, kBackground);
    state->scales.background[0] = background.red;
    state->scales.background[1] = background.green;
    state->scales.background[2] = background.blue;
    state->expandRow = BitFieldRowFor(h.bits, h.masks[3] != 0);
  } else if (twoColors) {
    state->expandRow = SpreadTwoColors;
  }
  uint64_t bytesPerLine = state->expandRow != nullptr ? (uint64_t{h.width} * bits + 7) / 8
                          : IsRle(h)                  ? h.rowBytes
                                                      : h.stride;
  if (bytesPerLine > kMaxSide) return CONV_ERR_FILE_TOO_BIG;
  if (truncated) return CONV_ERR_END_OF_FILE;
  state->bytesPerLine = static_cast<uint32_t>(bytesPerLine);

  desc.width = h.width;
  desc.height = h.height;
  desc.colorType = bits <= 8 ? CONV_COLOR_PALETTE : CONV_COLOR_RGB;
  desc.bitsPerPixel = bits;
  desc.planes = 1;
  desc.bytesPerLine = state->bytesPerLine;
  desc.packedPixels = bits < 8 ? 1 : 0;
  desc.invertedGray = 0;
  desc.bgrOrder = h.bits > 8 ? 1 : 0;
  FillResolution(h, desc);
  uint16_t order = h.topDown ? CONV_ACCESS_TOP_DOWN : CONV_ACCESS_BOTTOM_UP;
  DescribeBands(desc, IsRle(h) ? CONV_ACCESS_CONVERTER : order, order, kReadBandRows);
  gRead = std::move(state);
  return CONV_OK;
}

[[nodiscard]] int SetupReading(const ConvImageDesc& desc) {
  if (!gRead || desc.bandRows == 0) return CONV_ERR_GENERAL;
  const BmpHeader& h = gRead->header;
  if (IsRle(h)) {
    gRead->rle = std::make_unique<RleDecoder>(desc.hFile, static_cast<long>(h.dataOffset), h.fileSize,
                                              h.width, h.height, h.compression == Compression::kRle4);
  } else if (gRead->expandRow != nullptr) {
    gRead->stored.assign(desc.bandRows * h.stride, 0);
  }
  return CONV_OK;
}

// Manager-driven: the band's rows are consecutive stored rows whichever way
// the file runs, because the manager travels in stored order.
[[nodiscard]] int ReadStoredBand(const ConvImageDesc& desc, unsigned char* band) {
  ReadState& s = *gRead;
  const BmpHeader& h = s.header;
  uint32_t first = desc.bandRow;
  uint32_t count = desc.bandCount;
  if (!BandInsideImage(desc, h.height, !h.topDown)) return CONV_ERR_GENERAL;
  uint32_t firstStored = h.topDown ? first : h.height - 1 - first;

  uint8_t* target = s.expandRow != nullptr ? s.stored.data() : band;
  uint64_t want = uint64_t{count} * h.stride;
  if (s.expandRow != nullptr && want > s.stored.size()) return CONV_ERR_GENERAL;
  uint64_t need = uint64_t{count - 1} * h.stride + h.rowBytes;
  long got = ReadAt(desc.hFile, h.dataOffset + uint64_t{firstStored} * h.stride, target, want);
  if (got < 0 || static_cast<uint64_t>(got) < need) return CONV_ERR_END_OF_FILE;
  std::memset(target + got, 0, want - static_cast<uint64_t>(got));
  if (s.expandRow != nullptr) {
    for (uint32_t k = 0; k < count; ++k) {
      s.expandRow(target + k * h.stride, band + std::size_t{k} * s.bytesPerLine, h.width, s.scales);
    }
  }
  return CONV_OK;
}

// Converter-driven: up to bandRows decoded rows, in stored order.
[[nodiscard]] int ReadRleBand(ConvImageDesc& desc, unsigned char* band) {
  ReadState& s = *gRead;
  const BmpHeader& h = s.header;
  if (s.nextStoredRow >= h.height) return 1;
  uint32_t count = std::min(desc.bandRows, h.height - s.nextStoredRow);
  for (uint32_t k = 0; k < count; ++k) {
    if (int error = s.rle->DecodeRow()) return error;
    const uint8_t* pixels = s.rle->row();
    uint8_t* out = band + std::size_t{k} * s.bytesPerLine;
    if (h.compression == Compression::kRle8) {
      std::memcpy(out, pixels, h.width);
    } else {
      for (uint32_t i = 0; i < s.bytesPerLine; ++i) {
        out[i] = static_cast<uint8_t>(pixels[2 * i] << 4 | pixels[2 * i + 1]);
      }
    }
  }
  desc.bandRow = h.topDown ? s.nextStoredRow : h.height - 1 - s.nextStoredRow;
  desc.bandCount = count;
  s.nextStoredRow += count;
  return CONV_OK;
}

}  // namespace

}  // namespace imexp::bmp

using namespace imexp::bmp;

CONV_ENTRY(int) RDCheckFile(HFILE file, char* /*iniPath*/) { return LooksLikeBmp(file) ? 1 : 0; }

CONV_ENTRY(int) RDGetImageInfo(HFILE file, int image, char* /*iniPath*/, ConvImageInfo* info) {
  return Guarded([&] {
    if (info == nullptr) return static_cast<int>(CONV_ERR_GENERAL);
    if (image != 0) return static_cast<int>(CONV_ERR_WRONG_IMAGE_NUMBER);
    BmpHeader h;
    if (int error = ParseBmpHeader(file, h)) return error;
    info->width = h.width;
    info->height = h.height;
    info->colorType = h.bits <= 8 ? CONV_COLOR_PALETTE : CONV_COLOR_RGB;
    info->bitsPerPixel = h.bits;
    FillResolution(h, *info);
    CopyField(info->formatName, VariantName(h.variant));
    CopyField(info->compression, CompressionName(h.compression));
    return static_cast<int>(CONV_OK);
  });
}

CONV_ENTRY(int) RDReadHeader(ConvImageDesc* desc, char** /*hostParam*/, int /*hostValue*/) {
  if (desc == nullptr) return CONV_ERR_GENERAL;
  return Guarded([&] { return ReadHeader(*desc); });
}

CONV_ENTRY(int) RDSetupReading(ConvImageDesc* desc) {
  if (desc == nullptr) return CONV_ERR_GENERAL;
  return Guarded([&] { return SetupReading(*desc); });
}

CONV_ENTRY(int) RDReadBand(ConvImageDesc* desc, unsigned char* band) {
  if (desc == nullptr || band == nullptr || !gRead) return CONV_ERR_GENERAL;
  return Guarded([&] {
    if (gRead->rle) return ReadRleBand(*desc, band);
    if (IsRle(gRead->header)) return static_cast<int>(CONV_ERR_GENERAL);  // RDSetupReading never ran
    return ReadStoredBand(*desc, band);
  });
}

CONV_ENTRY(void) RDCleanUp(ConvImageDesc* /*desc*/) { gRead.reset(); }
