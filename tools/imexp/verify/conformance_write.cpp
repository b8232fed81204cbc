// Check 6: every layout the converter writes, generated, written the way the
// manager writes (its descriptor, band sizing and both band protocols) and
// read back with the same converter.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "pipeline/band_walk.h"
#include "pipeline/descriptor_rules.h"
#include "tools/imexp/command_line.h"
#include "tools/imexp/verify/conformance_checks.h"
#include "tools/imexp/verify/conformance_pixels.h"
#include "tools/imexp/verify/conformance_read.h"
#include "tools/imexp/verify/verify_platform.h"

namespace imexp::cli::verify {

namespace {

// Lossy coding may move a channel this far and still count as a round trip.
constexpr int kLossyBound = 48;
constexpr uint32_t kDefaultDpi = 96;
constexpr uint32_t kDefaultDpcm = 38;
constexpr uint32_t kScreenWidth = 640;
constexpr uint32_t kScreenHeight = 480;

struct WriteResult {
  int error = CONV_OK;
  std::string failedIn;
  std::vector<std::string> breaches;
};

// The resolution the manager gives a writer: the first unit it takes.
void ChooseResolution(uint16_t units, ConvImageDesc& d) {
  if (units & CONV_RES_DPI) {
    d.resUnit = CONV_UNIT_DPI;
    d.resX = d.resY = kDefaultDpi;
  } else if (units & CONV_RES_DPCM) {
    d.resUnit = CONV_UNIT_DPCM;
    d.resX = d.resY = kDefaultDpcm;
  } else if (units & CONV_RES_SCREEN) {
    d.resUnit = CONV_UNIT_SCREEN;
    d.resX = kScreenWidth;
    d.resY = kScreenHeight;
  }
}

void FillWriteDescriptor(const Session& s, const SourceImage& image, ConvImageDesc& d) {
  d.iniPath = const_cast<char*>(s.iniPath.data());
  d.imageIndex = 0;
  d.imageCount = 1;
  d.width = image.width;
  d.height = image.height;
  d.colorType = image.layout.colorType;
  d.bitsPerPixel = image.layout.bits;
  d.planes = 1;
  d.bytesPerLine = (image.width * image.layout.bits + 7) / 8;
  d.packedPixels = 1;
  d.outputBits = image.layout.bits;
  d.accessMode = d.rowOrder = d.chosenAccess = CONV_ACCESS_TOP_DOWN;
  d.maxBandRows = d.bandRows = d.bandCount = 1;
  ChooseResolution(s.record.writeResUnits, d);
}

struct WriteRun {
  Session& session;
  const Operation& op;
  const SourceImage& image;
  ConvImageDesc& d;
  WriteResult& result;
  std::vector<unsigned char> band;
  std::vector<int> seen;

