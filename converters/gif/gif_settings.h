// The GIF converter's settings, read by the reader and shown by the setup
// dialog.
#pragma once

#include <imexp/converter_settings.h>

namespace gif {

// What transparent pixels are laid over when read.
inline constexpr imexp::conv::ColorSetting kBackground{"GIF", "Background", {}};

}  // namespace gif
