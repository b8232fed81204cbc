// Choosing the two row converters of a read, and the source extent they need.
#include <imexp/host.h>

#include "reading/row_converters.h"

namespace imexp {

namespace {

// The source layouts a row can have after the descriptor checks.
enum SourceLayout {
  kLayoutA,  // 1 bit, packed
  kLayoutB,  // 1 bit, one byte per pixel
  kLayoutC,  // 2 or 3 bits, one byte per pixel
  kLayoutD,  // 4 bits, packed
  kLayoutE,  // 4 bits, one byte per pixel
  kLayoutF,  // four 1-bit planes
  kLayoutG,  // 5 to 8 bits, one byte per pixel
  kLayoutH,  // 24 bits, one plane
  kLayoutI,  // 24 bits, three planes
  kNoLayout,
};

// Anything the layout table does not name is refused rather than guessed:
// the refused 2-, 3- and 4-bit forms, plane counts the descriptor checks
// already exclude, and depths of 9 to 23 or above 24 bits, whose rows would
// otherwise be handed to the host as if they were 24-bit colour.
SourceLayout ClassifySource(uint16_t bitsPerPixel, int planar, int packedPixels) {
  if (planar) {
    if (bitsPerPixel == 4) return packedPixels ? kLayoutF : kNoLayout;
    return bitsPerPixel == 24 ? kLayoutI : kNoLayout;
  }
  switch (bitsPerPixel) {
    case 1:
      return packedPixels ? kLayoutA : kLayoutB;
    case 2:
    case 3:
      return packedPixels ? kNoLayout : kLayoutC;
    case 4:
      return packedPixels ? kLayoutD : kLayoutE;
    case 24:
      return kLayoutH;
    default:
      return bitsPerPixel >= 5 && bitsPerPixel <= 8 ? kLayoutG : kNoLayout;
  }
}

// Stage-1 kind by layout and host group: HIT_BILEVEL, HIT_PAL16, one byte
// or more per pixel. kRefused marks pairs the host type choice never makes;
// they are refused so that no converter runs on a row it was not made for.
constexpr int kRefused = -1;
constexpr int kStage1ByLayout[kNoLayout][3] = {
    {kNoStage1, kBitsToNibbles, kUnpackBitsToBytes},     // A
    {kPackBytesToBits, kPackBytesToNibbles, kNoStage1},  // B
    {kRefused, kPackBytesToNibbles, kNoStage1},          // C
    {kRefused, kNoStage1, kUnpackNibblesToBytes},        // D
    {kRefused, kPackBytesToNibbles, kNoStage1},          // E
    {kRefused, kPlanesToNibbles, kPlanesToBytes},        // F
    {kRefused, kRefused, kNoStage1},                     // G
    {kRefused, kRefused, kNoStage1},                     // H (HIT_RGB24 only)
    {kRefused, kRefused, kPlanesToBGR},                  // I (HIT_RGB24 only)
};

// Bytes of one host row, without the 16-bit wrap of the original sizing: a
// wide true-colour row needs more than 65535 bytes. 0 for an unknown type.
uint64_t HostRowBytes(int hostType, uint32_t width) {
  switch (hostType) {
    case HIT_BILEVEL:
      return (uint64_t{width} + 7) / 8;
    case HIT_PAL16:
      return (uint64_t{width} * 4 + 7) / 8;
    case HIT_PAL256:
    case HIT_GRAY256:
      return width;
    case HIT_RGB24:
      return uint64_t{width} * 3;
    default:
      return 0;
  }
}

}  // namespace

int SelectRowConverters(uint16_t bitsPerPixel, int planar, int packedPixels, int paletteFlag,
                        int invertedFlag, int bgrOrder, int hostType, int* stage1Kind, int* stage2Kind) {
  const SourceLayout layout = ClassifySource(bitsPerPixel, planar, packedPixels);
  if (layout == kNoLayout) return 0;

  int group;
  int stage2;
  switch (hostType) {
    case HIT_BILEVEL:
      group = 0;
      stage2 = invertedFlag ? kInvertRow : kCopyRow;
      break;
    case HIT_PAL16:
      group = 1;
      stage2 = kCopyRow;
      break;
    case HIT_PAL256:
      group = 2;
      stage2 = kCopyRow;
      break;
    case HIT_GRAY256:
      group = 2;
      stage2 = paletteFlag || bitsPerPixel < 8 ? kGreyLookup : kCopyRow;
      break;
    case HIT_RGB24:
      group = 2;
      if (bitsPerPixel <= 8) {
        stage2 = kPaletteToBGR;
      } else {
        stage2 = bgrOrder == 0 && !planar ? kSwapRGB : kCopyRow;
      }
      break;
    default:
      return 0;
  }
  if ((layout == kLayoutH || layout == kLayoutI) && hostType != HIT_RGB24) return 0;
  const int stage1 = kStage1ByLayout[layout][group];
  if (stage1 == kRefused) return 0;
  *stage1Kind = stage1;
  *stage2Kind = stage2;
  return 1;
}

uint64_t RowConverterSourceBytes(int stage1Kind, int stage2Kind, uint32_t width, int hostType) {
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