  void Fill(uint32_t first, uint32_t count) {
    const uint64_t rowBytes = DescriptorRowBytes(d);
    (void)ForEachBandRow(d, first, count, [&](uint32_t hostRow, uint32_t k) {
      uint32_t row = d.height - 1 - hostRow;
      ++seen[row];
      SourceRow(image, d, row, band.data() + k * rowBytes);
      return CONV_OK;
    });
  }
  int CallBand() {
    session.report.Running("WRWriteBand (bandRow " + std::to_string(d.bandRow) + ")");
    int rc = op.Get<WRWriteBandFn>(kWRWriteBand)(&d, band.data());
    session.report.SawCode("WRWriteBand", rc == 1 ? 0 : rc);
    return rc;
  }
  int ManagerDriven() {
    return WalkManagerBands(d, [&](uint32_t first, uint32_t count) {
      Fill(first, count);
      int rc = CallBand();
      if (rc == 1) {
        result.breaches.push_back("WRWriteBand returned 1 (last band) in a manager-driven write, at row " +
                                  std::to_string(first));
      }
      return rc;
    });
  }
  int ConverterDriven() {
    for (uint32_t calls = 0; calls < d.height; ++calls) {
      const uint32_t count = d.bandRows == 1 ? 1 : d.bandCount;
      if (!BandFits(d, d.bandRow, count)) {
        result.breaches.push_back("the converter named " + std::to_string(count) + " rows from row " +
                                  std::to_string(d.bandRow) +
                                  " to write, which do not fit the band buffer (" +
                                  std::to_string(d.bandRows) + " rows) or the image");
        return CONV_ERR_INVALID_FILE;
      }
      Fill(d.bandRow, count);
      int rc = CallBand();
      if (rc == 1) return CONV_OK;
      if (rc != CONV_OK) return rc;
    }
    result.breaches.push_back("WRWriteBand never returned 1 after " + std::to_string(d.height) + " bands");
    return CONV_ERR_INVALID_FILE;
  }
  void CheckCoverage() {
    for (uint32_t row = 0; row < d.height; ++row) {
      if (seen[row] != 1) {
        result.breaches.push_back("row " + std::to_string(row) + " was asked for " +
                                  std::to_string(seen[row]) +
                                  " times; a converter-driven write names every row exactly once");
        return;
      }
    }
  }
};

int Call(Session& s, const char* entry, WriteResult& result, int rc) {
  s.report.SawCode(entry, rc);
  if (rc != CONV_OK) result.failedIn = entry;
  return rc;
}

// After WRSetupWriting: the manager's band sizing, the header, every band
// and the end of the file.
int WriteBands(Session& s, const Operation& op, const SourceImage& image, ConvImageDesc& d,
               WriteResult& result) {
  d.width = image.width;  // the image's size is the host's
  d.height = image.height;
  if (int error = SizeWriteBand(d)) {
    result.breaches.push_back("the band after WRSetupWriting cannot be sized (maxBandRows " +
                              std::to_string(d.maxBandRows) + ", rows of " +
                              std::to_string(DescriptorRowBytes(d)) + " bytes)");
    result.failedIn = "the band sizing";
    return error;
  }
  const uint64_t bits = uint64_t{d.planes} * d.bytesPerLine * 8;
  if (bits < uint64_t{image.layout.bits} * d.width) {
    result.breaches.push_back("WRSetupWriting made rows of " + std::to_string(DescriptorRowBytes(d)) +
                              " bytes, too short for " + std::to_string(d.width) + " pixels of " +
                              std::to_string(image.layout.bits) + " bits");
    result.failedIn = "the row layout";
    return CONV_ERR_INVALID_FILE;
  }
  s.report.Running("WRWriteHeader");
  if (int rc = Call(s, "WRWriteHeader", result, op.Get<WRWriteHeaderFn>(kWRWriteHeader)(&d))) return rc;
  WriteRun run{s,
               op,
               image,
               d,
               result,
               std::vector<unsigned char>(d.bandRows * DescriptorRowBytes(d)),
               std::vector<int>(d.height, 0)};
  int error = d.chosenAccess == CONV_ACCESS_CONVERTER ? run.ConverterDriven() : run.ManagerDriven();
  if (error != CONV_OK) {
    if (result.failedIn.empty()) result.failedIn = "WRWriteBand";
    return error;
  }
  if (d.chosenAccess == CONV_ACCESS_CONVERTER) run.CheckCoverage();
  s.report.Running("WREndWriting");
  return Call(s, "WREndWriting", result, op.Get<WREndWritingFn>(kWREndWriting)(&d));
}

WriteResult WriteImage(Session& s, const SourceImage& image, const std::string& path) {
  WriteResult result;
  Operation op(s, "writing " + image.layout.name);
  HFILE file = CreateForWriting(path);
  if (file == kNoFile) {
    result.error = CONV_ERR_CANNOT_OPEN;
    result.failedIn = "creating the file";
    return result;
  }
  ConvImageDesc d{};
  unsigned char palette[CONV_PALETTE_BYTES];
  std::copy(std::begin(image.palette), std::end(image.palette), palette);
  std::vector<char> fileName(path.begin(), path.end());
  fileName.push_back('\0');
  d.fileName = fileName.data();
  d.hFile = file;
  d.palette = palette;
  FillWriteDescriptor(s, image, d);
  s.report.Running("WRSetupWriting for " + image.layout.name);
  result.error = Call(s, "WRSetupWriting", result, op.Get<WRSetupWritingFn>(kWRSetupWriting)(&d, nullptr, 0));
  if (result.error == CONV_OK) result.error = WriteBands(s, op, image, d, result);
  s.report.Running("WRCleanUp after writing " + image.layout.name);
  op.Get<WRCleanUpFn>(kWRCleanUp)(&d);
  CloseFile(file);
  return result;
}

// ".bmp" from "*.BMP;*.DIB"; a "?" of the mask becomes "x".
std::string FirstExtension(const ConvRecord& record) {
  std::string masks(record.extensions, strnlen(record.extensions, sizeof record.extensions));
  std::string ext = masks.substr(masks.find('.') == std::string::npos ? masks.size() : masks.find('.'));
  ext = ext.substr(0, ext.find(';'));
  for (char& c : ext) c = c == '?' ? 'x' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

// Reads the written file back and compares it with what was written.
bool CheckRoundTrip(Session& s, const SourceImage& image, const std::string& path) {
  Report& r = s.report;
  const std::string& name = image.layout.name;
  Operation op(s, "reading back " + name);
  ReadResult back = ReadWith(s, op, path, {});
  for (const std::string& breach : back.breaches) r.Fail("round trip", name + ": " + breach);
  if (back.error != CONV_OK) {
    r.Fail("round trip", name + ": the file written cannot be read back: " + back.failedIn +
                             " fails with code " + std::to_string(back.error));
    return false;
  }
  if (back.header.width != image.width || back.header.height != image.height) {
    r.Fail("round trip", name + ": written " + std::to_string(image.width) + " x " +
                             std::to_string(image.height) + ", read back " +
                             std::to_string(back.header.width) + " x " + std::to_string(back.header.height));
    return false;
  }
  if (back.header.bitsPerPixel != image.layout.bits) {
    r.Note("round trip", name + ": written at " + std::to_string(image.layout.bits) + " bits, read back at " +
                             std::to_string(back.header.bitsPerPixel));
  }
  Difference diff = Compare(image.ToRgb(), back.pixels);
  const std::string where = " at row " + std::to_string(diff.row) + ", column " + std::to_string(diff.column);
  if (diff.largest == 0) {
    r.Pass("round trip",
           name + ": " + std::to_string(image.width) + " x " + std::to_string(image.height) + " exact");
  } else if (diff.largest <= kLossyBound) {
    r.Note("round trip", name + ": read back within " + std::to_string(diff.largest) +
                             " of what was written" + where + " (lossy)");
  } else {
    r.Fail("round trip", name + ": read back " + std::to_string(diff.largest) +
                             " away from what was written" + where + ", more than " +
                             std::to_string(kLossyBound) + " lossy coding explains");
  }
  return true;
}

}  // namespace

std::vector<std::string> CheckWrites(Session& s, const std::string& scratch) {
  std::vector<std::string> written;
  if (!s.Writes()) {
    s.report.Skip("write", "not a writer");
    return written;
  }
  const std::string ext = FirstExtension(s.record);
  for (const WriteLayout& layout : LayoutsOf(s.record.writeFormats)) {
    SourceImage image = MakeSource(layout);
    std::string tag = layout.name;
    std::replace(tag.begin(), tag.end(), ' ', '-');
    const std::string path = scratch + "/written-" + tag + ext;
    WriteResult result = WriteImage(s, image, path);
    for (const std::string& breach : result.breaches) s.report.Fail("write", layout.name + ": " + breach);
    if (result.error != CONV_OK) {
      s.report.Fail(
          "write", layout.name + ": " + result.failedIn + " fails with code " + std::to_string(result.error));
      continue;
    }
    if (result.breaches.empty()) s.report.Pass("write", layout.name + " written");
    if (!s.Reads()) continue;
    if (CheckRoundTrip(s, image, path)) written.push_back(path);
  }
  return written;
}

}  // namespace imexp::cli::verify
