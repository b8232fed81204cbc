#include "tools/imexp/verify/conformance_report.h"

#include <cstdio>

#include "tools/imexp/verify/verify_platform.h"

namespace imexp::cli::verify {

void Report::Print(const char* outcome, const std::string& check, const std::string& text) {
  std::printf("%s %s: %s\n", outcome, check.c_str(), text.c_str());
  std::fflush(stdout);
}

void Report::Pass(const std::string& check, const std::string& text) {
  ++checks_;
  Print("PASS", check, text);
}

void Report::Fail(const std::string& check, const std::string& text) {
  if (!failures_.insert(check + ": " + text).second) return;
  ++checks_;
  ++breaches_;
  Print("FAIL", check, text);
}

void Report::Skip(const std::string& check, const std::string& text) { Print("SKIP", check, text); }

void Report::Note(const std::string& check, const std::string& text) { Print("NOTE", check, text); }

void Report::Running(const std::string& step) { CrashStep(step); }

void Report::SawCode(const std::string& entryPoint, int code) {
  if (code != 0) codes_.emplace(code, entryPoint);
}

std::string Report::Summary() const {
  return std::to_string(checks_) + (checks_ == 1 ? " check, " : " checks, ") + std::to_string(breaches_) +
         (breaches_ == 1 ? " breach" : " breaches");
}

}  // namespace imexp::cli::verify
