// Every image of a multi-image file through the command line: each page or
// frame reads as the single-image file it was made from, numbers past the
// last fail without writing, and a batch takes the same choice.
#include <gtest/gtest.h>

#include "tests/cli/cli_support.h"

namespace imexp::test::cli {
namespace {

struct PagesCase {
  const char* format;  // the converter the file needs
  const char* file;
  std::vector<const char*> pages;  // the samples its images were made from, in order
};

Pixels Decoded(const std::string& input, const std::string& output, std::vector<std::string> options = {}) {
  std::vector<std::string> args{"convert"};
  args.insert(args.end(), options.begin(), options.end());
  args.push_back(input);
  args.push_back(output);
  RunResult run = RunImexp(args);
  EXPECT_EQ(run.status, 0) << run.err;
  return ReadPnmAsRgb(output);
}

TEST(CliImages, EveryPageAndFrameReadsAsTheFileItCameFrom) {
  const PagesCase cases[] = {
      {"pcx", "dcx/three-pages.dcx", {"pcx/pal256.pcx", "pcx/bilevel.pcx", "pcx/rgb24-planar.pcx"}},
      {"tiff", "tiff/three-pages.tif", {"tiff/rgb24-lzw.tif", "pcx/pal256.pcx", "pcx/bilevel.pcx"}},
      {"gif", "gif/three-frames.gif", {"gif/pal256.gif", "gif/pal16-interlaced.gif", "gif/bilevel.gif"}},
  };
  for (const PagesCase& c : cases) {
    SCOPED_TRACE(c.file);
    if (!FormatBuilt(c.format) || !FormatBuilt("pcx")) continue;
    TempDir dir;
    RunResult run = RunImexp({"convert", "--all-images", Sample(c.file), dir.File("page.pnm")});
    ASSERT_EQ(run.status, 0) << run.err;
    for (std::size_t k = 0; k < c.pages.size(); ++k) {
      SCOPED_TRACE(k);
      Pixels want = Decoded(Sample(c.pages[k]), dir.File("want.pnm"));
      Pixels got = ReadPnmAsRgb(dir.File("page-" + std::to_string(k + 1) + ".pnm"));
      EXPECT_EQ(LargestDifference(got, want), 0) << FirstDifference(want, got);
      // --image k reads the same image on its own.
      Pixels alone = Decoded(Sample(c.file), dir.File("alone.pnm"), {"--image", std::to_string(k)});
      EXPECT_EQ(LargestDifference(alone, want), 0) << FirstDifference(want, alone);
    }
    EXPECT_FALSE(fs::exists(dir.path() / ("page-" + std::to_string(c.pages.size() + 1) + ".pnm")));
  }
}

TEST(CliImages, NumbersPastTheLastFailAndWriteNothing) {
  struct Case {
    const char* format;
    std::vector<std::string> args;  // OUT is appended to convert's
  } cases[] = {
      {"pcx", {"convert", "--image", "3", Sample("dcx/three-pages.dcx")}},
      {"tiff", {"convert", "--image=3", Sample("tiff/three-pages.tif")}},
      {"gif", {"convert", "--image", "3", Sample("gif/three-frames.gif")}},
      // A converter of files of one image takes only image 0.
      {"pcx", {"convert", "--image", "1", Sample("pcx/pal256.pcx")}},
      {"gif", {"info", "--image", "3", Sample("gif/three-frames.gif")}},
  };
  for (const Case& c : cases) {
    if (!FormatBuilt(c.format)) continue;
    TempDir dir;
    std::vector<std::string> args = c.args;
    if (args[0] == "convert") args.push_back(dir.File("out.pnm"));
    SCOPED_TRACE(args[1] + " " + args[2] + " " + args[3]);
    RunResult run = RunImexp(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Wrong Image Number"), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
    EXPECT_TRUE(fs::is_empty(dir.path()));
  }
}

TEST(CliImages, ABatchTakesTheSameChoice) {
  if (!FormatBuilt("pcx") || !FormatBuilt("gif")) GTEST_SKIP() << "needs the PCX and GIF converters";
  TempDir dir;
  fs::copy_file(SamplesDir() / "gif" / "three-frames.gif", dir.path() / "x.gif");
  fs::copy_file(SamplesDir() / "dcx" / "three-pages.dcx", dir.path() / "y.dcx");
  fs::copy_file(SamplesDir() / "pcx" / "pal16-planar.pcx", dir.path() / "z.pcx");
  const std::vector<std::string> inputs{dir.File("x.gif"), dir.File("y.dcx"), dir.File("z.pcx")};
  struct Case {
    std::vector<std::string> options;
    int status;
    std::vector<const char*> written;
  } cases[] = {
      {{"--all-images", "-j", "2"},
       0,
       {"x-1.pnm", "x-2.pnm", "x-3.pnm", "y-1.pnm", "y-2.pnm", "y-3.pnm", "z-1.pnm"}},
      // z.pcx holds one image: image 1 is not there.
      {{"--image", "1"}, 1, {"x.pnm", "y.pnm"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options[0]);
    const fs::path out = dir.path() / ("out" + c.options[0]);
    std::vector<std::string> args{"convert", "--to", "pnm", "--out", out.string()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.insert(args.end(), inputs.begin(), inputs.end());
    RunResult run = RunImexp(args);
    EXPECT_EQ(run.status, c.status) << run.err;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(out)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, std::vector<std::string>(c.written.begin(), c.written.end()));
  }
  // Image 2 of x.gif would replace x-2.pnm, an input of the same batch.
  fs::copy_file(SamplesDir() / "pnm" / "p6.ppm", dir.path() / "x-2.pnm");
  RunResult run =
      RunImexp({"convert", "--to", "pnm", "--all-images", dir.File("x.gif"), dir.File("x-2.pnm")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("would replace an input of the batch"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(dir.path() / "x-1.pnm"));
}

}  // namespace
}  // namespace imexp::test::cli
