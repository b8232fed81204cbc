// Round trips through every bundled writer and every host layout: write
// with `imexp convert`, read back, compare pixel for pixel, and check that
// the file kept the layout (its number of colors).
#include <gtest/gtest.h>

#include "tests/cli/cli_support.h"

namespace imexp::test::cli {
namespace {

struct Size {
  unsigned width;
  unsigned height;
};

// One pixel, one column, one row, and widths that end inside a byte for
// every bit depth.
constexpr Size kSizes[] = {{1, 1}, {1, 7}, {13, 1}, {33, 5}};

struct FormatCase {
  const char* converter;  // its converters/ folder
  const char* extension;
  // Colours the written file holds, by layout: bilevel, pal16, pal256,
  // gray256, rgb24.
  const char* colors[5];
};

constexpr const char* kLayouts[] = {"bilevel", "pal16", "pal256", "gray256", "rgb24"};

const FormatCase kFormats[] = {
    {"bmp", "bmp", {"2", "16", "256", "256", "16,777,216"}},
    {"pcx", "pcx", {"2", "16", "256", "256", "16,777,216"}},
    {"pcx", "dcx", {"2", "16", "256", "256", "16,777,216"}},
    // PNM has no palette: paletted images become RGB.
    {"pnm", "pnm", {"2", "16,777,216", "16,777,216", "256", "16,777,216"}},
    {"png", "png", {"2", "16", "256", "256", "16,777,216"}},
    {"tiff", "tif", {"2", "16", "256", "256", "16,777,216"}},
    // GIF holds palettes only: an RGB image cannot be written (nullptr).
    {"gif", "gif", {"2", "16", "256", "256", nullptr}},
};

TEST(CliRoundTrip, EveryWriterEveryLayoutPixelExact) {
  TempDir dir;
  for (const FormatCase& format : kFormats) {
    if (!FormatBuilt(format.converter)) continue;
    // What `imexp info` must say of each file written, asked of all at once.
    std::vector<std::string> written;
    std::vector<std::string> expected;
    for (std::size_t l = 0; l < std::size(kLayouts); ++l) {
      if (format.colors[l] == nullptr) continue;
      for (const Size& size : kSizes) {
        SourceImage image = MakeSource(kLayouts[l], size.width, size.height);
        std::string name = std::string(kLayouts[l]) + "-" + std::to_string(size.width) + "x" +
                           std::to_string(size.height) + "." + format.extension;
        SCOPED_TRACE(name);
        std::string source = dir.File("source." + SourceExtension(image));
        std::string back = dir.File("back.ppm");
        WriteFileBytes(source, EncodeSourceFile(image));
        written.push_back(dir.File(name));

        RunResult run = RunImexp({"convert", source, written.back()});
        ASSERT_EQ(run.status, 0) << run.err;
        run = RunImexp({"convert", written.back(), back});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(FirstDifference(image.ToPixels(), ReadPnmAsRgb(back)), "");
        expected.push_back(" Dimensions : " + std::to_string(size.width) + " X " +
                           std::to_string(size.height) + "\n     Colors : " + format.colors[l] + "\n");
      }
    }
    std::vector<std::string> args{"info"};
    args.insert(args.end(), written.begin(), written.end());
    RunResult run = RunImexp(args);
    ASSERT_EQ(run.status, 0) << run.err;
    // One block a file, in the order given, each opening with its name.
    std::size_t at = 0;
    for (std::size_t i = 0; i < written.size(); ++i) {
      std::size_t next = run.out.find("  File Name : ", at + 1);
      std::string block = run.out.substr(at, next == std::string::npos ? std::string::npos : next - at);
      EXPECT_NE(block.find(expected[i]), std::string::npos) << written[i] << "\n" << block;
      at = next;
    }
  }
  EXPECT_TRUE(LeftoverTemporaries(dir.path()).empty());
}

// A file converted onto itself is read whole before it is replaced.
TEST(CliRoundTrip, ConvertingAFileOntoItself) {
  TempDir dir;
  SourceImage image = MakeSource("pal256", 19, 9);
  std::string file = dir.File("same.bmp");
  WriteFileBytes(file, EncodeSourceFile(image));
  RunResult run = RunImexp({"convert", file, file});
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(RunImexp({"convert", file, dir.File("back.ppm")}).status, 0);
  EXPECT_EQ(FirstDifference(image.ToPixels(), ReadPnmAsRgb(dir.File("back.ppm"))), "");
}

// Every committed sample goes through every lossless format that holds RGB,
// one after the other (each step reads the last format and writes the
// next), and ends with the same pixels as the sample read directly.
TEST(CliRoundTrip, EverySampleThroughEveryFormat) {
  TempDir dir;
  for (const fs::path& path : ReadableSamples()) {
    std::string sample = NativePath(path);
    SCOPED_TRACE(sample);
    RunResult run = RunImexp({"convert", sample, dir.File("direct.ppm")});
    ASSERT_EQ(run.status, 0) << run.err;
    Pixels direct = ReadPnmAsRgb(dir.File("direct.ppm"));
    ASSERT_GT(direct.width, 0u);
    std::string previous = sample;
    for (const FormatCase& format : kFormats) {
      if (!FormatBuilt(format.converter) || format.colors[4] == nullptr) continue;
      std::string written = dir.File(std::string("step.") + format.extension);
      run = RunImexp({"convert", previous, written});
      ASSERT_EQ(run.status, 0) << previous << " to " << format.extension << ": " << run.err;
      previous = written;
    }
    ASSERT_EQ(RunImexp({"convert", previous, dir.File("back.ppm")}).status, 0);
    EXPECT_EQ(FirstDifference(direct, ReadPnmAsRgb(dir.File("back.ppm"))), "");
  }
}

// Any two of the formats this build has: a paletted image written in one
// format converts into every other that can hold what the first one kept,
// and keeps its pixels wherever the target is lossless.
TEST(CliRoundTrip, EveryFormatIntoEveryOther) {
  struct Format {
    const char* converter;  // its converters/ folder
    const char* extension;
    bool lossless;
    bool palettes;  // keeps a palette: false where every image is stored as RGB or grey
    bool rgb;       // holds RGB images: false where it stores palettes only
  };
  const Format formats[] = {
      {"bmp", "bmp", true, true, true},     {"pnm", "ppm", true, false, true},
      {"pcx", "pcx", true, true, true},     {"pcx", "dcx", true, true, true},
      {"png", "png", true, true, true},     {"jpeg", "jpg", false, false, true},
      {"tiff", "tif", true, true, true},    {"gif", "gif", true, true, false},
      {"webp", "webp", false, false, true},
  };
  TempDir dir;
  SourceImage image = MakeSource("pal256", 19, 7);
  std::string original = dir.File("original.bmp");
  WriteFileBytes(original, EncodeSourceFile(image));
  for (const Format& from : formats) {
    if (!FormatBuilt(from.converter)) continue;
    std::string source = dir.File(std::string("source.") + from.extension);
    ASSERT_EQ(RunImexp({"convert", original, source}).status, 0) << from.extension;
    // What the source holds: the image itself, or what a lossy format kept.
    ASSERT_EQ(RunImexp({"convert", source, dir.File("source.ppm")}).status, 0) << from.extension;
    Pixels held = ReadPnmAsRgb(dir.File("source.ppm"));
    if (from.lossless) EXPECT_EQ(FirstDifference(image.ToPixels(), held), "") << from.extension;
    for (const Format& to : formats) {
      if (!FormatBuilt(to.converter)) continue;
      SCOPED_TRACE(std::string(from.extension) + " to " + to.extension);
      std::string target = dir.File(std::string("target.") + to.extension);
      RunResult run = RunImexp({"convert", source, target});
      if (!from.palettes && !to.rgb) {
        // The source now holds RGB, which the target cannot store.
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("No Suitable Formats for Save"), std::string::npos) << run.err;
        continue;
      }
      ASSERT_EQ(run.status, 0) << run.err;
      ASSERT_EQ(RunImexp({"convert", target, dir.File("back.ppm")}).status, 0);
      Pixels back = ReadPnmAsRgb(dir.File("back.ppm"));
      if (to.lossless) {
        EXPECT_EQ(FirstDifference(held, back), "");
      } else {
        EXPECT_EQ(std::tie(back.width, back.height), std::tie(held.width, held.height));
      }
    }
  }
  EXPECT_TRUE(LeftoverTemporaries(dir.path()).empty());
}

}  // namespace
}  // namespace imexp::test::cli
