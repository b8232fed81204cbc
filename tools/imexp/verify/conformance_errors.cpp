// Check 7: every error code the converter returned during the run, as the
// user would read it.
#include <cstring>

#include "tools/imexp/verify/conformance_checks.h"

namespace imexp::cli::verify {

namespace {

constexpr std::size_t kTextBytes = 256;
// Bytes behind the text buffer that ConvGetErrorString may not reach.
constexpr std::size_t kGuardBytes = 32;
constexpr char kTextFill = 'Q';
constexpr char kGuardFill = 'G';
constexpr int kLastManagerCode = CONV_ERR_NO_SAVE_FORMAT;

std::string CodeWords(int code, const std::string& entry) {
  return "code " + std::to_string(code) + " (from " + entry + ")";
}

// The converter's text for `code`, breaches in words, "" when fine.
std::string WordingFault(Session& s, const Operation& op, int code) {
  char text[kTextBytes + kGuardBytes];
  std::memset(text, kTextFill, kTextBytes);
  std::memset(text + kTextBytes, kGuardFill, kGuardBytes);
  char title[] = "verify.img";
  s.report.Running("ConvGetErrorString for code " + std::to_string(code));
  op.Get<ConvGetErrorStringFn>(kConvGetErrorString)(code, title, s.iniPath.data(), text);
  for (std::size_t i = kTextBytes; i < sizeof text; ++i) {
    if (text[i] != kGuardFill) return "ConvGetErrorString wrote past its 256 bytes";
  }
  const void* end = std::memchr(text, '\0', kTextBytes);
  if (end == nullptr) return "ConvGetErrorString left the text unterminated inside its 256 bytes";
  if (text[0] == '\0') return "ConvGetErrorString gives an empty text";
  return "";
}

}  // namespace

void CheckErrorWording(Session& s) {
  Report& r = s.report;
  std::string seen;
  bool fine = true;
  Operation op(s, "wording the errors");
  for (const auto& [code, entry] : r.codes()) {
    seen += (seen.empty() ? "" : ", ") + std::to_string(code);
    if (code < 0) {
      r.Fail("errors",
             CodeWords(code, entry) + " is not an error code: codes are 1 to 20 and own codes above");
      fine = false;
    } else if (code < CONV_ERR_CUSTOM) {
      continue;  // the manager words these itself
    } else if (!op.loaded() || !s.present[kConvGetErrorString]) {
      if (code > kLastManagerCode) {
        r.Fail("errors", CodeWords(code, entry) +
                             " has no wording: the converter lacks ConvGetErrorString, so "
                             "the user reads \"General Conversion Error\"");
        fine = false;
      } else {
        r.Note("errors", CodeWords(code, entry) +
                             " is worded by the manager alone: the converter lacks ConvGetErrorString");
      }
    } else if (std::string fault = WordingFault(s, op, code); !fault.empty()) {
      r.Fail("errors", CodeWords(code, entry) + ": " + fault);
      fine = false;
    }
  }
  if (seen.empty()) {
    r.Skip("errors", "no entry point returned an error code");
  } else if (fine) {
    r.Pass("errors", "every code returned (" + seen + ") is worded");
  }
}

}  // namespace imexp::cli::verify
