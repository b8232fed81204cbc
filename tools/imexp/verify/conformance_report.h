// The report of imexp verify: one line per check as it is decided, PASS,
// FAIL, SKIP or NOTE, and the tally behind the summary and the exit status.
#pragma once

#include <map>
#include <set>
#include <string>

namespace imexp::cli::verify {

class Report {
 public:
  // "PASS <check>: <text>" and so on, printed and flushed at once, so that a
  // converter that crashes the program leaves every earlier line behind.
  void Pass(const std::string& check, const std::string& text);
  // A breach of the contract. The same breach is printed once.
  void Fail(const std::string& check, const std::string& text);
  void Skip(const std::string& check, const std::string& text);
  void Note(const std::string& check, const std::string& text);
  // Announces the call about to be made, for the crash report.
  void Running(const std::string& step);

  // An error code an entry point returned, for the wording check.
  void SawCode(const std::string& entryPoint, int code);
  const std::map<int, std::string>& codes() const { return codes_; }

  int checks() const { return checks_; }
  int breaches() const { return breaches_; }
  // "N checks, M breaches".
  std::string Summary() const;

 private:
  void Print(const char* outcome, const std::string& check, const std::string& text);
  int checks_ = 0;
  int breaches_ = 0;
  std::set<std::string> failures_;
  std::map<int, std::string> codes_;  // code -> first entry point that returned it
};

}  // namespace imexp::cli::verify
