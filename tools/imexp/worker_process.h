// A worker of a batch: this program started again, its standard input and
// output joined to the parent by pipes, one request and one answer at a
// time. Each message is a fixed number of fields, each written as its length
// in decimal, ':', its bytes and ',', so that a field may hold any byte a
// file name can (tabs and line ends included). The manager runs one
// operation at a time in a process, so a batch runs its conversions side by
// side in workers, never in threads.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/imexp/command_line.h"

namespace imexp::cli {

// One message of `fields` to `stream`; false when it could not be written.
[[nodiscard]] bool WriteMessage(std::FILE* stream, const std::vector<std::string>& fields);
// The next message of `count` fields from `stream`; false at its end or on
// anything that is not such a message.
[[nodiscard]] bool ReadMessage(std::FILE* stream, std::size_t count, std::vector<std::string>* fields);

class WorkerProcess {
 public:
  WorkerProcess() = default;
  ~WorkerProcess() { Finish(); }
  WorkerProcess(const WorkerProcess&) = delete;
  WorkerProcess& operator=(const WorkerProcess&) = delete;

  // Starts this program with `args` (after the program name). False when it
  // cannot be started.
  [[nodiscard]] bool Start(const Arguments& args);
  // One message to the worker, and its answer of `count` fields. False
  // once the worker is gone.
  [[nodiscard]] bool Send(const std::vector<std::string>& fields);
  [[nodiscard]] bool Receive(std::size_t count, std::vector<std::string>* fields);
  // Closes the worker's input, which ends it, and waits: its exit status,
  // or -1 when it was not running.
  int Finish();

 private:
  std::FILE* toWorker_ = nullptr;
  std::FILE* fromWorker_ = nullptr;
  std::intptr_t process_ = 0;  // the platform's process id or handle
  bool running_ = false;
  int WaitForExit();  // platform-specific
};

}  // namespace imexp::cli
