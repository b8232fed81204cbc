// Byte streams of a PCX page: the buffered, bounded input the decoder reads
// from, the buffered output the encoder writes to, and the run-length code
// itself. A run is a count byte (two top bits set, count in the low six)
// followed by the byte to repeat; any byte below 0xC0 stands for itself.
#pragma once

#include <imexp/converter.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pcx {

// Reads the bytes between two file offsets through a buffer. It seeks
// before every refill: the manager promises nothing about the file position
// between two of our calls.
class ByteInput {
 public:
  void Start(HFILE file, long offset, long end) {
    file_ = file;
    next_ = offset;
    end_ = end;
    pos_ = len_ = 0;
  }
  // The next byte, or -1 at the end of the stretch or on a read error.
  int Get() {
    if (pos_ == len_ && !Refill()) return -1;
    return buffer_[pos_++];
  }

 private:
  bool Refill();

  HFILE file_ = -1;
  long next_ = 0;
  long end_ = 0;
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
  std::array<uint8_t, 16384> buffer_{};
};

// Collects encoded bytes and writes them at a known file offset.
class ByteOutput {
 public:
  void Start(HFILE file, long offset) {
    file_ = file;
    offset_ = offset;
    pending_.clear();
  }
  void Append(const uint8_t* bytes, std::size_t count);
  std::vector<uint8_t>& pending() { return pending_; }
  bool Full() const { return pending_.size() >= 32768; }
  // CONV_ERR_DISK_FULL when the file takes fewer bytes than it was given.
  [[nodiscard]] int Flush();

 private:
  HFILE file_ = -1;
  long offset_ = 0;
  std::vector<uint8_t> pending_;
};

// Decodes one scan line of `count` bytes (all planes of the line; a run
// may carry on from one plane into the next). A run that reaches past the
// end of the line is an error: the line has no room for it.
[[nodiscard]] int DecodeLine(ByteInput& input, bool compressed, uint8_t* line, std::size_t count);

// Appends the run-length code of `count` bytes. Callers encode each plane
// on its own, so that decoders that expect runs to stop at plane
// boundaries read our files too.
void EncodeRuns(const uint8_t* bytes, std::size_t count, std::vector<uint8_t>& out);

}  // namespace pcx
