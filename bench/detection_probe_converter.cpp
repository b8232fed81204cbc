// A reader that checks content and recognises nothing. Reader detection of a
// file that no extension claims loads, asks and frees every such converter,
// so this is the cheapest converter that cycle can meet: whatever a probe of
// it costs beyond the raw load and free is the manager's.
#include <imexp/converter.h>

#include <cstdio>

CONV_ENTRY(uint32_t) ConvGetVersion(void) { return CONV_INTERFACE_VERSION; }

CONV_ENTRY(void) ConvGetDllInfo(ConvRecord* record, char*) {
  record->flags = CONV_FLAG_READER | CONV_FLAG_CHECKS_CONTENT;
  record->writeFormats = 0;
  record->writeResUnits = 0;
  std::snprintf(record->name, sizeof record->name, "%s", "Detection probe");
  std::snprintf(record->description, sizeof record->description, "%s", "Probe images");
  std::snprintf(record->extensions, sizeof record->extensions, "%s", "*.PRB");
}

CONV_ENTRY(int) RDCheckFile(HFILE, char*) { return 0; }
