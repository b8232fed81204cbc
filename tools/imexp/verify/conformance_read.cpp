#include "tools/imexp/verify/conformance_read.h"

#include <algorithm>
#include <cstring>

#include "pipeline/band_walk.h"
#include "pipeline/descriptor_rules.h"
#include "tools/imexp/verify/verify_platform.h"

namespace imexp::cli::verify {

namespace {

// Bytes behind the band buffer that no converter may touch.
constexpr std::size_t kCanaryBytes = 64;
constexpr uint8_t kCanary = 0xC5;

// The manager's descriptor block: the descriptor, its palette right behind.
struct DescriptorBlock {
  ConvImageDesc desc;
  unsigned char palette[CONV_PALETTE_BYTES];
};

class BandBuffer {
 public:
  explicit BandBuffer(std::size_t bytes) : bytes_(bytes), data_(bytes + kCanaryBytes, 0) {
    std::fill(data_.begin() + static_cast<std::ptrdiff_t>(bytes), data_.end(), kCanary);
  }
  unsigned char* data() { return data_.data(); }
  bool CanaryIntact() const {
    return std::all_of(data_.begin() + static_cast<std::ptrdiff_t>(bytes_), data_.end(),
                       [](uint8_t b) { return b == kCanary; });
  }

 private:
  std::size_t bytes_;
  std::vector<unsigned char> data_;
};

struct ReadRun {
  Session& session;
  ReadResult& result;
  ConvImageDesc& d;
  RDReadBandFn readBand;
  BandBuffer& band;
  std::vector<int> seen;  // deliveries per descriptor row
  bool cancel;

  void Breach(const std::string& text) { result.breaches.push_back(text); }
  std::string BandWords() const {
    return std::to_string(d.bandRows) + " rows x " + std::to_string(DescriptorRowBytes(d)) + " bytes";
  }

  // One RDReadBand; 0, 1 for "no more bands", or an error code.
  int CallBand() {
    session.report.Running("RDReadBand (bandRow " + std::to_string(d.bandRow) + ")");
    int rc = readBand(&d, band.data());
    session.report.SawCode("RDReadBand", rc == 1 ? 0 : rc);
    if (!band.CanaryIntact()) {
      Breach("RDReadBand wrote past the end of the band buffer (" + BandWords() + ")");
      return CONV_ERR_INVALID_FILE;
    }
    return rc;
  }

  void Take(uint32_t first, uint32_t count) {
    const uint64_t rowBytes = DescriptorRowBytes(d);
    (void)ForEachBandRow(d, first, count, [&](uint32_t hostRow, uint32_t k) {
      uint32_t row = d.height - 1 - hostRow;
      ++seen[row];
      RowToRgb(d, band.data() + k * rowBytes, result.pixels.Row(row));
      return CONV_OK;
    });
  }

  int ManagerDriven() {
    bool fromBand = false;
    int error = WalkManagerBands(d, [&](uint32_t first, uint32_t count) {
      fromBand = true;
      int rc = CallBand();
      if (rc == 1) {
        // The end-of-file code: fine for a file cut short, not for a whole one.
        result.failedIn = "RDReadBand returned 1 (no more bands) in a manager-driven read at row " +
                          std::to_string(first) + ", so it";
        return int{CONV_ERR_END_OF_FILE};
      }
      if (rc != CONV_OK) return rc;
      Take(first, count);
      fromBand = false;
      return cancel ? int{CONV_ERR_CANCELLED} : int{CONV_OK};
    });
    if (error == CONV_ERR_INVALID_FILE && !fromBand) {
      Breach("the fixed band of " + std::to_string(d.bandCount) + " rows at row " +
             std::to_string(d.bandRow) + " does not fit the band buffer (" + BandWords() + ") or the image");
    }
    return error;
  }

  int ConverterDriven() {
    // Every row once, and one call more to say that there are no more.
    const uint32_t limit = d.height + 1;
    for (uint32_t calls = 0; calls < limit; ++calls) {
      int rc = CallBand();
      if (rc == 1) return CONV_OK;
      if (rc != CONV_OK) return rc;
      const uint32_t count = d.bandRows == 1 ? 1 : d.bandCount;
      if (!BandFits(d, d.bandRow, count)) {
        Breach("RDReadBand named " + std::to_string(count) + " rows from row " + std::to_string(d.bandRow) +
               ", which do not fit the band buffer (" + BandWords() + ") or the image");
        return CONV_ERR_INVALID_FILE;
      }
      Take(d.bandRow, count);
      if (cancel) return CONV_ERR_CANCELLED;
    }
    Breach("RDReadBand never returned 1 after " + std::to_string(limit) + " bands of a " +
           std::to_string(d.height) + "-row image");
    return CONV_ERR_INVALID_FILE;
  }

