#include "tools/imexp/worker_process.h"

namespace imexp::cli {

namespace {

// No field of ours comes near this: a path, or a conversion's messages.
constexpr std::size_t kLongestField = 1 << 20;

bool ReadField(std::FILE* stream, std::string* field) {
  std::size_t length = 0;
  int c = std::fgetc(stream);
  if (c < '0' || c > '9') return false;
  for (; c >= '0' && c <= '9'; c = std::fgetc(stream)) {
    length = length * 10 + static_cast<std::size_t>(c - '0');
    if (length > kLongestField) return false;
  }
  if (c != ':') return false;
  field->resize(length);
  if (length > 0 && std::fread(field->data(), 1, length, stream) != length) return false;
  return std::fgetc(stream) == ',';
}

}  // namespace

bool WriteMessage(std::FILE* stream, const std::vector<std::string>& fields) {
  std::string message;
  for (const std::string& field : fields) message += std::to_string(field.size()) + ":" + field + ",";
  return std::fwrite(message.data(), 1, message.size(), stream) == message.size() && std::fflush(stream) == 0;
}

bool ReadMessage(std::FILE* stream, std::size_t count, std::vector<std::string>* fields) {
  fields->assign(count, std::string());
  for (std::string& field : *fields) {
    if (!ReadField(stream, &field)) return false;
  }
  return true;
}

bool WorkerProcess::Send(const std::vector<std::string>& fields) {
  return toWorker_ != nullptr && WriteMessage(toWorker_, fields);
}

bool WorkerProcess::Receive(std::size_t count, std::vector<std::string>* fields) {
  return fromWorker_ != nullptr && ReadMessage(fromWorker_, count, fields);
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
