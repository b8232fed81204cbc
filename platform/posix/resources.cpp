// String and dialog resources from the generated tables.
//
// The language is chosen the way a POSIX program chooses its messages: the
// first of LC_ALL, LC_MESSAGES and LANG that is set; Russian for "ru...",
// English otherwise. It is read at every lookup, so a host (or a test) that
// changes the environment sees the change at once.
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include <imexp/posix_resources.h>
#include "platform/posix/host_exports.h"
#include "platform/posix/module_handles.h"
#include "platform/posix/window_objects.h"
#include "platform/win32.h"

namespace {

using imexp::posix::kLangEnglish;
using imexp::posix::kLangRussian;

unsigned short ResourceLanguage() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] != '\0') {
      return std::strncmp(value, "ru", 2) == 0 ? kLangRussian : kLangEnglish;
    }
  }
  return kLangEnglish;
}

// The entry in the chosen language, else the English one (as Windows falls
// back to the neutral resources).
template <typename Entry>
const Entry* Find(const Entry* entries, int count, unsigned id) {
  const Entry* fallback = nullptr;
  unsigned short language = ResourceLanguage();
  for (int i = 0; i < count; ++i) {
    if (entries[i].id != id) continue;
    if (entries[i].language == language) return &entries[i];
    if (entries[i].language == kLangEnglish) fallback = &entries[i];
  }
  return fallback;
}

// Length of the longest prefix of `text` that fits `limit` bytes without
// splitting a UTF-8 sequence.
std::size_t CutOnCharacter(const char* text, std::size_t length, std::size_t limit) {
  if (length <= limit) return length;
  std::size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

}  // namespace

namespace imexp::posix {
bool RussianTexts() { return ResourceLanguage() == kLangRussian; }
}  // namespace imexp::posix

int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  const auto& tables = imexp::posix::ResourcesOf(instance);
  const imexp::posix::StringResource* entry = Find(tables.strings, tables.stringCount, id);
  if (entry == nullptr) {
    buffer[0] = '\0';
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
  }
  std::size_t n = CutOnCharacter(entry->text, std::strlen(entry->text), static_cast<std::size_t>(size - 1));
  std::memcpy(buffer, entry->text, n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

extern "C" int ImExpPosix_LoadString(unsigned id, char* buffer, int size) {
  return LoadStringA(nullptr, id, buffer, size);
}

extern "C" unsigned ImExpPosix_Language() {
  return imexp::posix::RussianTexts() ? kLangRussian : kLangEnglish;
}

namespace {

// Only dialogs by number are kept as resources of their own; strings are
// reached through LoadStringA.
const imexp::posix::DialogResource* FindDialog(HMODULE module, LPCSTR name, LPCSTR type,
                                               const unsigned short* language) {
  if (type != RT_DIALOG || !IS_INTRESOURCE(name)) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
  }
  const auto& tables = imexp::posix::ResourcesOf(module);
  auto id = static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(name));
  const imexp::posix::DialogResource* dialog = nullptr;
  if (language == nullptr) {
    dialog = Find(tables.dialogs, tables.dialogCount, id);
  } else {
    for (int i = 0; i < tables.dialogCount && dialog == nullptr; ++i) {
      if (tables.dialogs[i].id == id && tables.dialogs[i].language == *language) dialog = &tables.dialogs[i];
    }
  }
  if (dialog == nullptr) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return dialog;
}

}  // namespace

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
  return reinterpret_cast<HRSRC>(
      const_cast<imexp::posix::DialogResource*>(FindDialog(module, name, type, nullptr)));
}

HRSRC FindResourceExA(HMODULE module, LPCSTR type, LPCSTR name, WORD language) {
  unsigned short exact = language;
  return reinterpret_cast<HRSRC>(
      const_cast<imexp::posix::DialogResource*>(FindDialog(module, name, type, &exact)));
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
  if (resource == nullptr) return nullptr;
  auto* dialog = reinterpret_cast<const imexp::posix::DialogResource*>(resource);
  return reinterpret_cast<HGLOBAL>(const_cast<unsigned char*>(dialog->bytes));
}

LPVOID LockResource(HGLOBAL resource) { return resource; }

DWORD SizeofResource(HMODULE, HRSRC resource) {
  return resource == nullptr ? 0 : reinterpret_cast<const imexp::posix::DialogResource*>(resource)->size;
}
