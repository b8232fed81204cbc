#include "tools/imexp/user_messages.h"

#include <cstdio>

#include "tools/imexp/console_progress.h"

namespace imexp::cli {

namespace {

MessageCapture* g_capture = nullptr;

}  // namespace

void TellUser(const std::string& line) {
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
