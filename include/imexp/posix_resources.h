/*
 * The string and dialog tables of a module on POSIX (the manager, or a
 * converter built with resources), generated at build time from the
 * module's resource script by rc_to_tables. They stand in for the resource
 * section of a Windows module: LoadStringA and FindResourceA look there,
 * chosen by the module handle as on Windows.
 */
#pragma once

namespace imexp::posix {

/* Language identifiers as Win32 builds them: (sublanguage << 10) | primary. */
inline constexpr unsigned short kLangEnglish = 0x0409;
inline constexpr unsigned short kLangRussian = 0x0419;

struct StringResource {
  unsigned short language;
  unsigned short id;
  const char* text; /* UTF-8 */
};

/* A dialog template: the DLGTEMPLATE bytes a Windows module holds (texts in
 * UTF-16), DWORD-aligned. */
struct DialogResource {
  unsigned short language;
  unsigned short id;
  const unsigned char* bytes;
  unsigned size;
};

struct ResourceTables {
  const StringResource* strings;
  int stringCount;
  const DialogResource* dialogs;
  int dialogCount;
};

}  // namespace imexp::posix

/* Defined by the generated table file linked into the module; hidden, so
 * that every module finds its own. */
const imexp::posix::ResourceTables& ImExpModuleResources();
