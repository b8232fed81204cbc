// The row stream between a conversion's reading and writing threads: every
// row arrives intact in any pair of orders, rows taken in the order they
// come are held in a window, a stop on either side ends both without a
// hang, and the write's last row waits for the read's end.
#include "tools/imexp/row_stream.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace imexp::cli {
namespace {

constexpr unsigned kWidth = 10;  // a grey row: 10 bytes
constexpr unsigned kHeight = 500;
constexpr std::size_t kWindowBytes = 16 * kWidth;  // 16 rows

uint8_t Pixel(unsigned row, unsigned x) { return static_cast<uint8_t>(row * 7 + x); }

// Host row k of a walk from the top (height - 1 down to 0) or the bottom.
unsigned RowAt(unsigned k, bool fromTop) { return fromTop ? kHeight - 1 - k : k; }

struct Sides {
  int read = 1;                  // what the read returns
  unsigned readRows = kHeight;   // rows the reader delivers before it ends
  unsigned writeRows = kHeight;  // rows the writer takes before it ends
  int written = 1;               // what the write returns
};

struct Outcome {
  std::vector<std::vector<uint8_t>> taken;
  bool stopped = false;
  bool readEndedBeforeLastRow = true;
  std::size_t mostHeld = 0;
};

Outcome Stream(bool readFromTop, bool writeFromTop, const Sides& run) {
  RowStream stream(kWindowBytes);
  Outcome outcome;
  std::atomic<bool> readEnded{false};
  std::thread writer([&] {
    if (!stream.WaitForImage()) return;
    int width = 0, height = 0;
    stream.source().GetImageSize(0, 0, &width, &height);
    std::vector<uint8_t> row(static_cast<std::size_t>(width));
    for (unsigned k = 0; k < run.writeRows && !stream.stopped(); ++k) {
      stream.source().GetRow(0, 0, static_cast<int>(RowAt(k, writeFromTop)), row.data());
      outcome.taken.push_back(row);
    }
    outcome.readEndedBeforeLastRow = run.writeRows < kHeight || readEnded;
    stream.EndWrite(run.written);
  });
  stream.receiver().SetImageSize(0, 0, kWidth, kHeight);
  stream.receiver().SetImageType(0, 0, HIT_GRAY256);
  std::vector<uint8_t> row(kWidth);
  for (unsigned k = 0; k < run.readRows && !stream.stopped(); ++k) {
    const unsigned hostRow = RowAt(k, readFromTop);
    for (unsigned x = 0; x < kWidth; ++x) row[x] = Pixel(hostRow, x);
    stream.receiver().PutRow(0, 0, static_cast<int>(hostRow), row.data());
  }
  readEnded = true;
  stream.EndRead(run.read);
  writer.join();
  outcome.stopped = stream.stopped();
  outcome.mostHeld = stream.mostRowsHeld();
  return outcome;
}

TEST(RowStream, EveryRowInEveryPairOfOrders) {
  for (bool readFromTop : {true, false}) {
    for (bool writeFromTop : {true, false}) {
      SCOPED_TRACE(std::string(readFromTop ? "read from the top" : "read from the bottom") + ", " +
                   (writeFromTop ? "written from the top" : "written from the bottom"));
      Outcome o = Stream(readFromTop, writeFromTop, {});
      EXPECT_FALSE(o.stopped);
      ASSERT_EQ(o.taken.size(), kHeight);
      for (unsigned k = 0; k < kHeight; ++k) {
        const unsigned hostRow = RowAt(k, writeFromTop);
        for (unsigned x = 0; x < kWidth; ++x) ASSERT_EQ(o.taken[k][x], Pixel(hostRow, x)) << hostRow;
      }
      // In one order a window is enough; in opposite orders every row waits.
      if (readFromTop == writeFromTop) {
        EXPECT_LE(o.mostHeld, kWindowBytes / kWidth);
      } else {
        EXPECT_EQ(o.mostHeld, kHeight);
      }
      EXPECT_TRUE(o.readEndedBeforeLastRow);
    }
  }
}

TEST(RowStream, AStopOnEitherSideEndsBoth) {
  struct Case {
    const char* what;
    Sides run;
  } cases[] = {
      {"the read fails half way", {0, kHeight / 2, kHeight, 1}},
      {"the read fails after its last row", {0, kHeight, kHeight, 1}},
      {"the read returns 1 with rows missing", {1, kHeight - 1, kHeight, 1}},
      {"the write fails half way", {1, kHeight, kHeight / 2, 0}},
      {"the write fails before its first row", {1, kHeight, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (bool sameOrder : {true, false}) {
      Outcome o = Stream(true, sameOrder, c.run);
      EXPECT_TRUE(o.stopped);
    }
  }
}

}  // namespace
}  // namespace imexp::cli
