// The TIFF converter against the field's own tools: files written by
// netpbm, libtiff's tools and ImageMagick read pixel for pixel, every
// written layout and compression read back by tifftopnm, the information
// record of each page, and damaged files.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/support/converter_driver.h"
#include "tests/support/reference_tools.h"

namespace imexp::test {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kErrLibrary = 21;
constexpr int kErrTooLarge = 22;

// Whose pixels a file is compared with: tifftopnm's, libtiff's RGBA
// interface (tiff2rgba, for what tifftopnm does not read) or ImageMagick's
// laid over white.
enum Ref { kTifftopnm, kRgba, kFlatten };

// A binary PNM with a deterministic pattern: `channels` 1 or 3 samples of
// maxval, or a PBM for maxval 1.
void WritePnm(const std::string& path, uint32_t w, uint32_t h, int channels, uint32_t maxval,
              int colours = 0) {
  std::ofstream out(path, std::ios::binary);
  bool pbm = maxval == 1;
  out << (pbm ? "P4" : channels == 3 ? "P6" : "P5") << "\n" << w << " " << h << "\n";
  if (!pbm) out << maxval << "\n";
  for (uint32_t y = 0; y < h; ++y) {
    uint8_t bits = 0;
    for (uint32_t x = 0; x < w; ++x) {
      uint32_t seed = x * 7 + y * 13 + (x * y) % 11;
      if (pbm) {
        bits = static_cast<uint8_t>(bits << 1 | ((x / 3 + y / 2) % 3 == 0));
        if (x % 8 == 7 || x == w - 1)
          out.put(static_cast<char>(bits << (x % 8 == 7 ? 0 : 7 - x % 8))), bits = 0;
        continue;
      }
      for (int c = 0; c < channels; ++c) {
        uint32_t v =
            colours ? (seed / 5 % colours) * (c + 3) * 17 % 256 : (seed * (c + 1) * 5 + c * 40) % 256;
        out.put(static_cast<char>(v * maxval / 255));
      }
    }
  }
}

// A little-endian TIFF of one directory at offset 8, with single-valued
// SHORT (3) or LONG (4) fields given as {tag, type, value}, in tag order,
// followed by `data`.
struct Field {
  uint16_t tag, type;
  uint32_t value;
};
std::string TinyTiff(std::initializer_list<Field> fields, const std::string& data = "") {
  std::string out("II*\0\x08\0\0\0", 8);
  auto put = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
  };
  put(static_cast<uint32_t>(fields.size()), 2);
  for (const Field& f : fields) {
    put(f.tag, 2);
    put(f.type, 2);
    put(1, 4);
    put(f.value, 4);
  }
  put(0, 4);
  return out + data;
}

class TiffTest : public testing::Test {
 protected:
  static ConverterDriver& Tiff() {
    static ConverterDriver driver("imexp_tiff");
    return driver;
  }
  void SetUp() override {
    ASSERT_TRUE(Tiff().loaded());
    WritePnm(File("rgb.ppm"), 37, 23, 3, 255);
    WritePnm(File("few.ppm"), 37, 23, 3, 255, 12);
    WritePnm(File("gray.pgm"), 37, 23, 1, 255);
    WritePnm(File("gray4.pgm"), 37, 23, 1, 15);
    WritePnm(File("gray2.pgm"), 37, 23, 1, 3);
    WritePnm(File("bw.pbm"), 37, 23, 1, 1);
    ASSERT_EQ(Sh("pnmtotiff -truecolor rgb.ppm > rgb.tif && pnmtotiff bw.pbm > bw.tif"), 0);
  }
  std::string File(const std::string& name) const { return dir_.File(name); }
  // Runs `command` in the test folder; messages are dropped.
  int Sh(const std::string& command) const {
    return RunCommand("cd " + ShellPath(dir_.path()) + " && { " + command + " ; } 2>/dev/null");
  }
  RgbImage Reference(const std::string& tif, Ref ref) const {
    std::string command = ref == kFlatten ? "convert " + tif + " -background white -flatten ref.ppm"
                          : ref == kRgba  ? "tiff2rgba " + tif + " rgba.tif && tifftopnm rgba.tif > ref.ppm"
                                          : "tifftopnm " + tif + " > ref.ppm";
    EXPECT_EQ(Sh(command), 0) << command;
    return ReadPnmAsRgb(File("ref.ppm"));
  }
  // Reads `tif` through the converter with the manager's bands and with
  // bands smaller than a strip or a row of tiles, and compares each with the
  // reference tool's image.
  void ExpectSame(const std::string& tif, Ref ref, int tolerance) {
    RgbImage want = Reference(tif, ref);
    for (uint32_t bandRows : {0u, 3u, 1u}) {
      ConverterImage image;
      ASSERT_EQ(Tiff().Read(File(tif), image, bandRows), 0) << tif;
      RgbImage got = ConverterImageAsRgb(image);
      EXPECT_LE(LargestDifference(got, want), tolerance)
          << tif << " in bands of " << bandRows << ": " << FirstDifference(got, want, tolerance);
    }
  }
  std::string Ini(const std::string& body) {
    std::string path = File("CONVERT.INI");
    WriteFileBytes(path, "[TIFF]\n" + body + "\n");
    return path;
  }

