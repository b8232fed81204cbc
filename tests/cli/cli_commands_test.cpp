// What each subcommand prints and how it exits, through the built program.
#include <gtest/gtest.h>

#include "tests/cli/cli_support.h"

namespace imexp::test::cli {
namespace {

struct InfoCase {
  const char* sample;
  std::vector<std::string> options;
  const char* expected;
};

// The three pages of the DCX sample as the dialog shows each.
#define DCX_PAGE(number, type, colors)                                         \
  "  File Name : three-pages.dcx\n     Format : DCX\n       Type : " type      \
  "\n"                                                                         \
  " Dimensions : 61 X 41\n      Image : " number " / 3\n     Colors : " colors \
  "\n Resolution : "                                                           \
  "61 X 41 dot/inch\nCompression : RLE\n"

TEST(CliInfo, ShowsWhatTheImageInfoDialogShows) {
  const InfoCase cases[] = {
      {"bmp/pal16.bmp",
       {},
       "  File Name : pal16.bmp\n     Format : Windows BMP v3\n       Type : Color Paletted\n"
       " Dimensions : 61 X 41\n     Colors : 16\n Resolution : <Unknown>\nCompression : Uncompressed\n"},
      {"bmp/rle8.bmp",
       {},
       "  File Name : rle8.bmp\n     Format : Windows BMP v3\n       Type : Color Paletted\n"
       " Dimensions : 37 X 19\n     Colors : 256\n Resolution : 28 X 28 dot/cm\nCompression : RLE8\n"},
      {"bmp/os2-rgb24.bmp",
       {},
       "  File Name : os2-rgb24.bmp\n     Format : OS/2 BMP v1\n       Type : RGB\n"
       " Dimensions : 61 X 41\n     Colors : 16,777,216\n Resolution : <Unknown>\nCompression : "
       "Uncompressed\n"},
      {"pnm/p1.pbm",
       {},
       "  File Name : p1.pbm\n     Format : PBM text (P1)\n       Type : GrayScale\n"
       " Dimensions : 61 X 41\n     Colors : 2\n Resolution : <Unknown>\nCompression : Uncompressed\n"},
      // A multi-image file: every image, each with its place; or the one
      // --image names (from 0).
      {"dcx/three-pages.dcx",
       {},
       DCX_PAGE("1", "Color Paletted", "256") "\n" DCX_PAGE("2", "Color Paletted", "2") "\n" DCX_PAGE(
           "3", "RGB", "16,777,216")},
      {"dcx/three-pages.dcx", {"--image", "1"}, DCX_PAGE("2", "Color Paletted", "2")},
      {"dcx/three-pages.dcx", {"--image=2"}, DCX_PAGE("3", "RGB", "16,777,216")},
  };
  for (const InfoCase& c : cases) {
    SCOPED_TRACE(c.sample);
    std::vector<std::string> args{"info"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back(Sample(c.sample));
    RunResult run = RunImexp(args);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, c.expected);
  }
}

#undef DCX_PAGE

TEST(CliInfo, DescribesEveryFileAndFailsForThoseItCannot) {
  TempDir dir;
  WriteFileBytes(dir.path() / "notes.bmp", "not an image at all");
  RunResult run = RunImexp({"info", Sample("pnm/p6.ppm"), dir.File("notes.bmp"), dir.File("missing.pcx"),
                            Sample("pcx/bilevel.pcx")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("File Name : p6.ppm"), std::string::npos);
  EXPECT_NE(run.out.find("File Name : bilevel.pcx"), std::string::npos);
  EXPECT_NE(run.err.find("Converter Error: Unknown image file format " + dir.File("notes.bmp")),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("Converter Error: Cannot open file " + dir.File("missing.pcx")), std::string::npos)
      << run.err;
}

TEST(CliInfo, RussianTextsComeFromTheManagersStringTable) {
  RunResult run = RunImexp({"info", Sample("pnm/p6.ppm")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find(PlatformText("       Type : Полноцветный\n")), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(PlatformText(" Resolution : <Неизвестное>\n")), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(PlatformText("Compression : Некомпрессированный\n")), std::string::npos) << run.out;
}

TEST(CliDetect, NamesTheReaderOfEachFile) {
  TempDir dir;
  WriteFileBytes(dir.path() / "plain.txt", "hello");
  const std::pair<const char*, const char*> samples[] = {{"bmp/rle4.bmp", "BMP"},
                                                         {"pnm/p2.pgm", "PNM"},
                                                         {"pcx/pal256.pcx", "PCX"},
                                                         {"dcx/three-pages.dcx", "DCX"}};
  std::vector<std::string> args{"detect"};
  std::string expected;
  for (const auto& [sample, reader] : samples) {
    args.push_back(Sample(sample));
    expected += Sample(sample) + ": " + reader + "\n";
  }
  RunResult run = RunImexp(args);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, expected);

  run = RunImexp({"detect", dir.File("plain.txt")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, dir.File("plain.txt") + ": no reader\n");
}

TEST(CliFormats, ListsEveryBundledConverterAndTheSaveFormats) {
  RunResult run = RunImexp({"formats"});
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char* text : {"  BMP (", "  PNM (", "  PCX (", "  DCX (", "several images per file",
                           "    writes      : grey 1-bit, grey 8-bit, RGB 24-bit\n",
                           "Save formats the manager offers:", "Windows Bitmap", "*.PBM;*.PGM;*.PPM;*.PNM",
                           "Multi-page PCX image"}) {
    EXPECT_NE(run.out.find(text), std::string::npos) << text << "\n" << run.out;
  }
  // The list keeps CONVERT.INI's order, which is the order writers are tried.
  EXPECT_LT(run.out.find("  BMP ("), run.out.find("  PNM ("));
  EXPECT_LT(run.out.find("  PCX ("), run.out.find("  DCX ("));
  // The converters over field libraries, where this build has them.
  const std::pair<const char*, const char*> fieldFormats[] = {{"png", "  PNG ("},
                                                              {"jpeg", "  JPEG ("},
                                                              {"tiff", "  TIFF ("},
                                                              {"gif", "  GIF ("},
                                                              {"webp", "  WebP ("}};
  for (const auto& [format, line] : fieldFormats) {
    EXPECT_EQ(run.out.find(line) != std::string::npos, FormatBuilt(format)) << line;
  }
}

struct UsageCase {
  std::vector<std::string> args;
  int status;
  const char* fragment;  // in stdout for help, in stderr for errors
};

TEST(CliUsage, HelpAndMistakes) {
  const UsageCase cases[] = {
      {{"--help"}, 0, "usage: imexp COMMAND"},
      {{"info", "--help"}, 0, "usage: imexp info [--image N] FILE..."},
      {{"info", "--image", "x", "a.pcx"}, 2, "--image needs an image number"},
      {{"convert", "a.tif", "b.pcx", "--image"}, 2, "--image needs an image number"},
      {{"convert", "a.tif", "b.pcx", "--image", "2", "--all-images"}, 2, "exclude each other"},
      {{"convert", "--help"}, 0, "--accept TYPES"},
      {{"formats", "--help"}, 0, "usage: imexp formats"},
      {{"detect", "-h"}, 0, "usage: imexp detect FILE..."},
      {{}, 2, "usage: imexp COMMAND"},
      {{"paint"}, 2, "unknown command 'paint'"},
      {{"info"}, 2, "no file given"},
      {{"convert", "a.bmp"}, 2, "expected an input and an output file"},
      {{"convert", "a.bmp", "b.pcx", "--accept", "rgb24,cmyk"}, 2, "unknown image type 'cmyk'"},
      {{"convert", "a.bmp", "b.pcx", "--accept"}, 2, "--accept needs a list"},
      {{"convert", "a.bmp", "b.pcx", "--fast"}, 2, "unknown option --fast"},
      {{"formats", "extra"}, 2, "unexpected argument extra"},
      // The dialog commands check their arguments before they look for a display.
      {{"setup", "--help"}, 0, "usage: imexp setup"},
      {{"setup", "extra"}, 2, "unexpected argument extra"},
      {{"info", "--dialog"}, 2, "no file given"},
      {{"info", "--dialog", "a.pcx", "b.pcx"}, 2, "--dialog shows one file"},
      {{"info", "--dialog", "a.pcx", "--image", "-1"}, 2, "--image needs an image number"},
      {{"open", "a.pcx"}, 2, "unexpected argument a.pcx"},
      {{"save"}, 2, "no file given"},
      {{"save", "a.bmp", "b.bmp"}, 2, "one file at a time"},
  };
  for (const UsageCase& c : cases) {
    std::string joined;
    for (const std::string& arg : c.args) joined += arg + " ";
    SCOPED_TRACE(joined);
    RunResult run = RunImexp(c.args);
    EXPECT_EQ(run.status, c.status);
    const std::string& text = c.status == 0 ? run.out : run.err;
    EXPECT_NE(text.find(c.fragment), std::string::npos) << text;
  }
}

struct AcceptCase {
  const char* accept;
  const char* colors;  // what the written BMP holds
};

// The accepted types decide the layout the image is held in, and so the
// layout the writer receives.
TEST(CliConvert, AcceptedTypesDecideTheLayoutHeld) {
  TempDir dir;
  const AcceptCase cases[] = {
      {"bilevel,pal16,pal256,gray256,rgb24", "     Colors : 256\n"},
      {"rgb24", "     Colors : 16,777,216\n"},
      {"--accept=rgb24", "     Colors : 16,777,216\n"},
  };
  for (const AcceptCase& c : cases) {
    SCOPED_TRACE(c.accept);
    std::string out = dir.File("out.bmp");
    std::vector<std::string> args{"convert", Sample("pcx/pal256.pcx"), out};
    if (std::string(c.accept).rfind("--", 0) == 0) {
      args.push_back(c.accept);
    } else {
      args.insert(args.end(), {"--accept", c.accept});
    }
    RunResult run = RunImexp(args);
    ASSERT_EQ(run.status, 0) << run.err;
    RunResult info = RunImexp({"info", out});
    EXPECT_NE(info.out.find(c.colors), std::string::npos) << info.out;
    // Whatever the layout, the pixels are the same.
    ASSERT_EQ(RunImexp({"convert", out, dir.File("back.ppm")}).status, 0);
    ASSERT_EQ(RunImexp({"convert", Sample("pcx/pal256.pcx"), dir.File("direct.ppm")}).status, 0);
    EXPECT_EQ(FirstDifference(ReadPnmAsRgb(dir.File("direct.ppm")), ReadPnmAsRgb(dir.File("back.ppm"))), "");
  }
}

}  // namespace
}  // namespace imexp::test::cli
