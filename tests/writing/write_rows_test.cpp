// The bytes a writer receives for each host layout and each output layout it
// may ask for, and the palette it is given.
#include "tests/writing/write_fixture.h"

namespace imexp::test {
namespace {

struct RowCase {
  const char* what;
  int type;
  std::vector<std::vector<uint8_t>> palette;  // host palette entries
  int width;
  std::vector<uint8_t> row;  // the one host row
  std::string script;        // the writer's record and layout
  std::vector<uint8_t> expected;
  std::vector<std::vector<uint8_t>> expectedPalette;  // first entries given to the writer; empty: not checked
};

class WriteRowsTest : public WriteTest {
 protected:
  void SetUp() override { SetUpWriter(); }
};

TEST_F(WriteRowsTest, EveryStepAsTheWriterAsksForIt) {
  std::vector<std::vector<uint8_t>> colour16 = {{0, 0, 0}, {200, 100, 50}};
  for (int i = 2; i < 16; ++i) colour16.push_back({static_cast<uint8_t>(i), 0, static_cast<uint8_t>(i * 3)});
  std::vector<std::vector<uint8_t>> otherGreys16;
  for (int i = 0; i < 16; ++i)
    otherGreys16.push_back(
        {static_cast<uint8_t>(i * 10), static_cast<uint8_t>(i * 10), static_cast<uint8_t>(i * 10)});
  const RowCase cases[] = {
      {"1 to 4", HIT_BILEVEL, {}, 4, {0xB0}, "WriteFormats=0x002", {0xF0, 0xFF}, {{0, 0, 0}, {17, 17, 17}}},
      {"1 to 8", HIT_BILEVEL, {}, 4, {0xB0}, "WriteFormats=0x004", {255, 0, 255, 255}, {}},
      {"1 to 4 planes",
       HIT_BILEVEL,
       {},
       8,
       {0xA5},
       "WriteFormats=0x002\nWrite.planes=4\nWrite.bytesPerLine=1",
       {0xA5, 0xA5, 0xA5, 0xA5},
       {}},
      {"1 to 24", HIT_BILEVEL, {}, 2, {0x80}, "WriteFormats=0x080", {255, 255, 255, 0, 0, 0}, {}},
      {"1 to 24 planes",
       HIT_BILEVEL,
       {},
       2,
       {0x40},
       "WriteFormats=0x080\nWrite.planes=3\nWrite.bytesPerLine=2",
       {0, 255, 0, 255, 0, 255},
       {}},
      {"1 bit unpacked",
       HIT_BILEVEL,
       {},
       3,
       {0xA0},
       "WriteFormats=0x001\nWrite.packedPixels=0\nWrite.bytesPerLine=3",
       {255, 0, 255},
       {}},
      {"1 bit through a 256-colour palette",
       HIT_BILEVEL,
       {},
       3,
       {0x60},
       "WriteFormats=0x020",
       {0, 255, 255},
       {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}}},
      {"4 copied",
       HIT_PAL16,
       colour16,
       3,
       {0x12, 0x30},
       "WriteFormats=0x010",
       {0x12, 0x30},
       {{0, 0, 0}, {200, 100, 50}}},
      {"4 to 4 planes",
       HIT_PAL16,
       colour16,
       2,
       {0x9C},
       "WriteFormats=0x010\nWrite.planes=4\nWrite.bytesPerLine=1",
       {0x80, 0x00, 0x40, 0xC0},
       {}},
      {"4 to 8, odd width",
       HIT_PAL16,
       colour16,
       5,
       {0x12, 0x34, 0x50},
       "WriteFormats=0x020",
       {1, 2, 3, 4, 5},
       {}},
      {"straight ramp, 4 bits unpacked",
       HIT_PAL16,
       GreyRampEntries(16, false),
       3,
       {0x0F, 0x70},
       "WriteFormats=0x002\nWrite.packedPixels=0\nWrite.bytesPerLine=3",
       {0, 15, 7},
       {}},
      {"straight ramp, 4 to 8",
       HIT_PAL16,
       GreyRampEntries(16, false),
       2,
       {0x1F},
       "WriteFormats=0x004",
       {17, 255},
       {}},
      {"4 to 24, BGR",
       HIT_PAL16,
       colour16,
       1,
       {0x10},
       "WriteFormats=0x080\nWrite.bgrOrder=1",
       {50, 100, 200},
       {}},
      {"4 to 24, RGB", HIT_PAL16, colour16, 1, {0x10}, "WriteFormats=0x080", {200, 100, 50}, {}},
      {"4 to 24 planes",
       HIT_PAL16,
       colour16,
       2,
       {0x01},
       "WriteFormats=0x080\nWrite.planes=3\nWrite.bytesPerLine=2",
       {0, 200, 0, 100, 0, 50},
       {}},
      {"8 to 24", HIT_PAL256, colour16, 2, {1, 0}, "WriteFormats=0x100", {200, 100, 50, 0, 0, 0}, {}},
      {"8 to 24 planes",
       HIT_PAL256,
       colour16,
       2,
       {0, 1},
       "WriteFormats=0x100\nWrite.planes=3\nWrite.bytesPerLine=2",
       {0, 200, 0, 100, 0, 50},
       {}},
      {"grey 256 to 24", HIT_GRAY256, {}, 2, {7, 200}, "WriteFormats=0x200", {7, 7, 7, 200, 200, 200}, {}},
      {"24, RGB order", HIT_RGB24, {}, 1, {1, 2, 3}, "WriteFormats=0x080", {3, 2, 1}, {}},
      {"24, BGR order", HIT_RGB24, {}, 1, {1, 2, 3}, "WriteFormats=0x080\nWrite.bgrOrder=1", {1, 2, 3}, {}},
      {"24 planes",
       HIT_RGB24,
       {},
       2,
       {1, 2, 3, 4, 5, 6},
       "WriteFormats=0x080\nWrite.planes=3\nWrite.bytesPerLine=2",
       {3, 6, 2, 5, 1, 4},
       {}},
      // Grey palettes that are no straight ramp are written as their greys
      // when the writer is handed a ramp at the same depth.
      {"inverted ramp at 8 bits",
       HIT_PAL256,
       GreyRampEntries(256, true),
       3,
       {0, 10, 255},
       "WriteFormats=0x004",
       {255, 245, 0},
       {{0, 0, 0}, {1, 1, 1}}},
      {"other greys at 4 bits",
       HIT_PAL16,
       otherGreys16,
       3,
       {0x0F, 0x80},
       "WriteFormats=0x008",
       {0x09, 0x50},
       {{0, 0, 0}, {17, 17, 17}}},
      {"other greys at 8 bits", HIT_PAL256, otherGreys16, 2, {3, 15}, "WriteFormats=0x004", {30, 150}, {}},
  };
  for (const RowCase& c : cases) {
    Rescript(c.script);
    ReloadManager();  // the record is read when the manager is attached
    ScriptedWriteImage image;
    image.type = c.type;
    image.width = c.width;
    image.height = 1;
    image.rows = {c.row};
    for (std::size_t i = 0; i < c.palette.size(); ++i) {
      image.palette[i] = {c.palette[i][0], c.palette[i][1], c.palette[i][2], 0};
    }
    auto o = Write(image);
    ASSERT_EQ(o->result, 1) << c.what << (o->boxes.empty() ? "" : ": " + o->boxes[0].text);
    EXPECT_EQ(std::vector<uint8_t>(o->target.begin(), o->target.end()), c.expected) << c.what;
    if (!c.expectedPalette.empty()) {
      std::vector<uint8_t> planes = FromHex(Field(LinesWith(o->log, "WRSetupWriting")[0], "palette"));
      ASSERT_EQ(planes.size(), 768u) << c.what;
      for (std::size_t i = 0; i < c.expectedPalette.size(); ++i) {
        EXPECT_EQ(planes[i], c.expectedPalette[i][0]) << c.what << " entry " << i;
        EXPECT_EQ(planes[256 + i], c.expectedPalette[i][1]) << c.what << " entry " << i;
        EXPECT_EQ(planes[512 + i], c.expectedPalette[i][2]) << c.what << " entry " << i;
      }
    }
  }
}

TEST_F(WriteRowsTest, WidthsOneToSeventeenRoundTheRowEnds) {
  // Odd and even widths of every host type through the default layout: the
  // writer receives exactly the host's bits, rows from the top.
  Rescript("WriteFormats=0x3FF");
  ReloadManager();
  for (int type : {HIT_BILEVEL, HIT_PAL16, HIT_PAL256, HIT_GRAY256, HIT_RGB24}) {
    for (int width = 1; width <= 17; ++width) {
      ScriptedWriteImage image = FilledImage(type, width, 2);
      image.palette[1] = {1, 2, 3, 0};  // colour: 16 and 256 colours stay paletted
      auto o = Write(image);
      ASSERT_EQ(o->result, 1) << type << " x " << width;
      std::string expected;
      for (int r = 1; r >= 0; --r) expected.append(image.rows[r].begin(), image.rows[r].end());
      if (type == HIT_RGB24) {
        for (std::size_t i = 0; i + 2 < expected.size(); i += 3) std::swap(expected[i], expected[i + 2]);
      }
      EXPECT_EQ(o->target, expected) << type << " x " << width;
    }
  }
}

}  // namespace
}  // namespace imexp::test