  TempDir dir_;
};

TEST_F(TiffTest, RecordAndContentCheck) {
  ConvRecord record = Tiff().Record();
  EXPECT_STREQ(record.name, "TIFF");
  EXPECT_STREQ(record.description, "Tagged Image File Format");
  EXPECT_STREQ(record.extensions, "*.TIF;*.TIFF");
  EXPECT_EQ(record.flags, 0x01u | 0x02u | 0x04u | 0x08u | 0x10u | 0x20u);
  ASSERT_EQ(Sh("tiffcp -B rgb.tif mm.tif && tiffcp -8 rgb.tif big.tif && tiffcp -B -8 rgb.tif bigmm.tif"), 0);
  for (const char* name : {"rgb.tif", "mm.tif", "big.tif", "bigmm.tif"})
    EXPECT_TRUE(Tiff().Check(File(name))) << name;
  for (const char* name : {"rgb.ppm", "bw.pbm"}) EXPECT_FALSE(Tiff().Check(File(name))) << name;
  WriteFileBytes(File("short.tif"), "II*");
  EXPECT_FALSE(Tiff().Check(File("short.tif")));
}

// Files of other programs, each with its compression's name and the
// page's colour type and bits in the information record.
TEST_F(TiffTest, ReadsWhatOtherProgramsWrite) {
  struct Case {
    const char* make;  // writes t.tif
    const char* compression;
    int colorType, bits;
    Ref ref = kTifftopnm;
    int tolerance = 0;
  };
  const Case cases[] = {
      {"pnmtotiff -truecolor rgb.ppm > t.tif", "None", 3, 24},
      {"pnmtotiff -truecolor -packbits rgb.ppm > t.tif", "PackBits", 3, 24},
      {"pnmtotiff -truecolor -lzw rgb.ppm > t.tif", "LZW", 3, 24},
      {"pnmtotiff -truecolor -flate rgb.ppm > t.tif", "Deflate", 3, 24},
      {"pnmtotiff few.ppm > t.tif", "None", 2, 8},
      {"pnmtotiff -lzw few.ppm > p.tif && tiffcp -t -w 16 -l 16 p.tif t.tif", "LZW", 2, 8},
      {"pnmtotiff -lzw gray.pgm > t.tif", "LZW", 0, 8},
      {"pnmtotiff gray4.pgm > t.tif", "None", 0, 4},
      {"pnmtotiff gray2.pgm > t.tif", "None", 0, 2},
      {"pnmtotiff -miniswhite bw.pbm > t.tif", "None", 0, 1},
      {"pnmtotiff -minisblack bw.pbm > t.tif", "None", 0, 1},
      {"pnmtotiff -g3 bw.pbm > t.tif", "CCITT G3", 0, 1},
      {"pnmtotiff -g4 bw.pbm > t.tif", "CCITT G4", 0, 1},
      {"tiffcp -c packbits rgb.tif t.tif", "PackBits", 3, 24},
      {"tiffcp -c lzw:2 rgb.tif t.tif", "LZW", 3, 24},
      {"tiffcp -c zip rgb.tif t.tif", "Deflate", 3, 24},
      {"tiffcp -c g3 bw.tif t.tif", "CCITT G3", 0, 1},
      {"tiffcp -c g4 bw.tif t.tif", "CCITT G4", 0, 1},
      // YCbCr decoded by libjpeg for both sides: the same IDCT and upsampling.
      {"tiffcp -c jpeg rgb.tif t.tif", "JPEG", 6, 24, kRgba},
      {"tiffcp -c jpeg:r -t -w 16 -l 16 rgb.tif t.tif", "JPEG", 3, 24},
      {"tiffcp -c jpeg -t -w 16 -l 16 rgb.tif t.tif", "JPEG", 6, 24, kRgba},
      {"pnmtotiff gray.pgm > g.tif && tiffcp -c jpeg g.tif t.tif", "JPEG", 0, 8},
      {"tiffcp -t -w 16 -l 16 -c lzw rgb.tif t.tif", "LZW", 3, 24},
      {"pnmtotiff gray4.pgm > g.tif && tiffcp -t -w 16 -l 32 g.tif t.tif", "None", 0, 4},
      {"tiffcp -t -w 32 -l 16 -c g4 bw.tif t.tif", "CCITT G4", 0, 1},
      {"tiffcp -p separate -c zip rgb.tif t.tif", "Deflate", 3, 24},
      {"tiffcp -p separate -t -w 16 -l 16 rgb.tif t.tif", "None", 3, 24},
      {"tiffcp -r 5 -c packbits rgb.tif t.tif", "PackBits", 3, 24},
      {"tiffcp -8 rgb.tif t.tif", "None", 3, 24},
      {"ppm2tiff rgb.ppm t.tif", "PackBits", 3, 24},
      {"ppm2tiff -c lzw gray.pgm t.tif", "LZW", 0, 8},
      {"convert rgb.ppm -depth 16 t.tif", "None", 3, 48},
      {"convert rgb.ppm -depth 16 -interlace plane p.tif && tiffcp -B p.tif t.tif", "None", 3, 48},
      {"convert gray.pgm -depth 16 -compress zip t.tif", "Deflate", 0, 16},
      {"convert rgb.ppm -type Palette t.tif", "None", 2, 8},
      {"convert rgb.ppm -colors 2 -type Palette -depth 1 t.tif", "None", 2, 1},
      {"convert rgb.ppm -colors 4 -type Palette -depth 2 t.tif", "None", 2, 2},
      {"convert rgb.ppm -colors 16 -type Palette -depth 4 -compress lzw t.tif", "LZW", 2, 4},
      {"convert bw.pbm -compress Group4 t.tif", "CCITT G4", 0, 1},
      // Through the RGBA interface.
      {"convert rgb.ppm -colorspace CMYK t.tif", "None", 8, 32, kTifftopnm, 1},
      {"convert rgb.ppm -colorspace YCbCr t.tif", "None", 6, 24, kRgba},
      // Alpha is laid over white: off by one where rounding of the
      // premultiplied colour differs.
      {"convert rgb.ppm -alpha set -channel A -fx '(i%7)/6' t.tif", "None", 5, 32, kFlatten, 1},
      {"convert gray.pgm -alpha set -channel A -fx '(j%5)/4' -compress lzw t.tif", "LZW", 4, 16, kFlatten, 1},
      {"convert rgb.ppm -alpha set -channel A -fx '(i%4)/3' -depth 16 t.tif", "None", 5, 64, kFlatten, 1},
      {"convert rgb.ppm -alpha set -channel A -fx '(i%4)/3' -interlace plane t.tif", "None", 5, 32, kFlatten,
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.make);
    std::remove(File("t.tif").c_str());
    ASSERT_EQ(Sh(c.make), 0);
    ConvImageInfo info{};
    ASSERT_EQ(Tiff().Info(File("t.tif"), 0, &info), 0);
    EXPECT_STREQ(info.formatName, "TIFF");
    EXPECT_STREQ(info.compression, c.compression);
    EXPECT_EQ(info.colorType, c.colorType);
    EXPECT_EQ(info.bitsPerPixel, c.bits);
    ExpectSame("t.tif", c.ref, c.tolerance);
  }
}

