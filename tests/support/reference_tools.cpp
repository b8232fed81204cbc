#include "tests/support/reference_tools.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace imexp::test {

int RunCommand(const std::string& command) {
  int status = std::system(command.c_str());
#ifdef _WIN32
  return status;
#else
  if (status == -1 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
#endif
}

bool ToolAvailable(const std::string& program) {
  return RunCommand("command -v " + ShellQuote(program) + " >/dev/null 2>&1") == 0;
}

std::string ShellQuote(const std::string& path) {
  std::string quoted = "'";
  for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

namespace {

// The PNM header's tokens: magic, then width, height and (except bitmaps)
// maxval, with comments skipped. Leaves `at` on the first raster byte.
bool ReadNumber(const std::string& bytes, std::size_t& at, uint32_t* value) {
  while (at < bytes.size()) {
    if (bytes[at] == '#') {
      while (at < bytes.size() && bytes[at] != '\n') ++at;
    } else if (std::isspace(static_cast<unsigned char>(bytes[at]))) {
      ++at;
    } else {
      break;
    }
  }
  if (at >= bytes.size() || !std::isdigit(static_cast<unsigned char>(bytes[at]))) return false;
  uint64_t v = 0;
  while (at < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[at]))) {
    v = v * 10 + static_cast<uint64_t>(bytes[at++] - '0');
    if (v > 0xFFFFFFFFu) return false;
  }
  *value = static_cast<uint32_t>(v);
  return true;
}

}  // namespace

RgbImage ReadPnmAsRgb(const fs::path& file) {
  std::string bytes = ReadFileBytes(file);
  RgbImage image;
  if (bytes.size() < 3 || bytes[0] != 'P' || bytes[1] < '1' || bytes[1] > '6') return image;
  int kind = bytes[1] - '0';
  std::size_t at = 2;
  uint32_t width = 0, height = 0, maxval = 1;
  if (!ReadNumber(bytes, at, &width) || !ReadNumber(bytes, at, &height)) return image;
  bool bitmap = kind == 1 || kind == 4;
  if (!bitmap && (!ReadNumber(bytes, at, &maxval) || maxval == 0 || maxval > 65535)) return image;
  uint32_t channels = kind == 3 || kind == 6 ? 3 : 1;
  bool binary = kind >= 4;
  if (binary) ++at;  // the one whitespace byte before the raster
  std::vector<uint8_t> rgb(std::size_t{width} * height * 3);
  std::size_t bitmapRow = (std::size_t{width} + 7) / 8;
  auto sample = [&](uint32_t* value) -> bool {
    if (!binary) {
      if (kind == 1) {  // plain PBM: one digit a pixel, no separators needed
        while (at < bytes.size() &&
               (std::isspace(static_cast<unsigned char>(bytes[at])) || bytes[at] == '#')) {
          if (bytes[at] == '#') {
            while (at < bytes.size() && bytes[at] != '\n') ++at;
          } else {
            ++at;
          }
        }
        if (at >= bytes.size()) return false;
        *value = bytes[at++] == '1';
        return true;
      }
      return ReadNumber(bytes, at, value);
    }
    if (maxval > 255) {
      if (at + 2 > bytes.size()) return false;
      *value = uint32_t{static_cast<uint8_t>(bytes[at])} << 8 | static_cast<uint8_t>(bytes[at + 1]);
      at += 2;
      return true;
    }
    if (at >= bytes.size()) return false;
    *value = static_cast<uint8_t>(bytes[at++]);
    return true;
  };
  for (uint32_t y = 0; y < height; ++y) {
    std::size_t rowStart = at;
    for (uint32_t x = 0; x < width; ++x) {
      uint8_t* out = &rgb[(std::size_t{y} * width + x) * 3];
      if (kind == 4) {
        std::size_t byte = rowStart + x / 8;
        if (byte >= bytes.size()) return {};
        bool black = (static_cast<uint8_t>(bytes[byte]) >> (7 - x % 8)) & 1;
        std::fill_n(out, 3, black ? 0 : 255);
        continue;
      }
      uint32_t v[3] = {};
      for (uint32_t c = 0; c < channels; ++c) {
        if (!sample(&v[c])) return {};
      }
      for (uint32_t c = 0; c < 3; ++c) {
        uint32_t value = v[channels == 3 ? c : 0];
        if (kind == 1) {
          out[c] = value ? 0 : 255;
        } else {
          out[c] = static_cast<uint8_t>((std::min(value, maxval) * 255u + maxval / 2) / maxval);
        }
      }
    }
    if (kind == 4) at = rowStart + bitmapRow;
  }
  image.width = width;
  image.height = height;
  image.rgb = std::move(rgb);
  return image;
}

RgbImage ConverterImageAsRgb(const ConverterImage& image) {
  const ConvImageDesc& d = image.desc;
  RgbImage out;
  out.width = d.width;
  out.height = d.height;
  out.rgb.resize(std::size_t{d.width} * d.height * 3);
  for (uint32_t y = 0; y < d.height && y < image.rows.size(); ++y) {
    // The default layout: planes 1, packed pixels, red-green-blue.
    std::vector<uint8_t> row = FromConverterLayout(image.rows[y], d);
    for (uint32_t x = 0; x < d.width; ++x) {
      uint8_t* px = &out.rgb[(std::size_t{y} * d.width + x) * 3];
      if (d.bitsPerPixel == 24) {
        std::copy_n(&row[std::size_t{x} * 3], 3, px);
        continue;
      }
      uint32_t value = 0;
      if (d.bitsPerPixel == 8) value = row[x];
      if (d.bitsPerPixel == 4) value = (row[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 15;
      if (d.bitsPerPixel == 1) value = (row[x / 8] >> (7 - x % 8)) & 1;
      if (d.colorType == CONV_COLOR_GRAY) {
        uint32_t top = (1u << d.bitsPerPixel) - 1;
        uint32_t level = value * 255 / top;
        if (d.invertedGray) level = 255 - level;
        std::fill_n(px, 3, static_cast<uint8_t>(level));
      } else {
        for (std::size_t c = 0; c < 3; ++c) px[c] = image.palette[c * 256 + value];
      }
    }
  }
  return out;
}

int LargestDifference(const RgbImage& a, const RgbImage& b) {
  if (a.width != b.width || a.height != b.height || a.rgb.size() != b.rgb.size()) return 256;
  int largest = 0;
  for (std::size_t i = 0; i < a.rgb.size(); ++i) largest = std::max(largest, std::abs(a.rgb[i] - b.rgb[i]));
  return largest;
}

std::string FirstDifference(const RgbImage& a, const RgbImage& b, int tolerance) {
  if (a.width != b.width || a.height != b.height) {
    return "sizes differ: " + std::to_string(a.width) + "x" + std::to_string(a.height) + " and " +
           std::to_string(b.width) + "x" + std::to_string(b.height);
  }
  for (std::size_t i = 0; i < a.rgb.size() && i < b.rgb.size(); ++i) {
    if (std::abs(a.rgb[i] - b.rgb[i]) > tolerance) {
      std::size_t pixel = i / 3;
      return "pixel (" + std::to_string(pixel % a.width) + ", " + std::to_string(pixel / a.width) +
             ") channel " + std::to_string(i % 3) + ": " + std::to_string(a.rgb[i]) + " against " +
             std::to_string(b.rgb[i]);
    }
  }
  return "no difference";
}

}  // namespace imexp::test
