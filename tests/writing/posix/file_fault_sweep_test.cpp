// Every file call that a read and a write make, failed in turn through the
// POSIX layer's file-call hook: the code and message, no leaked descriptor
// or memory, the target unchanged and no temporary file left. POSIX only:
// the real Windows file system cannot be told to fail a call.
#include <dirent.h>

#include <cerrno>

#include "tests/writing/write_fixture.h"

namespace imexp::test {
namespace {

// What the hook does: it records each call's kind and fails call number
// `failAt` (1 for the first) with `error`.
struct FaultPlan {
  int failAt = 0;
  int error = 0;
  std::vector<std::string> calls;
};
FaultPlan plan;

int FollowPlan(const char* kind) {
  plan.calls.push_back(kind);
  return static_cast<int>(plan.calls.size()) == plan.failAt ? plan.error : 0;
}

int OpenDescriptors() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
  }
  return count;
}

// The first call of `kind` in `calls`, counted from 1; 0 when there is none.
int CallNumber(const std::vector<std::string>& calls, const std::string& kind) {
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (calls[i] == kind) return static_cast<int>(i) + 1;
  }
  return 0;
}

class FileFaultSweepTest : public WriteTest {
 protected:
  void SetUp() override {
    SetUpWriter();
    read_ = setup_.manager().Get<ImExp_ReadFileFn>("ImExp_ReadFile");
    if (!SetFileCallHook(&setup_.manager(), &FollowPlan)) GTEST_SKIP() << "no file-call switch";
  }
  void TearDown() override { SetFileCallHook(&setup_.manager(), nullptr); }

  // Runs `operation` with call `failAt` failing; the calls made come back.
  template <typename Operation>
  std::vector<std::string> Run(int failAt, int error, Operation operation) {
    plan = FaultPlan{failAt, error, {}};
    operation();
    std::vector<std::string> calls = plan.calls;
    plan = FaultPlan{};
    return calls;
  }

  ImExp_ReadFileFn read_ = nullptr;
};

