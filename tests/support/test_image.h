// Test image files for the scriptable test converter: a header of key=value
// lines that script the converter, then raw rows in the converter's layout.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace imexp::test {

struct TestImage {
  std::map<std::string, std::string> fields;
  std::vector<std::vector<uint8_t>> rows;  // top row first, planes x bytesPerLine bytes

  TestImage& Set(const std::string& key, long long value);
  TestImage& Set(const std::string& key, const std::string& value);
  // Palette entries (red, green, blue) from index 0 on; the rest stay 0.
  TestImage& Palette(const std::vector<std::vector<uint8_t>>& entries);
  std::string Bytes() const;
};

// Palette planes (red[256], green[256], blue[256]) from entries.
std::vector<uint8_t> PalettePlanes(const std::vector<std::vector<uint8_t>>& entries);
std::string HexBytes(const std::vector<uint8_t>& bytes);
std::vector<uint8_t> FromHex(const std::string& hex);

}  // namespace imexp::test
