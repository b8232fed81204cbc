// Writer matching: the layouts a host image can be written in, the writer
// chosen for a name, the output layout, FindWriter and FillSaveFormatsInfo.
#include "tests/writing/write_fixture.h"

namespace imexp::test {
namespace {

// Host images of each colour class.
ScriptedWriteImage Image(int type, const std::vector<std::vector<uint8_t>>& palette = {}) {
  ScriptedWriteImage image = FilledImage(type, 3, 2);
  for (std::size_t i = 0; i < palette.size(); ++i) {
    image.palette[i] = {palette[i][0], palette[i][1], palette[i][2], 0};
  }
  return image;
}

// A write fixture to set up several times within one test.
struct WriteHarness : WriteTest {
  using WriteTest::fillFormats_;
  using WriteTest::SetUpManager;
  using WriteTest::Write;
  void TestBody() override {}
};

class WriteMatchingTest : public WriteTest {
 protected:
  // Ten writers, one per layout bit, writing *.B0 ... *.B9.
  void SetUp() override {
    std::vector<ConverterSpec> converters;
    for (int bit = 0; bit < 10; ++bit) {
      converters.push_back({"b" + std::to_string(bit), "Flags=0x02\nExtensions=*.B" + std::to_string(bit) +
                                                           "\nWriteFormats=" + std::to_string(1 << bit)});
    }
    SetUpManager(converters);
  }

