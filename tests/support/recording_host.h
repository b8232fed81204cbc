// Host objects that record what the manager calls on them.
#pragma once

#include <imexp/host.h>

#include <map>
#include <string>
#include <vector>

namespace imexp::test {

// Receives an image and records every call, in order, as text:
// "SetImageSize 9 4", "SetImageType 2", "SetPalette 16", "SetResolution 72 72",
// "PutRow 3". The rows and the palette are kept.
class RecordingImage : public CAbstractReadWA {
 public:
  int Reserved1(int, int) override { return 0; }
  int Reserved2(int, int) override { return 0; }
  int SetImageSize(int, int, unsigned int width, unsigned int height) override;
  int SetImageType(int, int, int imageType) override;
  int SetPalette(int, int, ImExpPaletteEntry* entries, int count) override;
  int SetResolution(int, int, int horizontal, int vertical) override;
  int PutRow(int, int, int hostRow, unsigned char* row) override;

  std::vector<std::string>* log = &ownLog;  // may be shared with a progress object
  std::vector<std::string> ownLog;
  int refuseSize = 0;  // returned by SetImageSize
  unsigned width = 0, height = 0;
  int type = 0;
  std::vector<ImExpPaletteEntry> palette;
  int resolutionX = 0, resolutionY = 0;
  std::map<int, std::vector<uint8_t>> rows;  // host row -> its bytes
  int duplicateRows = 0;
};

// Records Begin, Update and End; cancels at the `cancelAt`-th Update (1-based).
class RecordingProgress : public CProgress {
 public:
  explicit RecordingProgress(std::vector<std::string>* log) : log_(log) {}
  int Begin() override;
  int End() override;
  int Update(int rowsDone, int totalRows) override;
  int cancelAt = 0;

 private:
  std::vector<std::string>* log_;
  int updates_ = 0;
};

// Supplies an image to be written and records every call.
class ScriptedWriteImage : public CAbstractWriteWA {
 public:
  int Reserved1(int, int) override { return 0; }
  int Reserved2(int, int) override { return 0; }
  int GetImageSize(int, int, int* width, int* height) override;
  int GetImageType(int, int, int* imageType) override;
  int GetPalette(int, int, ImExpPaletteEntry* entries) override;
  int GetResolution(int, int, int* horizontal, int* vertical) override;
  int GetRow(int, int, int hostRow, unsigned char* row) override;

  std::vector<std::string>* log = &ownLog;
  std::vector<std::string> ownLog;
  int width = 1, height = 1, type = HIT_RGB24;
  int resolutionX = 72, resolutionY = 72;
  std::vector<ImExpPaletteEntry> palette = std::vector<ImExpPaletteEntry>(256);
  std::vector<std::vector<uint8_t>> rows;  // host rows, index 0 = bottom row
};

// Bytes of one host row of the given type.
std::size_t HostRowSize(unsigned width, int imageType);

}  // namespace imexp::test
