#include "tests/support/recording_host.h"

#include <algorithm>
#include <cstring>

namespace imexp::test {

std::size_t HostRowSize(unsigned width, int imageType) {
  int bits = imageType == HIT_BILEVEL ? 1 : imageType == HIT_PAL16 ? 4 : imageType == HIT_RGB24 ? 24 : 8;
  return (std::size_t{width} * bits + 7) / 8;
}

int RecordingImage::SetImageSize(int, int, unsigned int w, unsigned int h) {
  log->push_back("SetImageSize " + std::to_string(w) + " " + std::to_string(h));
  width = w;
  height = h;
  return refuseSize;
}

int RecordingImage::SetImageType(int, int, int imageType) {
  log->push_back("SetImageType " + std::to_string(imageType));
  type = imageType;
  return 0;
}

int RecordingImage::SetPalette(int, int, ImExpPaletteEntry* entries, int count) {
  log->push_back("SetPalette " + std::to_string(count));
  palette.assign(entries, entries + count);
  return 0;
}

int RecordingImage::SetResolution(int, int, int horizontal, int vertical) {
  log->push_back("SetResolution " + std::to_string(horizontal) + " " + std::to_string(vertical));
  resolutionX = horizontal;
  resolutionY = vertical;
  return 0;
}

int RecordingImage::PutRow(int, int, int hostRow, unsigned char* row) {
  log->push_back("PutRow " + std::to_string(hostRow));
  if (rows.count(hostRow)) ++duplicateRows;
  rows[hostRow].assign(row, row + HostRowSize(width, type));
  return 0;
}

int RecordingProgress::Begin() {
  log_->push_back("Begin");
  return 0;
}

int RecordingProgress::End() {
  log_->push_back("End");
  return 0;
}

int RecordingProgress::Update(int rowsDone, int totalRows) {
  log_->push_back("Update " + std::to_string(rowsDone) + " " + std::to_string(totalRows));
  return ++updates_ == cancelAt ? 0 : 1;
}

int ScriptedWriteImage::GetImageSize(int, int, int* w, int* h) {
  log->push_back("GetImageSize");
  *w = width;
  *h = height;
  return 0;
}

int ScriptedWriteImage::GetImageType(int, int, int* imageType) {
  log->push_back("GetImageType");
  *imageType = type;
  return 0;
}

int ScriptedWriteImage::GetPalette(int, int, ImExpPaletteEntry* entries) {
  log->push_back("GetPalette");
  std::copy(palette.begin(), palette.begin() + 256, entries);
  return 0;
}

int ScriptedWriteImage::GetResolution(int, int, int* horizontal, int* vertical) {
  log->push_back("GetResolution");
  *horizontal = resolutionX;
  *vertical = resolutionY;
  return 0;
}

int ScriptedWriteImage::GetRow(int, int, int hostRow, unsigned char* row) {
  log->push_back("GetRow " + std::to_string(hostRow));
  const std::vector<uint8_t>& source = rows.at(static_cast<std::size_t>(hostRow));
  std::memcpy(row, source.data(), source.size());
  return 0;
}

}  // namespace imexp::test