TEST_F(FileFaultSweepTest, EveryFileCallOfAWrite) {
  const std::string old = "the old image";
  ScriptedWriteImage image = FilledImage(HIT_RGB24, 5, 6);
  auto write = [&](const std::string& script) {
    Rescript(script);
    WriteFileBytes(setup_.dir().path() / "out.tw", old);
    return Write(image);
  };
  std::unique_ptr<WriteOutcome> lone;
  std::vector<std::string> good = Run(0, 0, [&] { lone = write(""); });
  ASSERT_EQ(lone->result, 1);
  ASSERT_EQ(good, (std::vector<std::string>{"create", "flush", "close", "replace"}));
  std::unique_ptr<WriteOutcome> refused;
  std::vector<std::string> failing = Run(0, 0, [&] { refused = write("Error.WRWriteBand=16@2"); });
  ASSERT_EQ(failing, (std::vector<std::string>{"create", "close", "delete"}));

  struct Case {
    const char* script;  // the writer's
    const char* call;
    int error;
    int result;
    std::string message;
    std::size_t leftovers;
  } cases[] = {
      {"", "create", EACCES, 0, "Cannot open file out.tw", 0},
      {"", "create", ENOSPC, 0, "Cannot open file out.tw", 0},
      // Another writer took ~cv00000.tmp between the two: the next number.
      {"", "create", EEXIST, 1, "", 0},
      {"", "flush", EIO, 0, "Disk full writing out.tw", 0},
      {"", "flush", ENOSPC, 0, "Disk full writing out.tw", 0},
      {"", "flush", EDQUOT, 0, "Disk quota exceeded writing out.tw", 0},
      {"", "flush", EFBIG, 0, "File size limit reached writing out.tw", 0},
      {"", "close", EIO, 0, "Disk full writing out.tw", 0},
      {"", "close", EDQUOT, 0, "Disk quota exceeded writing out.tw", 0},
      {"", "replace", EACCES, 0, "Disk full writing out.tw", 0},
      {"", "replace", EDQUOT, 0, "Disk quota exceeded writing out.tw", 0},
      // The failure path's own calls: a close that fails still lets the
      // file go; a delete that fails leaves it as the only trace.
      {"Error.WRWriteBand=16@2", "create", EACCES, 0, "Cannot open file out.tw", 0},
      {"Error.WRWriteBand=16@2", "close", EIO, 0, "tw says error 16 in 'out.tw'", 0},
      {"Error.WRWriteBand=16@2", "delete", EACCES, 0, "tw says error 16 in 'out.tw'", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.script) + " / " + c.call + " fails with errno " + std::to_string(c.error));
    const std::vector<std::string>& calls = c.script[0] == '\0' ? good : failing;
    int failAt = CallNumber(calls, c.call);
    ASSERT_NE(failAt, 0);
    int descriptors = OpenDescriptors();
    std::unique_ptr<WriteOutcome> o;
    Run(failAt, c.error, [&] { o = write(c.script); });
    EXPECT_EQ(o->result, c.result);
    if (c.message.empty()) {
      EXPECT_TRUE(o->boxes.empty());
      EXPECT_EQ(o->target, lone->target);
    } else {
      ASSERT_EQ(o->boxes.size(), 1u);
      EXPECT_EQ(o->boxes[0].text, c.message);
      EXPECT_EQ(o->target, old);
    }
    EXPECT_EQ(o->leftovers.size(), c.leftovers);
    bool setUp = !(std::string(c.call) == "create" && c.result == 0);
    EXPECT_EQ(LinesWith(o->log, "WRCleanUp").size(), setUp ? 1u : 0u);
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_FALSE(IsLibraryLoaded(setup_.dir().path() / SharedLibraryName("tw")));
    for (const std::string& leftover : o->leftovers) fs::remove(setup_.dir().path() / leftover);
  }
  // Every call site of both writes is failed by some case.
  for (const std::vector<std::string>* calls : {&good, &failing}) {
    for (const std::string& call : *calls) {
      bool covered = false;
      for (const Case& c : cases) covered |= call == c.call && (calls == &good) == (c.script[0] == '\0');
      EXPECT_TRUE(covered) << call;
    }
  }
}

TEST_F(FileFaultSweepTest, EveryFileCallOfARead) {
  TestImage file;
  file.Set("width", 2).Set("height", 2).Set("bitsPerPixel", 8);
  file.rows = {{1, 2}, {3, 4}};
  std::string path = setup_.dir().File("image.tw");
  WriteFileBytes(path, file.Bytes());
  auto read = [&](int* result) {
    RecordingImage image;
    capture_->Clear();
    std::string name = path;
    *result = read_(&image, nullptr, name.data(), HIT_GRAY256, nullptr, nullptr, 0);
  };
  int result = 0;
  std::vector<std::string> calls = Run(0, 0, [&] { read(&result); });
  ASSERT_EQ(result, 1);
  ASSERT_EQ(calls, (std::vector<std::string>{"open", "close"}));

  struct Case {
    const char* call;
    int error;
    int result;
    std::string message;
  } cases[] = {
      {"open", ENOENT, 0, "Cannot open file image.tw"},
      {"open", EACCES, 0, "Cannot open file image.tw"},
      {"open", EMFILE, 0, "Cannot open file image.tw"},
      // The image is in the host by then; a read-only file loses nothing.
      {"close", EIO, 1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.call) + " fails with errno " + std::to_string(c.error));
    int descriptors = OpenDescriptors();
    Run(CallNumber(calls, c.call), c.error, [&] { read(&result); });
    EXPECT_EQ(result, c.result);
    if (c.message.empty()) {
      EXPECT_TRUE(capture_->boxes().empty());
    } else {
      ASSERT_EQ(capture_->boxes().size(), 1u);
      EXPECT_EQ(capture_->boxes()[0].text, c.message);
    }
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_FALSE(IsLibraryLoaded(setup_.dir().path() / SharedLibraryName("tw")));
    EXPECT_EQ(ReadFileBytes(path), file.Bytes());
  }
}

}  // namespace
}  // namespace imexp::test
