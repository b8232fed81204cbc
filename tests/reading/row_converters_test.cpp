// Row converters for reading: every converter against a per-byte reference
// over many widths with guard bytes, the converter choice, and worked
// examples of the read path run through the converter table.
#include <gtest/gtest.h>
#include <imexp/host.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "reading/row_converters.h"
#include "tests/support/kernel_paths.h"

namespace imexp {
namespace {

using Bytes = std::vector<uint8_t>;

// 1 to 17 end on every partial byte; 63 to 65 straddle the width at which
// the lookup kernels switch to a per-call table; 255 to 257 end around one
// block of the widest vector step; 22003 is odd and its true-colour row needs
// more than 65535 bytes; 32512 is the widest row a descriptor may have.
const std::vector<size_t> kWidths = {1,  2,  3,  4,  5,  6,  7,  8,   9,   10,  11,    12,   13,
                                     14, 15, 16, 17, 63, 64, 65, 255, 256, 257, 22003, 32512};
constexpr size_t kGuard = 16;

Bytes Random(size_t n, uint32_t seed) {
  std::mt19937 engine(seed);
  Bytes bytes(n);
  // Every third byte zero, so that "non-zero" tests see both answers.
  for (auto& b : bytes) b = engine() % 3 ? static_cast<uint8_t>(engine()) : 0;
  return bytes;
}

// A kind's converter as the pipeline gets it, and as each implementation
// path this processor runs has it (the portable one everywhere).
template <typename Kind>
std::vector<std::pair<std::string, ReadRowConverter>> Implementations(Kind kind) {
  auto on = [kind](auto... path) {
    if constexpr (std::is_same_v<Kind, ReadStage1Kind>)
      return Stage1Converter(kind, path...);
    else
      return Stage2Converter(kind, path...);
  };
  std::vector<std::pair<std::string, ReadRowConverter>> all = {{"chosen", on()}};
  for (const auto& [name, path] : RunnablePaths()) all.emplace_back(name, on(path));
  return all;
}

int Bit(const uint8_t* row, size_t x) { return (row[x / 8] >> (7 - x % 8)) & 1; }
int PlaneValue(const uint8_t* s, size_t p, size_t x) {
  return Bit(s, x) | Bit(s + p, x) << 1 | Bit(s + 2 * p, x) << 2 | Bit(s + 3 * p, x) << 3;
}
size_t Bits(size_t w) { return (w + 7) / 8; }
size_t Nibbles(size_t w) { return (w + 1) / 2; }
size_t Same(size_t w) { return w; }
size_t Triples(size_t w) { return 3 * w; }

// Runs `convert` into a buffer of 0xFF and checks the `expected` extent and
// the untouched guard bytes after it.
void ExpectConverted(const std::function<void(uint8_t*)>& convert, const Bytes& expected,
                     const std::string& what) {
  Bytes out(expected.size() + kGuard, 0xFF);
  convert(out.data());
  for (size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(out[i], expected[i]) << what << " byte " << i;
  for (size_t i = expected.size(); i < out.size(); ++i) ASSERT_EQ(out[i], 0xFF) << what << " guard " << i;
}

// Output byte i of each converter, written straight from the definition of
// the layouts: source s of w pixels, planes p bytes apart.
struct Stage1Case {
  ReadStage1Kind kind;
  int planes;
  size_t (*sourceBytes)(size_t), (*outputBytes)(size_t);
  int (*rule)(const uint8_t* s, size_t p, size_t w, size_t i);
};
const Stage1Case kStage1Cases[] = {
    {kPackBytesToBits, 1, Same, Bits,
     [](auto s, auto, auto w, auto i) {
       int byte = 0;
       for (size_t x = 8 * i; x < std::min(w, 8 * i + 8); ++x) byte |= (s[x] != 0) << (7 - x % 8);
       return byte;
     }},
    {kUnpackBitsToBytes, 1, Bits, Same, [](auto s, auto, auto, auto i) { return Bit(s, i); }},
    {kPackBytesToNibbles, 1, Same, Nibbles,
     [](auto s, auto, auto w, auto i) {
       return (s[2 * i] * 16 & 0xFF) | (2 * i + 1 < w ? s[2 * i + 1] : 0);
     }},
    {kUnpackNibblesToBytes, 1, Nibbles, Same,
     [](auto s, auto, auto, auto i) { return i % 2 ? s[i / 2] & 15 : s[i / 2] >> 4; }},
    {kPlanesToNibbles, 4, Bits, Nibbles,
     [](auto s, auto p, auto, auto i) { return 16 * PlaneValue(s, p, 2 * i) + PlaneValue(s, p, 2 * i + 1); }},
    {kPlanesToBytes, 4, Bits, Same, [](auto s, auto p, auto, auto i) { return PlaneValue(s, p, i); }},
    {kBitsToNibbles, 1, Bits, Nibbles,
     [](auto s, auto, auto, auto i) { return 16 * Bit(s, 2 * i) + Bit(s, 2 * i + 1); }},
    {kPlanesToBGR, 3, Same, Triples,
     [](auto s, auto p, auto, auto i) -> int { return s[(2 - i % 3) * p + i / 3]; }},
};

TEST(RowConvertersTest, Stage1MatchesReferenceWithinItsRows) {
  for (const Stage1Case& c : kStage1Cases) {
    for (const auto& [path, convert] : Implementations(c.kind)) {
      for (size_t w : kWidths) {
        const std::string what =
            "kind " + std::to_string(c.kind) + " " + path + " width " + std::to_string(w);
        ASSERT_EQ(RowConverterSourceBytes(c.kind, kCopyRow, uint32_t(w)), c.sourceBytes(w)) << what;
        // Planes lie further apart than they reach and the last one ends the
        // buffer, so a read past any plane's extent shows up under ASan.
        const size_t stride = c.sourceBytes(w) + 3;
        const Bytes source = Random((c.planes - 1) * stride + c.sourceBytes(w), uint32_t(w * 31 + c.kind));
        Bytes expected(c.outputBytes(w));
        for (size_t i = 0; i < expected.size(); ++i)
          expected[i] = uint8_t(c.rule(source.data(), stride, w, i));
        ExpectConverted(
            [&](uint8_t* out) {
              ReadRowState state;
              state.source = source.data();
              state.intermediate = out;
              state.width = uint32_t(w);
              state.planeStride = uint32_t(stride);
              convert(state);
            },
            expected, what);
      }
    }
  }
}

// Host byte i from the stage-2 input and the palette planes.
struct Stage2Case {
  ReadStage2Kind kind;
  size_t (*hostBytes)(size_t), (*inputBytes)(size_t);
  int (*rule)(const uint8_t* in, const uint8_t* palette, size_t i);
};
const Stage2Case kStage2Cases[] = {
    {kCopyRow, Same, Same, [](auto in, auto, auto i) -> int { return in[i]; }},
    {kInvertRow, Bits, Bits, [](auto in, auto, auto i) { return ~in[i] & 0xFF; }},
    {kGreyLookup, Same, Same, [](auto in, auto pal, auto i) -> int { return pal[in[i]]; }},
    {kPaletteToBGR, Triples, Same,
     [](auto in, auto pal, auto i) -> int { return pal[(2 - i % 3) * 256 + in[i / 3]]; }},
    {kSwapRGB, Triples, Triples, [](auto in, auto, auto i) -> int { return in[i - i % 3 + 2 - i % 3]; }},
};

TEST(RowConvertersTest, Stage2MatchesReferenceWithinItsRows) {
  const Bytes palette = Random(768, 7);
  for (const Stage2Case& c : kStage2Cases) {
    for (const auto& [path, convert] : Implementations(c.kind)) {
      for (size_t w : kWidths) {
        const std::string what =
            "kind " + std::to_string(c.kind) + " " + path + " width " + std::to_string(w);
        const Bytes input = Random(c.inputBytes(w), uint32_t(w * 17 + c.kind));
        Bytes expected(c.hostBytes(w));
        for (size_t i = 0; i < expected.size(); ++i)
          expected[i] = uint8_t(c.rule(input.data(), palette.data(), i));
        ExpectConverted(
            [&](uint8_t* host) {
              ReadRowState state;
              state.stage2Input = input.data();
              state.host = host;
              state.palette = palette.data();
              state.width = uint32_t(w);
              state.hostBytes = uint32_t(expected.size());
              convert(state);
            },
            expected, what);
      }
    }
  }
  EXPECT_EQ(Stage1Converter(kNoStage1), nullptr);
}

// Expected choice per host type, as stage-1 kind x 10 + stage-2 kind; -1 refused.
struct LayoutCase {
  const char* name;
  uint16_t bits;
  int planar, packed, paletteFlag, inverted, bgr;
  int bilevel, pal16, pal256, gray256, rgb24;
};
const LayoutCase kLayoutCases[] = {
    {"A", 1, 0, 1, 0, 0, 0, 0, 70, 20, 22, 23},
    {"A inverted", 1, 0, 1, 0, 1, 0, 1, 70, 20, 22, 23},
    {"B", 1, 0, 0, 0, 0, 0, 10, 30, 0, 2, 3},
    {"C 2 bits", 2, 0, 0, 0, 0, 0, -1, 30, 0, 2, 3},
    {"C 3 bits", 3, 0, 0, 1, 0, 0, -1, 30, 0, 2, 3},
    {"D", 4, 0, 1, 0, 0, 0, -1, 0, 40, 42, 43},
    {"E", 4, 0, 0, 0, 0, 0, -1, 30, 0, 2, 3},
    {"F", 4, 1, 1, 0, 0, 0, -1, 50, 60, 62, 63},
    {"G 8 bits ramp", 8, 0, 0, 0, 1, 0, -1, -1, 0, 0, 3},
    {"G 8 bits palette", 8, 0, 1, 1, 0, 0, -1, -1, 0, 2, 3},
    {"G 6 bits packed", 6, 0, 1, 0, 0, 0, -1, -1, 0, 2, 3},
    {"H", 24, 0, 0, 0, 0, 0, -1, -1, -1, -1, 4},
    {"H blue first", 24, 0, 1, 0, 0, 1, -1, -1, -1, -1, 0},
    {"I", 24, 1, 0, 0, 0, 0, -1, -1, -1, -1, 80},
    {"2 bits packed", 2, 0, 1, 0, 0, 0, -1, -1, -1, -1, -1},
    {"3 bits planar", 3, 1, 0, 0, 0, 0, -1, -1, -1, -1, -1},
    {"4 planes not packed", 4, 1, 0, 0, 0, 0, -1, -1, -1, -1, -1},
    {"1 bit planar", 1, 1, 1, 0, 0, 0, -1, -1, -1, -1, -1},
    {"16 bits", 16, 0, 0, 0, 0, 0, -1, -1, -1, -1, -1},
    {"32 bits", 32, 0, 0, 0, 0, 0, -1, -1, -1, -1, -1},
};

TEST(RowConvertersTest, SelectFollowsTheLayoutAndHostTypeTables) {
  for (const LayoutCase& c : kLayoutCases) {
    const std::pair<int, int> hosts[] = {{HIT_BILEVEL, c.bilevel}, {HIT_PAL16, c.pal16},
                                         {HIT_PAL256, c.pal256},   {HIT_GRAY256, c.gray256},
                                         {HIT_RGB24, c.rgb24},     {3, -1}};
    for (const auto& [host, expected] : hosts) {
      ReadStage1Kind stage1 = kNoStage1;
      ReadStage2Kind stage2 = kCopyRow;
      const int result = SelectRowConverters(c.bits, c.planar, c.packed, c.paletteFlag, c.inverted, c.bgr,
                                             host, &stage1, &stage2);
      EXPECT_EQ(result ? stage1 * 10 + stage2 : -1, expected) << c.name << " host " << host;
    }
  }
}

TEST(RowConvertersTest, SourceBytesWithoutStage1FollowTheHostRow) {
  const struct {
    ReadStage2Kind stage2;
    int host;
    uint64_t bytes;  // for 30000 pixels
  } cases[] = {{kCopyRow, HIT_BILEVEL, 3750},
               {kInvertRow, HIT_BILEVEL, 3750},
               {kCopyRow, HIT_PAL16, 15000},
               {kCopyRow, HIT_GRAY256, 30000},
               {kGreyLookup, HIT_GRAY256, 30000},
               {kPaletteToBGR, HIT_RGB24, 30000},
               {kSwapRGB, HIT_RGB24, 90000},
               {kCopyRow, HIT_RGB24, 90000},
               {kCopyRow, 0, 90000}};  // host type not given: the widest reading
  for (const auto& c : cases) {
    EXPECT_EQ(RowConverterSourceBytes(kNoStage1, c.stage2, 30000, c.host), c.bytes)
        << c.stage2 << " " << c.host;
  }
}

// One row through the converters chosen for the layout, as a read runs it.
Bytes ReadRow(uint16_t bits, int planes, int packed, int paletteFlag, int inverted, int bgr, int host,
              uint32_t width, uint32_t bytesPerLine, const Bytes& source, const Bytes& palette = Bytes(768)) {
  ReadStage1Kind stage1 = kNoStage1;
  ReadStage2Kind stage2 = kCopyRow;
  EXPECT_EQ(
      SelectRowConverters(bits, planes != 1, packed, paletteFlag, inverted, bgr, host, &stage1, &stage2), 1);
  const uint32_t hostBits = host == HIT_BILEVEL ? 1 : host == HIT_PAL16 ? 4 : host == HIT_RGB24 ? 24 : 8;
  const uint32_t n = (width * hostBits + 7) / 8;
  Bytes intermediate(stage2 == kPaletteToBGR ? width : n), hostRow(n);
  ReadRowState state{source.data(),
                     intermediate.data(),
                     stage1 ? intermediate.data() : source.data(),
                     hostRow.data(),
                     palette.data(),
                     width,
                     n,
                     bytesPerLine};
  if (stage1 != kNoStage1) Stage1Converter(stage1)(state);
  Stage2Converter(stage2)(state);
  return hostRow;
}

TEST(RowConvertersTest, WorkedExamples) {
  // One byte per pixel packed for a bilevel host: the last byte keeps only
  // its top bit.
  EXPECT_EQ(ReadRow(1, 1, 0, 0, 0, 0, HIT_BILEVEL, 9, 9, {1, 0, 1, 0, 0, 0, 0, 0, 7}), (Bytes{0xA0, 0x80}));
  EXPECT_EQ(ReadRow(4, 1, 1, 0, 0, 0, HIT_PAL256, 3, 2, {0x12, 0x30}), (Bytes{1, 2, 3}));
  EXPECT_EQ(ReadRow(4, 1, 0, 0, 0, 0, HIT_PAL16, 3, 3, {1, 2, 3}), (Bytes{0x12, 0x30}));
  EXPECT_EQ(ReadRow(4, 4, 1, 0, 0, 0, HIT_PAL256, 1, 1, {0x80, 0x00, 0x80, 0x00}), (Bytes{5}));
  EXPECT_EQ(ReadRow(24, 3, 0, 0, 0, 0, HIT_RGB24, 1, 1, {10, 20, 30}), (Bytes{30, 20, 10}));
  EXPECT_EQ(ReadRow(24, 1, 0, 0, 0, 0, HIT_RGB24, 1, 3, {10, 20, 30}), (Bytes{30, 20, 10}));
  EXPECT_EQ(ReadRow(24, 1, 0, 0, 0, 1, HIT_RGB24, 1, 3, {30, 20, 10}), (Bytes{30, 20, 10}));
  // Inverted bilevel: every bit complemented, the padding bits too.
  EXPECT_EQ(ReadRow(1, 1, 1, 0, 1, 0, HIT_BILEVEL, 3, 1, {0xA0}), (Bytes{0x5F}));
  Bytes palette(768);
  for (int i = 0; i < 256; ++i)
    palette[i] = uint8_t(i ^ 0x5A), palette[256 + i] = uint8_t(3 * i), palette[512 + i] = uint8_t(~i);
  EXPECT_EQ(ReadRow(8, 1, 0, 1, 0, 0, HIT_RGB24, 2, 2, {7, 200}, palette),
            (Bytes{uint8_t(~7), 21, 7 ^ 0x5A, uint8_t(~200), uint8_t(600), 200 ^ 0x5A}));
  // A 4-bit grey palette that is no ramp: each pixel becomes its red value.
  EXPECT_EQ(ReadRow(4, 1, 1, 1, 0, 0, HIT_GRAY256, 2, 1, {0x3A}, palette), (Bytes{3 ^ 0x5A, 10 ^ 0x5A}));
}

}  // namespace
}  // namespace imexp
