// The TIFF converter's settings, read by the reader and the writer and
// shown by the setup dialog.
#pragma once

#include <imexp/converter_settings.h>

#include <iterator>

namespace tiffconv {

// The writer's compression, in this order (the dialog's list follows it).
enum CompressionChoice { kNoCompression, kPackBits, kLzw, kDeflate, kCcittG4 };
inline constexpr imexp::conv::SettingChoice kCompressionChoices[] = {
    {"None", "uncompressed"}, {"PackBits", nullptr},     {"LZW", nullptr},
    {"Deflate", "zip"},       {"CCITT G4", "g4|group4"},
};
// CCITT G4 is for bilevel images; deeper ones, and unknown names, get LZW.
inline constexpr imexp::conv::ChoiceSetting kCompression{
    "TIFF", "Compression", kCompressionChoices, static_cast<int>(std::size(kCompressionChoices)), kLzw};
// What transparent pixels are laid over when read.
inline constexpr imexp::conv::ColorSetting kBackground{"TIFF", "Background", {}};

}  // namespace tiffconv
