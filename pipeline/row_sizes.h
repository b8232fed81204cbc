// Row sizes that the read and write pipelines compute alike.
#pragma once

#include <imexp/host.h>

#include <cstdint>

namespace imexp {

// A host row buffer carries this many bytes behind the row, as hosts expect;
// a band whose rows go to or come from the host directly carries the same
// slack behind its last row.
inline constexpr uint32_t kHostRowSlack = 32;

// Bytes of a packed row of `width` pixels of `bits` each, in 64 bits: a wide
// true-colour row needs more than 65535 bytes.
constexpr uint64_t PackedRowBytes(uint32_t width, uint32_t bits) { return (uint64_t{width} * bits + 7) / 8; }

// Bits per pixel of a host image type (HIT_*), or 0 for none of the five.
constexpr uint32_t HostTypeBits(int hostType) {
  switch (hostType) {
    case HIT_BILEVEL:
      return 1;
    case HIT_PAL16:
      return 4;
    case HIT_PAL256:
    case HIT_GRAY256:
      return 8;
    case HIT_RGB24:
      return 24;
    default:
      return 0;
  }
}

// Bytes of one host row of `width` pixels of `hostType`; 0 for an unknown type.
constexpr uint64_t HostRowBytes(int hostType, uint32_t width) {
  return PackedRowBytes(width, HostTypeBits(hostType));
}

}  // namespace imexp
