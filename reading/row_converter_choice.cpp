// Choosing the two row converters of a read, and the source extent they need.
#include <imexp/host.h>

#include "pipeline/row_sizes.h"
#include "reading/row_converters.h"

namespace imexp {

namespace {

// The source layouts a row can have after the descriptor checks.
enum SourceLayout {
  kOneBitPacked,           // 1 bit, packed
  kOneBitPerByte,          // 1 bit, one byte per pixel
  kTwoOrThreeBitsPerByte,  // 2 or 3 bits, one byte per pixel
  kFourBitsPacked,         // 4 bits, packed
  kFourBitsPerByte,        // 4 bits, one byte per pixel
  kFourBitPlanes,          // four 1-bit planes
  kUpToEightBitsPerByte,   // 5 to 8 bits, one byte per pixel
  kRgbOnePlane,            // 24 bits, one plane
  kRgbThreePlanes,         // 24 bits, three planes
  kNoLayout,
};

// Anything the layout table does not name is refused rather than guessed:
// the refused 2-, 3- and 4-bit forms, plane counts the descriptor checks
// already exclude, and depths of 9 to 23 or above 24 bits, whose rows would
// otherwise be handed to the host as if they were 24-bit colour.
SourceLayout ClassifySource(uint16_t bitsPerPixel, int planar, int packedPixels) {
  if (planar) {
    if (bitsPerPixel == 4) return packedPixels ? kFourBitPlanes : kNoLayout;
    return bitsPerPixel == 24 ? kRgbThreePlanes : kNoLayout;
  }
  switch (bitsPerPixel) {
    case 1:
      return packedPixels ? kOneBitPacked : kOneBitPerByte;
    case 2:
    case 3:
      return packedPixels ? kNoLayout : kTwoOrThreeBitsPerByte;
    case 4:
      return packedPixels ? kFourBitsPacked : kFourBitsPerByte;
    case 24:
      return kRgbOnePlane;
    default:
      return bitsPerPixel >= 5 && bitsPerPixel <= 8 ? kUpToEightBitsPerByte : kNoLayout;
  }
}

// Host types by what a stage-1 step must produce for them.
enum HostGroup { kBitsGroup, kNibblesGroup, kBytesGroup, kHostGroups };

// Stage-1 kind by layout and host group: HIT_BILEVEL, HIT_PAL16, one byte
// or more per pixel. kRefused marks pairs the host type choice never makes;
// they are refused so that no converter runs on a row it was not made for.
constexpr int kRefused = -1;
constexpr int kStage1ByLayout[kNoLayout][kHostGroups] = {
    {kNoStage1, kBitsToNibbles, kUnpackBitsToBytes},     // kOneBitPacked
    {kPackBytesToBits, kPackBytesToNibbles, kNoStage1},  // kOneBitPerByte
    {kRefused, kPackBytesToNibbles, kNoStage1},          // kTwoOrThreeBitsPerByte
    {kRefused, kNoStage1, kUnpackNibblesToBytes},        // kFourBitsPacked
    {kRefused, kPackBytesToNibbles, kNoStage1},          // kFourBitsPerByte
    {kRefused, kPlanesToNibbles, kPlanesToBytes},        // kFourBitPlanes
    {kRefused, kRefused, kNoStage1},                     // kUpToEightBitsPerByte
    {kRefused, kRefused, kNoStage1},                     // kRgbOnePlane (HIT_RGB24 only)
    {kRefused, kRefused, kPlanesToBGR},                  // kRgbThreePlanes (HIT_RGB24 only)
};

}  // namespace

int SelectRowConverters(uint16_t bitsPerPixel, int planar, int packedPixels, int paletteFlag,
                        int invertedFlag, int bgrOrder, int hostType, ReadStage1Kind* stage1Kind,
                        ReadStage2Kind* stage2Kind) {
  const SourceLayout layout = ClassifySource(bitsPerPixel, planar, packedPixels);
  if (layout == kNoLayout) return 0;

  HostGroup group;
  ReadStage2Kind stage2;
  switch (hostType) {
    case HIT_BILEVEL:
      group = kBitsGroup;
      stage2 = invertedFlag ? kInvertRow : kCopyRow;
      break;
    case HIT_PAL16:
      group = kNibblesGroup;
      stage2 = kCopyRow;
      break;
    case HIT_PAL256:
      group = kBytesGroup;
      stage2 = kCopyRow;
      break;
    case HIT_GRAY256:
      group = kBytesGroup;
      stage2 = paletteFlag || bitsPerPixel < 8 ? kGreyLookup : kCopyRow;
      break;
    case HIT_RGB24:
      group = kBytesGroup;
      if (bitsPerPixel <= 8) {
        stage2 = kPaletteToBGR;
      } else {
        stage2 = bgrOrder == 0 && !planar ? kSwapRGB : kCopyRow;
      }
      break;
    default:
      return 0;
  }
  if ((layout == kRgbOnePlane || layout == kRgbThreePlanes) && hostType != HIT_RGB24) return 0;
  const int stage1 = kStage1ByLayout[layout][group];
  if (stage1 == kRefused) return 0;
  *stage1Kind = static_cast<ReadStage1Kind>(stage1);
  *stage2Kind = stage2;
  return 1;
}

uint64_t RowConverterSourceBytes(ReadStage1Kind stage1Kind, ReadStage2Kind stage2Kind, uint32_t width,
                                 int hostType) {
  const uint64_t pixels = width;
  switch (stage1Kind) {
    case kPackBytesToBits:
    case kPackBytesToNibbles:
    case kPlanesToBGR:
      return pixels;
    case kUnpackBitsToBytes:
    case kPlanesToNibbles:
    case kPlanesToBytes:
    case kBitsToNibbles:
      return (pixels + 7) / 8;
    case kUnpackNibblesToBytes:
      return (pixels + 1) / 2;
    case kNoStage1:
      break;
    default:
      return UINT64_MAX;  // no such converter: nothing can be long enough
  }
  // Stage 2 reads the source row itself.
  const uint64_t hostBytes = HostRowBytes(hostType, width);
  switch (stage2Kind) {
    case kCopyRow:
      return hostBytes ? hostBytes : 3 * pixels;
    case kInvertRow:
      return hostBytes ? hostBytes : (pixels + 7) / 8;
    case kGreyLookup:
      return hostBytes ? hostBytes : pixels;
    case kPaletteToBGR:
      return pixels;
    case kSwapRGB:
      return 3 * pixels;
    default:
      return UINT64_MAX;
  }
}

}  // namespace imexp
