// The WebP converter's settings, read by the reader and the writer and
// shown by the setup dialog.
#pragma once

#include <imexp/converter_settings.h>

namespace webp {

// Lossy: the quality of the picture. Lossless: how hard the encoder works
// for a smaller file.
inline constexpr imexp::conv::NumberSetting kQuality{"WebP", "Quality", 90, 0, 100};
inline constexpr imexp::conv::NumberSetting kLossless{"WebP", "Lossless", 0, 0, 1};
// What transparent pixels are laid over when read.
inline constexpr imexp::conv::ColorSetting kBackground{"WebP", "Background", {}};

}  // namespace webp
