// Reading PNG files. Rows are decoded one at a time in the file's own
// layout and brought to one the manager takes: bilevel and 16-level grey
// and palettes packed, 256-level grey, palettes of 256 entries, or RGB.
// Transparency is laid over the background colour of our settings. A file
// stored in rows goes top to bottom without holding more than a row; an
// interlaced one is decoded whole, in the manager's layout, before the first
// band.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include <imexp/converter_settings.h>

#include "png_format.h"
#include "png_rows.h"
#include "png_settings.h"

namespace png {
namespace {

constexpr uint32_t kBandRows = 64;

// Where the pixels of each interlacing pass lie in their rows.
constexpr uint32_t kPassFirstColumn[7] = {0, 4, 0, 2, 0, 1, 0};
constexpr uint32_t kPassColumnStep[7] = {8, 8, 4, 4, 2, 2, 1};

struct ReadState {
  Decoder decoder;
  PngHeader header;
  Layout layout = Layout::kGray8;
  // Pixels carry coverage, from an alpha channel or a tRNS colour, and are
  // laid over `background`.
  bool composite = false;
  bool alphaChannel = false;
  bool transparentColor = false;
  spng_trns trns{};
  SettingColor background;
  RowContext rows;
  RowFunction convert = nullptr;
  uint32_t rowBytes = 0;         // one row in the band buffer
  std::vector<uint8_t> fileRow;  // one decoded row in the file's layout
  std::vector<uint8_t> image;    // interlaced files: every row, our layout
  uint32_t nextRow = 0;
};

std::unique_ptr<ReadState> g_read;

// The palette, each entry laid over the background by its tRNS coverage.
[[nodiscard]] int FillPalette(ReadState& s, uint8_t* palette) {
  spng_plte plte{};
  int error = spng_get_plte(s.decoder.ctx(), &plte);
  if (error == SPNG_ECHUNKAVAIL) return CONV_ERR_INVALID_FILE;
  if (error) return MapLibraryError(error);
  if (palette == nullptr) return CONV_ERR_GENERAL;
  std::memset(palette, 0, CONV_PALETTE_BYTES);
  for (uint32_t i = 0; i < plte.n_entries && i < 256; ++i) {
    uint8_t alpha = i < s.trns.n_type3_entries ? s.trns.type3_alpha[i] : 255;
    const spng_plte_entry& e = plte.entries[i];
    palette[i] = OverBackground(e.red, alpha, s.background.red);
    palette[256 + i] = OverBackground(e.green, alpha, s.background.green);
    palette[512 + i] = OverBackground(e.blue, alpha, s.background.blue);
  }
  return CONV_OK;
}

// Chooses our layout for the file's colour type and depth and describes it.
[[nodiscard]] int DescribeLayout(ReadState& s, ConvImageDesc* desc) {
  const spng_ihdr& ihdr = s.header.ihdr;
  const uint32_t depth = ihdr.bit_depth;
  spng_trns trns{};
  int error = spng_get_trns(s.decoder.ctx(), &trns);
  if (error != SPNG_OK && error != SPNG_ECHUNKAVAIL) return MapLibraryError(error);
  bool hasTrns = error == SPNG_OK;
  s.trns = trns;
  s.alphaChannel = ihdr.color_type == kPngGrayAlpha || ihdr.color_type == kPngRgba;
  s.transparentColor = hasTrns && (ihdr.color_type == kPngGray || ihdr.color_type == kPngRgb);
  s.composite = s.alphaChannel || s.transparentColor;
  bool greyBackground = s.background.red == s.background.green && s.background.green == s.background.blue;

  desc->colorType = CONV_COLOR_GRAY;
  switch (ihdr.color_type) {
    case kPngPalette:
      desc->colorType = CONV_COLOR_PALETTE;
      // The manager reads every 1-bit image as black and white, so smaller
      // palettes go as 16 entries.
      s.layout = depth == 8 ? Layout::kPalette8 : Layout::kPalette4;
      if (int fill = FillPalette(s, desc->palette)) return fill;
      break;
    case kPngGray:
    case kPngGrayAlpha:
      if (s.composite) {
        s.layout = greyBackground ? Layout::kGray8 : Layout::kRgb;
      } else {
        s.layout = depth == 1 ? Layout::kGray1 : depth <= 4 ? Layout::kGray4 : Layout::kGray8;
      }
      break;
    default:
      s.layout = Layout::kRgb;
      break;
  }
  uint32_t bits = 8;
  if (s.layout == Layout::kGray1) bits = 1;
  if (s.layout == Layout::kGray4 || s.layout == Layout::kPalette4) bits = 4;
  if (s.layout == Layout::kRgb) {
    bits = 24;
    desc->colorType = CONV_COLOR_RGB;
  }
  desc->width = ihdr.width;
  desc->height = ihdr.height;
  desc->bitsPerPixel = static_cast<uint16_t>(bits);
  desc->planes = 1;
  desc->packedPixels = 1;
  desc->invertedGray = 0;
  desc->bgrOrder = 0;
  uint64_t rowBytes = (uint64_t{ihdr.width} * bits + 7) / 8;
  if (rowBytes > kMaxBandBytes) return CONV_ERR_FILE_TOO_BIG;
  desc->bytesPerLine = static_cast<uint32_t>(rowBytes);
  s.rowBytes = desc->bytesPerLine;
  s.convert = ChooseRowFunction(ihdr, s.composite, s.layout);
  if (s.convert == nullptr) return CONV_ERR_UNSUPPORTED_SUBFORMAT;
  s.rows.width = ihdr.width;
  s.rows.trns = s.trns;
  s.rows.background[0] = s.background.red;
  s.rows.background[1] = s.background.green;
  s.rows.background[2] = s.background.blue;
  DescribeResolution(s.header, &desc->resUnit, &desc->resX, &desc->resY);
  DescribeBands(*desc, CONV_ACCESS_TOP_DOWN, CONV_ACCESS_TOP_DOWN, kBandRows);
  return CONV_OK;
}

// Decodes the next row in the file's order; our code, with SPNG_EOI after
// the last row counted as success.
[[nodiscard]] int DecodeRow(ReadState& s) {
  int error = spng_decode_row(s.decoder.ctx(), s.fileRow.data(), s.fileRow.size());
  return error == SPNG_EOI ? int{CONV_OK} : MapLibraryError(error);
}

// An interlaced file, pass after pass, into `image`.
[[nodiscard]] int DecodeInterlaced(ReadState& s) {
  s.image.assign(std::size_t{s.rowBytes} * s.header.ihdr.height, 0);
  for (;;) {
    spng_row_info info{};
    int error = spng_get_row_info(s.decoder.ctx(), &info);
    if (error == SPNG_EOI) return CONV_OK;
    if (error) return MapLibraryError(error);
    if (info.pass < 0 || info.pass > 6 || info.row_num >= s.header.ihdr.height) return CONV_ERR_GENERAL;
    // The pass's own scanline: its pixels side by side, placed by us.
    error = spng_decode_scanline(s.decoder.ctx(), s.fileRow.data(), s.fileRow.size());
    if (error != SPNG_OK && error != SPNG_EOI) return MapLibraryError(error);
    s.convert(s.rows, s.fileRow.data(), s.image.data() + std::size_t{info.row_num} * s.rowBytes,
              kPassFirstColumn[info.pass], kPassColumnStep[info.pass]);
    if (error == SPNG_EOI) return CONV_OK;
  }
}

// After the last row, the rest of the stream through IEND, so that the
// checksums of the last image-data chunk and of every chunk after it are
// checked: a damaged file is never reported as read. A file that ends right
// after its image data keeps its image, whose rows all came through the
// inflater's checksum.
[[nodiscard]] int FinishStream(ReadState& s) {
  int error = spng_decode_chunks(s.decoder.ctx());
  return error == SPNG_IO_EOF ? int{CONV_OK} : MapLibraryError(error);
}

[[nodiscard]] int ReadHeader(ConvImageDesc* desc) {
  g_read.reset();
  auto state = std::make_unique<ReadState>();
  if (int error = ReadPngHeader(state->decoder, desc->hFile, &state->header)) return error;
  state->background = SettingValue(desc->iniPath, kBackground);
  if (int error = DescribeLayout(*state, desc)) return error;
  g_read = std::move(state);
  return CONV_OK;
}

[[nodiscard]] int SetupReading(ConvImageDesc* /*desc*/) {
  if (!g_read) return CONV_ERR_GENERAL;
  ReadState& s = *g_read;
  s.fileRow.assign(static_cast<std::size_t>(s.header.FileRowBytes()), 0);
  int error = spng_decode_image(s.decoder.ctx(), nullptr, 0, SPNG_FMT_PNG, SPNG_DECODE_PROGRESSIVE);
  if (error) return MapLibraryError(error);
  s.nextRow = 0;
  return s.header.ihdr.interlace_method ? DecodeInterlaced(s) : int{CONV_OK};
}

[[nodiscard]] int ReadBand(ConvImageDesc* desc, uint8_t* band) {
  if (!g_read) return CONV_ERR_GENERAL;
  ReadState& s = *g_read;
  // Rows go top to bottom, each band right below the last one.
  if (!BandInsideImage(*desc, s.header.ihdr.height, false) || desc->bandRow != s.nextRow)
    return CONV_ERR_GENERAL;
  for (uint32_t k = 0; k < desc->bandCount; ++k) {
    uint8_t* out = band + std::size_t{k} * s.rowBytes;
    if (!s.image.empty()) {
      std::memcpy(out, s.image.data() + std::size_t{s.nextRow + k} * s.rowBytes, s.rowBytes);
      continue;
    }
    if (int error = DecodeRow(s)) return error;
    std::memset(out, 0, s.rowBytes);
    s.convert(s.rows, s.fileRow.data(), out, 0, 1);
  }
  s.nextRow += desc->bandCount;
  return s.nextRow == s.header.ihdr.height ? FinishStream(s) : int{CONV_OK};
}

}  // namespace
}  // namespace png

CONV_ENTRY(int) RDReadHeader(ConvImageDesc* desc, char** /*hostParam*/, int /*hostValue*/) {
  return png::Guarded(png::ReadHeader, desc);
}

CONV_ENTRY(int) RDSetupReading(ConvImageDesc* desc) { return png::Guarded(png::SetupReading, desc); }

CONV_ENTRY(int) RDReadBand(ConvImageDesc* desc, unsigned char* band) {
  return png::Guarded(png::ReadBand, desc, band);
}

CONV_ENTRY(void) RDCleanUp(ConvImageDesc* /*desc*/) { png::g_read.reset(); }