TEST_F(TiffTest, AlphaGoesOverTheConfiguredBackground) {
  ASSERT_EQ(Sh("convert rgb.ppm -alpha set -channel A -fx '(i%3)/2' t.tif && "
               "convert t.tif -background '#204080' -flatten ref.ppm"),
            0);
  Tiff().UseIni(Ini("Background = 32, 64, 128"));
  ConverterImage image;
  ASSERT_EQ(Tiff().Read(File("t.tif"), image), 0);
  Tiff().UseIni(NativePath(ExecutableDir() / "CONVERT.INI"));
  RgbImage want = ReadPnmAsRgb(File("ref.ppm"));
  RgbImage got = ConverterImageAsRgb(image);
  EXPECT_LE(LargestDifference(got, want), 1) << FirstDifference(got, want, 1);
}

TEST_F(TiffTest, PagesAndTheirInformation) {
  ASSERT_EQ(Sh("pnmtotiff gray.pgm > g.tif && tiffcp rgb.tif g.tif bw.tif three.tif && "
               "tiffset -s 296 3 rgb.tif && tiffset -s 282 72.4 rgb.tif && tiffset -s 283 36 rgb.tif && "
               "convert few.ppm gray4.pgm -density 300 -units PixelsPerInch magick.tif"),
            0);
  int count = 0, singleView = 1;
  ASSERT_EQ(Tiff().ImageCount(File("three.tif"), &count, &singleView), 0);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(singleView, 0);
  ASSERT_EQ(Tiff().ImageCount(File("magick.tif"), &count, &singleView), 0);
  EXPECT_EQ(count, 2);
  ConvImageInfo info{};
  ASSERT_EQ(Tiff().Info(File("three.tif"), 1, &info), 0);
  EXPECT_EQ(info.colorType, 0);
  EXPECT_EQ(info.bitsPerPixel, 8);
  ASSERT_EQ(Tiff().Info(File("three.tif"), 2, &info), 0);
  EXPECT_EQ(info.bitsPerPixel, 1);
  EXPECT_EQ(Tiff().Info(File("three.tif"), 3, &info), CONV_ERR_WRONG_IMAGE_NUMBER);
  EXPECT_EQ(Tiff().Info(File("three.tif"), -1, &info), CONV_ERR_WRONG_IMAGE_NUMBER);
  ASSERT_EQ(Tiff().Info(File("magick.tif"), 1, &info), 0);
  EXPECT_EQ(info.resUnit, CONV_UNIT_DPI);
  EXPECT_EQ(info.resX, 300u);
  // The manager reads the first page.
  ExpectSame("three.tif", kTifftopnm, 0);
  // Resolution in centimetres, rounded.
  ConverterImage image;
  ASSERT_EQ(Tiff().Read(File("rgb.tif"), image), 0);
  EXPECT_EQ(image.desc.resUnit, CONV_UNIT_DPCM);
  EXPECT_EQ(image.desc.resX, 72u);
  EXPECT_EQ(image.desc.resY, 36u);
  ASSERT_EQ(Sh("tiffset -s 296 1 rgb.tif"), 0);
  ASSERT_EQ(Tiff().Info(File("rgb.tif"), 0, &info), 0);
  EXPECT_EQ(info.resUnit, CONV_UNIT_ASPECT);
}

