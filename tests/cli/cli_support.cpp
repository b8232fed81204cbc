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
  for (const char* runtime :
       {"libstdc++-6.dll", "libgcc_s_seh-1.dll", "libgcc_s_dw2-1.dll", "libwinpthread-1.dll"}) {
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

bool FormatBuilt(const std::string& format) {
  return std::string("," IMEXP_BUILT_FORMATS ",").find("," + format + ",") != std::string::npos;
}

std::vector<fs::path> ReadableSamples() {
  std::vector<fs::path> samples;
  for (const auto& folder : fs::directory_iterator(SamplesDir())) {
    std::string format = folder.path().filename().string();
    if (!folder.is_directory() || !FormatBuilt(format == "dcx" ? "pcx" : format)) continue;
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
