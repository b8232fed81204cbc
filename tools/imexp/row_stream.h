// An image handed from a read on one thread to a write on another, row by
// row, so that a conversion takes about the longer of decoding and
// encoding rather than their sum. The write starts once the read has
// described the image (size, type, palette, resolution: all of it comes
// before the first row) and takes each row as soon as it has arrived.
//
// A row the write has taken is given back. When the writer asks for rows
// in the order the reader delivers them (both top to bottom, as JPEG, PNG,
// TIFF, GIF and PNM read and write), only a window of rows is held: the
// reader waits while the window is full and the writer has rows to take.
// In another order (a BMP read bottom to top written top to bottom) the
// rows wait until they are asked for, up to the whole image.
//
// The write is held at its last row until the read has ended, so that a
// read that fails after its last row (a checksum at the end of the file)
// still stops the write before it replaces its target. Either side that
// stops without success stops the other through its progress object.
#pragma once

#include <imexp/host.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "tools/imexp/pixel_memory.h"

namespace imexp::cli {

class RowStream {
 public:
  // Holds about `windowBytes` of rows while the orders agree.
  explicit RowStream(std::size_t windowBytes);
  RowStream(const RowStream&) = delete;
  RowStream& operator=(const RowStream&) = delete;

  CAbstractReadWA& receiver() { return receiver_; }
  CAbstractWriteWA& source() { return source_; }

  // Set once either side has stopped without success; the progress objects
  // of both then cancel.
  const std::atomic<bool>& stopped() const { return stopped_; }

  // The read has returned `read` (1 or 0). A read that returned 1 without
  // every row, or that the host could not store, stops the write.
  void EndRead(int read);
  // The write has returned `written` (1 or 0).
  void EndWrite(int written);
  // Waits until the image is described (true), or until the read has ended
  // or the stream has stopped first (false: there is nothing to write).
  [[nodiscard]] bool WaitForImage();

  // What the read left, for the checks after it.
  bool outOfMemory() const { return outOfMemory_; }
  bool Complete() const;
  unsigned rowsDelivered() const;
  unsigned height() const { return height_; }
  int hostType() const { return type_; }
  // True when the write failed while the read was going well: its failure,
  // not the read's cancel, is the one to report.
  bool writeStoppedFirst() const;
  // The most rows held at once, for the tests of the window.
  std::size_t mostRowsHeld() const;

 private:
  class Receiver final : public CAbstractReadWA {
   public:
    explicit Receiver(RowStream& stream) : stream_(stream) {}
    int Reserved1(int, int) override { return 0; }
    int Reserved2(int, int) override { return 0; }
    int SetImageSize(int, int, unsigned int width, unsigned int height) override;
    int SetImageType(int, int, int imageType) override;
    int SetPalette(int, int, ImExpPaletteEntry* entries, int count) override;
    int SetResolution(int, int, int horizontal, int vertical) override;
    int PutRow(int, int, int hostRow, unsigned char* row) override;

   private:
    RowStream& stream_;
  };
  class Source final : public CAbstractWriteWA {
   public:
    explicit Source(RowStream& stream) : stream_(stream) {}
    int Reserved1(int, int) override { return 0; }
    int Reserved2(int, int) override { return 0; }
    int GetImageSize(int, int, int* width, int* height) override;
    int GetImageType(int, int, int* imageType) override;
    int GetPalette(int, int, ImExpPaletteEntry* entries) override;
    int GetResolution(int, int, int* horizontal, int* vertical) override;
    int GetRow(int, int, int hostRow, unsigned char* row) override;

   private:
    RowStream& stream_;
  };

  void Put(unsigned hostRow, const uint8_t* row);
  void Take(unsigned hostRow, uint8_t* row);
  void Stop();  // with mutex_ held
  // The writer waits for a row that has not arrived: the reader must go on.
  bool WriterStarved() const;  // with mutex_ held
  // Room for one row: a spare one, else the next of the current block;
  // null when no memory is left. With mutex_ held.
  uint8_t* NewRow();

  Receiver receiver_{*this};
  Source source_{*this};
  const std::size_t windowBytes_;

  // Written by the read before its first row, read by the write after
  // WaitForImage: the first row's arrival orders them.
  unsigned width_ = 0;
  unsigned height_ = 0;
  int type_ = 0;
  std::size_t rowBytes_ = 0;
  std::array<ImExpPaletteEntry, 256> palette_{};
  int resolutionX_ = 0;
  int resolutionY_ = 0;
  bool outOfMemory_ = false;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::atomic<bool> stopped_{false};
  bool described_ = false;  // the first row has arrived
  bool readEnded_ = false;
  bool writeStoppedFirst_ = false;
  std::vector<uint8_t*> rows_;   // by host row; null until it arrives and after it is taken
  std::vector<bool> delivered_;  // rows the read has handed over
  std::vector<uint8_t*> spare_;  // rows given back, for the next to arrive
  // Rows are carved from blocks of pixel memory, laid out for large pages
  // where the system has them: fresh memory for every row would cost a
  // page fault every 4 KB, more than the conversion itself.
  std::vector<PixelMemory> blocks_;
  uint8_t* blockNext_ = nullptr;
  std::size_t blockRowsLeft_ = 0;
  unsigned deliveredCount_ = 0;
  unsigned takenCount_ = 0;
  std::size_t held_ = 0;
  std::size_t mostHeld_ = 0;
  std::size_t windowRows_ = 0;
  int wanted_ = -1;             // the row the writer waits for
  bool readerWaiting_ = false;  // the reader waits for room in the window
};

}  // namespace imexp::cli
