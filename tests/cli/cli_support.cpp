#include "tests/cli/cli_support.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace imexp::test::cli {

RunResult RunImexp(const std::vector<std::string>& args) { return RunProgram(ImexpPath(), args); }

ToolCopy::ToolCopy() {
  fs::path built = ExecutableDir();
  std::vector<std::string> files{fs::path(ImexpPath()).filename().string(), ManagerLibraryName(),
                                 "CONVERT.INI"};
  for (const char* name : {"imexp_bmp", "imexp_pnm", "imexp_pcx", "imexp_dcx", "imexp_test_converter",
                           "imexp_test_converter_no_ConvGetDllInfo"}) {
    files.push_back(SharedLibraryName(name));
  }
  // The Windows build's C++ runtime lies beside the programs.
  for (const char* runtime : {"libstdc++-6.dll", "libgcc_s_seh-1.dll", "libwinpthread-1.dll"}) {
    if (fs::exists(built / runtime)) files.push_back(runtime);
  }
  for (const std::string& file : files) fs::copy_file(built / file, dir_.path() / file);
}

RunResult ToolCopy::Run(const std::vector<std::string>& args) const {
  return RunProgram(Path(fs::path(ImexpPath()).filename().string()), args);
}

std::vector<std::string> ToolCopy::Listed(const std::vector<std::string>& bases) const {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < bases.size(); ++i) {
    lines.push_back(FoldCase(std::to_string(i) + "=" + Path(SharedLibraryName(bases[i]))));
  }
  return lines;
}

void ToolCopy::AppendIni(const std::string& text) const {
  WriteFileBytes(dir_.path() / "CONVERT.INI", ReadFileBytes(dir_.path() / "CONVERT.INI") + text);
}

std::string CleanExit(const RunResult& result) {
  bool sanitizer = result.err.find("Sanitizer") != std::string::npos ||
                   result.err.find("runtime error:") != std::string::npos;
  if (!result.crashed && result.status >= 0 && !sanitizer) return "";
  return "status " + std::to_string(result.status) + (result.crashed ? " (crashed)" : "") + "\n" + result.err;
}

fs::path SamplesDir() { return fs::path(IMEXP_SAMPLES_DIR); }

std::vector<fs::path> ReadableSamples() {
  std::string built = "," IMEXP_BUILT_FORMATS ",";
  std::vector<fs::path> samples;
  for (const auto& folder : fs::directory_iterator(SamplesDir())) {
    std::string format = folder.path().filename().string();
    if (format == "dcx") format = "pcx";
    if (!folder.is_directory() || built.find("," + format + ",") == std::string::npos) continue;
    for (const auto& entry : fs::directory_iterator(folder.path())) {
      if (entry.is_regular_file()) samples.push_back(entry.path());
    }
  }
  std::sort(samples.begin(), samples.end());
  return samples;
}

std::string Sample(const std::string& relative) { return NativePath(SamplesDir() / relative); }

std::vector<std::string> LeftoverTemporaries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    std::string name = entry.path().filename().string();
    if (name.rfind("~cv", 0) == 0) names.push_back(name);
  }
  return names;
}