// An image in the manager's default write layout with a palette that
// reaches every entry.
ConverterImage MakeImage(uint16_t colorType, uint16_t bits, uint32_t width, uint32_t height) {
  ConverterImage image;
  image.desc.width = width;
  image.desc.height = height;
  image.desc.colorType = colorType;
  image.desc.bitsPerPixel = bits;
  image.desc.packedPixels = 1;
  for (int i = 0; i < 256; ++i) {
    image.palette[i] = static_cast<uint8_t>(i * 37);
    image.palette[256 + i] = static_cast<uint8_t>(255 - i);
    image.palette[512 + i] = static_cast<uint8_t>(i * 11 + 5);
  }
  unsigned seed = bits;
  for (uint32_t y = 0; y < height; ++y) {
    Bytes row((std::size_t{width} * bits + 7) / 8);
    for (uint8_t& b : row) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
    image.rows.push_back(row);
  }
  return image;
}

TEST_F(TiffTest, WritesEveryLayoutAndCompression) {
  struct Layout {
    uint16_t colorType, bits;
  };
  const Layout layouts[] = {{0, 1}, {0, 4}, {0, 8}, {2, 4}, {2, 8}, {3, 24}};
  struct Setting {
    const char* ini;
    const char* scheme;  // tiffinfo's name of what must be written
    const char* bilevelScheme;
  };
  const Setting settings[] = {
      {"Compression=None", "None", "None"},
      {"Compression = packbits", "PackBits", "PackBits"},
      {"Compression=LZW", "LZW", "LZW"},
      {"Compression=Deflate", "AdobeDeflate", "AdobeDeflate"},
      {"Compression=CCITT G4", "LZW", "CCITT Group 4"},
      {"", "LZW", "LZW"},
      {"Compression=Nonsense", "LZW", "LZW"},
      // The other names each choice is known by.
      {"Compression=uncompressed", "None", "None"},
      {"Compression=ZIP", "AdobeDeflate", "AdobeDeflate"},
      {"Compression=group 4", "LZW", "CCITT Group 4"},
  };
  for (const Setting& setting : settings) {
    Tiff().UseIni(Ini(setting.ini));
    for (const Layout& layout : layouts) {
      SCOPED_TRACE(std::string(setting.ini) + " bits " + std::to_string(layout.bits));
      // 300 rows of 8-bit RGB make several strips.
      ConverterImage image = MakeImage(layout.colorType, layout.bits, 53, 300);
      if (layout.bits == 1) {
        std::fill(image.palette.begin(), image.palette.end(), 0);
        for (int c = 0; c < 3; ++c) image.palette[c * 256 + 1] = 255;
      }
      std::string path = File("w.tif");
      ASSERT_EQ(Tiff().Write(path, image), 0);
      RgbImage want = ConverterImageAsRgb(image);
      RgbImage tool = Reference("w.tif", kTifftopnm);
      EXPECT_EQ(LargestDifference(tool, want), 0) << FirstDifference(tool, want);
      ConverterImage back;
      ASSERT_EQ(Tiff().Read(path, back), 0);
      EXPECT_EQ(LargestDifference(ConverterImageAsRgb(back), want), 0);
      const char* scheme = layout.bits == 1 ? setting.bilevelScheme : setting.scheme;
      EXPECT_EQ(Sh(std::string("tiffinfo w.tif | grep -q 'Compression Scheme: ") + scheme + "$'"), 0)
          << scheme;
      // LZW and Deflate difference the samples of 8-bit grey and RGB.
      const bool dictionary = std::string(scheme) == "LZW" || std::string(scheme) == "AdobeDeflate";
      const bool predicted = dictionary && (layout.bits == 24 || (layout.colorType == 0 && layout.bits == 8));
      EXPECT_EQ(Sh("tiffinfo w.tif | grep -q 'Predictor: horizontal differencing'") == 0, predicted);
      // Strips of 128 rows.
      EXPECT_EQ(Sh("tiffinfo w.tif | grep -q 'Rows/Strip: 128'"), 0);
    }
  }
  Tiff().UseIni(NativePath(ExecutableDir() / "CONVERT.INI"));
}

