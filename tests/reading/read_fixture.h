// Reading through a manager installed in a temporary folder with one copy of
// the test converter ("tconv") reading every *.TST file.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/recording_host.h"
#include "tests/support/test_image.h"
#include "tests/support/test_support.h"

namespace imexp::test {

struct ReadOutcome {
  int result = 0;
  std::vector<std::string> calls;  // host and progress calls in order
  RecordingImage image;
  std::vector<std::string> log;  // the converter's call log
  std::vector<MessageBoxRecord> boxes;
};

class ReadTest : public ::testing::Test {
 protected:
  // Installs the converter copy `tconv` (or a variant) and loads the manager.
  void SetUpManager(std::string_view target = "imexp_test_converter", const std::string& script = "") {
    std::string copy = setup_.InstallConverter(target, "tconv");
    setup_.WriteIni("[Converters]\n0=" + copy + "\n[tconv]\nName=TCONV\nExtensions=*.TST\n" + script);
    setup_.Load();
    read_ = setup_.manager().Get<ImExp_ReadFileFn>("ImExp_ReadFile");
    ASSERT_NE(read_, nullptr);
    capture_ = std::make_unique<MessageBoxCapture>(&setup_.manager());
  }

  std::string WriteImage(const TestImage& image, const std::string& name = "image.tst") {
    std::string path = setup_.dir().File(name);
    WriteFileBytes(path, image.Bytes());
    return path;
  }

  // Reads `path` as the host accepting `accepted`, with a progress object
  // that cancels at its `cancelAt`-th update (0: never; -1: no progress).
  std::unique_ptr<ReadOutcome> Read(const std::string& path, int accepted, int cancelAt = 0,
                                    int refuseSize = 0, char** hostParam = nullptr, int hostValue = 0) {
    auto outcome = std::make_unique<ReadOutcome>();
    outcome->image.log = &outcome->calls;
    outcome->image.refuseSize = refuseSize;
    RecordingProgress progress(&outcome->calls);
    progress.cancelAt = cancelAt;
    setup_.ClearCallLog();
    capture_->Clear();
    std::string file = path;
    outcome->result = read_(&outcome->image, nullptr, file.data(), accepted,
                            cancelAt < 0 ? nullptr : &progress, hostParam, hostValue);
    outcome->log = setup_.CallLog();
    outcome->boxes = capture_->boxes();
    return outcome;
  }

  ManagerSetup setup_;
  ImExp_ReadFileFn read_ = nullptr;
  std::unique_ptr<MessageBoxCapture> capture_;
};

}  // namespace imexp::test
