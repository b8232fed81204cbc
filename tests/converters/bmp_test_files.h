// BMP files built byte by byte for the BMP converter's tests, so that every
// header field can be set to what a test needs, lies included.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/converter_driver.h"

namespace imexp::test {

struct BmpFields {
  uint32_t headerSize = 40;
  int32_t width = 1;
  int32_t height = 1;
  uint16_t bits = 8;
  uint32_t compression = 0;
  uint32_t colorsUsed = 0;
  int32_t ppmX = 0;
  int32_t ppmY = 0;
  std::vector<uint32_t> masks{};                  // inside a header of 52 bytes or more, else behind it
  std::vector<std::array<uint8_t, 3>> palette{};  // red, green, blue
  std::vector<uint8_t> pixels{};                  // the stored pixel data
  int64_t dataOffset = -1;                        // -1: right behind the palette
};

inline void PutBytes(std::string& file, std::size_t at, uint32_t value, int count) {
  for (int i = 0; i < count; ++i)
    file[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
}

inline std::string BuildBmp(const BmpFields& s) {
  std::string file(14 + s.headerSize, '\0');
  file[0] = 'B';
  file[1] = 'M';
  PutBytes(file, 14, s.headerSize, 4);
  if (s.headerSize == 12) {
    PutBytes(file, 18, static_cast<uint32_t>(s.width), 2);
    PutBytes(file, 20, static_cast<uint32_t>(s.height), 2);
    PutBytes(file, 22, 1, 2);
    PutBytes(file, 24, s.bits, 2);
  } else {
    PutBytes(file, 18, static_cast<uint32_t>(s.width), 4);
    PutBytes(file, 22, static_cast<uint32_t>(s.height), 4);
    PutBytes(file, 26, 1, 2);
    PutBytes(file, 28, s.bits, 2);
    const uint32_t fields[] = {s.compression, static_cast<uint32_t>(s.pixels.size()),
                               static_cast<uint32_t>(s.ppmX), static_cast<uint32_t>(s.ppmY), s.colorsUsed};
    for (uint32_t i = 0; i < 5 && 20 + 4 * i <= s.headerSize; ++i) PutBytes(file, 30 + 4 * i, fields[i], 4);
  }
  for (std::size_t i = 0; i < s.masks.size(); ++i) {
    if (s.headerSize >= 52) {
      PutBytes(file, 54 + 4 * i, s.masks[i], 4);
    } else {
      file.append(4, '\0');
      PutBytes(file, file.size() - 4, s.masks[i], 4);
    }
  }
  for (const auto& entry : s.palette) {
    file += static_cast<char>(entry[2]);
    file += static_cast<char>(entry[1]);
    file += static_cast<char>(entry[0]);
    if (s.headerSize != 12) file += '\0';
  }
  PutBytes(file, 10,
           s.dataOffset >= 0 ? static_cast<uint32_t>(s.dataOffset) : static_cast<uint32_t>(file.size()), 4);
  file.append(s.pixels.begin(), s.pixels.end());
  PutBytes(file, 2, static_cast<uint32_t>(file.size()), 4);
  return file;
}

// Rows as stored: each padded with zeros to a multiple of 4 bytes.
inline std::vector<uint8_t> StoredRows(const std::vector<std::vector<uint8_t>>& rows) {
  std::vector<uint8_t> out;
  for (const auto& row : rows) {
    out.insert(out.end(), row.begin(), row.end());
    out.resize((out.size() + 3) / 4 * 4, 0);
  }
  return out;
}

// Rows read by the driver, each in the default layout (packed pixels,
// red-green-blue), top row first.
inline std::vector<std::vector<uint8_t>> NormalRows(const ConverterImage& image) {
  std::vector<std::vector<uint8_t>> rows;
  for (const auto& row : image.rows) rows.push_back(FromConverterLayout(row, image.desc));
  return rows;
}

}  // namespace imexp::test
