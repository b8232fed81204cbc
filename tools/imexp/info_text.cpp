#include "tools/imexp/info_text.h"

#include <imexp/host.h>

#include <cstdio>
#include <cstring>

#include "resource_ids.h"

namespace imexp::cli {

namespace {

// The widest label of the dialog; labels are right-aligned as there.
constexpr int kLabelWidth = 13;

// The colour type a host layout is named by: bilevel pixels are black or
// white, so grey, as the dialog names a 1-bit PBM file.
unsigned HostTypeStringId(int hostType) {
  switch (hostType) {
    case HIT_BILEVEL:
    case HIT_GRAY256:
      return IDS_COLOR_GRAY;
    case HIT_PAL16:
    case HIT_PAL256:
      return IDS_COLOR_PALETTE;
    case HIT_RGB24:
      return IDS_COLOR_RGB;
    default:
      return 0;
  }
}

}  // namespace

uint32_t ColourCount(unsigned bits) { return uint32_t{1} << (bits > 24 ? 24 : bits); }

std::string GroupDigits(uint64_t value) {
  std::string digits = std::to_string(value);
  std::string grouped;
  std::size_t lead = digits.size() % 3 == 0 ? 3 : digits.size() % 3;
  grouped.append(digits, 0, lead);
  for (std::size_t i = lead; i < digits.size(); i += 3) {
    grouped.push_back(',');
    grouped.append(digits, i, 3);
  }
  return grouped;
}

unsigned ColourTypeStringId(unsigned colorType) {
  static constexpr unsigned kIds[] = {IDS_COLOR_GRAY,  IDS_COLOR_GRAY_PALETTE, IDS_COLOR_PALETTE,
                                      IDS_COLOR_RGB,   IDS_COLOR_GRAY_ALPHA,   IDS_COLOR_RGB_ALPHA,
                                      IDS_COLOR_YCBCR, IDS_COLOR_LAB,          IDS_COLOR_CMYK};
  return colorType < sizeof kIds / sizeof kIds[0] ? kIds[colorType] : 0;
}

std::string FillNumbers(const std::string& format, unsigned first, unsigned second) {
  std::string out;
  int used = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size()) {
      if (format[i + 1] == '%') {
        out.push_back('%');
        ++i;
        continue;
      }
      if (format[i + 1] == 'u' && used < 2) {
        out += std::to_string(used++ == 0 ? first : second);
        ++i;
        continue;
      }
    }
    out.push_back(format[i]);
  }
  return out;
}

std::string FillText(const std::string& format, const std::string& text) {
  std::string out;
  bool used = false;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's' && !used) {
      out += text;
      used = true;
      ++i;
      continue;
    }
    out.push_back(format[i]);
  }
  return out;
}

std::string FieldText(const char* field, std::size_t size) {
  const void* end = std::memchr(field, '\0', size);
  return std::string(field, end != nullptr ? static_cast<const char*>(end) - field : size);
}

std::vector<InfoLine> DescribeImage(const ConvImageInfo& info, const StringLoader& strings) {
  std::vector<InfoLine> lines;
  lines.push_back({"File Name :", FieldText(info.title, sizeof info.title)});
  lines.push_back({"Format :", FieldText(info.formatName, sizeof info.formatName)});
  unsigned typeId = ColourTypeStringId(info.colorType);
  lines.push_back({"Type :", typeId != 0 ? strings(typeId) : std::string()});
  lines.push_back({"Dimensions :", FillNumbers("%u X %u", info.width, info.height)});
  if (info.imageCount > 1) {
    lines.push_back({"Image :", FillNumbers("%u / %u", info.imageIndex + 1u, info.imageCount)});
  }
  lines.push_back({"Colors :", GroupDigits(ColourCount(info.bitsPerPixel))});
  // Units the table does not name show nothing, as the dialog's field would.
  std::string resolution;
  if (info.resUnit <= CONV_UNIT_SCREEN) {
    resolution = FillNumbers(strings(IDS_RES_UNKNOWN + info.resUnit), info.resX, info.resY);
  }
  lines.push_back({"Resolution :", resolution});
  std::string compression = FieldText(info.compression, sizeof info.compression);
  lines.push_back({"Compression :", compression.empty() ? strings(IDS_UNCOMPRESSED) : compression});
  return lines;
}

std::vector<InfoLine> DescribeHeldImage(const HeldImage& image, const StringLoader& strings) {
  unsigned typeId = HostTypeStringId(image.hostType);
  // The host speaks of dots per inch only; 0 in either is unknown.
  bool known = image.resolutionX > 0 && image.resolutionY > 0;
  return {{"File Name :", image.path},
          {"Dimensions :", FillNumbers("%u X %u", image.width, image.height)},
          {"Type :", typeId != 0 ? strings(typeId) : std::string()},
          {"Colors :", GroupDigits(ColourCount(image.bitsPerPixel))},
          {"Resolution :", known ? FillNumbers(strings(IDS_RES_DPI), static_cast<unsigned>(image.resolutionX),
                                               static_cast<unsigned>(image.resolutionY))
                                 : strings(IDS_RES_UNKNOWN)}};
}

void PrintInfoLines(const std::vector<InfoLine>& lines) {
  for (const InfoLine& line : lines)
    std::printf("%*s %s\n", kLabelWidth, line.label.c_str(), line.value.c_str());
}

}  // namespace imexp::cli
