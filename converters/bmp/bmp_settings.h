// The BMP converter's settings, read by the reader and shown by the setup
// dialog.
#pragma once

#include <imexp/converter_settings.h>

namespace imexp::bmp {

// What pixels of 16- and 32-bit images with an alpha mask are laid over.
inline constexpr imexp::conv::ColorSetting kBackground{"BMP", "Background", {}};

}  // namespace imexp::bmp
