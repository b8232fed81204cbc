// Writer processes that reach the creation of their temporary file at the
// same moment, held there by the file-call hook until all have arrived:
// each still gets a file of its own, and each target is what a lone write
// gives. A name that is tested and then created would be taken by all of
// them. POSIX only: it forks writers from the loaded manager.
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "tests/writing/write_fixture.h"

namespace imexp::test {
namespace {

// Pipes of the meeting point: each writer says it has arrived, then waits
// for the word to go on.
int arrived[2];
int go[2];
bool met = false;

int MeetAtFirstCreate(const char* kind) {
  if (std::strcmp(kind, "create") == 0 && !met) {
    met = true;
    char byte = 1;
    if (write(arrived[1], &byte, 1) != 1 || read(go[0], &byte, 1) != 1) _exit(3);
  }
  return 0;
}

ScriptedWriteImage ImageOf(int writer) {
  ScriptedWriteImage image = FilledImage(HIT_RGB24, 300, 200);
  for (std::size_t r = 0; r < image.rows.size(); ++r) {
    for (std::size_t i = 0; i < image.rows[r].size(); ++i) {
      image.rows[r][i] = static_cast<uint8_t>(writer * 67 + r * 7 + i);
    }
  }
  return image;
}

class ConcurrentWritersTest : public WriteTest {
 protected:
  void SetUp() override { SetUpWriter("quiet=1"); }
};

TEST_F(ConcurrentWritersTest, WritersThatCreateAtOnceNeverShareATemporaryFile) {
  constexpr int kWriters = 4;
  constexpr int kRounds = 8;
  std::vector<std::string> expected;
  for (int k = 0; k < kWriters; ++k) {
    ScriptedWriteImage image = ImageOf(k);
    auto lone = Write(image, "out" + std::to_string(k) + ".tw");
    ASSERT_EQ(lone->result, 1);
    expected.push_back(lone->target);
  }
  if (!SetFileCallHook(&setup_.manager(), &MeetAtFirstCreate)) GTEST_SKIP() << "no file-call switch";
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    ASSERT_EQ(pipe(arrived), 0);
    ASSERT_EQ(pipe(go), 0);
    std::vector<pid_t> writers;
    for (int k = 0; k < kWriters; ++k) {
      std::string target = setup_.dir().File("out" + std::to_string(k) + ".tw");
      fs::remove(target);
      pid_t child = fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        ScriptedWriteImage image = ImageOf(k);
        int reserved = 0;
        _exit(write_(&image, nullptr, target.data(), &reserved, nullptr, nullptr, 0) == 1 ? 0 : 1);
      }
      writers.push_back(child);
    }
    char byte = 0;
    for (int k = 0; k < kWriters; ++k) ASSERT_EQ(read(arrived[0], &byte, 1), 1);
    for (int k = 0; k < kWriters; ++k) ASSERT_EQ(write(go[1], &byte, 1), 1);
    for (int k = 0; k < kWriters; ++k) {
      int status = 0;
      waitpid(writers[k], &status, 0);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer " << k;
      EXPECT_TRUE(ReadFileBytes(setup_.dir().path() / ("out" + std::to_string(k) + ".tw")) == expected[k])
          << "writer " << k;
    }
    for (int* ends : {arrived, go}) {
      close(ends[0]);
      close(ends[1]);
    }
    for (const auto& entry : fs::directory_iterator(setup_.dir().path())) {
      EXPECT_NE(entry.path().filename().string().rfind("~cv", 0), 0u) << entry.path();
    }
  }
  SetFileCallHook(&setup_.manager(), nullptr);
}

}  // namespace
}  // namespace imexp::test
