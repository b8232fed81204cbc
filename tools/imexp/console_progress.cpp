#include "tools/imexp/console_progress.h"

#include <cstdio>
#include <mutex>
#include <string>

#include "tools/imexp/host_platform.h"

namespace imexp::cli {

namespace {

constexpr int kBarWidth = 30;
// The bar must fit one line of an 80-column terminal, or the carriage
// return no longer brings it back to its start.
constexpr std::size_t kLabelLimit = 38;
// Characters the bar occupies, so that it can be wiped without terminal
// escape sequences (a Windows console may not understand them); the line is
// the reading and the writing threads' both.
std::size_t g_barLength = 0;
std::mutex g_line;

}  // namespace

void ClearProgressLine() {
  std::lock_guard<std::mutex> lock(g_line);
  if (g_barLength == 0) return;
  std::fprintf(stderr, "\r%*s\r", static_cast<int>(g_barLength), "");
  std::fflush(stderr);
  g_barLength = 0;
}

void DrawProgressLine(const std::string& text) {
  std::lock_guard<std::mutex> lock(g_line);
  // Blanks cover what a longer line before left behind.
  int pad = g_barLength > text.size() ? static_cast<int>(g_barLength - text.size()) : 0;
  std::fprintf(stderr, "\r%s%*s", text.c_str(), pad, "");
  std::fflush(stderr);
  g_barLength = text.size() + static_cast<std::size_t>(pad);
}

ConsoleProgress::ConsoleProgress(std::string label, bool showBar, const std::atomic<bool>* abort)
    : label_(std::move(label)), showBar_(showBar), abort_(abort) {
  if (label_.size() > kLabelLimit) label_ = label_.substr(0, kLabelLimit - 3) + "...";
}

ConsoleProgress::~ConsoleProgress() { ClearProgressLine(); }

int ConsoleProgress::Begin() {
  shownPercent_ = -1;
  if (showBar_) Draw(0);
  return 0;
}

int ConsoleProgress::End() {
  ClearProgressLine();
  return 0;
}

int ConsoleProgress::Update(int rowsDone, int totalRows) {
  if (CancelRequested() || (abort_ != nullptr && *abort_)) {
    cancelled_ = true;
    return 0;
  }
  // Redrawing only when the shown figure changes keeps the bar's cost out
  // of the row loop: a few hundred writes per image, not one per row.
  if (showBar_ && totalRows > 0) {
    int percent = static_cast<int>((static_cast<long long>(rowsDone) + 1) * 100 / totalRows);
    if (percent != shownPercent_) Draw(percent);
  }
  return 1;
}

void ConsoleProgress::Draw(int percent) {
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  shownPercent_ = percent;
  const auto filled = static_cast<std::size_t>(percent * kBarWidth / 100);
  const std::string bar = std::string(filled, '#') + std::string(kBarWidth - filled, '.');
  char figure[8];
  std::snprintf(figure, sizeof figure, "%3d%%", percent);
  DrawProgressLine(label_ + " [" + bar + "] " + figure);
}

}  // namespace imexp::cli
