// The PNG converter's settings, read by the reader and the writer and shown
// by the setup dialog.
#pragma once

#include <imexp/converter_settings.h>

namespace png {

inline constexpr imexp::conv::NumberSetting kCompressionLevel{"PNG", "CompressionLevel", 6, 0, 9};
// What transparent pixels are laid over when read.
inline constexpr imexp::conv::ColorSetting kBackground{"PNG", "Background", {}};

}  // namespace png
