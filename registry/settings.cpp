#include "registry/settings.h"

#include "registry/converter_list.h"

namespace imexp {

namespace {

constexpr int kNameSize = 64;

// A name that is not in the string table reads as "".
void LoadName(UINT id, char (&name)[kNameSize]) { static_cast<void>(LoadManagerString(id, name, kNameSize)); }

}  // namespace

DWORD ReadProfileString(const char* section, const char* key, const char* defaultValue, char* buffer,
                        DWORD size) {
  return GetPrivateProfileStringA(section, key, defaultValue ? defaultValue : "", buffer, size, IniPath());
}

BOOL WriteProfileString(const char* section, const char* key, const char* value) {
  return WritePrivateProfileStringA(section, key, value, IniPath());
}

DWORD ReadSetting(UINT sectionId, UINT keyId, const char* defaultValue, char* buffer, DWORD size) {
  char section[kNameSize];
  char key[kNameSize];
  LoadName(sectionId, section);
  LoadName(keyId, key);
  return ReadProfileString(section, key, defaultValue, buffer, size);
}

BOOL WriteSetting(UINT sectionId, UINT keyId, const char* value) {
  char section[kNameSize];
  char key[kNameSize];
  LoadName(sectionId, section);
  LoadName(keyId, key);
  return WriteProfileString(section, key, value);
}

}  // namespace imexp
