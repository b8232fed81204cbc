// A manager copy with test converters for the dialog scenarios: the same
// source runs against our layer (scripted presenter) and against Win32
// under wine (the scripted user acting on the real windows).
#pragma once

#include <gtest/gtest.h>

#include <imexp/host.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "tests/support/test_image.h"
#include "tests/support/test_support.h"
#include "tests/support/ui_driver.h"

namespace imexp::test {

constexpr int kFileNameBox = 1152;  // the common dialogs' file-name box
constexpr int kTypeList = 1136;     // and their file-type list

// One installed copy of a test converter, scripted by its INI section.
struct TestConverter {
  std::string copy;    // copy name, also its section
  std::string script;  // "Key=value" lines of its section
  std::string target = "imexp_test_converter";
};

class ManagerDialogTest : public ::testing::Test {
 protected:
  // Installs `converters` in list order, then `ini` lines, and loads the manager.
  void Install(const std::vector<TestConverter>& converters, const std::string& ini = "") {
    std::string text = "[Converters]\n";
    std::string sections;
    for (std::size_t i = 0; i < converters.size(); ++i) {
      std::string file = setup_.InstallConverter(converters[i].target, converters[i].copy);
      text += std::to_string(i) + "=" + file + "\n";
      sections += "[" + converters[i].copy + "]\n" + converters[i].script + "\n";
    }
    setup_.WriteIni(text + sections + ini);
    setup_.Load();
  }

  template <typename Fn>
  Fn Get(const char* name) const {
    Fn fn = setup_.manager().Get<Fn>(name);
    EXPECT_NE(fn, nullptr) << name;
    return fn;
  }

  // A test image file `name` with header fields; returns its native path.
  std::string Image(const std::string& name, const std::map<std::string, long long>& fields = {}) {
    TestImage image;
    for (const auto& [key, value] : fields) image.Set(key, value);
    std::string path = NativePath(setup_.dir().path() / name);
    WriteFileBytes(path, image.Bytes());
    return path;
  }

  // Runs `call` while the scripted user plays `scripts`, one per window.
  std::vector<UiWindowRecord> Run(std::vector<UiScript> scripts, const std::function<void()>& call) {
    UiDriver driver(std::move(scripts), &setup_.manager());
    call();
    return driver.windows();
  }

  // The value of `key` in CONVERT.INI, as the file holds it; "-" when absent.
  std::string IniValue(const std::string& key) const {
    std::string text = ReadFileBytes(setup_.IniPath());
    std::string prefix = key + "=";
    for (std::size_t at = 0; at < text.size();) {
      std::size_t end = text.find('\n', at);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(at, end - at);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size());
      at = end + 1;
    }
    return "-";
  }

  std::string Folder() const { return NativePath(setup_.dir().path()); }

  ManagerSetup setup_;
};

// The texts of the message boxes among `windows`.
inline std::vector<std::string> MessageTexts(const std::vector<UiWindowRecord>& windows) {
  std::vector<std::string> texts;
  for (const UiWindowRecord& w : windows) {
    if (w.messageBox) texts.push_back(w.text);
  }
  return texts;
}

}  // namespace imexp::test
