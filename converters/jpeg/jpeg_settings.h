// The JPEG converter's settings, read by the writer and shown by the setup
// dialog.
#pragma once

#include <imexp/converter_settings.h>

namespace jpeg {

inline constexpr imexp::conv::NumberSetting kQuality{"JPEG", "Quality", 90, 1, 100};

}  // namespace jpeg
