// Row steps for writing: every step against a per-byte reference over many
// widths with guard bytes around each plane, the step choice, the lookup
// preparation, and worked examples of the write path.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/kernel_paths.h"
#include "writing/write_row_steps.h"

namespace imexp {
namespace {

using Bytes = std::vector<uint8_t>;
using Planes = std::vector<Bytes>;

// As for the read converters: every partial byte, both sides of the per-call
// table threshold, around one block of the widest vector step, a wide odd row
// of more than 65535 true-colour bytes, and the widest row there is.
const std::vector<uint32_t> kWidths = {1,  2,  3,  4,  5,  6,  7,  8,   9,   10,  11,    12,   13,
                                       14, 15, 16, 17, 63, 64, 65, 255, 256, 257, 22003, 32512};
constexpr size_t kGap = 5;     // guard bytes between planes
constexpr size_t kGuard = 16;  // after the last

Bytes Random(size_t n, uint32_t seed) {
  std::mt19937 engine(seed);
  Bytes bytes(n);
  for (auto& b : bytes) b = static_cast<uint8_t>(engine());
  return bytes;
}

int Bit(const uint8_t* row, size_t x) { return (row[x / 8] >> (7 - x % 8)) & 1; }
int Nibble(const uint8_t* row, size_t x) { return x % 2 ? row[x / 2] & 15 : row[x / 2] >> 4; }

struct Lookups {
  Bytes grey = Random(256, 1);
  Bytes palette = Random(768, 2);
};

// Runs a step into a band of 0xFF, planes kGap bytes further apart than they
// reach, checks that every guard byte survived, and returns the planes.
Planes RunStep(WriteRowStep step, const Bytes& source, uint32_t width, uint32_t planes, size_t bytesPerPlane,
               const Lookups& lookups) {
  const size_t stride = bytesPerPlane + kGap;
  Bytes band((planes - 1) * stride + bytesPerPlane + kGuard, 0xFF);
  WriteRowState state{source.data(),
                      band.data(),
                      width,
                      uint32_t(planes > 1 ? stride : bytesPerPlane),  // a copy moves the row's bytes
                      lookups.grey.data(),
                      lookups.palette.data()};
  step(state);
  Planes out;
  for (size_t p = 0; p < planes; ++p) {
    out.emplace_back(band.begin() + p * stride, band.begin() + p * stride + bytesPerPlane);
    const size_t guardEnd = p + 1 < planes ? (p + 1) * stride : band.size();
    for (size_t i = p * stride + bytesPerPlane; i < guardEnd; ++i)
      EXPECT_EQ(band[i], 0xFF) << "after plane " << p;
  }
  return out;
}

// Byte i of plane k from the host row s of w pixels, written straight from
// the definition of each step.
struct StepCase {
  const char* name;
  WriteRowStep step;
  int sourceBits, outputBits;
  bool planar;
  int bgrOrder;
  int (*rule)(const uint8_t* s, const Lookups& l, size_t w, size_t k, size_t i);
};
int Full(int bit) { return bit ? 255 : 0; }
const StepCase kStepCases[] = {
    {"Write1To4", Write1To4, 1, 4, false, 0,
     [](auto s, auto&, auto, auto, auto i) {
       return (Bit(s, 2 * i) ? 0xF0 : 0) | (Bit(s, 2 * i + 1) ? 0x0F : 0);
     }},
    {"Write1To4Planar", Write1To4Planar, 1, 4, true, 0,
     [](auto s, auto&, auto, auto, auto i) -> int { return s[i]; }},
    {"Write1To8", Write1To8, 1, 8, false, 0,
     [](auto s, auto&, auto, auto, auto i) { return Full(Bit(s, i)); }},
    {"Write1To24", Write1To24, 1, 24, false, 0,
     [](auto s, auto&, auto, auto, auto i) { return Full(Bit(s, i / 3)); }},
    {"Write1To24Planar", Write1To24Planar, 1, 24, true, 0,
     [](auto s, auto&, auto, auto, auto i) { return Full(Bit(s, i)); }},
    // Plane k byte i: bit k of pixels 8i to 8i + 7, counting the pixel after
    // an odd last one (the low nibble of the last host byte) and 0 beyond.
    {"Write4To4Planar", Write4To4Planar, 4, 4, true, 0,
     [](auto s, auto&, auto w, auto k, auto i) {
       int byte = 0;
       for (size_t x = 8 * i; x < std::min(8 * i + 8, (w + 1) / 2 * 2); ++x)
         byte |= (Nibble(s, x) >> k & 1) << (7 - x % 8);
       return byte;
     }},
    {"Write4To8", Write4To8, 4, 8, false, 0,
     [](auto s, auto& l, auto, auto, auto i) -> int { return l.grey[Nibble(s, i)]; }},
    {"Write4To24", Write4To24, 4, 24, false, 0,
     [](auto s, auto& l, auto, auto, auto i) -> int { return l.palette[i % 3 * 256 + Nibble(s, i / 3)]; }},
    {"Write4To24Planar", Write4To24Planar, 4, 24, true, 0,
     [](auto s, auto& l, auto, auto k, auto i) -> int { return l.palette[k * 256 + Nibble(s, i)]; }},
    {"Write8To24", Write8To24, 8, 24, false, 0,
     [](auto s, auto& l, auto, auto, auto i) -> int { return l.palette[i % 3 * 256 + s[i / 3]]; }},
    {"Write8To24Planar", Write8To24Planar, 8, 24, true, 0,
     [](auto s, auto& l, auto, auto k, auto i) -> int { return l.palette[k * 256 + s[i]]; }},
    {"WriteSwapRGB", WriteSwapRGB, 24, 24, false, 0,
     [](auto s, auto&, auto, auto, auto i) -> int { return s[i - i % 3 + 2 - i % 3]; }},
    {"WriteRGBPlanar", WriteRGBPlanar, 24, 24, true, 0,
     [](auto s, auto&, auto, auto k, auto i) -> int { return s[3 * i + 2 - k]; }},
    {"WriteCopy 24", WriteCopy, 24, 24, false, 1,
     [](auto s, auto&, auto, auto, auto i) -> int { return s[i]; }},
    {"WriteCopy 1", WriteCopy, 1, 1, false, 0, [](auto s, auto&, auto, auto, auto i) -> int { return s[i]; }},
};

TEST(WriteRowStepsTest, StepsMatchReferenceWithinTheirPlanes) {
  const Lookups lookups;
  for (const StepCase& c : kStepCases) {
    for (uint32_t w : kWidths) {
      const std::string what = std::string(c.name) + " width " + std::to_string(w);
      const WriteStepChoice choice = ChooseWriteStep(c.sourceBits, c.outputBits, c.planar, c.bgrOrder, w);
      ASSERT_EQ(choice.convert, c.step) << what;
      // The host row is exactly its significant bytes: a read past it shows
      // up under ASan.
      const Bytes source = Random((size_t{w} * c.sourceBits + 7) / 8, w * 13 + c.sourceBits);
      std::vector<std::pair<std::string, WriteRowStep>> implementations = {{"chosen", c.step}};
      for (const auto& [name, path] : RunnablePaths())
        implementations.emplace_back(name, WriteStepOn(c.step, path));
      for (const auto& [path, step] : implementations) {
        const Planes out = RunStep(step, source, w, choice.planesWritten, choice.bytesPerPlane, lookups);
        for (size_t k = 0; k < out.size(); ++k) {
          for (size_t i = 0; i < out[k].size(); ++i)
            ASSERT_EQ(out[k][i], c.rule(source.data(), lookups, w, k, i))
                << what << " " << path << " plane " << k << " byte " << i;
        }
      }
    }
  }
}

TEST(WriteRowStepsTest, ChoiceReportsTheExtentWritten) {
  const struct {
    int sourceBits, outputBits;
    bool planar;
    int bgr;
    WriteRowStep step;
    uint32_t planes;
    uint64_t bytes;  // per plane, for 13 pixels
  } cases[] = {
      {1, 1, false, 0, WriteCopy, 1, 2},         {1, 4, false, 0, Write1To4, 1, 7},
      {1, 4, true, 0, Write1To4Planar, 4, 2},    {1, 8, true, 0, Write1To8, 1, 13},
      {1, 24, false, 0, Write1To24, 1, 39},      {1, 24, true, 0, Write1To24Planar, 3, 13},
      {4, 4, false, 0, WriteCopy, 1, 7},         {4, 4, true, 0, Write4To4Planar, 4, 2},
      {4, 8, true, 1, Write4To8, 1, 13},         {4, 24, false, 1, Write4To24, 1, 39},
      {4, 24, true, 0, Write4To24Planar, 3, 13}, {8, 24, false, 0, Write8To24, 1, 39},
      {8, 24, true, 0, Write8To24Planar, 3, 13}, {24, 24, false, 0, WriteSwapRGB, 1, 39},
      {24, 24, false, 7, WriteCopy, 1, 39},      {24, 24, true, 1, WriteRGBPlanar, 3, 13},
      {8, 8, false, 0, WriteCopy, 1, 13},        {8, 8, true, 0, WriteCopy, 1, 13},
      {24, 8, false, 0, WriteCopy, 1, 39},  // no such pair: the host row is copied whole
  };
  for (const auto& c : cases) {
    const WriteStepChoice choice = ChooseWriteStep(c.sourceBits, c.outputBits, c.planar, c.bgr, 13);
    EXPECT_EQ(choice.convert, c.step) << c.sourceBits << " to " << c.outputBits << " planar " << c.planar;
    EXPECT_EQ(choice.planesWritten, c.planes) << c.sourceBits << " to " << c.outputBits;
    EXPECT_EQ(choice.bytesPerPlane, c.bytes) << c.sourceBits << " to " << c.outputBits;
  }
  EXPECT_EQ(ChooseWriteStep(24, 24, false, 0, 30000).bytesPerPlane, 90000u);
}

Bytes Ramp(int n, int step) {
  Bytes r(n);
  for (int i = 0; i < n; ++i) r[i] = static_cast<uint8_t>(i * step);
  return r;
}

TEST(WriteRowStepsTest, LookupPreparation) {
  const Bytes red = Random(256, 4);
  const struct {
    int colorType, sourceBits, outputBits, effectiveBits;
    Bytes expected;  // the entries prepared; the rest keeps 0xEE
  } greyCases[] = {
      {0, 4, 8, 8, Ramp(16, 17)}, {0, 4, 4, 8, Ramp(16, 1)},
      {0, 1, 8, 8, {0, 255}},     {1, 4, 8, 8, Bytes(red.begin(), red.begin() + 16)},
      {1, 8, 8, 8, red},          {1, 4, 4, 8, Ramp(16, 1)},
      {2, 8, 8, 8, Ramp(256, 1)}, {0, 4, 4, 4, {}},  // packed: no lookup
  };
  for (const auto& c : greyCases) {
    Bytes grey(256, 0xEE), palette(768, 0xEE), expected = c.expected;
    expected.resize(256, 0xEE);
    PrepareWriteLookup(c.colorType, c.sourceBits, c.outputBits, c.effectiveBits, false, 0, red.data(),
                       grey.data(), palette.data());
    EXPECT_EQ(grey, expected) << c.colorType << " " << c.sourceBits << " to " << c.outputBits;
    EXPECT_EQ(palette, Bytes(768, 0xEE));
  }
  // At 24 bits: grey images get a ramp in all planes; a colour palette for a
  // blue-first single-plane converter has red and blue exchanged; the rest
  // is left alone, and so are the entries past the source's.
  const Bytes original = Random(768, 3);
  const struct {
    int colorType, sourceBits;
    bool planar;
    int bgr;
    int greyEntries, step, swappedEntries;
  } paletteCases[] = {{0, 4, false, 0, 16, 17, 0}, {0, 8, true, 1, 256, 1, 0}, {2, 4, false, 1, 0, 0, 16},
                      {2, 8, false, 1, 0, 0, 256}, {2, 8, true, 1, 0, 0, 0},   {2, 8, false, 0, 0, 0, 0},
                      {1, 8, false, 1, 0, 0, 0},   {3, 24, false, 1, 0, 0, 0}};
  for (const auto& c : paletteCases) {
    Bytes grey(256, 0xEE), palette = original, expected = original;
    for (int i = 0; i < c.greyEntries; ++i)
      expected[i] = expected[256 + i] = expected[512 + i] = uint8_t(i * c.step);
    for (int i = 0; i < c.swappedEntries; ++i) std::swap(expected[i], expected[512 + i]);
    PrepareWriteLookup(c.colorType, c.sourceBits, 24, 24, c.planar, c.bgr, red.data(), grey.data(),
                       palette.data());
    EXPECT_EQ(palette, expected) << c.colorType << " " << c.sourceBits;
    EXPECT_EQ(grey, Bytes(256, 0xEE));
  }
}

TEST(WriteRowStepsTest, WorkedExamples) {
  Lookups lookups;
  EXPECT_EQ(RunStep(Write1To4, {0xB0}, 4, 1, 2, lookups), (Planes{{0xF0, 0xFF}}));
  EXPECT_EQ(RunStep(Write1To8, {0xB0}, 4, 1, 4, lookups), (Planes{{255, 0, 255, 255}}));
  EXPECT_EQ(RunStep(Write1To4Planar, {0xA5}, 8, 4, 1, lookups), Planes(4, Bytes{0xA5}));
  EXPECT_EQ(RunStep(Write4To4Planar, {0x9C}, 2, 4, 1, lookups), (Planes{{0x80}, {0x00}, {0x40}, {0xC0}}));
  EXPECT_EQ(RunStep(WriteSwapRGB, {1, 2, 3}, 1, 1, 3, lookups), (Planes{{3, 2, 1}}));
  EXPECT_EQ(RunStep(WriteCopy, {1, 2, 3}, 1, 1, 3, lookups), (Planes{{1, 2, 3}}));
  EXPECT_EQ(RunStep(WriteRGBPlanar, {1, 2, 3}, 1, 3, 1, lookups), (Planes{{3}, {2}, {1}}));
  // A colour 16-colour image for a blue-first converter.
  lookups.palette[5] = 200, lookups.palette[256 + 5] = 100, lookups.palette[512 + 5] = 50;
  PrepareWriteLookup(2, 4, 24, 24, false, 1, nullptr, nullptr, lookups.palette.data());
  EXPECT_EQ(RunStep(Write4To24, {0x50}, 1, 1, 3, lookups), (Planes{{50, 100, 200}}));
  // A straight-ramp 16-colour image as unpacked 4-bit bytes: odd width 5
  // gives exactly five bytes, 0 to 15.
  PrepareWriteLookup(0, 4, 4, 8, false, 0, nullptr, lookups.grey.data(), nullptr);
  EXPECT_EQ(RunStep(Write4To8, {0x01, 0x2F, 0x4F}, 5, 1, 5, lookups), (Planes{{0, 1, 2, 15, 4}}));
  // A bilevel image for an unpacked 1-bit output gets whole bytes.
  EXPECT_EQ(ChooseWriteStep(1, 8, false, 0, 9).convert, Write1To8);
}

}  // namespace
}  // namespace imexp
