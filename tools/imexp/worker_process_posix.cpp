#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "tools/imexp/worker_process.h"

extern char** environ;

namespace imexp::cli {

bool WorkerProcess::Start(const Arguments& args) {
  // Every end is close-on-exec, so that no worker holds another's pipes
  // (its input would then never reach its end); the two the worker needs
  // are duplicated onto its standard input and output.
  int request[2];
  int answer[2];
  if (pipe2(request, O_CLOEXEC) != 0) return false;
  if (pipe2(answer, O_CLOEXEC) != 0) {
    close(request[0]);
    close(request[1]);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, request[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, answer[1], STDOUT_FILENO);
  std::vector<std::string> strings{"imexp"};
  strings.insert(strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : strings) argv.push_back(s.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  int spawned = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(request[0]);
  close(answer[1]);
  if (spawned != 0) {
    close(request[1]);
    close(answer[0]);
    return false;
  }
  toWorker_ = fdopen(request[1], "w");
  fromWorker_ = fdopen(answer[0], "r");
  process_ = pid;
  running_ = true;
  return toWorker_ != nullptr && fromWorker_ != nullptr;
}

int WorkerProcess::WaitForExit() {
  int status = 0;
  while (waitpid(static_cast<pid_t>(process_), &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace imexp::cli