  uint32_t Mask(ScriptedWriteImage& image) {
    uint32_t mask = 0;
    for (int bit = 0; bit < 10; ++bit) {
      std::string name = "x.b" + std::to_string(bit);
      if (findWriter_(&image, name.data())) mask |= 1u << bit;
    }
    return mask;
  }
};

TEST_F(WriteMatchingTest, LayoutMaskOfEveryImageClass) {
  std::vector<std::vector<uint8_t>> color = {{255, 0, 0}, {0, 255, 0}};
  std::vector<std::vector<uint8_t>> otherGreys16(16, {9, 9, 9});
  std::vector<std::vector<uint8_t>> colorLate16 = GreyRampEntries(16, false);
  colorLate16.push_back({1, 2, 3});  // entry 16 lies beyond what a 16-colour image uses
  struct Case {
    const char* what;
    ScriptedWriteImage image;
    uint32_t mask;
  } cases[] = {
      {"bilevel", Image(HIT_BILEVEL), 0x3FF},
      {"straight-ramp 16 colours", Image(HIT_PAL16, GreyRampEntries(16, false)), 0x3FE},
      {"inverted-ramp 16 colours", Image(HIT_PAL16, GreyRampEntries(16, true)), 0x3FC},
      {"other greys, 16 colours", Image(HIT_PAL16, otherGreys16), 0x3FC},
      {"colour, 16 colours", Image(HIT_PAL16, color), 0x3F0},
      {"grey ramp then colour, 16 colours", Image(HIT_PAL16, colorLate16), 0x3FE},
      {"straight-ramp 256 colours", Image(HIT_PAL256, GreyRampEntries(256, false)), 0x3EC},
      {"grey 256", Image(HIT_GRAY256), 0x3EC},
      {"colour, 256 colours", Image(HIT_PAL256, color), 0x3E0},
      {"true colour", Image(HIT_RGB24), 0x380},
  };
  for (Case& c : cases) EXPECT_EQ(Mask(c.image), c.mask) << c.what;

  // Only the paletted types are asked for their palette.
  for (int type : {HIT_BILEVEL, HIT_GRAY256, HIT_RGB24}) {
    ScriptedWriteImage image = Image(type);
    std::string name = "x.b9";
    findWriter_(&image, name.data());
    EXPECT_EQ(image.ownLog, std::vector<std::string>{"GetImageType"}) << type;
  }
  ScriptedWriteImage odd = Image(32);
  std::string name = "x.b9";
  EXPECT_EQ(findWriter_(&odd, name.data()), 0);
  EXPECT_EQ(findWriter_(nullptr, name.data()), 1);  // any image
  std::string noExtension = "noextension";
  EXPECT_EQ(findWriter_(nullptr, noExtension.data()), 0);
}

TEST(WriterChoiceTest, ListOrderWriterFlagAndOutputLayout) {
  struct Case {
    const char* what;
    std::vector<ConverterSpec> converters;
    int type;
    std::vector<std::vector<uint8_t>> palette;
    const char* writer;  // copy expected to write; "" for none
    int colorType, bits;
  } cases[] = {
      {"reader-only never chosen",
       {{"r", "Flags=0x11\nExtensions=*.X\nWriteFormats=0x3FF"},
        {"w", "Flags=0x02\nExtensions=*.X\nWriteFormats=0x3FF"}},
       HIT_RGB24,
       {},
       "w",
       3,
       24},
      {"first that qualifies wins",
       {{"w1", "Flags=0x02\nExtensions=*.X\nWriteFormats=0x080"},
        {"w2", "Flags=0x02\nExtensions=*.X\nWriteFormats=0x3FF"}},
       HIT_BILEVEL,
       {},
       "w1",
       3,
       24},
      {"true colour never to 0x07F",
       {{"p", "Flags=0x02\nExtensions=*.X\nWriteFormats=0x07F"}},
       HIT_RGB24,
       {},
       "",
       0,
       0},
      {"grey 1 bit before 1-bit colour palette",
       {{"a", "Flags=0x02\nExtensions=*.X\nWriteFormats=0x048"}},
       HIT_BILEVEL,
       {},
       "a",
       0,
       1},
      {"inverted ramp not to WF_GRAY4",
       {{"g4", "Flags=0x02\nExtensions=*.X\nWriteFormats=0x002"}},
       HIT_PAL16,
       GreyRampEntries(16, true),
       "",
       0,
       0},
      {"inverted ramp to WF_GRAY8",
       {{"g8", "Flags=0x02\nExtensions=*.X\nWriteFormats=0x004"}},
       HIT_PAL16,
       GreyRampEntries(16, true),
       "g8",
       0,
       8},
      {"bilevel through WF_PAL8",
       {{"p8", "Flags=0x02\nExtensions=*.X\nWriteFormats=0x020"}},
       HIT_BILEVEL,
       {},
       "p8",
       2,
       8},
      {"16 colours through WF_PAL_ANY",
       {{"pa", "Flags=0x02\nExtensions=*.X\nWriteFormats=0x040"}},
       HIT_PAL16,
       {{255, 0, 0}},
       "pa",
       2,
       4},
      {"RGB through any RGB bit",
       {{"r2", "Flags=0x02\nExtensions=*.X\nWriteFormats=0x100"}},
       HIT_PAL256,
       {{255, 0, 0}},
       "r2",
       3,
       24},
  };
  for (const Case& c : cases) {
    WriteHarness f;
    f.SetUpManager(c.converters);
    ScriptedWriteImage image = Image(c.type, c.palette);
    auto o = f.Write(image, "out.x");
    auto setup = LinesWith(o->log, "WRSetupWriting");
    if (c.writer[0] == '\0') {
      EXPECT_EQ(o->result, 0) << c.what;
      ASSERT_EQ(o->boxes.size(), 1u) << c.what;
      EXPECT_EQ(o->boxes[0].text, "No Suitable Formats for Save") << c.what;
      EXPECT_TRUE(setup.empty()) << c.what;
      continue;
    }
    EXPECT_EQ(o->result, 1) << c.what;
    ASSERT_EQ(setup.size(), 1u) << c.what;
    EXPECT_EQ(setup[0].substr(0, setup[0].find(' ')), c.writer) << c.what;
    EXPECT_EQ(Field(setup[0], "colorType"), std::to_string(c.colorType)) << c.what;
    EXPECT_EQ(Field(setup[0], "bitsPerPixel"), std::to_string(c.bits)) << c.what;
    EXPECT_EQ(Field(setup[0], "outputBits"), std::to_string(c.bits)) << c.what;
  }
}

TEST(SaveFormatsTest, SizeQueryAndFilling) {
  {
    WriteHarness f;
    f.SetUpManager({{"reader", "Flags=0x11\nDescription=Read only\nExtensions=*.R"}});
    char buffer[100];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(f.fillFormats_(nullptr, 0), 1);
    EXPECT_EQ(f.fillFormats_(buffer, 0), 1);
    EXPECT_EQ(f.fillFormats_(buffer, sizeof buffer), 0);
    EXPECT_EQ(buffer[0], '\0');
  }
  {
    WriteHarness f;
    f.SetUpManager({{"w", "Flags=0x02\nDescription=ABCD\nExtensions=*.AB\nWriteFormats=0"},
                    {"r", "Flags=0x01\nDescription=Reader\nExtensions=*.RD"}});
    EXPECT_EQ(f.fillFormats_(nullptr, 100), 11);  // 1 + 4 + 4 + 2, whatever the layouts
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(f.fillFormats_(buffer, 10), 0);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], 'x');
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(f.fillFormats_(buffer, 11), 1);
    EXPECT_EQ(std::string(buffer, 11), std::string("ABCD\0*.AB\0\0", 11));
    EXPECT_EQ(buffer[11], 'x');
  }
  {
    WriteHarness f;
    f.SetUpManager({{"a", "Flags=0x02\nDescription=One\nExtensions=*.1"},
                    {"b", "Flags=0x02\nDescription=Two\nExtensions=*.22"}});
    EXPECT_EQ(f.fillFormats_(nullptr, 0), 1 + 3 + 3 + 2 + 3 + 4 + 2);
    char buffer[64];
    EXPECT_EQ(f.fillFormats_(buffer, 12), 1);  // the second pair does not fit
    EXPECT_EQ(std::string(buffer, 9), std::string("One\0*.1\0\0", 9));
    EXPECT_EQ(f.fillFormats_(buffer, sizeof buffer), 2);
    EXPECT_EQ(std::string(buffer, 18), std::string("One\0*.1\0Two\0*.22\0\0", 18));
  }
}

}  // namespace
}  // namespace imexp::test
