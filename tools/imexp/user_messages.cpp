#include "tools/imexp/user_messages.h"

#include <cstdio>
#include <mutex>

#include "tools/imexp/console_progress.h"

namespace imexp::cli {

namespace {

MessageCapture* g_capture = nullptr;
// A conversion's reading and writing threads may both speak.
std::mutex g_speaking;

}  // namespace

void TellUser(const std::string& line) {
  std::lock_guard<std::mutex> lock(g_speaking);
  if (g_capture != nullptr) {
    g_capture->Add(line);
    return;
  }
  ClearProgressLine();
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}

MessageCapture::MessageCapture() : outer_(g_capture) { g_capture = this; }

MessageCapture::~MessageCapture() { g_capture = outer_; }

void MessageCapture::Add(const std::string& line) {
  if (!text_.empty()) text_ += "; ";
  text_ += line;
}

}  // namespace imexp::cli
