#include "tests/support/test_image.h"

namespace imexp::test {

TestImage& TestImage::Set(const std::string& key, long long value) { return Set(key, std::to_string(value)); }

TestImage& TestImage::Set(const std::string& key, const std::string& value) {
  fields[key] = value;
  return *this;
}

TestImage& TestImage::Palette(const std::vector<std::vector<uint8_t>>& entries) {
  return Set("palette", HexBytes(PalettePlanes(entries)));
}

std::string TestImage::Bytes() const {
  std::string bytes = "IMEXPTEST\n";
  for (const auto& [key, value] : fields) bytes += key + "=" + value + "\n";
  bytes += "DATA\n";
  for (const auto& row : rows) bytes.append(row.begin(), row.end());
  return bytes;
}

std::vector<uint8_t> PalettePlanes(const std::vector<std::vector<uint8_t>>& entries) {
  std::vector<uint8_t> planes(768, 0);
  for (std::size_t i = 0; i < entries.size() && i < 256; ++i) {
    planes[i] = entries[i][0];
    planes[256 + i] = entries[i][1];
    planes[512 + i] = entries[i][2];
  }
  return planes;
}

std::string HexBytes(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (uint8_t b : bytes) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 15];
  }
  return hex;
}

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

}  // namespace imexp::test
