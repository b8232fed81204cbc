// Header and text-sample tokenising for the six PNM variants.
#include "pnm_format.h"

namespace pnm {

namespace {

bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool IsDigit(int c) { return c >= '0' && c <= '9'; }

// Comments may stand wherever whitespace may, in headers and text rasters.
void SkipComment(FileInput& input) {
  for (int c = input.Get(); c != -1 && c != '\n' && c != '\r'; c = input.Get()) {
  }
}

// Skips whitespace and comments; returns the next byte without taking it.
int SkipSeparators(FileInput& input) {
  for (;;) {
    int c = input.Peek();
    if (c == '#') {
      SkipComment(input);
    } else if (IsSpace(c)) {
      input.Get();
    } else {
      return c;
    }
  }
}

// A decimal number, saturating at `limit` so that lying headers cannot
// overflow anything downstream.
[[nodiscard]] int ReadNumber(FileInput& input, uint32_t limit, uint32_t* value) {
  int c = SkipSeparators(input);
  if (c == -1) return CONV_ERR_END_OF_FILE;
  if (!IsDigit(c)) return CONV_ERR_INVALID_FILE;
  uint32_t v = 0;
  while (IsDigit(c)) {
    uint32_t digit = static_cast<uint32_t>(c - '0');
    v = v > (limit - digit) / 10 ? limit : v * 10 + digit;
    input.Get();
    c = input.Peek();
  }
  *value = v;
  return CONV_OK;
}

}  // namespace

int ParseHeader(HFILE file, FileInput& input, PnmHeader* header) {
  input.Start(file, 0);
  PnmHeader h;
  if (input.Get() != 'P') return CONV_ERR_UNKNOWN_FORMAT;
  int digit = input.Get();
  if (digit < '1' || digit > '6') return CONV_ERR_UNKNOWN_FORMAT;
  h.kind = digit - '0';
  int c = input.Peek();
  if (!IsSpace(c) && c != '#') return CONV_ERR_UNKNOWN_FORMAT;

  // Anything above 65535 is wrong for every field; saturating there keeps
  // the range checks below simple.
  const uint32_t kLimit = 0x10000;
  uint32_t* fields[] = {&h.width, &h.height, &h.maxval};
  int count = h.Bilevel() ? 2 : 3;
  for (int i = 0; i < count; ++i) {
    if (int error = ReadNumber(input, kLimit, fields[i])) return error;
    c = input.Peek();
    if (c != -1 && !IsSpace(c) && c != '#') return CONV_ERR_INVALID_FILE;
  }
  if (h.width == 0 || h.height == 0) return CONV_ERR_INVALID_FILE;
  if (h.width > kMaxSide || h.height > kMaxSide) return kErrImageTooLarge;
  if (h.maxval == 0 || h.maxval > 0xFFFF) return kErrBadMaxval;

  // A binary raster starts right after one whitespace byte; taking more
  // would eat samples that happen to be whitespace codes.
  if (h.Binary()) {
    c = input.Get();
    if (c == -1) return CONV_ERR_END_OF_FILE;
    if (c == '#') SkipComment(input);
  }
  h.dataOffset = input.Offset();
  *header = h;
  return CONV_OK;
}

int ReadTextSample(FileInput& input, bool bilevel, uint32_t* value) {
  int c = SkipSeparators(input);
  if (c == -1) return CONV_ERR_END_OF_FILE;
  if (bilevel) {
    if (c != '0' && c != '1') return kErrBadSample;
    input.Get();
    *value = static_cast<uint32_t>(c - '0');
    return CONV_OK;
  }
  return ReadNumber(input, 0x10000, value) == CONV_OK ? int{CONV_OK} : kErrBadSample;
}

const char* FormatName(int kind) {
  static const char* const kNames[] = {"PBM text (P1)",   "PGM text (P2)",   "PPM text (P3)",
                                       "PBM binary (P4)", "PGM binary (P5)", "PPM binary (P6)"};
  return kind >= 1 && kind <= 6 ? kNames[kind - 1] : "PNM";
}

}  // namespace pnm
