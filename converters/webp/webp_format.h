// What the WebP converter's entry points share: its own error codes, the
// last reason libwebp gave, and the file read into memory.
#pragma once

#include <imexp/converter_settings.h>
#include <imexp/converter_support.h>

#include <webp/decode.h>

#include <cstdint>
#include <string>
#include <vector>

namespace webp {

using namespace imexp::conv;

// Our own error codes, worded in webp_converter.cpp.
inline constexpr int kErrImageTooLarge = kFirstOwnError;        // beyond what the manager takes
inline constexpr int kErrLibrary = kFirstOwnError + 1;          // libwebp's reason in the text
inline constexpr int kErrAnimated = kFirstOwnError + 2;         // animations are not read
inline constexpr int kErrTooLargeForWebP = kFirstOwnError + 3;  // beyond 16383 pixels

// libwebp's text for the last failure, for ConvGetErrorString.
std::string& LastReason();

// A decoder status as our code, remembering its reason.
[[nodiscard]] int DecoderError(VP8StatusCode status);

// Reads the RIFF container, as far as both its own size and the file's
// reach, into `bytes`; no more than `limit` bytes of it when given.
[[nodiscard]] int ReadContainer(HFILE file, std::vector<uint8_t>* bytes, uint64_t limit = UINT64_MAX);

// The container read and its features checked. `headOnly` reads only as
// much of the file as the features need, for questions without pixels.
[[nodiscard]] int ReadFeatures(HFILE file, std::vector<uint8_t>* bytes, WebPBitstreamFeatures* features,
                               bool headOnly = false);

}  // namespace webp
