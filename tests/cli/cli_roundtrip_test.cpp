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

// Every layout in every size, written by every writer and read back, in a
// batch each way per format.
TEST(CliRoundTrip, EveryWriterEveryLayoutPixelExact) {
  TempDir dir;
  struct Source {
    std::size_t layout;
    Size size;
    SourceImage image;
    std::string stem;
  };
  std::vector<Source> sources;
  fs::create_directory(dir.path() / "sources");
  for (std::size_t l = 0; l < std::size(kLayouts); ++l) {
    for (const Size& size : kSizes) {
      Source source{
          l, size, MakeSource(kLayouts[l], size.width, size.height),
          std::string(kLayouts[l]) + "-" + std::to_string(size.width) + "x" + std::to_string(size.height)};
      WriteFileBytes(dir.path() / "sources" / (source.stem + "." + SourceExtension(source.image)),
                     EncodeSourceFile(source.image));
      sources.push_back(std::move(source));
    }
  }
  auto batch = [&](const std::vector<std::string>& files, const std::string& extension,
                   const std::string& out) {
    std::vector<std::string> args{"convert", "--to", extension, "--out", dir.File(out)};
    args.insert(args.end(), files.begin(), files.end());
    RunResult run = RunImexp(args);
    EXPECT_EQ(run.status, 0) << out << ": " << run.err;
  };
  for (const FormatCase& format : kFormats) {
    if (!FormatBuilt(format.converter)) continue;
    SCOPED_TRACE(format.extension);
    std::vector<std::string> inputs;
    std::vector<std::string> written;
    std::vector<std::string> expected;  // what `imexp info` says of each file written
    for (const Source& source : sources) {
      if (format.colors[source.layout] == nullptr) continue;
      inputs.push_back(
          NativePath(dir.path() / "sources" / (source.stem + "." + SourceExtension(source.image))));
      written.push_back(NativePath(dir.path() / format.extension / (source.stem + "." + format.extension)));
      expected.push_back(" Dimensions : " + std::to_string(source.size.width) + " X " +
                         std::to_string(source.size.height) +
                         "\n     Colors : " + format.colors[source.layout] + "\n");
    }
    const std::string back = std::string(format.extension) + "-back";
    batch(inputs, format.extension, format.extension);
    batch(written, "ppm", back);
    for (const Source& source : sources) {
      if (format.colors[source.layout] == nullptr) continue;
      SCOPED_TRACE(source.stem);
      EXPECT_EQ(
          FirstDifference(source.image.ToPixels(), ReadPnmAsRgb(dir.path() / back / (source.stem + ".ppm"))),
          "");
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
    EXPECT_TRUE(LeftoverTemporaries(dir.path() / format.extension).empty());
  }
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
// next), and ends with the same pixels as the sample read directly. Each
// step is one batch over all the samples.
TEST(CliRoundTrip, EverySampleThroughEveryFormat) {
  TempDir dir;
  // Names of their own ("bmp-pal256.bmp"): a batch names each output after
  // its input, and samples of different formats share names.
  std::vector<std::string> stems;
  std::vector<std::string> inputs;
  fs::create_directory(dir.path() / "samples");
  for (const fs::path& path : ReadableSamples()) {
    std::string name = path.parent_path().filename().string() + "-" + path.filename().string();
    fs::copy_file(path, dir.path() / "samples" / name);
    stems.push_back(fs::path(name).stem().string());
    inputs.push_back(NativePath(dir.path() / "samples" / name));
  }
  auto batch = [&](const std::vector<std::string>& files, const std::string& extension) {
    std::vector<std::string> args{"convert", "--to", extension, "--out", dir.File(extension)};
    args.insert(args.end(), files.begin(), files.end());
    RunResult run = RunImexp(args);
    EXPECT_EQ(run.status, 0) << "to " << extension << ": " << run.err;
    std::vector<std::string> outputs;
    for (const std::string& stem : stems)
      outputs.push_back(NativePath(dir.path() / extension / (stem + "." + extension)));
    return outputs;
  };
  fs::create_directory(dir.path() / "direct");
  std::vector<std::string> direct = batch(inputs, "ppm");
  for (const std::string& file : direct) fs::rename(file, dir.path() / "direct" / fs::path(file).filename());
  std::vector<std::string> previous = inputs;
  for (const FormatCase& format : kFormats) {
    if (!FormatBuilt(format.converter) || format.colors[4] == nullptr) continue;
    previous = batch(previous, format.extension);
  }
  batch(previous, "ppm");
  for (const std::string& stem : stems) {
    SCOPED_TRACE(stem);
    Pixels expected = ReadPnmAsRgb(dir.path() / "direct" / (stem + ".ppm"));
    ASSERT_GT(expected.width, 0u);
    EXPECT_EQ(FirstDifference(expected, ReadPnmAsRgb(dir.path() / "ppm" / (stem + ".ppm"))), "");
  }
}

// Any two of the formats this build has: a paletted image written in one
// format converts into every other that can hold what the first one kept,
// and keeps its pixels wherever the target is lossless. Each target format
// takes every source in one batch (a program start costs more under wine
// than any conversion here).
TEST(CliRoundTrip, EveryFormatIntoEveryOther) {
  struct Format {
    const char* converter;  // its converters/ folder
    const char* extension;
    bool lossless;
    bool palettes;  // keeps a palette: false where every image is stored as RGB or grey
    bool rgb;       // holds RGB images: false where it stores palettes only
  };
  const Format allFormats[] = {
      {"bmp", "bmp", true, true, true},     {"pnm", "ppm", true, false, true},
      {"pcx", "pcx", true, true, true},     {"pcx", "dcx", true, true, true},
      {"png", "png", true, true, true},     {"jpeg", "jpg", false, false, true},
      {"tiff", "tif", true, true, true},    {"gif", "gif", true, true, false},
      {"webp", "webp", false, false, true},
  };
  std::vector<Format> formats;
  for (const Format& format : allFormats)
    if (FormatBuilt(format.converter)) formats.push_back(format);
  TempDir dir;
  SourceImage image = MakeSource("pal256", 19, 7);
  std::string original = dir.File("original.bmp");
  WriteFileBytes(original, EncodeSourceFile(image));
  // Folder `name` of the test's folder, and the file of `stem` there.
  auto file = [&](const std::string& folder, const std::string& stem, const std::string& extension) {
    return NativePath(dir.path() / folder / (stem + "." + extension));
  };
  auto batch = [&](const std::vector<std::string>& files, const std::string& extension,
                   const std::string& out) {
    std::vector<std::string> args{"convert", "--to", extension, "--out", NativePath(dir.path() / out)};
    args.insert(args.end(), files.begin(), files.end());
    return RunImexp(args);
  };
  // The sources, "from-<extension>" in sources/, and what each holds (the
  // image itself, or what a lossy format kept).
  fs::create_directory(dir.path() / "sources");
  std::vector<std::string> sources;
  for (const Format& from : formats) {
    sources.push_back(file("sources", std::string("from-") + from.extension, from.extension));
    ASSERT_EQ(RunImexp({"convert", original, sources.back()}).status, 0) << from.extension;
  }
  RunResult held = batch(sources, "ppm", "held");
  ASSERT_EQ(held.status, 0) << held.err;
  for (const Format& to : formats) {
    RunResult run = batch(sources, to.extension, std::string("to-") + to.extension);
    std::vector<std::string> written;
    for (const Format& from : formats) {
      SCOPED_TRACE(std::string(from.extension) + " to " + to.extension);
      const std::string stem = std::string("from-") + from.extension;
      const std::string target = file(std::string("to-") + to.extension, stem, to.extension);
      if (!from.palettes && !to.rgb) {
        // The source now holds RGB, which the target cannot store.
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(
            run.err.find(stem + "." + from.extension + ": Converter Error: No Suitable Formats for Save"),
            std::string::npos)
            << run.err;
        EXPECT_FALSE(fs::exists(target));
        continue;
      }
      ASSERT_TRUE(fs::exists(target)) << run.err;
      written.push_back(target);
    }
    const std::string back = std::string("back-") + to.extension;
    RunResult reread = batch(written, "ppm", back);
    ASSERT_EQ(reread.status, 0) << reread.err;
    for (const Format& from : formats) {
      if (!from.palettes && !to.rgb) continue;
      SCOPED_TRACE(std::string(from.extension) + " to " + to.extension);
      const std::string stem = std::string("from-") + from.extension;
      Pixels kept = ReadPnmAsRgb(file("held", stem, "ppm"));
      if (from.lossless) EXPECT_EQ(FirstDifference(image.ToPixels(), kept), "");
      Pixels got = ReadPnmAsRgb(file(back, stem, "ppm"));
      if (to.lossless) {
        EXPECT_EQ(FirstDifference(kept, got), "");
      } else {
        EXPECT_EQ(std::tie(got.width, got.height), std::tie(kept.width, kept.height));
      }
    }
  }
  EXPECT_TRUE(LeftoverTemporaries(dir.path()).empty());
}

}  // namespace
}  // namespace imexp::test::cli
