// A converter's own settings: the keys it keeps in a section of its own in
// CONVERT.INI, whose full path every entry point receives as `iniPath`.
// Read as the platform's private-profile functions read them (section and
// key names without regard to case, blanks around names and values
// ignored, the first key of a name wins), so that a converter behaves the
// same whichever build of the manager loaded it.
//
// Header-only, like converter_support.h.
#pragma once

#include <imexp/converter.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace imexp::conv {

namespace settings_detail {

inline std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

inline bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

}  // namespace settings_detail

// The value of `key` in [section] of the file at `iniPath`, or `fallback`
// when the file, the section or the key is missing. Values are cut at 255
// characters, as a 256-byte profile buffer would cut them.
inline std::string ReadSetting(const char* iniPath, const char* section, const char* key,
                               const char* fallback) {
  constexpr std::size_t kValueLimit = 255;
  std::string result = fallback != nullptr ? fallback : "";
  if (iniPath == nullptr || *iniPath == '\0' || section == nullptr || key == nullptr) return result;
#ifdef _WIN32
  char buffer[kValueLimit + 1] = "";
  GetPrivateProfileStringA(section, key, result.c_str(), buffer, sizeof buffer, iniPath);
  return buffer;
#else
  std::FILE* file = std::fopen(iniPath, "rb");
  if (file == nullptr) return result;
  bool inSection = false;
  char line[1024];
  while (std::fgets(line, sizeof line, file) != nullptr) {
    std::string_view text = settings_detail::Trim(line);
    if (!text.empty() && text.front() == '[') {
      std::size_t close = text.find(']');
      inSection = close != std::string_view::npos &&
                  settings_detail::SameName(settings_detail::Trim(text.substr(1, close - 1)), section);
      continue;
    }
    std::size_t equals = text.find('=');
    if (!inSection || equals == std::string_view::npos) continue;
    if (!settings_detail::SameName(settings_detail::Trim(text.substr(0, equals)), key)) continue;
    result = std::string(settings_detail::Trim(text.substr(equals + 1)).substr(0, kValueLimit));
    break;
  }
  std::fclose(file);
  return result;
#endif
}

// A whole decimal number, blanks around it allowed; false for anything else.
inline bool ParseWholeNumber(const std::string& text, long* value) {
  std::string_view trimmed = settings_detail::Trim(text);
  if (trimmed.empty()) return false;
  std::string digits(trimmed);
  char* end = nullptr;
  *value = std::strtol(digits.c_str(), &end, 10);
  return end != digits.c_str() && *end == '\0';
}

// A whole decimal number from the settings, kept within [low, high]; the
// fallback when the key is missing or is no number.
inline int ReadIntSetting(const char* iniPath, const char* section, const char* key, int fallback, int low,
                          int high) {
  long value = 0;
  if (!ParseWholeNumber(ReadSetting(iniPath, section, key, ""), &value)) return fallback;
  if (value < low) return low;
  if (value > high) return high;
  return static_cast<int>(value);
}

// A colour written "red,green,blue" with each part 0 to 255; the fallback
// when the key is missing or malformed.
struct SettingColor {
  uint8_t red = 255;
  uint8_t green = 255;
  uint8_t blue = 255;
};

// "red,green,blue", blanks allowed around the parts; false for anything else.
inline bool ParseColor(const std::string& text, SettingColor* color) {
  unsigned parts[3] = {};
  char tail = 0;
  if (std::sscanf(text.c_str(), " %u , %u , %u %c", &parts[0], &parts[1], &parts[2], &tail) != 3)
    return false;
  if (parts[0] > 255 || parts[1] > 255 || parts[2] > 255) return false;
  *color = {static_cast<uint8_t>(parts[0]), static_cast<uint8_t>(parts[1]), static_cast<uint8_t>(parts[2])};
  return true;
}

inline std::string ColorText(SettingColor color) {
  return std::to_string(color.red) + "," + std::to_string(color.green) + "," + std::to_string(color.blue);
}

inline SettingColor ReadColorSetting(const char* iniPath, const char* section, const char* key,
                                     SettingColor fallback) {
  SettingColor color = fallback;
  return ParseColor(ReadSetting(iniPath, section, key, ""), &color) ? color : fallback;
}

// A converter's settings, each defined once: where it is kept, its default
// and the values it may take. The converter reads them with SettingValue;
// its setup dialog (<imexp/converter_dialogs.h>) shows and writes the same
// definitions.
struct NumberSetting {  // a whole number in [low, high]; 0 to 1 for a yes/no flag
  const char* section;
  const char* key;
  int fallback;
  int low;
  int high;
};

struct ColorSetting {
  const char* section;
  const char* key;
  SettingColor fallback;
};

struct SettingChoice {
  const char* name;     // as written to the file
  const char* aliases;  // other names accepted when reading, separated by '|'
};

struct ChoiceSetting {  // one of a list of names, compared without case, blanks or punctuation
  const char* section;
  const char* key;
  const SettingChoice* choices;
  int count;
  int fallback;  // the index of the default
};

inline int SettingValue(const char* iniPath, const NumberSetting& s) {
  return ReadIntSetting(iniPath, s.section, s.key, s.fallback, s.low, s.high);
}

inline SettingColor SettingValue(const char* iniPath, const ColorSetting& s) {
  return ReadColorSetting(iniPath, s.section, s.key, s.fallback);
}

namespace settings_detail {

inline std::string Folded(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (std::isalnum(static_cast<unsigned char>(c))) out.push_back(static_cast<char>(std::tolower(c)));
  }
  return out;
}

inline bool NamesChoice(const std::string& folded, const SettingChoice& choice) {
  if (folded == Folded(choice.name)) return true;
  std::string_view aliases = choice.aliases != nullptr ? choice.aliases : "";
  while (!aliases.empty()) {
    std::size_t bar = aliases.find('|');
    if (folded == Folded(aliases.substr(0, bar))) return true;
    aliases = bar == std::string_view::npos ? std::string_view() : aliases.substr(bar + 1);
  }
  return false;
}

}  // namespace settings_detail

// The index of the choice the settings name; the default for a missing or
// unknown name.
inline int SettingValue(const char* iniPath, const ChoiceSetting& s) {
  std::string folded = settings_detail::Folded(ReadSetting(iniPath, s.section, s.key, ""));
  for (int i = 0; i < s.count; ++i) {
    if (settings_detail::NamesChoice(folded, s.choices[i])) return i;
  }
  return s.fallback;
}

// A sample of `alpha` coverage (0 transparent, 255 opaque) laid over the
// background, rounded to the nearest level.
inline uint8_t OverBackground(uint8_t value, uint8_t alpha, uint8_t background) {
  unsigned mixed = unsigned{value} * alpha + unsigned{background} * (255u - alpha);
  return static_cast<uint8_t>((mixed + 127u) / 255u);
}

// A 16-bit sample reduced to 8 bits, rounded to the nearest level.
inline uint8_t Reduce16(uint16_t value) {
  return static_cast<uint8_t>((uint32_t{value} * 255u + 32767u) / 65535u);
}

}  // namespace imexp::conv
