// Progress of one read or write: a bar on stderr when stderr is a terminal,
// and the way Ctrl-C reaches the manager (Update answering 0).
#pragma once

#include <imexp/host.h>

#include <atomic>
#include <string>

namespace imexp::cli {

class ConsoleProgress : public CProgress {
 public:
  // `abort` (may be null) points at a flag that, once set, cancels the
  // operation as Ctrl-C does, e.g. when the image could not be stored.
  ConsoleProgress(std::string label, bool showBar, const std::atomic<bool>* abort = nullptr);
  ~ConsoleProgress() override;

  int Begin() override;
  int End() override;
  int Update(int rowsDone, int totalRows) override;

  // True once Update has answered 0.
  bool cancelled() const { return cancelled_; }

 private:
  void Draw(int percent);

  std::string label_;
  bool showBar_;
  const std::atomic<bool>* abort_;
  bool cancelled_ = false;
  int shownPercent_ = -1;
};

// Draws `text` as the progress line (a terminal's stderr only), in place of
// the one before; ClearProgressLine wipes it. Either may be called from any
// thread.
void DrawProgressLine(const std::string& text);

// Wipes the bar (if one is on screen) so that a message can be printed on a
// clean line; the bar comes back with the next update.
void ClearProgressLine();

}  // namespace imexp::cli
