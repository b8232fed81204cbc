// Reading one image of a GIF file, the one the descriptor's imageIndex
// names, at its own size and on its own (not composed over the images
// before it): its colour map (local, else global) as the palette with the transparent entry turned into the
// configured background, rows in top-down order whether or not the file
// interlaces them, and 1, 4 or 8 bits a pixel depending on the map's size.
#include <algorithm>
#include <memory>
#include <tuple>
#include <vector>

#include "gif_format.h"
#include "gif_settings.h"

namespace gif {
namespace {

constexpr uint32_t kBandRows = 64;

// Interlaced rows come in four passes: every 8th row from 0, every 8th
// from 4, every 4th from 2, every 2nd from 1.
constexpr uint32_t kPassStart[] = {0, 4, 2, 1};
constexpr uint32_t kPassStep[] = {8, 8, 4, 2};

struct ReadState {
  Decoder decoder;
  ImageRecord image;
  uint32_t width = 0;
  uint32_t height = 0;
  int bits = 8;    // 1, 4 or 8 in the band
  int colors = 0;  // entries of the colour map; indices at or above read as 0
  bool interlaced = false;
  std::vector<uint8_t> pixels;  // interlaced: the whole image, top row first
  std::vector<uint8_t> line;    // otherwise: the row being decoded
  uint32_t nextRow = 0;
};

std::unique_ptr<ReadState> g_read;

struct Layout {
  uint16_t colorType;
  int bits;
  bool inverted;
};

// Two-entry maps that are black and white travel as bilevel rows, the only
// thing the manager makes of 1 bit; any other pair needs a palette, so 4 bits.
Layout ChooseLayout(const uint8_t* palette, int colors) {
  auto is = [palette](int i, uint8_t level) {
    return palette[i] == level && palette[256 + i] == level && palette[512 + i] == level;
  };
  if (colors == 2 && is(0, 0) && is(1, 255)) return {CONV_COLOR_GRAY, 1, false};
  if (colors == 2 && is(0, 255) && is(1, 0)) return {CONV_COLOR_GRAY, 1, true};
  bool grey = true;
  for (int i = 0; i < colors; ++i)
    grey = grey && palette[i] == palette[256 + i] && palette[i] == palette[512 + i];
  return {grey ? uint16_t{CONV_COLOR_GRAY_PALETTE} : uint16_t{CONV_COLOR_PALETTE}, colors <= 16 ? 4 : 8,
          false};
}

// The palette from the map that applies; a file without any map reads as
// 256 grey levels.
int BuildPalette(const ImageRecord& image, const SettingColor& background, uint8_t* palette) {
  std::fill(palette, palette + CONV_PALETTE_BYTES, 0);
  const ColorMapObject* map = image.colors;
  int colors = map != nullptr ? std::clamp(map->ColorCount, 1, 256) : 256;
  for (int i = 0; i < colors; ++i) {
    GifColorType c = map != nullptr ? map->Colors[i] : GifColorType{uint8_t(i), uint8_t(i), uint8_t(i)};
    palette[i] = c.Red;
    palette[256 + i] = c.Green;
    palette[512 + i] = c.Blue;
  }
  if (image.transparent >= 0 && image.transparent < colors) {
    palette[image.transparent] = background.red;
    palette[256 + image.transparent] = background.green;
    palette[512 + image.transparent] = background.blue;
  }
  return colors;
}

void PackRow(const ReadState& s, const uint8_t* indices, uint8_t* out) {
  auto index = [&](uint32_t x) -> unsigned { return indices[x] < s.colors ? indices[x] : 0u; };
  if (s.bits == 8) {
    for (uint32_t x = 0; x < s.width; ++x) out[x] = static_cast<uint8_t>(index(x));
    return;
  }
  uint32_t perByte = 8u / static_cast<uint32_t>(s.bits);
  std::fill(out, out + (s.width + perByte - 1) / perByte, 0);
  for (uint32_t x = 0; x < s.width; ++x) {
    unsigned shift = 8u - static_cast<unsigned>(s.bits) * (x % perByte + 1);
    out[x / perByte] = static_cast<uint8_t>(out[x / perByte] | index(x) << shift);
  }
}

[[nodiscard]] int DecodeLine(ReadState& s, uint8_t* line) {
  if (DGifGetLine(s.decoder.gif, line, static_cast<int>(s.width)) == GIF_ERROR) return s.decoder.Failure();
  return CONV_OK;
}

[[nodiscard]] int ReadHeader(ConvImageDesc* desc) {
  g_read.reset();
  auto state = std::make_unique<ReadState>();
  ReadState& s = *state;
  if (int error = s.decoder.Open(desc->hFile)) return error;
  if (int error = FindImage(s.decoder, desc->imageIndex, &s.image)) return error;
  // The image at its own size, wherever it lies on the logical screen.
  if (s.image.desc.Width <= 0 || s.image.desc.Height <= 0) return CONV_ERR_INVALID_FILE;
  s.width = static_cast<uint32_t>(s.image.desc.Width);
  s.height = static_cast<uint32_t>(s.image.desc.Height);
  if (int error = CheckImageSize(s.decoder, s.width, s.height)) return error;
  s.interlaced = s.image.desc.Interlace;

  SettingColor background = SettingValue(desc->iniPath, kBackground);
  uint8_t palette[CONV_PALETTE_BYTES];
  s.colors = BuildPalette(s.image, background, palette);
  Layout layout = ChooseLayout(palette, s.colors);
  s.bits = layout.bits;
  if (desc->palette != nullptr) std::copy(palette, palette + CONV_PALETTE_BYTES, desc->palette);

  desc->width = s.width;
  desc->height = s.height;
  desc->colorType = layout.colorType;
  desc->bitsPerPixel = static_cast<uint16_t>(s.bits);
  desc->planes = 1;
  desc->bytesPerLine = (s.width * static_cast<uint32_t>(s.bits) + 7) / 8;
  desc->packedPixels = 1;
  desc->invertedGray = layout.inverted ? 1 : 0;
  desc->bgrOrder = 0;
  Resolution resolution = PixelAspect(*s.decoder.gif);
  std::tie(desc->resUnit, desc->resX, desc->resY) = std::tuple(resolution.unit, resolution.x, resolution.y);
  DescribeBands(*desc, CONV_ACCESS_TOP_DOWN, CONV_ACCESS_TOP_DOWN, kBandRows);
  g_read = std::move(state);
  return CONV_OK;
}

[[nodiscard]] int SetupReading(ConvImageDesc* /*desc*/) {
  if (!g_read) return CONV_ERR_GENERAL;
  ReadState& s = *g_read;
  s.nextRow = 0;
  if (!s.interlaced) {
    s.line.assign(s.width, 0);
    return CONV_OK;
  }
  s.pixels.assign(std::size_t{s.width} * s.height, 0);
  for (int pass = 0; pass < 4; ++pass) {
    for (uint32_t y = kPassStart[pass]; y < s.height; y += kPassStep[pass]) {
      if (int error = DecodeLine(s, s.pixels.data() + std::size_t{y} * s.width)) return error;
    }
  }
  return CONV_OK;
}

[[nodiscard]] int ReadBand(ConvImageDesc* desc, uint8_t* band) {
  if (!g_read) return CONV_ERR_GENERAL;
  ReadState& s = *g_read;
  if (!BandInsideImage(*desc, s.height, false)) return CONV_ERR_GENERAL;
  // Rows not interlaced are decoded as the bands come, so in order.
  if (!s.interlaced && desc->bandRow != s.nextRow) return CONV_ERR_GENERAL;
  std::size_t stride = std::size_t{desc->planes} * desc->bytesPerLine;
  for (uint32_t k = 0; k < desc->bandCount; ++k) {
    uint32_t y = desc->bandRow + k;
    const uint8_t* indices = nullptr;
    if (s.interlaced) {
      indices = s.pixels.data() + std::size_t{y} * s.width;
    } else {
      if (int error = DecodeLine(s, s.line.data())) return error;
      indices = s.line.data();
    }
    PackRow(s, indices, band + k * stride);
  }
  s.nextRow = desc->bandRow + desc->bandCount;
  return CONV_OK;
}

}  // namespace
}  // namespace gif

CONV_ENTRY(int) RDReadHeader(ConvImageDesc* desc, char** /*hostParam*/, int /*hostValue*/) {
  return gif::Guarded(gif::ReadHeader, desc);
}

CONV_ENTRY(int) RDSetupReading(ConvImageDesc* desc) { return gif::Guarded(gif::SetupReading, desc); }

CONV_ENTRY(int) RDReadBand(ConvImageDesc* desc, unsigned char* band) {
  return gif::Guarded(gif::ReadBand, desc, band);
}

CONV_ENTRY(void) RDCleanUp(ConvImageDesc* /*desc*/) { gif::g_read.reset(); }
