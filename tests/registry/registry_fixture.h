// Registry tests run the manager's code linked into the test program against
// a manager installed in a temporary folder: the copy's module handle stands
// for our own module, so CONVERT.INI and relative converter paths resolve in
// that folder, and the converters are real libraries.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "registry/converter_list.h"
#include "tests/support/test_support.h"

namespace imexp::test {

class RegistryTest : public ::testing::Test {
 protected:
  void TearDown() override { DetachRegistry(); }

  // Installs a copy of the test converter (or a variant) named `copy`.
  std::string Install(std::string_view copy, std::string_view target = "imexp_test_converter") {
    return setup_.InstallConverter(target, copy);
  }

  // Loads the manager copy and runs our own list loading against its folder.
  int LoadList() {
    setup_.Load();
    setup_.ClearCallLog();
    FreeConverterList();
    AttachRegistry(static_cast<HINSTANCE>(setup_.manager().handle()));
    return LoadConverterList();
  }

  std::string NameAt(int index) const { return ConverterAt(index).name; }

  ManagerSetup setup_;
};

}  // namespace imexp::test
