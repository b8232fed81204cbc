#include "tests/support/reference_tools.h"

#include <algorithm>
#include <cctype>

namespace imexp::test {

bool ToolAvailable(const std::string& program) {
  return RunCommand("command -v " + ShellQuote(program) + " >/dev/null 2>&1") == 0;
}

std::string ShellQuote(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

namespace {

// Reads the header numbers of a PNM file, skipping comments.
class PnmHeaderReader {
 public:
  explicit PnmHeaderReader(const std::string& bytes) : bytes_(bytes) {}
  bool Number(unsigned* value) {
    while (pos_ < bytes_.size()) {
      char c = bytes_[pos_];
      if (c == '#') {
        while (pos_ < bytes_.size() && bytes_[pos_] != '\n') ++pos_;
      } else if (std::isspace(static_cast<unsigned char>(c))) {
        ++pos_;
      } else {
        break;
      }
    }
    if (pos_ >= bytes_.size() || !std::isdigit(static_cast<unsigned char>(bytes_[pos_]))) return false;
    unsigned long long n = 0;
    while (pos_ < bytes_.size() && std::isdigit(static_cast<unsigned char>(bytes_[pos_]))) {
      n = n * 10 + static_cast<unsigned>(bytes_[pos_++] - '0');
      if (n > 0xFFFFFFFFull) return false;
    }
    *value = static_cast<unsigned>(n);
    return true;
  }
  // P1's pixels are single digits that need no separator.
  bool Bit(unsigned* value) {
    while (pos_ < bytes_.size() && !std::isdigit(static_cast<unsigned char>(bytes_[pos_]))) {
      if (bytes_[pos_] == '#') {
        while (pos_ < bytes_.size() && bytes_[pos_] != '\n') ++pos_;
      } else {
        ++pos_;
      }
    }
    if (pos_ >= bytes_.size()) return false;
    *value = bytes_[pos_++] == '1' ? 1 : 0;
    return true;
  }
  std::size_t pos() const { return pos_; }
  void Skip(std::size_t n) { pos_ += n; }

 private:
  const std::string& bytes_;
  std::size_t pos_ = 2;
};

}  // namespace

RgbImage DecodePnm(const std::string& bytes) {
  RgbImage none;
  if (bytes.size() < 3 || bytes[0] != 'P' || bytes[1] < '1' || bytes[1] > '6') return none;
  int kind = bytes[1] - '0';
  PnmHeaderReader header(bytes);
  unsigned width = 0;
  unsigned height = 0;
  unsigned maxval = 1;
  if (!header.Number(&width) || !header.Number(&height) || width == 0 || height == 0) return none;
  if (width > 100000 || height > 100000) return none;
  if (kind != 1 && kind != 4 && (!header.Number(&maxval) || maxval == 0 || maxval > 65535)) return none;
  header.Skip(1);  // the single whitespace after the header
  std::size_t start = header.pos();
  int samples = kind == 3 || kind == 6 ? 3 : 1;
  std::size_t count = std::size_t{width} * height * static_cast<std::size_t>(samples);
  std::vector<unsigned> values;
  values.reserve(count);
  if (kind == 4) {
    std::size_t rowBytes = (width + 7) / 8;
    if (bytes.size() < start + rowBytes * height) return none;
    for (unsigned y = 0; y < height; ++y) {
      for (unsigned x = 0; x < width; ++x) {
        auto byte = static_cast<uint8_t>(bytes[start + y * rowBytes + x / 8]);
        values.push_back((byte >> (7 - x % 8)) & 1u);
      }
    }
  } else if (kind >= 5) {
    std::size_t sampleBytes = maxval > 255 ? 2 : 1;
    if (bytes.size() < start + count * sampleBytes) return none;
    for (std::size_t i = 0; i < count; ++i) {
      std::size_t at = start + i * sampleBytes;
      unsigned v = static_cast<uint8_t>(bytes[at]);
      if (sampleBytes == 2) v = v << 8 | static_cast<uint8_t>(bytes[at + 1]);
      values.push_back(v);
    }
  } else {
    for (std::size_t i = 0; i < count; ++i) {
      unsigned v = 0;
      if (!(kind == 1 ? header.Bit(&v) : header.Number(&v))) return none;
      values.push_back(v);
    }
  }
  RgbImage pixels;
  pixels.width = width;
  pixels.height = height;
  pixels.rgb.reserve(std::size_t{width} * height * 3);
  for (std::size_t i = 0; i < values.size(); i += static_cast<std::size_t>(samples)) {
    for (int c = 0; c < 3; ++c) {
      unsigned v = values[i + (samples == 3 ? static_cast<std::size_t>(c) : 0)];
      uint8_t level = 0;
      if (kind == 1 || kind == 4) {
        level = v != 0 ? 0 : 255;  // a set PBM bit is black
      } else {
        level = static_cast<uint8_t>((std::min(v, maxval) * 255u + maxval / 2) / maxval);
      }
      pixels.rgb.push_back(level);
    }
  }
  return pixels;
}

RgbImage ReadPnmAsRgb(const fs::path& file) { return DecodePnm(ReadFileBytes(file)); }

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

std::string FirstDifference(const RgbImage& expected, const RgbImage& actual, int tolerance) {
  if (expected.width != actual.width || expected.height != actual.height) {
    return "size " + std::to_string(actual.width) + " x " + std::to_string(actual.height) + ", expected " +
           std::to_string(expected.width) + " x " + std::to_string(expected.height);
  }
  for (std::size_t i = 0; i < expected.rgb.size() && i < actual.rgb.size(); ++i) {
    if (std::abs(expected.rgb[i] - actual.rgb[i]) <= tolerance) continue;
    std::size_t pixel = i / 3;
    std::size_t at = pixel * 3;
    auto triple = [&](const RgbImage& p) {
      return std::to_string(p.rgb[at]) + "," + std::to_string(p.rgb[at + 1]) + "," +
             std::to_string(p.rgb[at + 2]);
    };
    return "pixel (" + std::to_string(pixel % expected.width) + ", " +
           std::to_string(pixel / expected.width) + ") is " + triple(actual) + ", expected " +
           triple(expected);
  }
  if (expected.rgb.size() != actual.rgb.size()) return "sample count differs";
  return "";
}

}  // namespace imexp::test
