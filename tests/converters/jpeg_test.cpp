// The JPEG converter: files made by other programs read pixel for pixel as
// djpeg decodes them, four-component files against their known inks, round
// trips through the writer with its settings, and damaged, cut and lying
// files.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <jpeglib.h>

#include "tests/support/converter_driver.h"
#include "tests/support/reference_tools.h"

namespace imexp::test {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kWidth = 67;  // neither blocks nor MCUs fit evenly
constexpr uint32_t kHeight = 45;

// A four-component file written by the library itself: 16 x 16 patches of
// the given inks (0 no ink, 255 full), stored as CMYK or YCCK, with Adobe's
// marker and its inverted samples, or plain ink values without it.
struct Ink {
  uint8_t c, m, y, k;
};

void WriteInkFile(const std::string& path, const std::vector<Ink>& inks, J_COLOR_SPACE space, bool adobe) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, file);
  c.image_width = static_cast<JDIMENSION>(16 * inks.size());
  c.image_height = 16;
  c.input_components = 4;
  c.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&c);
  jpeg_set_colorspace(&c, space);
  jpeg_set_quality(&c, 100, TRUE);
  for (int i = 0; i < c.num_components; ++i) c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
  c.write_Adobe_marker = adobe ? TRUE : FALSE;
  jpeg_start_compress(&c, TRUE);
  Bytes row;
  for (const Ink& ink : inks) {
    for (int x = 0; x < 16; ++x) {
      for (uint8_t v : {ink.c, ink.m, ink.y, ink.k}) row.push_back(adobe ? static_cast<uint8_t>(255 - v) : v);
    }
  }
  for (int y = 0; y < 16; ++y) {
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&c, rows, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::fclose(file);
}

class JpegTest : public testing::Test {
 protected:
  static const ConverterDriver& Jpeg() {
    static const ConverterDriver driver("imexp_jpeg");
    return driver;
  }
  // A smooth picture with a sharp-edged square, in colour and in grey.
  void SetUp() override {
    Make(
        "convert -size 67x45 'gradient:#ff2000-#0040ff' -fill '#30e080' -draw 'rectangle 20,10 35,25' -depth "
        "8 "
        "OUT",
        rgbSource_);
    Make("convert RGB -colorspace Gray -depth 8 OUT", greySource_);
  }
  // Runs a shell command with the folder's files named by placeholders:
  // RGB (the colour picture), GREY (the grey one), OUT (the file made).
  void Make(std::string command, const std::string& out) {
    for (const auto& [key, value] :
         {std::pair<std::string, std::string>{"RGB", rgbSource_}, {"GREY", greySource_}, {"OUT", out}}) {
      for (std::size_t at; (at = command.find(key)) != std::string::npos;)
        command.replace(at, key.size(), ShellPath(value));
    }
    ASSERT_EQ(RunCommand(command), 0) << command;
  }
  // What djpeg, with the library's default settings, makes of `file`.
  RgbImage Djpeg(const std::string& file) {
    Make("djpeg -pnm -outfile OUT " + ShellPath(file), reference_);
    return ReadPnmAsRgb(reference_);
  }
  RgbImage ReadRgb(const std::string& file, int* error, uint32_t bandRows = 0) {
    ConverterImage image;
    *error = Jpeg().Read(file, image, bandRows);
    return *error == 0 ? ConverterImageAsRgb(image) : RgbImage{};
  }

  TempDir dir_;
  std::string rgbSource_ = dir_.File("picture.ppm");
  std::string greySource_ = dir_.File("picture.pgm");
  std::string file_ = dir_.File("image.jpg");
  std::string reference_ = dir_.File("reference.pnm");
};

