// Conversions that write while they read, against conversions that read the
// whole image first: the same bytes for every pair of formats and every
// host type, and the same refusals; a failure on either side stops both,
// says what the sequential conversion says and keeps the target.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>

#include "tests/cli/cli_support.h"

namespace imexp::test::cli {
namespace {

std::string ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every file of a folder with its bytes.
std::map<std::string, std::string> Contents(const fs::path& folder) {
  std::map<std::string, std::string> files;
  if (!fs::exists(folder)) return files;
  for (const auto& entry : fs::directory_iterator(folder))
    files[entry.path().filename().string()] = ReadBytes(entry.path());
  return files;
}

// The writers, as --to names them, with the converter folder each needs.
constexpr std::pair<const char*, const char*> kWriters[] = {
    {"bmp", "bmp"},  {"pnm", "pnm"},  {"pcx", "pcx"}, {"dcx", "pcx"},   {"png", "png"},
    {"jpg", "jpeg"}, {"tif", "tiff"}, {"gif", "gif"}, {"webp", "webp"},
};

TEST(CliOverlap, TheSameBytesAsReadingFirst) {
  // One sample of each format read, each under a name of its own.
  TempDir dir;
  std::vector<std::string> inputs;
  std::map<std::string, bool> seen;
  for (const fs::path& sample : ReadableSamples()) {
    const std::string format = sample.parent_path().filename().string();
    if (seen[format]) continue;
    seen[format] = true;
    const fs::path copy = dir.path() / (format + "-" + sample.filename().string());
    fs::copy_file(sample, copy);
    inputs.push_back(NativePath(copy));
  }
  // Every pair of formats in the host type each image reads as; every host
  // type through the two writers that take them all.
  for (const char* accept : {"", "bilevel", "pal16", "pal256", "gray256", "rgb24"}) {
    for (const auto& [writer, format] : kWriters) {
      const bool takesEveryType = std::string(writer) == "bmp" || std::string(writer) == "tif";
      if (!FormatBuilt(format) || (accept[0] != '\0' && !takesEveryType)) continue;
      SCOPED_TRACE(std::string(writer) + " holding " + (accept[0] ? accept : "any type"));
      std::map<std::string, RunResult> runs;
      std::map<std::string, std::map<std::string, std::string>> written;
      for (const char* mode : {"--overlapped", "--sequential"}) {
        const fs::path out = dir.path() / (std::string(writer) + accept + mode);
        std::vector<std::string> args{"convert", mode, "--to", writer, "--out", NativePath(out)};
        if (accept[0] != '\0') args.insert(args.end(), {"--accept", accept});
        args.insert(args.end(), inputs.begin(), inputs.end());
        runs[mode] = RunImexp(args);
        ASSERT_EQ(CleanExit(runs[mode]), "");
        written[mode] = Contents(out);
      }
      EXPECT_EQ(runs["--overlapped"].status, runs["--sequential"].status);
      EXPECT_EQ(runs["--overlapped"].err, runs["--sequential"].err);
      EXPECT_TRUE(written["--overlapped"] == written["--sequential"]) << "the files written differ";
      if (accept[0] == '\0') EXPECT_FALSE(written["--overlapped"].empty());
    }
  }
}

TEST(CliOverlap, AFailureOnEitherSideKeepsTheTarget) {
  if (!FormatBuilt("png") || !FormatBuilt("gif")) GTEST_SKIP() << "needs the PNG and GIF converters";
  TempDir dir;
  const std::string png = ReadBytes(SamplesDir() / "png" / "rgb24.png");
  WriteFileBytes(dir.path() / "cut.png", png.substr(0, png.size() / 2));
  // The last chunk's checksum is wrong: the read fails after its last row.
  std::string badEnd = png;
  badEnd[badEnd.size() - 1] = static_cast<char>(badEnd.back() ^ 0x55);
  WriteFileBytes(dir.path() / "bad-end.png", badEnd);
  struct Case {
    const char* what;
    std::vector<std::string> args;  // convert's, before the mode
    std::string target;             // the file that must keep its bytes
    std::string message;            // a fragment of what both modes say
  } cases[] = {
      {"the read fails half way",
       {dir.File("cut.png"), dir.File("target.bmp")},
       dir.File("target.bmp"),
       "cut.png"},
      {"the read fails after its last row",
       {dir.File("bad-end.png"), dir.File("target.bmp")},
       dir.File("target.bmp"),
       "bad-end.png"},
      {"no writer takes the image",
       {"--accept", "rgb24", Sample("png/rgb24.png"), dir.File("target.gif")},
       dir.File("target.gif"),
       "Converter Error"},
      {"the write cannot start", {Sample("png/rgb24.png"), dir.File("missing/target.png")}, "", "target.png"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::map<std::string, RunResult> runs;
    for (const char* mode : {"--overlapped", "--sequential"}) {
      if (!c.target.empty()) WriteFileBytes(c.target, "the old target");
      std::vector<std::string> args{"convert", mode};
      args.insert(args.end(), c.args.begin(), c.args.end());
      runs[mode] = RunImexp(args);
      ASSERT_EQ(CleanExit(runs[mode]), "");
      EXPECT_EQ(runs[mode].status, 1) << mode;
      EXPECT_NE(runs[mode].err.find(c.message), std::string::npos) << mode << ": " << runs[mode].err;
      if (!c.target.empty()) EXPECT_EQ(ReadBytes(c.target), "the old target") << mode;
      EXPECT_EQ(LeftoverTemporaries(dir.path()), std::vector<std::string>{}) << mode;
    }
    EXPECT_EQ(runs["--overlapped"].err, runs["--sequential"].err);
  }
}

}  // namespace
}  // namespace imexp::test::cli
