// Texts the presenter words itself, in the manager's language, and the
// Win32 '&' mnemonics turned into GTK's '_' ones.
#pragma once

#include <string>

namespace imexp::gtk {

// "&Open" -> "_Open", "&&" -> "&", "_" -> "__".
std::string MnemonicText(const std::string& win32Text);
// The text as shown without its mnemonic marks ("&Open" -> "Open").
std::string PlainText(const std::string& win32Text);

// A message box button for the answer (kAnswerOk, kAnswerYes, ...), with its
// mnemonic in GTK's form, in the manager's language.
std::string ButtonText(int answer);

}  // namespace imexp::gtk