TEST_F(TiffTest, WritesTheResolution) {
  struct Case {
    uint16_t unit;
    const char* tiffinfo;
  };
  for (const Case& c : {Case{CONV_UNIT_DPI, "Resolution: 300, 150 pixels/inch"},
                        Case{CONV_UNIT_DPCM, "Resolution: 300, 150 pixels/cm"}}) {
    ConverterImage image = MakeImage(3, 24, 5, 4);
    image.desc.resUnit = c.unit;
    image.desc.resX = 300;
    image.desc.resY = 150;
    ASSERT_EQ(Tiff().Write(File("r.tif"), image), 0);
    EXPECT_EQ(Sh(std::string("tiffinfo r.tif | grep -q '") + c.tiffinfo + "'"), 0) << c.tiffinfo;
    ConvImageInfo info{};
    ASSERT_EQ(Tiff().Info(File("r.tif"), 0, &info), 0);
    EXPECT_EQ(info.resUnit, c.unit);
    EXPECT_EQ(info.resX, 300u);
    EXPECT_EQ(info.resY, 150u);
  }
}

TEST_F(TiffTest, AFullDiskIsReportedAsSuch) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  for (uint16_t bits : {1, 24})
    EXPECT_EQ(Tiff().Write("/dev/full", MakeImage(3, bits, 300, 200)), CONV_ERR_DISK_FULL);
}