TEST_F(JpegTest, FilesOfOtherProgramsReadAsTheLibraryDecodesThem) {
  struct Case {
    const char* command;
    const char* formatName;
    int colorType;  // of the information record
    int bits;
  };
  // All pixel-exact: the reader and djpeg share the library and its
  // default DCT and upsampling, and CMYK goes to RGB the same way.
  const Case cases[] = {
      {"cjpeg -quality 90 -outfile OUT RGB", "JPEG baseline", CONV_COLOR_YCBCR, 24},
      {"cjpeg -quality 75 -sample 1x1 -outfile OUT RGB", "JPEG baseline", CONV_COLOR_YCBCR, 24},
      {"cjpeg -sample 2x2 -optimize -restart 1 -outfile OUT RGB", "JPEG baseline", CONV_COLOR_YCBCR, 24},
      {"cjpeg -progressive -quality 60 -outfile OUT RGB", "JPEG progressive", CONV_COLOR_YCBCR, 24},
      {"cjpeg -progressive -sample 1x1 -outfile OUT RGB", "JPEG progressive", CONV_COLOR_YCBCR, 24},
      {"cjpeg -grayscale -outfile OUT RGB", "JPEG baseline", CONV_COLOR_GRAY, 8},
      {"cjpeg -progressive -outfile OUT GREY", "JPEG progressive", CONV_COLOR_GRAY, 8},
      {"cjpeg -rgb -outfile OUT RGB", "JPEG baseline", CONV_COLOR_RGB, 24},
      {"cjpeg -arithmetic -outfile OUT RGB", "JPEG sequential, arithmetic", CONV_COLOR_YCBCR, 24},
      {"cjpeg -arithmetic -progressive -outfile OUT RGB", "JPEG progressive", CONV_COLOR_YCBCR, 24},
      {"convert RGB -colorspace CMYK -quality 85 OUT", "JPEG baseline", CONV_COLOR_CMYK, 32},
      {"convert RGB -interlace JPEG -quality 70 OUT", "JPEG progressive", CONV_COLOR_YCBCR, 24},
      {"convert GREY -quality 95 OUT", "JPEG baseline", CONV_COLOR_GRAY, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    Make(c.command, file_);
    RgbImage expected = Djpeg(file_);
    ASSERT_EQ(expected.width, kWidth);
    for (uint32_t bandRows : {0u, 1u, 7u}) {
      int error = -1;
      RgbImage image = ReadRgb(file_, &error, bandRows);
      ASSERT_EQ(error, 0) << "band " << bandRows;
      EXPECT_EQ(LargestDifference(image, expected), 0) << FirstDifference(image, expected);
    }
    ConvImageInfo info{};
    ASSERT_EQ(Jpeg().Info(file_, 0, &info), 0);
    EXPECT_STREQ(info.formatName, c.formatName);
    EXPECT_STREQ(info.compression, "JPEG");
    EXPECT_EQ(std::tuple(info.width, info.height, int{info.colorType}, int{info.bitsPerPixel}),
              std::tuple(kWidth, kHeight, c.colorType, c.bits));
  }
  // ImageMagick's own reading of its CMYK file agrees as well.
  Make("convert RGB -colorspace CMYK OUT", file_);
  Make("convert " + ShellPath(file_) + " OUT", reference_);
  int error = -1;
  RgbImage image = ReadRgb(file_, &error);
  ASSERT_EQ(error, 0);
  EXPECT_EQ(LargestDifference(image, ReadPnmAsRgb(reference_)), 0);
}

TEST_F(JpegTest, FourComponentFilesShowTheirInksOnWhite) {
  const std::vector<Ink> inks = {{0, 0, 0, 0},   {255, 0, 0, 0},     {0, 255, 0, 0},  {0, 0, 255, 0},
                                 {0, 0, 0, 255}, {128, 64, 32, 100}, {20, 200, 90, 0}};
  RgbImage expected{static_cast<uint32_t>(16 * inks.size()), 16, {}};
  for (int y = 0; y < 16; ++y) {
    for (const Ink& ink : inks) {
      for (int x = 0; x < 16; ++x) {
        for (uint8_t v : {ink.c, ink.m, ink.y})
          expected.rgb.push_back(static_cast<uint8_t>(((255 - v) * (255 - ink.k) + 127) / 255));
      }
    }
  }
  // Quality 100 keeps flat patches within a level or two of their inks
  // (YCCK adds a colour transform's rounding).
  const std::tuple<J_COLOR_SPACE, bool, int> cases[] = {
      {JCS_CMYK, true, 1}, {JCS_CMYK, false, 1}, {JCS_YCCK, true, 2}};
  for (const auto& [space, adobe, tolerance] : cases) {
    SCOPED_TRACE(testing::Message() << (space == JCS_YCCK ? "YCCK" : "CMYK")
                                    << (adobe ? " Adobe" : " plain"));
    WriteInkFile(file_, inks, space, adobe);
    int error = -1;
    RgbImage image = ReadRgb(file_, &error);
    ASSERT_EQ(error, 0);
    EXPECT_LE(LargestDifference(image, expected), tolerance) << FirstDifference(image, expected, tolerance);
    // djpeg takes every four-component file for an inverted one.
    if (adobe) EXPECT_EQ(LargestDifference(image, Djpeg(file_)), 0);
  }
}

// The picture in the manager's default write layout.
ConverterImage FromPnm(const std::string& pnm, bool grey) {
  RgbImage rgb = ReadPnmAsRgb(pnm);
  ConverterImage image;
  image.desc.width = rgb.width;
  image.desc.height = rgb.height;
  image.desc.colorType = grey ? CONV_COLOR_GRAY : CONV_COLOR_RGB;
  image.desc.bitsPerPixel = grey ? 8 : 24;
  for (auto at = rgb.rgb.begin(); at != rgb.rgb.end(); at += 3 * rgb.width)
    image.rows.emplace_back(at, at + 3 * rgb.width);
  if (grey) {
    for (Bytes& row : image.rows) {
      for (uint32_t x = 0; x < rgb.width; ++x) row[x] = row[3 * x];
      row.resize(rgb.width);
    }
  }
  return image;
}

TEST_F(JpegTest, WritesWithItsSettingsAndRefusesWhatItCannot) {
  ConverterDriver jpeg("imexp_jpeg");
  std::string ini = dir_.File("CONVERT.INI");
  jpeg.UseIni(ini);
  // Quality 100 leaves the rounding of the transform, and for colour of
  // the YCbCr conversion too (chroma is kept whole at that quality).
  for (const auto& [grey, tolerance] : {std::pair(true, 1), std::pair(false, 3)}) {
    SCOPED_TRACE(grey ? "grey" : "RGB");
    ConverterImage image = FromPnm(grey ? greySource_ : rgbSource_, grey);
    RgbImage source = ConverterImageAsRgb(image);
    WriteFileBytes(ini, "[JPEG]\nQuality=100\n");
    ASSERT_EQ(jpeg.Write(file_, image), 0);
    RgbImage decoded = Djpeg(file_);
    EXPECT_LE(LargestDifference(decoded, source), tolerance) << FirstDifference(decoded, source, tolerance);
    // Lower quality, smaller file: the key is held to 1 to 100, and one
    // missing or unreadable means 90.
    std::vector<std::size_t> sizes;
    for (const char* setting : {"Quality=0", "Quality=40", "", "Quality=x", "Quality=1000"}) {
      WriteFileBytes(ini, std::string("[jpeg]\n") + setting + "\n");
      ASSERT_EQ(jpeg.Write(file_, image), 0) << setting;
      sizes.push_back(ReadFileBytes(file_).size());
    }
    EXPECT_TRUE(sizes[0] < sizes[1] && sizes[1] < sizes[2] && sizes[2] == sizes[3] && sizes[3] < sizes[4]);
  }

  // The resolution becomes the JFIF density; none, square pixels.
  ConverterImage image = FromPnm(greySource_, true);
  using Resolution = std::tuple<int, uint32_t, uint32_t>;  // unit, x, y
  const std::pair<Resolution, Resolution> resolutions[] = {
      {{CONV_UNIT_DPI, 300, 150}, {CONV_UNIT_DPI, 300, 150}},
      {{CONV_UNIT_DPCM, 118, 70000}, {CONV_UNIT_DPCM, 118, 65535}},
      {{CONV_UNIT_DPI, 0, 300}, {CONV_UNIT_ASPECT, 1, 1}},
  };
  for (const auto& [given, read] : resolutions) {
    std::tie(image.desc.resUnit, image.desc.resX, image.desc.resY) = given;
    ASSERT_EQ(jpeg.Write(file_, image), 0);
    ConverterImage back;
    ASSERT_EQ(jpeg.Read(file_, back), 0);
    EXPECT_EQ(Resolution(back.desc.resUnit, back.desc.resX, back.desc.resY), read);
  }
  image.desc.colorType = CONV_COLOR_PALETTE;
  EXPECT_EQ(jpeg.Write(file_, image), CONV_ERR_ILLEGAL_CONVERSION);
  image.desc.colorType = CONV_COLOR_RGB;
  image.desc.bitsPerPixel = 24;
  image.desc.width = 20000;  // 60000 bytes a row
  EXPECT_EQ(jpeg.Write(file_, image), CONV_ERR_FILE_TOO_BIG);
  EXPECT_EQ(jpeg.Write("/dev/full", FromPnm(rgbSource_, false)), CONV_ERR_DISK_FULL);
}

// The SOF segment's height and width fields, big-endian.
void SetSize(std::string& file, uint16_t width, uint16_t height) {
  std::size_t sof = file.find("\xFF\xC0");
  if (sof == std::string::npos) sof = file.find("\xFF\xC2");
  if (sof == std::string::npos) sof = file.find("\xFF\xCA");  // progressive, arithmetic
  ASSERT_NE(sof, std::string::npos);
  file[sof + 5] = static_cast<char>(height >> 8);
  file[sof + 6] = static_cast<char>(height);
  file[sof + 7] = static_cast<char>(width >> 8);
  file[sof + 8] = static_cast<char>(width);
}

TEST_F(JpegTest, CutFilesFailAndNeverPassForWhole) {
  for (const char* command : {"cjpeg -outfile OUT RGB", "cjpeg -progressive -outfile OUT RGB",
                              "cjpeg -arithmetic -outfile OUT GREY"}) {
    SCOPED_TRACE(command);
    Make(command, file_);
    std::string whole = ReadFileBytes(file_);
    int error = -1;
    RgbImage full = ReadRgb(file_, &error);
    ASSERT_EQ(error, 0);
    // Without its end marker a Huffman-coded file is still whole.
    std::size_t first =
        std::string(command).find("arithmetic") == std::string::npos ? whole.size() - 2 : whole.size();
    for (std::size_t size = 0; size < whole.size(); ++size) {
      WriteFileBytes(file_, whole.substr(0, size));
      RgbImage image = ReadRgb(file_, &error);
      if (size >= first) {
        EXPECT_EQ(error, 0) << size;
        EXPECT_EQ(image, full) << size;
      } else {
        EXPECT_NE(error, 0) << size;
      }
    }
  }
}

TEST_F(JpegTest, DamagedAndLyingFilesFailWithACode) {
  Make("cjpeg -outfile OUT RGB", file_);
  std::string baseline = ReadFileBytes(file_);
  Make("cjpeg -progressive -outfile OUT GREY", file_);
  std::string progressive = ReadFileBytes(file_);
  Make("cjpeg -progressive -arithmetic -outfile OUT GREY", file_);
  std::string arithmetic = ReadFileBytes(file_);

  auto resized = [](std::string file, uint16_t width, uint16_t height) {
    SetSize(file, width, height);
    return file;
  };
  std::string precision = baseline;
  precision[precision.find("\xFF\xC0") + 4] = 12;
  const std::tuple<const char*, std::string, int> cases[] = {
      {"empty", "", CONV_ERR_UNKNOWN_FORMAT},
      {"no JPEG", "GIF89a", CONV_ERR_UNKNOWN_FORMAT},
      {"markers only", "\xFF\xD8\xFF\xD9", 22},
      {"header cut", baseline.substr(0, 30), CONV_ERR_END_OF_FILE},
      {"12-bit samples", precision, 22},
      {"wider than the manager takes", resized(progressive, 32513, 10), 21},
      {"rows too long", resized(baseline, 20000, 10), CONV_ERR_FILE_TOO_BIG},
      // Sizes the file's data cannot hold are refused before anything is
      // allocated for them...
      {"huge baseline", resized(baseline, 10000, 30000), CONV_ERR_END_OF_FILE},
      {"huge progressive", resized(progressive, 32000, 32000), CONV_ERR_END_OF_FILE},
      // ... and arithmetic coding, which needs no bit a block, meets the
      // memory limit of progressive coefficients.
      {"huge arithmetic", resized(arithmetic, 32000, 32000), CONV_ERR_NO_MEMORY},
  };
  for (const auto& [name, bytes, code] : cases) {
    WriteFileBytes(file_, bytes);
    ConverterImage image;
    EXPECT_EQ(Jpeg().Read(file_, image), code) << name;
  }
  EXPECT_NE(Jpeg().ErrorText(22, "photo.jpg").find("photo.jpg: Unsupported JPEG data precision 12"),
            std::string::npos)
      << Jpeg().ErrorText(22, "photo.jpg");

  // Flipped bytes: any code a broken file may earn, and a success
  // delivers every row (the ASan run checks the memory).
  // OK, end of file, unknown format, unsupported, too big, no memory, own codes
  const std::set<int> answers = {0, 1, 3, 5, 9, 2, 21, 22};
  unsigned seed = 11;
  auto next = [&seed](unsigned range) { return (seed = seed * 1103515245u + 12345u) / 65536 % range; };
  for (const std::string& good : {baseline, progressive, arithmetic}) {
    for (int round = 0; round < 150; ++round) {
      std::string bad = good;
      for (unsigned flips = next(6) + 1; flips > 0; --flips)
        bad[next(unsigned(bad.size()))] = char(next(256));
      WriteFileBytes(file_, bad);
      ConvImageInfo info{};
      int infoCode = Jpeg().Info(file_, 0, &info);
      ConverterImage image;
      int readCode = Jpeg().Read(file_, image, next(9));
      EXPECT_EQ(std::tuple(answers.count(infoCode), answers.count(readCode)), std::tuple(1u, 1u))
          << infoCode << " " << readCode;
      if (readCode == CONV_OK) EXPECT_EQ(image.rows.size(), image.desc.height);
    }
  }
}

TEST_F(JpegTest, RecordContentCheckAndTexts) {
  const ConverterDriver& jpeg = Jpeg();
  ASSERT_TRUE(jpeg.loaded());
  EXPECT_EQ(jpeg.Version(), 0x00030300u);
  ConvRecord record = jpeg.Record();
  EXPECT_STREQ(record.name, "JPEG");
  EXPECT_STREQ(record.description, "JPEG/JFIF");
  EXPECT_STREQ(record.extensions, "*.JPG;*.JPEG;*.JPE;*.JFIF");
  EXPECT_EQ(std::tuple(record.flags, record.writeFormats, int{record.writeResUnits}),
            std::tuple(0x1Fu, 0x084u, 0x0C));

  // Start of image, then any marker.
  for (const auto& [bytes, accepted] : {std::pair<std::string, bool>{"\xFF\xD8\xFF", true},
                                        {"\xFF\xD8\xFE", false},
                                        {"\xFF\xD8", false},
                                        {"", false}}) {
    WriteFileBytes(file_, bytes);
    EXPECT_EQ(jpeg.Check(file_), accepted) << testing::PrintToString(bytes);
  }
  ConvImageInfo info{};
  Make("cjpeg -outfile OUT RGB", file_);
  EXPECT_EQ(jpeg.Info(file_, 1, &info), CONV_ERR_WRONG_IMAGE_NUMBER);
  EXPECT_EQ(jpeg.ErrorText(21, "photo.jpg"), "The image in photo.jpg is wider or higher than 32512 pixels");
  EXPECT_EQ(jpeg.ErrorText(18, "photo.jpg"), "Wrong custom DLL version photo.jpg");
}

}  // namespace
}  // namespace imexp::test
