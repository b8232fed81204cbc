// Where the tool's and the manager's messages for the user go: a line on
// stderr (past the progress bar), or, while a batch converts one file, that
// file's record for the summary at the end.
#pragma once

#include <string>

namespace imexp::cli {

// Tells the user one line: "caption: text" for a message box, or the
// tool's own "imexp: ..." lines.
void TellUser(const std::string& line);

// While one exists, TellUser adds the lines to it instead of printing them.
class MessageCapture {
 public:
  MessageCapture();
  ~MessageCapture();
  MessageCapture(const MessageCapture&) = delete;
  MessageCapture& operator=(const MessageCapture&) = delete;
  // The lines told so far, joined by "; ".
  const std::string& text() const { return text_; }
  void Add(const std::string& line);

 private:
  std::string text_;
  MessageCapture* outer_;
};

}  // namespace imexp::cli