TEST_F(TiffTest, RefusesWhatTheManagerCannotTake) {
  struct Case {
    const char* make;
    int error;
  };
  const Case cases[] = {
      {"cp rgb.tif t.tif && tiffset -s 256 32513 t.tif", kErrTooLarge},
      {"cp bw.tif t.tif && tiffset -s 257 40000 t.tif", kErrTooLarge},
      // 11000 RGB pixels make a row of 33000 bytes.
      {"cp rgb.tif t.tif && tiffset -s 256 11000 t.tif", kErrTooLarge},
      // ImageMagick warns about the predictor tag, but writes the file.
      {"convert rgb.ppm -define quantum:format=floating-point -depth 32 t.tif; test -s t.tif",
       CONV_ERR_UNSUPPORTED_SUBFORMAT},
      {"cp rgb.ppm t.tif", CONV_ERR_UNKNOWN_FORMAT},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Sh(c.make), 0) << c.make;
    ConverterImage image;
    EXPECT_EQ(Tiff().Read(File("t.tif"), image), c.error) << c.make;
  }
  // The directory ends at 122. Strips that lie: past the end of the file, or one strip of 900 MB in a
  // file of 16 bytes, are refused before anything is allocated for them (the
  // suite runs under the sanitizers); data the codec cannot decode keeps
  // libtiff's reason.
  struct Lie {
    uint32_t side, compression, offset;
    int error;
  };
  for (const Lie& lie : {Lie{4, 1, 99999, CONV_ERR_END_OF_FILE}, Lie{30000, 1, 122, CONV_ERR_END_OF_FILE},
                         Lie{4, 5, 122, kErrLibrary}}) {
    WriteFileBytes(File("t.tif"), TinyTiff({{256, 4, lie.side},
                                            {257, 4, lie.side},
                                            {258, 3, 8},
                                            {259, 3, lie.compression},
                                            {262, 3, 1},
                                            {273, 4, lie.offset},
                                            {277, 3, 1},
                                            {278, 4, lie.side},
                                            {279, 4, 16}},
                                           std::string(16, '\xFF')));
    ConverterImage image;
    EXPECT_EQ(Tiff().Read(File("t.tif"), image), lie.error) << lie.side << " " << lie.compression;
  }
  std::string text = Tiff().ErrorText(kErrLibrary, "T.TIF");
  EXPECT_EQ(text.rfind("TIFF error in T.TIF: ", 0), 0u) << text;
  EXPECT_GT(text.size(), 25u) << text;
  EXPECT_NE(Tiff().ErrorText(kErrTooLarge, "T.TIF").find("T.TIF"), std::string::npos);
}

// Cut and damaged files: every call returns a code and the process lives.
TEST_F(TiffTest, DamagedFilesFailCleanly) {
  ASSERT_EQ(
      Sh("tiffcp -c lzw rgb.tif a.tif && tiffcp -c g4 bw.tif b.tif && tiffcp -c jpeg rgb.tif c.tif && "
         "tiffcp -t -w 16 -l 16 -c zip -p separate rgb.tif d.tif && pnmtotiff -packbits few.ppm > e.tif && "
         "tiffcp a.tif b.tif f.tif && convert rgb.ppm -alpha set -depth 16 g.tif"),
      0);
  int results = 0;
  for (const char* name : {"a.tif", "b.tif", "c.tif", "d.tif", "e.tif", "f.tif", "g.tif"}) {
    std::string good = ReadFileBytes(File(name));
    ASSERT_GT(good.size(), 64u) << name;
    std::vector<std::string> damaged;
    for (std::size_t cut = 0; cut < good.size(); cut += 1 + good.size() / 40)
      damaged.push_back(good.substr(0, cut));
    unsigned seed = 7;
    for (int flip = 0; flip < 60; ++flip) {
      std::string bytes = good;
      for (int k = 0; k < 1 + flip % 4; ++k) {
        seed = seed * 1103515245u + 12345u;
        // Headers and directories first: most flips land in the first and
        // the last 200 bytes.
        std::size_t span = std::min<std::size_t>(bytes.size(), 200);
        std::size_t at = (seed >> 8) % span;
        if (flip % 2) at = bytes.size() - 1 - at;
        bytes[at] = static_cast<char>(bytes[at] ^ (1 << (seed >> 28) % 8) ^ (flip % 3 == 0 ? 0xFF : 0));
      }
      damaged.push_back(bytes);
    }
    for (const std::string& bytes : damaged) {
      std::string path = File("damaged.tif");
      WriteFileBytes(path, bytes);
      ConvImageInfo info{};
      int count = 0, singleView = 0;
      ConverterImage image;
      int codes[] = {Tiff().Info(path, 0, &info), Tiff().ImageCount(path, &count, &singleView),
                     Tiff().Read(path, image)};
      for (int code : codes) EXPECT_TRUE(code >= 0 && code <= kErrTooLarge) << code;
      results += codes[2] != 0;
    }
  }
  EXPECT_GT(results, 0);
}

}  // namespace
}  // namespace imexp::test
