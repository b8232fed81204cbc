// The string and dialog tables of a module on POSIX, generated at build time
// from resources/imexp.rc. They stand in for the resource section of a
// Windows module: LoadStringA and FindResourceA look here.
#pragma once

namespace imexp::posix {

// Language identifiers as Win32 builds them: (sublanguage << 10) | primary.
inline constexpr unsigned short kLangEnglish = 0x0409;
inline constexpr unsigned short kLangRussian = 0x0419;

struct StringResource {
  unsigned short language;
  unsigned short id;
  const char* text;  // UTF-8
};

struct DialogControlResource {
  const char* className;  // "Static", "Button", "Edit", "ListBox", ...
  const char* text;
  int id;  // -1 for a control without an ID
  short x, y, cx, cy;  // dialog units
  unsigned style;
};

struct DialogResource {
  unsigned short language;
  unsigned short id;
  short x, y, cx, cy;  // dialog units
  unsigned style;
  const char* caption;
  short fontSize;
  const char* fontName;
  const DialogControlResource* controls;
  int controlCount;
};

struct ResourceTables {
  const StringResource* strings;
  int stringCount;
  const DialogResource* dialogs;
  int dialogCount;
};

}  // namespace imexp::posix

// Defined by the generated table file linked into the module.
const imexp::posix::ResourceTables& ImExpModuleResources();
