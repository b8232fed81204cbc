// Writing through a manager installed in a temporary folder with copies of
// the test converter, each scripted from its section of CONVERT.INI.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/recording_host.h"
#include "tests/support/test_image.h"
#include "tests/support/test_support.h"

namespace imexp::test {

struct WriteOutcome {
  int result = 0;
  int reserved = -1;
  std::vector<std::string> calls;  // host and progress calls in order
  std::vector<std::string> log;    // the converters' call log
  std::vector<MessageBoxRecord> boxes;
  std::string target;                  // the target's bytes afterwards ("" when absent)
  std::vector<std::string> leftovers;  // "~cv*.tmp" files left in the folder
};

struct ConverterSpec {
  std::string copy;    // copy name and INI section
  std::string script;  // lines of its section
  std::string target = "imexp_test_converter";
};

class WriteTest : public ::testing::Test {
 protected:
  void SetUpManager(const std::vector<ConverterSpec>& converters) {
    std::string list = "[Converters]\n";
    std::string sections;
    int i = 0;
    for (const ConverterSpec& c : converters) {
      list += std::to_string(i++) + "=" + setup_.InstallConverter(c.target, c.copy) + "\n";
      sections += "[" + c.copy + "]\n" + c.script + "\n";
    }
    setup_.WriteIni(list + sections);
    setup_.Load();
    write_ = setup_.manager().Get<ImExp_WriteFileFn>("ImExp_WriteFile");
    findWriter_ = setup_.manager().Get<FindWriterFn>("FindWriter");
    fillFormats_ = setup_.manager().Get<FillSaveFormatsInfoFn>("FillSaveFormatsInfo");
    ASSERT_NE(write_, nullptr);
    capture_ = std::make_unique<MessageBoxCapture>(&setup_.manager());
  }

  // One converter copy "tw" that writes *.TW with the given extra script.
  void SetUpWriter(const std::string& script = "") {
    SetUpManager({{"tw", "Name=TW\nExtensions=*.TW\nFlags=0x13\n" + script}});
  }

  // Reloads the manager, which reads the converters' records again. The old
  // capture goes first: it unhooks itself from the manager it was given.
  void ReloadManager() {
    capture_.reset();
    setup_.Unload();
    setup_.Load();
    write_ = setup_.manager().Get<ImExp_WriteFileFn>("ImExp_WriteFile");
    findWriter_ = setup_.manager().Get<FindWriterFn>("FindWriter");
    fillFormats_ = setup_.manager().Get<FillSaveFormatsInfoFn>("FillSaveFormatsInfo");
    capture_ = std::make_unique<MessageBoxCapture>(&setup_.manager());
  }

  // Rewrites the script of copy "tw" between writes.
  void Rescript(const std::string& script) {
    std::string ini = ReadFileBytes(setup_.IniPath());
    ini = ini.substr(0, ini.find("[tw]"));
    setup_.WriteIni(ini + "[tw]\nName=TW\nExtensions=*.TW\nFlags=0x13\n" + script + "\n");
  }

  std::unique_ptr<WriteOutcome> Write(ScriptedWriteImage& image, const std::string& name = "out.tw",
                                      int cancelAt = 0, bool withProgress = true) {
    auto o = std::make_unique<WriteOutcome>();
    image.log = &o->calls;
    RecordingProgress progress(&o->calls);
    progress.cancelAt = cancelAt;
    setup_.ClearCallLog();
    capture_->Clear();
    std::string file = name.find_first_of("/\\") == std::string::npos ? setup_.dir().File(name) : name;
    o->result =
        write_(&image, nullptr, file.data(), &o->reserved, withProgress ? &progress : nullptr, nullptr, 0);
    o->log = setup_.CallLog();
    o->boxes = capture_->boxes();
    o->target = fs::exists(file) && fs::is_regular_file(file) ? ReadFileBytes(file) : "";
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(fs::path(file).parent_path(), error)) {
      std::string leaf = entry.path().filename().string();
      if (leaf.rfind("~cv", 0) == 0) o->leftovers.push_back(leaf);
    }
    return o;
  }

  ManagerSetup setup_;
  ImExp_WriteFileFn write_ = nullptr;
  FindWriterFn findWriter_ = nullptr;
  FillSaveFormatsInfoFn fillFormats_ = nullptr;
  std::unique_ptr<MessageBoxCapture> capture_;
};

// A host image of `type` whose host row r (0 = bottom) is filled with byte
// r + 1, `width` pixels wide.
inline ScriptedWriteImage FilledImage(int type, int width, int height) {
  ScriptedWriteImage image;
  image.type = type;
  image.width = width;
  image.height = height;
  for (int r = 0; r < height; ++r) {
    image.rows.push_back(
        std::vector<uint8_t>(HostRowSize(static_cast<unsigned>(width), type), static_cast<uint8_t>(r + 1)));
  }
  return image;
}

// Entries of a grey ramp, ascending or descending.
inline std::vector<std::vector<uint8_t>> GreyRampEntries(int entries, bool inverted) {
  std::vector<std::vector<uint8_t>> palette;
  for (int i = 0; i < entries; ++i) {
    auto v = static_cast<uint8_t>(i * 255 / (entries - 1));
    if (inverted) v = static_cast<uint8_t>(255 - v);
    palette.push_back({v, v, v});
  }
  return palette;
}

inline std::string Field(const std::string& line, const std::string& key) {
  std::size_t at = line.find(" " + key + "=");
  if (at == std::string::npos) return "";
  std::size_t start = at + key.size() + 2;
  return line.substr(start, line.find(' ', start) - start);
}

}  // namespace imexp::test