std::string FirstDifference(const Pixels& expected, const Pixels& actual) {
  if (expected.width != actual.width || expected.height != actual.height) {
    return "size " + std::to_string(actual.width) + " x " + std::to_string(actual.height) + ", expected " +
           std::to_string(expected.width) + " x " + std::to_string(expected.height);
  }
  for (std::size_t i = 0; i < expected.rgb.size() && i < actual.rgb.size(); ++i) {
    if (expected.rgb[i] == actual.rgb[i]) continue;
    std::size_t pixel = i / 3;
    std::size_t at = pixel * 3;
    auto triple = [&](const Pixels& p) {
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

Pixels DecodePnm(const std::string& bytes) {
  Pixels none;
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
  Pixels pixels;
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

Pixels DecodePnmFile(const fs::path& file) { return DecodePnm(ReadFileBytes(file)); }

Pixels SourceImage::ToPixels() const {
  Pixels pixels;
  pixels.width = width;
  pixels.height = height;
  for (uint32_t v : values) {
    Rgb rgb{};
    if (layout == "bilevel") {
      rgb.fill(v != 0 ? 255 : 0);
    } else if (layout == "gray256") {
      rgb.fill(static_cast<uint8_t>(v));
    } else if (layout == "rgb24") {
      rgb = {static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
    } else {
      rgb = palette.at(v);
    }
    pixels.rgb.insert(pixels.rgb.end(), rgb.begin(), rgb.end());
  }
  return pixels;
}

SourceImage MakeSource(const std::string& layout, unsigned width, unsigned height) {
  SourceImage image;
  image.layout = layout;
  image.width = width;
  image.height = height;
  unsigned entries = layout == "pal16" ? 16 : layout == "pal256" ? 256 : 0;
  for (unsigned i = 0; i < entries; ++i) {
    // Distinct, never grey: red runs up, green down, blue apart from both.
    image.palette.push_back({static_cast<uint8_t>(i * (256 / entries) + 3),
                             static_cast<uint8_t>(250 - i * (240 / entries)),
                             static_cast<uint8_t>((i * 77 + 40) & 0xFF)});
  }
  for (unsigned y = 0; y < height; ++y) {
    for (unsigned x = 0; x < width; ++x) {
      uint32_t v = 0;
      if (layout == "bilevel") v = (x * 3 + y * 5) % 7 < 3 ? 1 : 0;
      if (layout == "gray256") v = (x * 37 + y * 11 + 5) & 0xFF;
      if (layout == "rgb24")
        v = ((x * 5 + y * 3) & 0xFF) << 16 | ((x * y + 7) & 0xFF) << 8 | ((x + y * 7) & 0xFF);
      if (entries != 0) v = (x * 7 + y * 13) % entries;
      image.values.push_back(v);
    }
  }
  return image;
}

namespace {

void Put16(std::string& out, unsigned v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// An uncompressed, bottom-up BMP with a 40-byte header and its palette.
std::string EncodeBmp(const SourceImage& image, unsigned bits) {
  std::string pixels;
  std::size_t stride = ((std::size_t{image.width} * bits + 31) / 32) * 4;
  for (unsigned row = image.height; row-- > 0;) {
    std::string line(stride, '\0');
    for (unsigned x = 0; x < image.width; ++x) {
      uint32_t v = image.values[std::size_t{row} * image.width + x];
      if (bits == 24) {
        line[x * 3] = static_cast<char>(v & 0xFF);
        line[x * 3 + 1] = static_cast<char>((v >> 8) & 0xFF);
        line[x * 3 + 2] = static_cast<char>((v >> 16) & 0xFF);
      } else {
        unsigned perByte = 8 / bits;
        unsigned shift = (perByte - 1 - x % perByte) * bits;
        line[x / perByte] = static_cast<char>(static_cast<uint8_t>(line[x / perByte]) | (v << shift));
      }
    }
    pixels += line;
  }
  std::vector<Rgb> palette = image.palette;
  if (bits == 1 && palette.empty()) palette = {Rgb{0, 0, 0}, Rgb{255, 255, 255}};
  uint32_t offset = 14 + 40 + static_cast<uint32_t>(palette.size()) * 4;
  std::string out = "BM";
  Put32(out, offset + static_cast<uint32_t>(pixels.size()));
  Put32(out, 0);
  Put32(out, offset);
  Put32(out, 40);
  Put32(out, image.width);
  Put32(out, image.height);
  Put16(out, 1);
  Put16(out, bits);
  Put32(out, 0);
  Put32(out, static_cast<uint32_t>(pixels.size()));
  Put32(out, 2835);
  Put32(out, 2835);
  Put32(out, static_cast<uint32_t>(palette.size()));
  Put32(out, 0);
  for (const Rgb& entry : palette) {
    out.push_back(static_cast<char>(entry[2]));
    out.push_back(static_cast<char>(entry[1]));
    out.push_back(static_cast<char>(entry[0]));
    out.push_back('\0');
  }
  return out + pixels;
}

std::string PnmHeader(char kind, unsigned width, unsigned height, bool maxval) {
  return std::string("P") + kind + "\n" + std::to_string(width) + " " + std::to_string(height) + "\n" +
         (maxval ? "255\n" : "");
}

}  // namespace

std::string EncodeSourceFile(const SourceImage& image) {
  if (image.layout == "pal16") return EncodeBmp(image, 4);
  if (image.layout == "pal256") return EncodeBmp(image, 8);
  if (image.layout == "bilevel") {
    std::string out = PnmHeader('4', image.width, image.height, false);
    std::size_t rowBytes = (image.width + 7) / 8;
    for (unsigned y = 0; y < image.height; ++y) {
      std::string row(rowBytes, '\0');
      for (unsigned x = 0; x < image.width; ++x) {
        // A set PBM bit is black.
        if (image.values[std::size_t{y} * image.width + x] == 0) {
          row[x / 8] = static_cast<char>(static_cast<uint8_t>(row[x / 8]) | (0x80u >> (x % 8)));
        }
      }
      out += row;
    }
    return out;
  }
  if (image.layout == "gray256") {
    std::string out = PnmHeader('5', image.width, image.height, true);
    for (uint32_t v : image.values) out.push_back(static_cast<char>(v));
    return out;
  }
  return EncodePpm(image.ToPixels());
}

std::string SourceExtension(const SourceImage& image) {
  if (image.layout == "bilevel") return "pbm";
  if (image.layout == "gray256") return "pgm";
  if (image.layout == "rgb24") return "ppm";
  return "bmp";
}

std::string EncodePpm(const Pixels& pixels) {
  std::string out = PnmHeader('6', pixels.width, pixels.height, true);
  out.append(reinterpret_cast<const char*>(pixels.rgb.data()), pixels.rgb.size());
  return out;
}

}  // namespace imexp::test::cli
