#include "tools/imexp/row_stream.h"

#include <algorithm>
#include <cstring>

#include "pipeline/row_sizes.h"

namespace imexp::cli {

namespace {

// The fewest rows the window holds, however long the rows.
constexpr std::size_t kFewestWindowRows = 16;
// The blocks rows are carved from: four large pages.
constexpr std::size_t kBlockBytes = std::size_t{8} << 20;

}  // namespace

RowStream::RowStream(std::size_t windowBytes) : windowBytes_(windowBytes) {}

int RowStream::Receiver::SetImageSize(int, int, unsigned int width, unsigned int height) {
  stream_.width_ = width;
  stream_.height_ = height;
  std::lock_guard<std::mutex> lock(stream_.mutex_);
  stream_.rows_.clear();
  stream_.rows_.resize(height);
  stream_.delivered_.assign(height, false);
  return width == 0 || height == 0 ? 1 : 0;
}

int RowStream::Receiver::SetImageType(int, int, int imageType) {
  stream_.type_ = imageType;
  const uint32_t bits = HostTypeBits(imageType);
  stream_.rowBytes_ = static_cast<std::size_t>(PackedRowBytes(stream_.width_, bits));
  std::lock_guard<std::mutex> lock(stream_.mutex_);
  if (bits == 0 || stream_.rowBytes_ == 0) {
    stream_.Stop();
    return 0;
  }
  stream_.windowRows_ = std::max(kFewestWindowRows, stream_.windowBytes_ / stream_.rowBytes_);
  return 0;
}

int RowStream::Receiver::SetPalette(int, int, ImExpPaletteEntry* entries, int count) {
  if (entries == nullptr || count < 0) return 0;
  std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(count), stream_.palette_.size());
  std::copy(entries, entries + n, stream_.palette_.begin());
  return 0;
}

int RowStream::Receiver::SetResolution(int, int, int horizontal, int vertical) {
  stream_.resolutionX_ = horizontal;
  stream_.resolutionY_ = vertical;
  return 0;
}

int RowStream::Receiver::PutRow(int, int, int hostRow, unsigned char* row) {
  if (row == nullptr || hostRow < 0 || static_cast<unsigned>(hostRow) >= stream_.height_) {
    std::lock_guard<std::mutex> lock(stream_.mutex_);
    stream_.Stop();
    return 0;
  }
  stream_.Put(static_cast<unsigned>(hostRow), row);
  return 0;
}

void RowStream::Put(unsigned hostRow, const uint8_t* row) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (stopped_ || rowBytes_ == 0) return;
  uint8_t*& slot = rows_[hostRow];
  if (slot == nullptr) {
    slot = NewRow();
    if (slot == nullptr) {
      outOfMemory_ = true;
      Stop();
      return;
    }
    mostHeld_ = std::max(mostHeld_, ++held_);
  }
  std::memcpy(slot, row, rowBytes_);
  if (!delivered_[hostRow]) {
    delivered_[hostRow] = true;
    ++deliveredCount_;
  }
  // Only a writer that waits for this row, or for the image to be
  // described, is woken: a wake-up for every row would cost more than the
  // row.
  const bool wake = !described_ || wanted_ == static_cast<int>(hostRow);
  described_ = true;
  if (wake) changed_.notify_all();
  // A full window waits for the writer, unless the writer waits for a row
  // that is still to come.
  readerWaiting_ = true;
  changed_.wait(lock, [this] { return stopped_ || held_ < windowRows_ || WriterStarved(); });
  readerWaiting_ = false;
}

bool RowStream::WriterStarved() const {
  return wanted_ >= 0 && rows_[static_cast<unsigned>(wanted_)] == nullptr;
}

uint8_t* RowStream::NewRow() {
  if (!spare_.empty()) {
    uint8_t* row = spare_.back();
    spare_.pop_back();
    return row;
  }
  if (blockRowsLeft_ == 0) {
    const std::size_t rows = std::max<std::size_t>(1, kBlockBytes / rowBytes_);
    PixelMemory block = AllocatePixels(rows * rowBytes_);
    if (!block) return nullptr;
    blockNext_ = block.get();
    blockRowsLeft_ = rows;
    blocks_.push_back(std::move(block));
  }
  uint8_t* row = blockNext_;
  blockNext_ += rowBytes_;
  --blockRowsLeft_;
  return row;
}

int RowStream::Source::GetImageSize(int, int, int* width, int* height) {
  if (width != nullptr) *width = static_cast<int>(stream_.width_);
  if (height != nullptr) *height = static_cast<int>(stream_.height_);
  return 0;
}

int RowStream::Source::GetImageType(int, int, int* imageType) {
  if (imageType != nullptr) *imageType = stream_.type_;
  return 0;
}

int RowStream::Source::GetPalette(int, int, ImExpPaletteEntry* entries) {
  if (entries != nullptr) std::copy(stream_.palette_.begin(), stream_.palette_.end(), entries);
  return 0;
}

int RowStream::Source::GetResolution(int, int, int* horizontal, int* vertical) {
  if (horizontal != nullptr) *horizontal = stream_.resolutionX_;
  if (vertical != nullptr) *vertical = stream_.resolutionY_;
  return 0;
}

int RowStream::Source::GetRow(int, int, int hostRow, unsigned char* row) {
  if (row == nullptr || hostRow < 0 || static_cast<unsigned>(hostRow) >= stream_.height_) return 0;
  stream_.Take(static_cast<unsigned>(hostRow), row);
  return 0;
}

void RowStream::Take(unsigned hostRow, uint8_t* row) {
  std::unique_lock<std::mutex> lock(mutex_);
  wanted_ = static_cast<int>(hostRow);
  // A reader held by a full window goes on while the writer waits for a
  // row that has not come.
  if (readerWaiting_ && rows_[hostRow] == nullptr) changed_.notify_all();
  changed_.wait(lock, [&] { return rows_[hostRow] != nullptr || stopped_ || readEnded_; });
  wanted_ = -1;
  uint8_t*& slot = rows_[hostRow];
  if (slot == nullptr) {
    // The read ended without this row, or a side stopped: the writer's
    // progress ends the write.
    Stop();
    std::memset(row, 0, rowBytes_);
    return;
  }
  std::memcpy(row, slot, rowBytes_);
  spare_.push_back(slot);
  slot = nullptr;
  --held_;
  if (readerWaiting_) changed_.notify_all();
  // The last row waits for the read's own end.
  if (++takenCount_ == height_) changed_.wait(lock, [this] { return readEnded_ || stopped_; });
}

void RowStream::EndRead(int read) {
  std::lock_guard<std::mutex> lock(mutex_);
  readEnded_ = true;
  if (read == 0 || outOfMemory_ || height_ == 0 || deliveredCount_ != height_) Stop();
  changed_.notify_all();
}

void RowStream::EndWrite(int written) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (written == 0 && !stopped_) writeStoppedFirst_ = true;
  if (written == 0) Stop();
  changed_.notify_all();
}

bool RowStream::WaitForImage() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return described_ || readEnded_ || stopped_; });
  return described_ && !stopped_;
}

void RowStream::Stop() {
  stopped_ = true;
  changed_.notify_all();
}

bool RowStream::Complete() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return !outOfMemory_ && height_ > 0 && deliveredCount_ == height_;
}

unsigned RowStream::rowsDelivered() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return deliveredCount_;
}

bool RowStream::writeStoppedFirst() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return writeStoppedFirst_;
}

std::size_t RowStream::mostRowsHeld() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return mostHeld_;
}

}  // namespace imexp::cli
