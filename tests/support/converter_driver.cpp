#include "tests/support/converter_driver.h"

#include <algorithm>
#include <cstring>

#include "pipeline/band_walk.h"
#include "pipeline/descriptor_rules.h"

namespace imexp::test {

namespace {

// An open file handle of the kind converters receive.
class ConverterFile {
 public:
  ConverterFile(const std::string& path, bool create) : file_(OpenConverterFile(path, create)) {}
  ~ConverterFile() {
    if (file_ != -1) CloseConverterFile(file_);
  }
  HFILE get() const { return file_; }
  bool ok() const { return file_ != -1; }

 private:
  HFILE file_;
};

uint32_t Bit(const std::vector<uint8_t>& row, std::size_t offset, uint32_t x) {
  return (row[offset + x / 8] >> (7 - x % 8)) & 1u;
}

void SetBit(std::vector<uint8_t>& row, std::size_t offset, uint32_t x, uint32_t value) {
  if (value) row[offset + x / 8] = static_cast<uint8_t>(row[offset + x / 8] | (0x80u >> (x % 8)));
}

uint32_t Nibble(const std::vector<uint8_t>& row, uint32_t x) {
  uint8_t b = row[x / 2];
  return x % 2 == 0 ? b >> 4 : b & 15u;
}

}  // namespace

std::vector<uint8_t> ToConverterLayout(const std::vector<uint8_t>& row, const ConvImageDesc& d) {
  std::vector<uint8_t> out(std::size_t{d.planes} * d.bytesPerLine, 0);
  uint32_t w = d.width;
  if (d.bitsPerPixel == 24) {
    for (uint32_t x = 0; x < w; ++x) {
      uint8_t r = row[3 * x], g = row[3 * x + 1], b = row[3 * x + 2];
      if (d.planes == 3) {
        out[x] = r;
        out[d.bytesPerLine + x] = g;
        out[2 * std::size_t{d.bytesPerLine} + x] = b;
      } else {
        out[3 * x] = d.bgrOrder ? b : r;
        out[3 * x + 1] = g;
        out[3 * x + 2] = d.bgrOrder ? r : b;
      }
    }
  } else if (d.bitsPerPixel == 4 && d.planes == 4) {
    for (uint32_t x = 0; x < w; ++x) {
      uint32_t v = Nibble(row, x);
      for (uint32_t p = 0; p < 4; ++p) SetBit(out, std::size_t{p} * d.bytesPerLine, x, (v >> p) & 1u);
    }
  } else if (d.bitsPerPixel == 4 && !d.packedPixels) {
    for (uint32_t x = 0; x < w; ++x) out[x] = static_cast<uint8_t>(Nibble(row, x));
  } else if (d.bitsPerPixel == 1 && !d.packedPixels) {
    for (uint32_t x = 0; x < w; ++x) out[x] = static_cast<uint8_t>(Bit(row, 0, x));
  } else {
    std::copy_n(row.begin(), std::min(row.size(), out.size()), out.begin());
  }
  return out;
}

std::vector<uint8_t> FromConverterLayout(const std::vector<uint8_t>& row, const ConvImageDesc& d) {
  uint32_t w = d.width;
  std::vector<uint8_t> out((std::size_t{w} * d.bitsPerPixel + 7) / 8, 0);
  if (d.bitsPerPixel == 24) {
    for (uint32_t x = 0; x < w; ++x) {
      if (d.planes == 3) {
        out[3 * x] = row[x];
        out[3 * x + 1] = row[d.bytesPerLine + x];
        out[3 * x + 2] = row[2 * std::size_t{d.bytesPerLine} + x];
      } else {
        out[3 * x] = row[3 * x + (d.bgrOrder ? 2 : 0)];
        out[3 * x + 1] = row[3 * x + 1];
        out[3 * x + 2] = row[3 * x + (d.bgrOrder ? 0 : 2)];
      }
    }
  } else if (d.bitsPerPixel == 4 && d.planes == 4) {
    for (uint32_t x = 0; x < w; ++x) {
      uint32_t v = 0;
      for (uint32_t p = 0; p < 4; ++p) v |= Bit(row, std::size_t{p} * d.bytesPerLine, x) << p;
      out[x / 2] = static_cast<uint8_t>(out[x / 2] | (x % 2 == 0 ? v << 4 : v));
    }
  } else if (d.bitsPerPixel == 4 && !d.packedPixels) {
    for (uint32_t x = 0; x < w; ++x)
      out[x / 2] = static_cast<uint8_t>(out[x / 2] | (x % 2 == 0 ? row[x] << 4 : row[x] & 15));
  } else if (d.bitsPerPixel == 1 && !d.packedPixels) {
    for (uint32_t x = 0; x < w; ++x) SetBit(out, 0, x, row[x] != 0);
  } else {
    std::copy_n(row.begin(), std::min(row.size(), out.size()), out.begin());
  }
  return out;
}

ConverterDriver::ConverterDriver(std::string_view target)
    : library_(ExecutableDir() / SharedLibraryName(target)) {
  std::string ini = NativePath(ExecutableDir() / "CONVERT.INI");
  std::strncpy(iniPath_, ini.c_str(), sizeof iniPath_ - 1);
}

void ConverterDriver::UseIni(const std::string& path) {
  std::memset(iniPath_, 0, sizeof iniPath_);
  std::strncpy(iniPath_, path.c_str(), sizeof iniPath_ - 1);
}

uint32_t ConverterDriver::Version() const {
  auto fn = library_.Get<ConvGetVersionFn>("ConvGetVersion");
  return fn ? fn() : 0;
}

ConvRecord ConverterDriver::Record() const {
  ConvRecord record{};
  if (auto fn = library_.Get<ConvGetDllInfoFn>("ConvGetDllInfo")) fn(&record, iniPath_);
  return record;
}

bool ConverterDriver::Check(const std::string& path) const {
  ConverterFile file(path, false);
  auto fn = library_.Get<RDCheckFileFn>("RDCheckFile");
  return file.ok() && fn && fn(file.get(), iniPath_) != 0;
}

int ConverterDriver::ImageCount(const std::string& path, int* count, int* singleView) const {
  ConverterFile file(path, false);
  auto fn = library_.Get<RDGetImageCountFn>("RDGetImageCount");
  if (!file.ok()) return CONV_ERR_CANNOT_OPEN;
  if (!fn) return CONV_ERR_WRONG_DLL_VERSION;
  return fn(file.get(), iniPath_, count, singleView);
}

int ConverterDriver::Info(const std::string& path, int index, ConvImageInfo* info) const {
  ConverterFile file(path, false);
  auto fn = library_.Get<RDGetImageInfoFn>("RDGetImageInfo");
  if (!file.ok()) return CONV_ERR_CANNOT_OPEN;
  if (!fn) return CONV_ERR_WRONG_DLL_VERSION;
  return fn(file.get(), index, iniPath_, info);
}

std::string ConverterDriver::ErrorText(int code, const std::string& title) const {
  char text[256] = "";
  std::string titleCopy = title;
  if (auto fn = library_.Get<ConvGetErrorStringFn>("ConvGetErrorString"))
    fn(code, titleCopy.data(), iniPath_, text);
  text[255] = '\0';
  return text;
}

int ConverterDriver::Read(const std::string& path, ConverterImage& image, uint32_t bandRowsWanted,
                          uint16_t imageIndex, uint16_t imageCount) const {
  auto readHeader = library_.Get<RDReadHeaderFn>("RDReadHeader");
  auto setupReading = library_.Get<RDSetupReadingFn>("RDSetupReading");
  auto readBand = library_.Get<RDReadBandFn>("RDReadBand");
  auto cleanUp = library_.Get<RDCleanUpFn>("RDCleanUp");
  if (!readHeader || !setupReading || !readBand || !cleanUp) return CONV_ERR_WRONG_DLL_VERSION;
  ConverterFile file(path, false);
  if (!file.ok()) return CONV_ERR_CANNOT_OPEN;

  std::string fileName = path;
  ConvImageDesc& d = image.desc;
  d = ConvImageDesc{};
  d.fileName = fileName.data();
  d.iniPath = iniPath_;
  d.hFile = file.get();
  d.imageIndex = imageIndex;
  d.imageCount = imageCount;
  d.palette = image.palette.data();
  std::fill(image.palette.begin(), image.palette.end(), 0);
  image.rows.clear();

  int error = readHeader(&d, nullptr, 0);
  if (error == 0 && (d.width == 0 || d.height == 0 || d.planes == 0 || d.bytesPerLine == 0 ||
                     d.width > kMaxDimension || d.height > kMaxDimension || d.bytesPerLine > kMaxBandBytes)) {
    error = CONV_ERR_INVALID_FILE;
  }
  const std::size_t rowBytes = DescriptorRowBytes(d);
  if (error == 0) {
    // The manager's sizing, unless the test asks for smaller bands.
    error = SizeReadBand(d);
    if (error == 0 && bandRowsWanted != 0 && !d.fixedBand)
      d.bandRows = std::min(bandRowsWanted, d.maxBandRows);
  }
  if (error == 0) error = setupReading(&d);
  if (error == 0) {
    image.rows.assign(d.height, std::vector<uint8_t>());
    std::vector<uint8_t> band(d.bandRows * rowBytes + 16, 0xA5);
    bool up = RowsGoUp(d);
    auto take = [&](uint32_t first, uint32_t count) {
      if (count > d.bandRows) return false;
      for (uint32_t k = 0; k < count; ++k) {
        int64_t row = up ? int64_t{first} - k : int64_t{first} + k;
        if (row < 0 || row >= int64_t{d.height}) return false;
        auto begin = band.begin() + static_cast<std::ptrdiff_t>(k * rowBytes);
        image.rows[static_cast<std::size_t>(row)].assign(begin,
                                                         begin + static_cast<std::ptrdiff_t>(rowBytes));
      }
      return true;
    };
    if (d.chosenAccess == 0) {
      for (;;) {
        int result = readBand(&d, band.data());
        if (result == 1) break;
        if (result != 0) {
          error = result;
          break;
        }
        if (!take(d.bandRow, d.bandRows == 1 ? 1 : d.bandCount)) {
          error = CONV_ERR_INVALID_FILE;
          break;
        }
      }
    } else {
      error = WalkManagerBands(d, [&](uint32_t first, uint32_t count) -> int {
        if (int result = readBand(&d, band.data())) return result;
        return take(first, count) ? CONV_OK : CONV_ERR_INVALID_FILE;
      });
    }
    for (const auto& row : image.rows) {
      if (error == 0 && row.empty()) error = CONV_ERR_END_OF_FILE;  // a row never delivered
    }
  }
  cleanUp(&d);
  d.fileName = nullptr;
  d.iniPath = nullptr;
  d.palette = nullptr;
  return error;
}

int ConverterDriver::Write(const std::string& path, const ConverterImage& image) const {
  auto setupWriting = library_.Get<WRSetupWritingFn>("WRSetupWriting");
  auto writeHeader = library_.Get<WRWriteHeaderFn>("WRWriteHeader");
  auto writeBand = library_.Get<WRWriteBandFn>("WRWriteBand");
  auto endWriting = library_.Get<WREndWritingFn>("WREndWriting");
  auto cleanUp = library_.Get<WRCleanUpFn>("WRCleanUp");
  if (!setupWriting || !writeHeader || !writeBand || !endWriting || !cleanUp)
    return CONV_ERR_WRONG_DLL_VERSION;
  ConverterFile file(path, true);
  if (!file.ok()) return CONV_ERR_CANNOT_OPEN;

  std::string fileName = path;
  std::vector<uint8_t> palette = image.palette;
  ConvImageDesc d{};
  d.fileName = fileName.data();
  d.iniPath = iniPath_;
  d.hFile = file.get();
  d.imageCount = 1;
  d.width = image.desc.width;
  d.height = image.desc.height;
  d.colorType = image.desc.colorType;
  d.bitsPerPixel = image.desc.bitsPerPixel;
  d.planes = 1;
  d.bytesPerLine = (d.width * d.bitsPerPixel + 7) / 8;
  d.packedPixels = 1;
  d.outputBits = d.bitsPerPixel;
  d.palette = palette.data();
  d.resUnit = image.desc.resUnit;
  d.resX = image.desc.resX;
  d.resY = image.desc.resY;
  d.accessMode = CONV_ACCESS_TOP_DOWN;
  d.rowOrder = CONV_ACCESS_TOP_DOWN;
  d.maxBandRows = 1;
  d.chosenAccess = 1;
  d.bandRows = 1;
  d.bandCount = 1;

  int error = setupWriting(&d, nullptr, 0);
  const std::size_t rowBytes = DescriptorRowBytes(d);
  if (error == 0) error = SizeWriteBand(d);
  if (error == 0) error = writeHeader(&d);
  if (error == 0) {
    std::vector<uint8_t> band(d.bandRows * rowBytes, 0);
    bool up = RowsGoUp(d);
    auto fill = [&](uint32_t first, uint32_t count) {
      if (count == 0 || count > d.bandRows) return false;
      for (uint32_t k = 0; k < count; ++k) {
        int64_t row = up ? int64_t{first} - k : int64_t{first} + k;
        if (row < 0 || row >= int64_t{d.height}) return false;
        std::vector<uint8_t> converted = ToConverterLayout(image.rows[static_cast<std::size_t>(row)], d);
        std::copy(converted.begin(), converted.end(),
                  band.begin() + static_cast<std::ptrdiff_t>(k * rowBytes));
      }
      return true;
    };
    if (d.accessMode == CONV_ACCESS_CONVERTER) {
      for (;;) {
        if (!fill(d.bandRow, d.bandCount)) {
          error = CONV_ERR_INVALID_FILE;
          break;
        }
        int result = writeBand(&d, band.data());
        if (result == 1) break;
        if (result != 0) {
          error = result;
          break;
        }
      }
    } else {
      error = WalkManagerBands(d, [&](uint32_t first, uint32_t count) -> int {
        if (!fill(first, count)) return CONV_ERR_INVALID_FILE;
        return writeBand(&d, band.data());
      });
    }
  }
  if (error == 0) error = endWriting(&d);
  cleanUp(&d);
  return error;
}

}  // namespace imexp::test
