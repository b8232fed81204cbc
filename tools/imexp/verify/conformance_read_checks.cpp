// Check 5: the reads of every file the converter claims, in every band mode
// and height it allows, every image of a file of several, cut short,
// cancelled, and repeated for the heap.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "pipeline/descriptor_rules.h"
#include "tools/imexp/command_line.h"
#include "tools/imexp/verify/conformance_checks.h"
#include "tools/imexp/verify/conformance_read.h"
#include "tools/imexp/verify/verify_platform.h"

namespace imexp::cli::verify {

namespace {

// Band heights tried beside the manager's own (0).
constexpr uint32_t kBandHeights[] = {0, 1, 3};
// Reads before the heap is measured, and reads measured.
constexpr int kWarmUpReads = 8;
constexpr int kMeasuredReads = 4;
// Lengths a file is cut to: a few bytes, and fractions of it.
constexpr long kShortCut = 16;
constexpr int kCutFractions[] = {3, 2};

ReadResult ReadOnce(Session& s, const std::string& path, const ReadOptions& options,
                    const std::string& what) {
  Operation op(s, what + " " + FileTitle(path));
  return ReadWith(s, op, path, options);
}

void ReportBreaches(Session& s, const std::string& check, const std::string& title, const ReadResult& r) {
  for (const std::string& breach : r.breaches) s.report.Fail(check, title + ": " + breach);
}

std::string ReadFailure(const ReadResult& r) {
  return r.failedIn + " fails with code " + std::to_string(r.error);
}

// The band modes and heights to read in, after the first read's descriptor.
std::vector<ReadOptions> ReadModes(const ConvImageDesc& header) {
  std::vector<uint16_t> orders{0};
  if (header.accessMode == CONV_ACCESS_EITHER) orders = {CONV_ACCESS_TOP_DOWN, CONV_ACCESS_BOTTOM_UP};
  std::vector<ReadOptions> modes;
  for (uint16_t order : orders) {
    for (uint32_t height : kBandHeights) {
      if (header.fixedBand != 0 && height != 0) continue;
      ReadOptions mode;
      mode.bandRows = height;
      mode.rowOrder = order;
      modes.push_back(mode);
    }
  }
  return modes;
}

std::string Size(uint32_t width, uint32_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

bool SameSize(const ImageFacts& info, const ConvImageDesc& header) {
  return info.width == header.width && info.height == header.height;
}

// Reads the file in every mode; false when the first read already fails.
bool CheckModes(Session& s, const FileFacts& facts, RgbImage* firstPixels) {
  Report& r = s.report;
  const std::string title = FileTitle(facts.path);
  ReadResult first = ReadOnce(s, facts.path, {}, "reading");
  ReportBreaches(s, "read", title, first);
  if (first.error != CONV_OK) {
    if (first.failedIn == "the descriptor rules") {
      r.Fail("read",
             title + ": the descriptor after RDReadHeader breaks the manager's rules (width " +
                 std::to_string(first.header.width) + ", height " + std::to_string(first.header.height) +
                 ", colorType " + std::to_string(first.header.colorType) + ", " +
                 std::to_string(first.header.bitsPerPixel) + " bits, " + std::to_string(first.header.planes) +
                 " planes of " + std::to_string(first.header.bytesPerLine) + " bytes)");
    } else {
      r.Fail("read", title + ": " + ReadFailure(first));
    }
    return false;
  }
  const ImageFacts& info = facts.images[0];
  if (info.described && !SameSize(info, first.header)) {
    r.Fail("information", title + ": RDGetImageInfo says " + Size(info.width, info.height) +
                              ", RDReadHeader " + Size(first.header.width, first.header.height));
  } else if (info.described) {
    r.Pass("information",
           title + ": RDGetImageInfo and RDReadHeader agree on " + Size(info.width, info.height));
  }
  std::vector<std::string> done{DescribeRead(first)};
  bool same = true;
  for (const ReadOptions& mode : ReadModes(first.header)) {
    ReadResult again = ReadOnce(s, facts.path, mode, "reading");
    ReportBreaches(s, "read", title, again);
    const std::string how = DescribeRead(again);
    if (again.error != CONV_OK) {
      r.Fail("read", title + ": read " + how + ", " + ReadFailure(again));
      same = false;
      continue;
    }
    if (std::find(done.begin(), done.end(), how) != done.end()) continue;
    done.push_back(how);
    Difference diff = Compare(first.pixels, again.pixels);
    if (diff.largest != 0) {
      r.Fail("read", title + ": the pixels read " + how + " differ from those read " + done[0] + " at row " +
                         std::to_string(diff.row) + ", column " + std::to_string(diff.column) +
                         ": RDReadBand must honour bandRow and bandCount");
      same = false;
    }
  }
  *firstPixels = std::move(first.pixels);
  if (same && first.breaches.empty()) {
    std::ostringstream text;
    text << title << ": " << first.header.width << " x " << first.header.height << ", " << done.size()
         << (done.size() == 1 ? " read (" : " reads (");
    for (std::size_t i = 0; i < done.size(); ++i) text << (i ? "; " : "") << done[i];
    text << ")" << (done.size() > 1 ? " give the same pixels" : "");
    r.Pass("read", text.str());
  }
  return true;
}

// Every image after the first, read through the descriptor's imageIndex at
// the size RDGetImageInfo gives it, and the number past the last refused.
void CheckEveryImage(Session& s, const FileFacts& facts, const RgbImage& firstPixels) {
  const std::size_t count = facts.images.size();
  if (count < 2) return;
  Report& r = s.report;
  const std::string title = FileTitle(facts.path);
  ReadOptions options;
  options.imageCount = static_cast<uint16_t>(count);
  bool fine = true;
  bool allLikeFirst = true;
  for (std::size_t image = 1; image < count; ++image) {
    const std::string which = title + ": image " + std::to_string(image + 1) + " of " + std::to_string(count);
    options.image = static_cast<uint16_t>(image);
    ReadResult read = ReadOnce(s, facts.path, options, "reading an image of");
    ReportBreaches(s, "images", which, read);
    const ImageFacts& info = facts.images[image];
    if (read.error != CONV_OK) {
      r.Fail("images", which + ": " + ReadFailure(read));
    } else if (info.described && !SameSize(info, read.header)) {
      r.Fail("images", which + ": RDGetImageInfo says " + Size(info.width, info.height) + ", RDReadHeader " +
                           Size(read.header.width, read.header.height));
    } else {
      allLikeFirst = allLikeFirst && read.pixels.width == firstPixels.width &&
                     read.pixels.height == firstPixels.height &&
                     Compare(firstPixels, read.pixels).largest == 0;
      fine = fine && read.breaches.empty();
      continue;
    }
    fine = allLikeFirst = false;
  }
  options.image = static_cast<uint16_t>(count);
  ReadResult past = ReadOnce(s, facts.path, options, "reading past the last image of");
  if (past.error == CONV_OK) {
    r.Fail("images", title + ": reading image " + std::to_string(count + 1) + " of " + std::to_string(count) +
                         " succeeds; RDReadHeader must refuse it (code 8)");
    fine = false;
  }
  if (allLikeFirst) {
    r.Note("images", title +
                         ": every image reads the same pixels as the first; does RDReadHeader honour "
                         "imageIndex?");
  }
  if (fine) {
    r.Pass("images", title + ": each of its " + std::to_string(count) +
                         " images reads at the size RDGetImageInfo gives, and image " +
                         std::to_string(count + 1) + " is refused with code " + std::to_string(past.error));
  }
}

void CheckCancel(Session& s, const std::string& path) {
  const std::string title = FileTitle(path);
  ReadOptions options;
  options.cancelAfterFirstBand = true;
  ReadResult cancelled = ReadOnce(s, path, options, "cancelling a read of");
  ReportBreaches(s, "cancel", title, cancelled);
  if (cancelled.breaches.empty()) {
    s.report.Pass("cancel", title + ": RDCleanUp after a read stopped at its first band");
  }
}

// Reads of the file's first bytes: any code will do, but not a breach.
void CheckCutFiles(Session& s, const std::string& path, const std::string& scratch) {
  const std::string title = FileTitle(path);
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const long size = static_cast<long>(bytes.size());
  std::vector<long> lengths{std::min(kShortCut, size / 2)};
  for (int fraction : kCutFractions) lengths.push_back(size / fraction);
  std::sort(lengths.begin(), lengths.end());
  lengths.erase(std::unique(lengths.begin(), lengths.end()), lengths.end());
  std::string codes;
  bool fine = true;
  for (long length : lengths) {
    const std::string cut = scratch + "/cut-" + std::to_string(length) + "-" + title;
    std::ofstream(cut, std::ios::binary).write(bytes.data(), length);
    ReadOptions options;
    options.cutShort = true;
    ReadResult r = ReadOnce(s, cut, options, "reading the cut file");
    ReportBreaches(s, "cut", title + " cut to " + std::to_string(length) + " bytes", r);
    fine = fine && r.breaches.empty();
    codes += (codes.empty() ? "" : ", ") + std::to_string(r.error);
    std::error_code ignored;
    std::filesystem::remove(cut, ignored);
  }
  if (fine) {
    s.report.Pass("cut", title + " cut to " + std::to_string(lengths.size()) + " lengths of its " +
                             std::to_string(size) + " bytes: codes " + codes + ", clean-up after each");
  }
}

// Repeated reads within one load: the heap in use must not grow with them.
void CheckHeap(Session& s, const std::string& path) {
  if (HeapInUse() < 0) {
    s.report.Skip("heap", "the heap is not measured in this build; run under LeakSanitizer for leaks");
    return;
  }
  Operation op(s, "repeated reads of " + FileTitle(path));
  for (int i = 0; i < kWarmUpReads; ++i) (void)ReadWith(s, op, path, {});
  long long smallest = -1;
  long long before = HeapInUse();
  for (int i = 0; i < kMeasuredReads; ++i) {
    (void)ReadWith(s, op, path, {});
    long long after = HeapInUse();
    smallest = i == 0 ? after - before : std::min(smallest, after - before);
    before = after;
  }
  if (smallest > 0) {
    s.report.Fail("heap", "RDCleanUp leaves " + std::to_string(smallest) + " bytes per read of " +
                              FileTitle(path) + " (" + std::to_string(kMeasuredReads) + " reads measured)");
  } else {
    s.report.Pass("heap", "the heap does not grow over " + std::to_string(kMeasuredReads) + " reads of " +
                              FileTitle(path));
  }
}

}  // namespace

void CheckReads(Session& s, const std::vector<FileFacts>& files, const std::string& scratch) {
  bool measured = false;
  for (const FileFacts& facts : files) {
    RgbImage firstPixels;
    if (!CheckModes(s, facts, &firstPixels)) continue;
    CheckEveryImage(s, facts, firstPixels);
    CheckCancel(s, facts.path);
    CheckCutFiles(s, facts.path, scratch);
    if (!measured) CheckHeap(s, facts.path);
    measured = true;
  }
}

}  // namespace imexp::cli::verify
