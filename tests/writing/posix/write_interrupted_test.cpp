// A writer killed at any moment of a large write leaves the old target byte
// for byte, or, once the move has happened, the whole new one; a temporary
// file is the only trace. POSIX only: the writer is a forked process.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "tests/writing/write_fixture.h"

namespace imexp::test {
namespace {

constexpr int kWidth = 1000;
constexpr int kHeight = 1000;  // 3 MB, written row by row

// Where the writer is killed: before host row `row` is handed over (the
// progress update that follows it), before the first file call of kind
// `call`, or after the write has returned.
struct KillPoint {
  int row = -1;
  const char* call = nullptr;
};
KillPoint point;

int KillAtCall(const char* kind) {
  if (point.call != nullptr && std::strcmp(kind, point.call) == 0) raise(SIGKILL);
  return 0;
}

class KillingProgress final : public CProgress {
 public:
  int Begin() override { return 1; }
  int End() override { return 1; }
  int Update(int rowsDone, int) override {
    if (rowsDone == point.row) raise(SIGKILL);
    return 1;
  }
};

class WriteInterruptedTest : public WriteTest {
 protected:
  void SetUp() override { SetUpWriter("quiet=1"); }
};

TEST_F(WriteInterruptedTest, KilledWriterLeavesTheOldOrTheWholeNewTarget) {
  ScriptedWriteImage image = FilledImage(HIT_RGB24, kWidth, kHeight);
  std::string complete = Write(image)->target;
  ASSERT_EQ(complete.size(), std::size_t{kWidth} * 3 * kHeight);
  image.log = &image.ownLog;  // the outcome it logged into is gone
  std::vector<KillPoint> points;
  for (int k = 0; k < 46; ++k) points.push_back({k * (kHeight - 1) / 45, nullptr});
  for (const char* call : {"flush", "close", "replace"}) points.push_back({-1, call});
  points.push_back({});  // after the write
  ASSERT_EQ(points.size(), 50u);
  bool hooked = SetFileCallHook(&setup_.manager(), &KillAtCall);

  const std::string old = "the only copy";
  std::string target = setup_.dir().File("out.tw");
  for (const KillPoint& p : points) {
    SCOPED_TRACE(p.call       ? std::string("before ") + p.call
                 : p.row >= 0 ? "row " + std::to_string(p.row)
                              : "after");
    if (p.call != nullptr && !hooked) continue;
    WriteFileBytes(target, old);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      point = p;
      KillingProgress progress;
      int reserved = 0;
      std::string file = target;
      write_(&image, nullptr, file.data(), &reserved, &progress, nullptr, 0);
      raise(SIGKILL);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    bool moved = p.row < 0 && p.call == nullptr;
    EXPECT_TRUE(ReadFileBytes(target) == (moved ? complete : old));
    std::vector<std::string> traces;
    for (const auto& entry : fs::directory_iterator(setup_.dir().path())) {
      std::string leaf = entry.path().filename().string();
      if (leaf.rfind("~cv", 0) == 0) {
        traces.push_back(leaf);
        fs::remove(entry.path());
      }
    }
    EXPECT_EQ(traces, moved ? std::vector<std::string>{} : std::vector<std::string>{"~cv00000.tmp"});
  }
  SetFileCallHook(&setup_.manager(), nullptr);
}

}  // namespace
}  // namespace imexp::test
