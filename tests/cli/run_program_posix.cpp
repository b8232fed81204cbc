// Running a program on POSIX: fork and exec with stdout and stderr in files.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/cli/cli_support.h"

namespace imexp::test::cli {

std::string ImexpPath() { return NativePath(ExecutableDir() / "imexp"); }

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args) {
  TempDir dir;
  std::string outPath = dir.File("out");
  std::string errPath = dir.File("err");
  std::vector<std::string> words{program};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  RunResult result;
  pid_t child = fork();
  if (child == 0) {
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int nothing = open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || nothing < 0) _exit(127);
    dup2(nothing, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  if (child < 0) return result;
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
  }
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  result.crashed = WIFSIGNALED(status);
  result.out = ReadFileBytes(outPath);
  result.err = ReadFileBytes(errPath);
  return result;
}

}  // namespace imexp::test::cli
