#include "gtk/texts.h"

#include <imexp/presenter.h>

namespace imexp::gtk {

namespace {

constexpr unsigned kRussian = 0x0419;

std::string Convert(const std::string& text, bool keepMnemonic) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '&') {
      if (i + 1 < text.size() && text[i + 1] == '&') {
        out += '&';
        ++i;
      } else if (keepMnemonic) {
        out += '_';
      }
    } else if (c == '_' && keepMnemonic) {
      out += "__";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string MnemonicText(const std::string& win32Text) { return Convert(win32Text, true); }

std::string PlainText(const std::string& win32Text) { return Convert(win32Text, false); }

std::string ButtonText(int answer) {
  bool russian = ImExpPosix_Language() == kRussian;
  switch (answer) {
    case kAnswerOk:
      return russian ? "ОК" : "OK";
    case kAnswerCancel:
      return russian ? "Отмена" : "Cancel";
    case kAnswerYes:
      return russian ? "_Да" : "_Yes";
    case kAnswerNo:
      return russian ? "_Нет" : "_No";
    default:
      return "?";
  }
}

}  // namespace imexp::gtk
