// Check 4: the content check and the information calls, each made the way
// the manager makes them on a file another candidate has already read from.
#include <cstdio>
#include <cstring>
#include <fstream>

#include "tools/imexp/command_line.h"
#include "tools/imexp/verify/conformance_checks.h"
#include "tools/imexp/verify/verify_platform.h"

namespace imexp::cli::verify {

namespace {

constexpr long kPeekBytes = 5;
constexpr std::size_t kForeignBytes = 4096;
// What the manager leaves in the text fields it empties: a zero first, and
// past it a fill that shows a string left unterminated.
constexpr char kInfoFill = 'Z';

// A few KB of no image format: a ramp of bytes from a fixed seed.
std::string ForeignBytes() {
  std::string bytes(kForeignBytes, '\0');
  uint32_t state = 0x2545F491u;
  for (char& c : bytes) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>(state >> 24);
  }
  bytes[0] = '\x01';  // no magic number starts like this
  return bytes;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// RDCheckFile on `path` with the file left at `position` (-1: its end).
int Probe(Session& s, const Operation& op, const std::string& path, long position) {
  HFILE file = OpenForReading(path);
  if (file == kNoFile) return -1;
  if (position < 0) {
    ConvFileSeek(file, 0, CONV_SEEK_END);
  } else {
    char peek[kPeekBytes];
    ConvFileRead(file, peek, static_cast<unsigned long>(position));
  }
  s.report.Running("RDCheckFile on " + path);
  int accepted = op.Get<RDCheckFileFn>(kRDCheckFile)(file, s.iniPath.data());
  CloseFile(file);
  return accepted;
}

void CheckRecognition(Session& s, const std::vector<std::string>& files, const std::string& scratch) {
  Report& r = s.report;
  if (!s.Has(CONV_FLAG_CHECKS_CONTENT) || !s.present[kRDCheckFile]) {
    r.Skip("content", "no content check (flag 0x10): the manager offers it every file its extensions match");
    return;
  }
  Operation op(s, "the content checks");
  bool fine = true;
  for (const std::string& path : files) {
    bool atStart = Probe(s, op, path, 0) != 0;
    bool afterPeek = Probe(s, op, path, kPeekBytes) != 0;
    bool atEnd = Probe(s, op, path, -1) != 0;
    if (!atStart && !afterPeek && !atEnd) {
      r.Fail("content", "RDCheckFile refuses " + FileTitle(path) + ", a file it reads");
      fine = false;
    } else if (!afterPeek || !atEnd) {
      r.Fail("content", "RDCheckFile refuses " + FileTitle(path) + " when an earlier check left the file " +
                            (afterPeek ? "at its end" : "at byte 5") +
                            ": it must move to the start itself before reading");
      fine = false;
    }
  }
  const std::string empty = scratch + "/empty.bin";
  const std::string foreign = scratch + "/foreign.bin";
  WriteFile(empty, "");
  WriteFile(foreign, ForeignBytes());
  if (Probe(s, op, empty, 0) != 0) {
    r.Fail("content", "RDCheckFile accepts an empty file");
    fine = false;
  }
  if (Probe(s, op, foreign, 0) != 0)
    r.Note("content", "RDCheckFile accepts 4 KB of bytes of no image format");
  if (fine) {
    r.Pass("content", "RDCheckFile accepts its " + std::to_string(files.size()) +
                          " files wherever the file was left, and refuses an empty one");
  }
}

// RDGetImageCount and RDGetImageInfo of every image it counts, with the
// file left at its end.
FileFacts Describe(Session& s, const std::string& path) {
  Report& r = s.report;
  FileFacts facts{path};
  Operation op(s, "the image information of " + FileTitle(path));
  HFILE file = OpenForReading(path);
  if (file == kNoFile) return facts;
  ConvFileSeek(file, 0, CONV_SEEK_END);
  const std::string title = FileTitle(path);
  int count = 1;
  if (s.Has(CONV_FLAG_MULTI_IMAGE) && s.present[kRDGetImageCount]) {
    int singleView = 0;
    count = 0;
    r.Running("RDGetImageCount on " + path);
    int rc = op.Get<RDGetImageCountFn>(kRDGetImageCount)(file, s.iniPath.data(), &count, &singleView);
    r.SawCode("RDGetImageCount", rc);
    if (rc != CONV_OK || count < 1) {
      r.Fail("information", "RDGetImageCount on " + title + " gives code " + std::to_string(rc) + " and " +
                                std::to_string(count) + " images; it must succeed with 1 or more");
    }
    ConvFileSeek(file, 0, CONV_SEEK_END);
  }
  facts.images.assign(static_cast<std::size_t>(count > 0 ? count : 1), ImageFacts{});
  for (std::size_t image = 0; s.present[kRDGetImageInfo] && image < facts.images.size(); ++image) {
    // Image 0 with the file left at its end; the rest wherever it was left.
    const std::string which = image == 0 ? "" : " image " + std::to_string(image + 1) + " of";
    ConvImageInfo info{};
    std::memset(info.formatName, kInfoFill, sizeof info.formatName);
    std::memset(info.compression, kInfoFill, sizeof info.compression);
    info.formatName[0] = info.compression[0] = '\0';
    std::snprintf(info.title, sizeof info.title, "%s", title.c_str());
    info.imageCount = static_cast<uint16_t>(facts.images.size());
    info.imageIndex = static_cast<uint16_t>(image);
    r.Running("RDGetImageInfo on" + which + " " + path);
    int rc =
        op.Get<RDGetImageInfoFn>(kRDGetImageInfo)(file, static_cast<int>(image), s.iniPath.data(), &info);
    r.SawCode("RDGetImageInfo", rc);
    if (rc != CONV_OK) {
      r.Fail("information", "RDGetImageInfo fails on" + which + " " + title + " with code " +
                                std::to_string(rc) +
                                (image == 0 ? " when the file was left at its end" : ""));
    } else if (std::memchr(info.formatName, 0, sizeof info.formatName) == nullptr ||
               std::memchr(info.compression, 0, sizeof info.compression) == nullptr) {
      r.Fail("information", "RDGetImageInfo leaves formatName or compression of" + which + " " + title +
                                " unterminated inside their 40 bytes");
    } else {
      facts.images[image] = {true, info.width, info.height};
    }
  }
  CloseFile(file);
  return facts;
}

}  // namespace

std::vector<FileFacts> CheckContent(Session& s, const std::vector<std::string>& files,
                                    const std::string& scratch) {
  CheckRecognition(s, files, scratch);
  std::vector<FileFacts> facts;
  for (const std::string& path : files) facts.push_back(Describe(s, path));
  return facts;
}

}  // namespace imexp::cli::verify
