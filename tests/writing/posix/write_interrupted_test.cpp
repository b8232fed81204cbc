// A write killed at any moment leaves the old target intact. POSIX only:
// the test forks a writer process and kills it mid-write.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/writing/write_fixture.h"

namespace imexp::test {
namespace {

class WriteInterruptedTest : public WriteTest {
 protected:
  void SetUp() override { SetUpWriter("Write.maxBandRows=1\nWrite.sleepMs=20\nquiet=1"); }
};

TEST_F(WriteInterruptedTest, KilledWriterLeavesTheOldTarget) {
  for (int waitMs : {0, 30, 90}) {
    std::string target = setup_.dir().File("out.tw");
    WriteFileBytes(target, "the only copy");
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ScriptedWriteImage image = FilledImage(HIT_RGB24, 64, 100);
      int reserved = 0;
      std::string file = target;
      write_(&image, nullptr, file.data(), &reserved, nullptr, nullptr, 0);
      _exit(0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status)) << "the writer finished before it was killed (" << waitMs << " ms)";
    EXPECT_EQ(ReadFileBytes(target), "the only copy") << waitMs << " ms";
    // A left-over temporary file is all a kill can leave.
    for (const auto& entry : fs::directory_iterator(setup_.dir().path())) {
      std::string leaf = entry.path().filename().string();
      if (leaf.rfind("~cv", 0) == 0) fs::remove(entry.path());
    }
  }
}

}  // namespace
}  // namespace imexp::test
