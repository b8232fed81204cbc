#include "tools/imexp/verify/conformance_pixels.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace imexp::cli::verify {

namespace {

constexpr uint32_t kSourceWidth = 37;
constexpr uint32_t kSourceHeight = 23;
constexpr uint32_t kFullScale = 255;
constexpr int kRgbBits = 24;
constexpr int kPlaneGreen = 256;
constexpr int kPlaneBlue = 512;

// `bits` bits of pixel `x` in a packed row, first pixel in the high bits.
uint32_t PackedValue(const uint8_t* row, uint32_t x, int bits) {
  uint32_t value = 0;
  for (int b = 0; b < bits; ++b) {
    uint64_t bit = uint64_t{x} * bits + b;
    value = (value << 1) | ((row[bit / 8] >> (7 - bit % 8)) & 1u);
  }
  return value;
}

void PutPacked(uint8_t* row, uint32_t x, int bits, uint32_t value) {
  for (int b = 0; b < bits; ++b) {
    uint64_t bit = uint64_t{x} * bits + b;
    if ((value >> (bits - 1 - b)) & 1u) row[bit / 8] |= static_cast<uint8_t>(0x80u >> (bit % 8));
  }
}

// The pixel value of column x, any layout of fewer than 24 bits.
uint32_t IndexAt(const ConvImageDesc& d, const uint8_t* row, uint32_t x) {
  const uint32_t mask = (1u << d.bitsPerPixel) - 1u;
  if (d.planes > 1) {
    uint32_t value = 0;
    for (uint32_t p = 0; p < d.planes; ++p) value |= PackedValue(row + p * d.bytesPerLine, x, 1) << p;
    return value & mask;
  }
  if (d.packedPixels != 0 && d.bitsPerPixel < 8) return PackedValue(row, x, d.bitsPerPixel);
  return row[x] & mask;
}

uint8_t GreyLevel(uint32_t value, int bits) {
  const uint32_t top = (1u << bits) - 1u;
  return static_cast<uint8_t>((value * kFullScale + top / 2) / top);
}

}  // namespace

void RowToRgb(const ConvImageDesc& d, const uint8_t* row, uint8_t* out) {
  for (uint32_t x = 0; x < d.width; ++x) {
    uint8_t* px = out + std::size_t{x} * 3;
    if (d.bitsPerPixel == kRgbBits) {
      if (d.planes == 3) {
        for (int c = 0; c < 3; ++c) px[c] = row[c * d.bytesPerLine + x];
      } else {
        const uint8_t* in = row + std::size_t{x} * 3;
        px[0] = in[d.bgrOrder ? 2 : 0];
        px[1] = in[1];
        px[2] = in[d.bgrOrder ? 0 : 2];
      }
      continue;
    }
    uint32_t value = IndexAt(d, row, x);
    if (d.colorType == CONV_COLOR_GRAY) {
      uint8_t level = GreyLevel(value, d.bitsPerPixel);
      px[0] = px[1] = px[2] = d.invertedGray ? static_cast<uint8_t>(kFullScale - level) : level;
    } else {
      px[0] = d.palette[value];
      px[1] = d.palette[kPlaneGreen + value];
      px[2] = d.palette[kPlaneBlue + value];
    }
  }
}

std::vector<WriteLayout> LayoutsOf(uint32_t formats) {
  struct Bit {
    uint32_t mask;
    uint16_t colorType;
    std::vector<uint16_t> bits;
  };
  const Bit table[] = {{WF_GRAY1, CONV_COLOR_GRAY, {1}},
                       {WF_GRAY4, CONV_COLOR_GRAY, {4}},
                       {WF_GRAY8, CONV_COLOR_GRAY, {8}},
                       {WF_GRAY_ANY, CONV_COLOR_GRAY, {1, 4, 8}},
                       {WF_PAL4, CONV_COLOR_PALETTE, {4}},
                       {WF_PAL8, CONV_COLOR_PALETTE, {8}},
                       {WF_PAL_ANY, CONV_COLOR_PALETTE, {1, 4, 8}},
                       {WF_RGB24_1 | WF_RGB24_2 | WF_RGB24_3, CONV_COLOR_RGB, {24}}};
  std::vector<WriteLayout> layouts;
  for (const Bit& bit : table) {
    if ((formats & bit.mask) == 0) continue;
    for (uint16_t bits : bit.bits) {
      bool known = std::any_of(layouts.begin(), layouts.end(), [&](const WriteLayout& l) {
        return l.colorType == bit.colorType && l.bits == bits;
      });
      if (known) continue;
      const char* kind = bit.colorType == CONV_COLOR_GRAY  ? "grey "
                         : bit.colorType == CONV_COLOR_RGB ? "RGB "
                                                           : "palette ";
      layouts.push_back({bit.colorType, bits, kind + std::to_string(bits) + " bits"});
    }
  }
  return layouts;
}