  void CheckCoverage(bool cutShort) {
    for (uint32_t row = 0; row < d.height; ++row) {
      if (seen[row] > 1 || (seen[row] == 0 && !cutShort)) {
        Breach("row " + std::to_string(row) + " was delivered " + std::to_string(seen[row]) +
               " times; a converter-driven read delivers every row exactly once");
        return;
      }
    }
  }
};

// The band height asked for, within what the converter and the band allow.
void ChooseBandRows(ConvImageDesc& d, const ReadOptions& options) {
  if (options.bandRows == 0 || d.fixedBand != 0) return;
  const uint64_t rowBytes = std::max<uint64_t>(DescriptorRowBytes(d), 1);
  uint64_t rows = std::min<uint64_t>({options.bandRows, d.maxBandRows, kMaxBandBytes / rowBytes});
  d.bandRows = static_cast<uint32_t>(std::max<uint64_t>(rows, 1));
}

// Everything after a successful RDReadHeader, up to the last band.
int ReadBands(Session& s, const Operation& op, ReadResult& result, ConvImageDesc& d,
              const ReadOptions& options) {
  if (CheckReadDescriptor(d) != CONV_OK) {
    result.failedIn = "the descriptor rules";
    return CONV_ERR_INVALID_FILE;
  }
  if (d.accessMode == CONV_ACCESS_EITHER && options.rowOrder != 0) d.rowOrder = options.rowOrder;
  if (int error = SizeReadBand(d)) {
    result.failedIn = "the band sizing";
    return error;
  }
  ChooseBandRows(d, options);
  result.bandRows = d.bandRows;
  result.chosenAccess = d.chosenAccess;
  s.report.Running("RDSetupReading");
  int rc = op.Get<RDSetupReadingFn>(kRDSetupReading)(&d);
  s.report.SawCode("RDSetupReading", rc);
  if (rc != CONV_OK) {
    result.failedIn = "RDSetupReading";
    return rc;
  }
  result.pixels = RgbImage{d.width, d.height, std::vector<uint8_t>(std::size_t{d.width} * d.height * 3)};
  BandBuffer band(static_cast<std::size_t>(d.bandRows * DescriptorRowBytes(d)));
  ReadRun run{s,
              result,
              d,
              op.Get<RDReadBandFn>(kRDReadBand),
              band,
              std::vector<int>(d.height, 0),
              options.cancelAfterFirstBand};
  int error = d.chosenAccess == CONV_ACCESS_CONVERTER ? run.ConverterDriven() : run.ManagerDriven();
  if (error == CONV_OK && d.chosenAccess == CONV_ACCESS_CONVERTER) run.CheckCoverage(options.cutShort);
  if (error != CONV_OK && result.failedIn.empty()) result.failedIn = "RDReadBand";
  return error;
}

}  // namespace

ReadResult ReadWith(Session& s, const Operation& op, const std::string& file, const ReadOptions& options) {
  ReadResult result;
  HFILE handle = OpenForReading(file);
  if (handle == kNoFile) {
    result.error = CONV_ERR_CANNOT_OPEN;
    result.failedIn = "opening the file";
    return result;
  }
  DescriptorBlock block{};
  ConvImageDesc& d = block.desc;
  std::vector<char> fileName(file.begin(), file.end());
  fileName.push_back('\0');
  d.fileName = fileName.data();
  d.iniPath = s.iniPath.data();
  d.hFile = handle;
  d.imageIndex = options.image;
  d.imageCount = options.imageCount;
  d.palette = block.palette;

  s.report.Running("RDReadHeader of " + file);
  int rc = op.Get<RDReadHeaderFn>(kRDReadHeader)(&d, nullptr, 0);
  s.report.SawCode("RDReadHeader", rc);
  result.headerRead = true;
  result.header = d;
  if (rc != CONV_OK) {
    result.failedIn = "RDReadHeader";
    result.error = rc;
  } else {
    result.error = ReadBands(s, op, result, d, options);
  }
  s.report.Running("RDCleanUp after reading " + file);
  op.Get<RDCleanUpFn>(kRDCleanUp)(&d);
  CloseFile(handle);
  return result;
}

std::string DescribeRead(const ReadResult& r) {
  std::string order = r.chosenAccess == CONV_ACCESS_CONVERTER   ? "converter-driven"
                      : r.chosenAccess == CONV_ACCESS_BOTTOM_UP ? "bottom to top"
                                                                : "top to bottom";
  return order + ", bands of " + std::to_string(r.bandRows) + (r.bandRows == 1 ? " row" : " rows");
}

}  // namespace imexp::cli::verify
