// The dialogs of a resource script as the tables tool reads them, and the
// DLGTEMPLATE bytes the Windows resource compiler makes of each.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rc {

struct Control {
  std::string className, text;
  bool classByName = false;  // a CONTROL statement's class, kept as a string
  long id = -1, x = 0, y = 0, cx = 0, cy = 0;
  unsigned long style = 0;
  unsigned long exStyle = 0;
};

struct Dialog {
  unsigned language = 0;
  long id = 0, x = 0, y = 0, cx = 0, cy = 0;
  unsigned long style = 0;
  std::string caption, fontName;
  long fontSize = 0;
  std::vector<Control> controls;
};

// The template as the resource compiler lays it out in a module.
std::vector<uint8_t> DialogTemplateBytes(const Dialog& dialog);

}  // namespace rc