SourceImage MakeSource(const WriteLayout& layout) {
  SourceImage image;
  image.layout = layout;
  image.width = kSourceWidth;
  image.height = kSourceHeight;
  image.values.resize(std::size_t{kSourceWidth} * kSourceHeight);
  const uint32_t top = layout.bits == kRgbBits ? kFullScale : (1u << layout.bits) - 1u;
  for (uint32_t y = 0; y < kSourceHeight; ++y) {
    for (uint32_t x = 0; x < kSourceWidth; ++x) {
      // Ramps across and down; blocks of four for the single bit.
      uint32_t across = x * top / (kSourceWidth - 1);
      uint32_t down = y * top / (kSourceHeight - 1);
      uint32_t value = layout.bits == 1 ? ((x / 4 + y / 4) & 1u) : (across + down) / 2;
      if (layout.bits == kRgbBits) value = (across << 16) | (down << 8) | (kFullScale - (across + down) / 2);
      image.values[std::size_t{y} * kSourceWidth + x] = value;
    }
  }
  // Grey ramp for grey layouts, a slowly turning colour ramp for palettes.
  const uint32_t entries = layout.bits == kRgbBits ? 0 : 1u << layout.bits;
  for (uint32_t i = 0; i < entries; ++i) {
    uint8_t level = GreyLevel(i, layout.bits);
    bool grey = layout.colorType == CONV_COLOR_GRAY;
    image.palette[i] = level;
    image.palette[kPlaneGreen + i] = grey ? level : static_cast<uint8_t>(level / 2 + 64);
    image.palette[kPlaneBlue + i] = grey ? level : static_cast<uint8_t>(kFullScale - level);
  }
  return image;
}

RgbImage SourceImage::ToRgb() const {
  RgbImage out{width, height, std::vector<uint8_t>(std::size_t{width} * height * 3)};
  for (std::size_t i = 0; i < values.size(); ++i) {
    uint8_t* px = out.rgb.data() + i * 3;
    uint32_t v = values[i];
    if (layout.bits == kRgbBits) {
      px[0] = static_cast<uint8_t>(v >> 16);
      px[1] = static_cast<uint8_t>(v >> 8);
      px[2] = static_cast<uint8_t>(v);
    } else {
      px[0] = palette[v];
      px[1] = palette[kPlaneGreen + v];
      px[2] = palette[kPlaneBlue + v];
    }
  }
  return out;
}

void SourceRow(const SourceImage& image, const ConvImageDesc& d, uint32_t row, uint8_t* out) {
  const uint32_t* values = image.values.data() + std::size_t{row} * image.width;
  const int bits = image.layout.bits;
  std::memset(out, 0, std::size_t{d.planes} * d.bytesPerLine);
  for (uint32_t x = 0; x < image.width; ++x) {
    uint32_t v = values[x];
    if (bits == kRgbBits) {
      uint8_t rgb[3] = {static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
      for (int c = 0; c < 3; ++c) {
        if (d.planes >= 2) {
          out[c * d.bytesPerLine + x] = rgb[c];
        } else {
          out[std::size_t{x} * 3 + (d.bgrOrder ? 2 - c : c)] = rgb[c];
        }
      }
    } else if (d.planes >= 2) {
      for (int p = 0; p < bits; ++p) PutPacked(out + p * d.bytesPerLine, x, 1, (v >> p) & 1u);
    } else if (d.packedPixels == 0 && bits < 8) {
      out[x] = static_cast<uint8_t>(v);
    } else {
      PutPacked(out, x, bits, v);
    }
  }
}

Difference Compare(const RgbImage& a, const RgbImage& b) {
  Difference worst;
  for (uint32_t y = 0; y < std::min(a.height, b.height); ++y) {
    for (uint32_t x = 0; x < std::min(a.width, b.width); ++x) {
      for (int c = 0; c < 3; ++c) {
        std::size_t ia = (std::size_t{y} * a.width + x) * 3 + c;
        std::size_t ib = (std::size_t{y} * b.width + x) * 3 + c;
        int d = std::abs(int{a.rgb[ia]} - int{b.rgb[ib]});
        if (d > worst.largest) worst = {d, y, x};
      }
    }
  }
  return worst;
}

}  // namespace imexp::cli::verify
