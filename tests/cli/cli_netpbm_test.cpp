// Agreement with netpbm, pixel for pixel: netpbm decodes our samples and
// what imexp writes; imexp decodes what netpbm writes. Linux only: netpbm
// is a Debian package that the test command installs, not a Windows one.
#include <gtest/gtest.h>

#include <imexp/converter_settings.h>

#include <cstdlib>

#include "tests/cli/cli_support.h"

namespace imexp::test::cli {
namespace {

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// Runs a netpbm pipeline whose output goes to `output`; true on success.
bool Netpbm(const std::string& command, const std::string& output) {
  std::string line = "{ " + command + "; } >" + Quoted(output) + " 2>/dev/null";
  return std::system(line.c_str()) == 0;
}

// netpbm's decoding of a file, brought to 8 bits per sample so that it
// compares with what imexp makes of it.
Pixels NetpbmDecode(const std::string& decoder, const std::string& file, const TempDir& dir) {
  std::string out = dir.File("netpbm.pnm");
  if (!Netpbm(decoder + " " + Quoted(file) + " | pamdepth 255 | pamtopnm", out)) return {};
  return ReadPnmAsRgb(out);
}

Pixels ImexpDecode(const std::string& file, const TempDir& dir) {
  std::string out = dir.File("imexp.pnm");
  RunResult run = RunImexp({"convert", file, out});
  EXPECT_EQ(run.status, 0) << run.err;
  return ReadPnmAsRgb(out);
}

struct SampleCase {
  const char* sample;
  const char* decoder;  // netpbm's reader; for DCX, of the PCX page it holds
  const char* decoded;  // the file netpbm reads, when not the sample
};

TEST(CliNetpbm, SamplesDecodeAsNetpbmDecodesThem) {
  TempDir dir;
  const SampleCase dcx[] = {{"dcx/three-pages.dcx", "pcxtoppm", "pcx/pal256.pcx"},
                            {"dcx/one-page.dcx", "pcxtoppm", "pcx/pal16-planar.pcx"}};
  // netpbm's readers, and each field library's own tool where netpbm's
  // reader is built over another library (JPEG and WebP). Transparent
  // pixels lie over white.
  const std::pair<const char*, const char*> decoders[] = {
      {".bmp", "bmptopnm"},         {".pcx", "pcxtoppm"},  {".png", "pngtopnm -mix -background=white"},
      {".jpg", "djpeg -pnm"},       {".tif", "tifftopnm"}, {".gif", "giftopnm"},
      {".webp", "dwebp -ppm -o -"},
  };
  for (const fs::path& path : ReadableSamples()) {
    std::string relative = fs::relative(path, SamplesDir()).generic_string();
    std::string extension = path.extension().string();
    const char* decoder = "pamtopnm";
    for (const auto& [known, reader] : decoders) {
      if (extension == known) decoder = reader;
    }
    std::string decoded = relative;
    if (extension == ".dcx") {
      bool known = false;
      for (const SampleCase& c : dcx) {
        if (relative == c.sample) {
          decoder = c.decoder;
          decoded = c.decoded;
          known = true;
        }
      }
      ASSERT_TRUE(known) << "no netpbm reference for " << relative;
    }
    SCOPED_TRACE(relative);
    Pixels expected = NetpbmDecode(decoder, Sample(decoded), dir);
    ASSERT_GT(expected.width, 0u) << "netpbm cannot read it";
    EXPECT_EQ(FirstDifference(expected, ImexpDecode(Sample(relative), dir)), "");
  }
}

struct Size {
  unsigned width;
  unsigned height;
};

constexpr Size kSizes[] = {{1, 1}, {1, 5}, {9, 1}, {37, 11}};

// The PCX layouts the bundled converter reads: 1 bit in 1 or 4 planes,
// 8 bits in 1 or 3. netpbm also writes 1 bit in 2 or 3 planes and packed
// 2- and 4-bit pixels, which the converter refuses.
bool IsPcxLayoutRead(const std::string& header) {
  int bits = static_cast<uint8_t>(header.at(3));
  int planes = static_cast<uint8_t>(header.at(65));
  return (bits == 1 && (planes == 1 || planes == 4)) || (bits == 8 && (planes == 1 || planes == 3));
}

bool HasOneBitPixels(const std::string& header, const std::string& extension) {
  if (extension == "bmp") {
    // The bit count follows a 12-byte OS/2 header as a 16-bit field at 24,
    // a Windows header at 28.
    std::size_t at = static_cast<uint8_t>(header.at(14)) == 12 ? 24 : 28;
    return static_cast<uint8_t>(header.at(at)) == 1;
  }
  if (extension == "pcx")
    return static_cast<uint8_t>(header.at(3)) == 1 && static_cast<uint8_t>(header.at(65)) == 1;
  return false;
}
constexpr const char* kLayouts[] = {"bilevel", "pal16", "pal256", "gray256", "rgb24"};

// netpbm's writers in every layout they offer; imexp must read back the
// very pixels netpbm was given.
TEST(CliNetpbm, ReadsWhatNetpbmWrites) {
  TempDir dir;
  const std::pair<const char*, const char*> writers[] = {
      {"ppmtobmp", "bmp"},         {"ppmtobmp -os2", "bmp"},  {"ppmtobmp -bpp=24", "bmp"},
      {"ppmtopcx", "pcx"},         {"ppmtopcx -8bit", "pcx"}, {"ppmtopcx -24bit", "pcx"},
      {"ppmtopcx -packed", "pcx"}, {"pnmtoplainpnm", "pnm"},  {"pnmtopnm", "pnm"},
  };
  for (const char* layout : kLayouts) {
    for (const Size& size : kSizes) {
      SourceImage image = MakeSource(layout, size.width, size.height);
      Pixels pixels = image.ToPixels();
      std::string source = dir.File("source.ppm");
      WriteFileBytes(source, EncodePpm(pixels));
      for (const auto& [writer, extension] : writers) {
        SCOPED_TRACE(std::string(writer) + " " + layout + " " + std::to_string(size.width) + " x " +
                     std::to_string(size.height));
        std::string written = dir.File(std::string("netpbm.") + extension);
        // Bilevel and grey images go to netpbm as PBM and PGM so that its
        // writers pick their 1-bit and grey layouts.
        std::string feed = Quoted(source);
        if (std::string(layout) == "bilevel") feed += " | ppmtopgm | pgmtopbm -threshold";
        if (std::string(layout) == "gray256") feed += " | ppmtopgm";
        if (!Netpbm("cat " + feed + " | " + writer, written)) {
          // ppmtopcx -packed only takes up to 16 colours.
          continue;
        }
        std::string header = ReadFileBytes(written).substr(0, 128);
        if (extension == std::string("pcx") && !IsPcxLayoutRead(header)) {
          RunResult run = RunImexp({"convert", written, dir.File("imexp.pnm")});
          EXPECT_EQ(run.status, 1);
          EXPECT_NE(run.err.find("Converter Error: Unsupporter Subformat"), std::string::npos) << run.err;
          continue;
        }
        // The manager reads every 1-bit image as black and white, whatever
        // its two palette entries; netpbm stores an image of one or two
        // colours in 1 bit.
        if (std::string(layout) != "bilevel" && HasOneBitPixels(header, extension)) continue;
        EXPECT_EQ(FirstDifference(pixels, ImexpDecode(written, dir)), "");
      }
    }
  }
}

// imexp's writers in every layout; netpbm must read back the very pixels.
TEST(CliNetpbm, NetpbmReadsWhatImexpWrites) {
  TempDir dir;
  const std::pair<const char*, const char*> readers[] = {
      {"bmp", "bmptopnm"}, {"pcx", "pcxtoppm"}, {"pnm", "pamtopnm"}};
  for (const char* layout : kLayouts) {
    for (const Size& size : kSizes) {
      SourceImage image = MakeSource(layout, size.width, size.height);
      std::string source = dir.File("source." + SourceExtension(image));
      WriteFileBytes(source, EncodeSourceFile(image));
      for (const auto& [extension, reader] : readers) {
        SCOPED_TRACE(std::string(extension) + " " + layout + " " + std::to_string(size.width) + " x " +
                     std::to_string(size.height));
        std::string written = dir.File(std::string("imexp.") + extension);
        RunResult run = RunImexp({"convert", source, written});
        ASSERT_EQ(run.status, 0) << run.err;
        Pixels decoded = NetpbmDecode(reader, written, dir);
        ASSERT_GT(decoded.width, 0u) << "netpbm cannot read it";
        EXPECT_EQ(FirstDifference(image.ToPixels(), decoded), "");
      }
    }
  }
}

// Grey TIFF pages that keep white as 0 (ImageMagick writes them so when
// asked), at every depth: imexp reads what tifftopnm reads.
TEST(CliNetpbm, MinIsWhiteGreyTiffReadsAsTifftopnmReadsIt) {
  TempDir dir;
  std::string ramp = dir.File("ramp.pgm");
  ASSERT_TRUE(Netpbm("pgmramp -diagonal 37 11", ramp));
  for (const char* depth : {"1", "2", "4", "8", "16"}) {
    SCOPED_TRACE(std::string("depth ") + depth);
    std::string tif = dir.File("white.tif");
    std::string make = "convert " + Quoted(ramp) + " -define quantum:polarity=min-is-white -depth " + depth +
                       " " + Quoted(tif);
    ASSERT_EQ(std::system((make + " 2>/dev/null").c_str()), 0);
    Pixels expected = NetpbmDecode("tifftopnm", tif, dir);
    ASSERT_GT(expected.width, 0u);
    EXPECT_EQ(FirstDifference(expected, ImexpDecode(tif, dir)), "");
  }
}

// Pages and frames of files other programs joined, of different sizes and
// kinds: TIFF pages as tiffsplit and tifftopnm read each, GIF frames (with
// their own colour maps, offsets and interlacing) as giftopnm --image
// reads each, on its own and not composed.
TEST(CliNetpbm, PagesAndFramesReadAsTheReferenceToolsReadThem) {
  TempDir dir;
  const std::string d = Quoted(dir.path().string());
  const char* const pages[] = {
      "pgmramp -diagonal 37 11 | pnmtotiff -lzw -predictor=2 > {d}/p1.tif",
      "ppmpat -gingham2 -color=rgb:f0/20/20,rgb:20/20/f0 23 17 | pnmtotiff -packbits > {d}/p2.tif",
      "pbmmake -gray 45 9 | pnmtotiff -g4 > {d}/p3.tif",
      "ppmpat -madras 31 13 | pnmtotiff -lzw > {d}/p4.tif",
      "tiffcp {d}/p1.tif {d}/p2.tif {d}/p3.tif {d}/p4.tif {d}/pages.tif && cd {d} && tiffsplit pages.tif "
      "split-",
  };
  const char* const frames[] = {
      "convert -size 40x30 gradient:red-blue -colors 16 \\( -size 20x10 xc:green \\) "
      "\\( -size 33x7 gradient: -colors 7 -repage +3+2 \\) {d}/frames.gif",
      "convert -interlace GIF -size 29x31 gradient:yellow-black -colors 64 \\( -size 12x25 "
      "gradient:white-blue -colors 5 \\) {d}/interlaced.gif",
  };
  auto run = [&](std::string command) {
    for (std::size_t at = command.find("{d}"); at != std::string::npos; at = command.find("{d}", at))
      command.replace(at, 3, d);
    return std::system(("(" + command + ") >/dev/null 2>&1").c_str()) == 0;
  };
  for (const char* command : pages) ASSERT_TRUE(run(command)) << command;
  for (const char* command : frames) ASSERT_TRUE(run(command)) << command;
  struct Case {
    const char* file;
    int images;
    std::string (*reference)(int image);  // netpbm's command for image `image` (from 0)
  } cases[] = {
      {"pages.tif", 4, [](int k) { return std::string("tifftopnm split-aa") + char('a' + k) + ".tif"; }},
      {"frames.gif", 3, [](int k) { return "giftopnm --image=" + std::to_string(k + 1) + " frames.gif"; }},
      {"interlaced.gif", 2,
       [](int k) { return "giftopnm --image=" + std::to_string(k + 1) + " interlaced.gif"; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string base = std::string("image-of-") + c.file;
    RunResult all = RunImexp({"convert", "--all-images", dir.File(c.file), dir.File(base + ".pnm")});
    ASSERT_EQ(all.status, 0) << all.err;
    for (int k = 0; k < c.images; ++k) {
      SCOPED_TRACE(k);
      std::string reference = dir.File("reference.pnm");
      ASSERT_TRUE(Netpbm("cd " + d + " && " + c.reference(k) + " | pamdepth 255 | pamtopnm", reference));
      Pixels expected = ReadPnmAsRgb(reference);
      ASSERT_GT(expected.width, 0u);
      EXPECT_EQ(
          FirstDifference(expected, ReadPnmAsRgb(dir.File(base + "-" + std::to_string(k + 1) + ".pnm"))), "");
    }
    EXPECT_FALSE(fs::exists(dir.path() / (base + "-" + std::to_string(c.images + 1) + ".pnm")));
  }
}

// 32-bit BMPs with an alpha mask, as ImageMagick writes them (a version 4
// and a version 5 header, bit fields with alpha), read with every pixel
// laid over white: ImageMagick's own decoding of the file, composed here.
TEST(CliNetpbm, BmpAlphaLiesOverTheBackground) {
  TempDir dir;
  std::string rgba = dir.File("rgba.png");
  ASSERT_EQ(
      std::system(("convert -size 23x7 gradient:red-blue -alpha set -channel A -fx '(i%8)/7' +channel " +
                   Quoted(rgba) + " 2>/dev/null")
                      .c_str()),
      0);
  for (const char* format : {"bmp4", "bmp5"}) {
    SCOPED_TRACE(format);
    std::string bmp = dir.File("alpha.bmp");
    std::string raw = dir.File("alpha.rgba");
    ASSERT_EQ(std::system(("convert " + Quoted(rgba) + " -define bmp:format=" + format + " " + Quoted(bmp) +
                           " && convert " + Quoted(bmp) + " -depth 8 rgba:" + Quoted(raw) + " 2>/dev/null")
                              .c_str()),
              0);
    std::string samples = ReadFileBytes(raw);
    ASSERT_EQ(samples.size(), 23u * 7 * 4);
    Pixels expected{23, 7, {}};
    for (std::size_t i = 0; i < samples.size(); i += 4) {
      auto alpha = static_cast<uint8_t>(samples[i + 3]);
      for (std::size_t c = 0; c < 3; ++c)
        expected.rgb.push_back(conv::OverBackground(static_cast<uint8_t>(samples[i + c]), alpha, 255));
    }
    EXPECT_EQ(FirstDifference(expected, ImexpDecode(bmp, dir)), "");
  }
}

}  // namespace
}  // namespace imexp::test::cli
