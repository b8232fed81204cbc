#include "writing/writer_matching.h"

#include <cstring>

#include "pipeline/palette_analysis.h"
#include "registry/converter_list.h"
#include "registry/reader_detection.h"

namespace imexp {

namespace {

struct WriteLayout {
  uint32_t bit;
  int colorType;
  int bits;
};

// Smallest output first and, at equal size, grey before a colour palette.
constexpr WriteLayout kWriteLayoutTable[] = {
    {WF_GRAY1, CONV_COLOR_GRAY, 1},      {WF_GRAY_ANY, CONV_COLOR_GRAY, 1},
    {WF_PAL_ANY, CONV_COLOR_PALETTE, 1}, {WF_GRAY4, CONV_COLOR_GRAY, 4},
    {WF_GRAY_ANY, CONV_COLOR_GRAY, 4},   {WF_PAL4, CONV_COLOR_PALETTE, 4},
    {WF_PAL_ANY, CONV_COLOR_PALETTE, 4}, {WF_GRAY8, CONV_COLOR_GRAY, 8},
    {WF_GRAY_ANY, CONV_COLOR_GRAY, 8},   {WF_PAL8, CONV_COLOR_PALETTE, 8},
    {WF_PAL_ANY, CONV_COLOR_PALETTE, 8}, {WF_RGB24_3, CONV_COLOR_RGB, 24},
    {WF_RGB24_2, CONV_COLOR_RGB, 24},    {WF_RGB24_1, CONV_COLOR_RGB, 24},
};

}  // namespace

void FetchHostPalette(CAbstractWriteWA* image, uint8_t* palette, int bits) {
  ImExpPaletteEntry entries[256] = {};
  image->GetPalette(0, 0, entries);
  int n = 1 << bits;
  for (int i = 0; i < n; ++i) {
    palette[i] = entries[i].red;
    palette[256 + i] = entries[i].green;
    palette[512 + i] = entries[i].blue;
  }
}

int ClassifyWriteImage(CAbstractWriteWA* image, uint8_t* palette, int* colorType, int* bits) {
  int type = 0;
  image->GetImageType(0, 0, &type);
  switch (type) {
    case HIT_BILEVEL:
      *colorType = CONV_COLOR_GRAY;
      *bits = 1;
      return 1;
    case HIT_PAL16:
    case HIT_PAL256: {
      *bits = type == HIT_PAL16 ? 4 : 8;
      FetchHostPalette(image, palette, *bits);
      int color = 1;
      int paletted = 1;
      int inverted = 0;
      AnalysePalette(*bits, palette, &color, &paletted, &inverted);
      *colorType = color                    ? CONV_COLOR_PALETTE
                   : (paletted || inverted) ? CONV_COLOR_GRAY_PALETTE
                                            : CONV_COLOR_GRAY;
      return 1;
    }
    case HIT_GRAY256:
      *colorType = CONV_COLOR_GRAY;
      *bits = 8;
      return 1;
    case HIT_RGB24:
      *colorType = CONV_COLOR_RGB;
      *bits = 24;
      return 1;
    default:
      return 0;
  }
}

uint32_t WriteLayoutMask(int colorType, int bits) {
  uint32_t mask = WF_RGB24_1 | WF_RGB24_2 | WF_RGB24_3;
  if (bits <= 8) mask |= WF_PAL8 | WF_PAL_ANY;
  if (bits <= 8 && (colorType == CONV_COLOR_GRAY || colorType == CONV_COLOR_GRAY_PALETTE))
    mask |= WF_GRAY8 | WF_GRAY_ANY;
  if (bits <= 4) mask |= WF_PAL4;
  if (bits <= 4 && colorType == CONV_COLOR_GRAY) mask |= WF_GRAY4;
  if (bits == 1) mask |= WF_GRAY1;
  return mask;
}

int ChooseWriter(uint32_t mask, const char* fileName) {
  for (int i = 0; i < ConverterCount(); ++i) {
    const ConvRecord& record = ConverterAt(i);
    if ((record.flags & CONV_FLAG_WRITER) && (record.writeFormats & mask) &&
        MatchExtension(fileName, record.extensions)) {
      return i;
    }
  }
  return -1;
}

bool ChooseOutputLayout(uint32_t mask, int bits, int* colorType, int* outputBits) {
  for (const WriteLayout& layout : kWriteLayoutTable) {
    if ((mask & layout.bit) && layout.bits >= bits) {
      *colorType = layout.colorType;
      *outputBits = layout.bits;
      return true;
    }
  }
  return false;
}

}  // namespace imexp

extern "C" IMEXP_API int IMEXP_CALL FindWriter(CAbstractWriteWA* image, char* file) {
  using namespace imexp;
  uint32_t mask = 0xFFFFFFFFu;
  if (image != nullptr) {
    uint8_t palette[CONV_PALETTE_BYTES] = {};
    int colorType = 0;
    int bits = 0;
    if (!ClassifyWriteImage(image, palette, &colorType, &bits)) return 0;
    mask = WriteLayoutMask(colorType, bits);
  }
  return ChooseWriter(mask, file) >= 0 ? 1 : 0;
}

extern "C" IMEXP_API int IMEXP_CALL FillSaveFormatsInfo(char* buffer, unsigned int size) {
  using namespace imexp;
  bool sizeQuery = buffer == nullptr || size == 0;
  unsigned total = 1;  // the closing zero
  unsigned position = 0;
  int formats = 0;
  for (int i = 0; i < ConverterCount(); ++i) {
    const ConvRecord& record = ConverterAt(i);
    if ((record.flags & CONV_FLAG_WRITER) == 0) continue;
    unsigned description = static_cast<unsigned>(lstrlenA(record.description)) + 1;
    unsigned extensions = static_cast<unsigned>(lstrlenA(record.extensions)) + 1;
    if (!sizeQuery) {
      if (total + description + extensions > size) break;
      std::memcpy(buffer + position, record.description, description);
      std::memcpy(buffer + position + description, record.extensions, extensions);
      position += description + extensions;
      ++formats;
    }
    total += description + extensions;
  }
  if (sizeQuery) return static_cast<int>(total);
  buffer[position] = '\0';
  return formats;
}
