// Ctrl-C during a conversion. POSIX only: the Windows console control
// handler has no console to receive Ctrl-C from when run under wine.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>

#include "tests/cli/cli_support.h"

namespace imexp::test::cli {
namespace {

TEST(CliCancel, InterruptWhileWritingKeepsTheOldTarget) {
  TempDir dir;
  // Large enough, and written slowly enough (PNG's compression), that the
  // write lasts well beyond the moment its temporary file appears, even on
  // a loaded machine.
  Pixels big;
  big.width = 4000;
  big.height = 4000;
  big.rgb.resize(std::size_t{big.width} * big.height * 3);
  for (std::size_t i = 0; i < big.rgb.size(); ++i) big.rgb[i] = static_cast<uint8_t>(i * 7 / 3);
  std::string input = dir.File("big.ppm");
  WriteFileBytes(input, EncodePpm(big));
  fs::path outFolder = dir.path() / "out";
  fs::create_directory(outFolder);
  std::string target = NativePath(outFolder / "old.png");
  WriteFileBytes(target, "old");
  std::string errPath = dir.File("err");

  std::string program = ImexpPath();
  std::vector<std::string> words{program, "convert", input, target};
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t child = fork();
  if (child == 0) {
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(err, STDERR_FILENO);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  ASSERT_GT(child, 0);

  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  bool writing = false;
  int status = 0;
  while (!writing && std::chrono::steady_clock::now() < deadline) {
    writing = !LeftoverTemporaries(outFolder).empty();
    if (!writing && waitpid(child, &status, WNOHANG) == child) break;
  }
  ASSERT_TRUE(writing) << "the write never started";
  kill(child, SIGINT);
  ASSERT_EQ(waitpid(child, &status, 0), child);

  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_NE(ReadFileBytes(errPath).find("imexp: cancelled"), std::string::npos) << ReadFileBytes(errPath);
  EXPECT_EQ(ReadFileBytes(target), "old");
  EXPECT_EQ(LeftoverTemporaries(outFolder), std::vector<std::string>{});
}

}  // namespace
}  // namespace imexp::test::cli
