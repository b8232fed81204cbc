#include "tools/imexp/worker_process.h"

namespace imexp::cli {

bool WorkerProcess::Send(const std::string& line) {
  if (toWorker_ == nullptr) return false;
  return std::fputs((line + "\n").c_str(), toWorker_) >= 0 && std::fflush(toWorker_) == 0;
}

bool WorkerProcess::Receive(std::string* line) {
  if (fromWorker_ == nullptr) return false;
  line->clear();
  for (int c; (c = std::fgetc(fromWorker_)) != EOF;) {
    if (c == '\n') {
      if (!line->empty() && line->back() == '\r') line->pop_back();
      return true;
    }
    line->push_back(static_cast<char>(c));
  }
  return false;
}

int WorkerProcess::Finish() {
  if (!running_) return -1;
  running_ = false;
  if (toWorker_ != nullptr) std::fclose(toWorker_);
  toWorker_ = nullptr;
  int status = WaitForExit();
  if (fromWorker_ != nullptr) std::fclose(fromWorker_);
  fromWorker_ = nullptr;
  return status;
}

}  // namespace imexp::cli
