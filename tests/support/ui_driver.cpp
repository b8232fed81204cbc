#include "tests/support/ui_driver.h"

namespace imexp::test {

const UiControl* UiSnapshot::Find(int id) const {
  for (const UiControl& control : controls) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

}  // namespace imexp::test
