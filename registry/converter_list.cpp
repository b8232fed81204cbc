// Loading the converter list from CONVERT.INI at attach and freeing it at
// detach.
#include "registry/converter_list.h"

#include <imexp/host.h>

#include <cstring>

#include "platform/global_block.h"
#include "registry/entry_points.h"
#include "registry/settings.h"
#include "resource_ids.h"

namespace imexp {

namespace {

// Room for the key names of section Converters. A list longer than this is
// cut by the platform; see LoadConverterList.
constexpr int kKeyListSize = 4096;
// Values are read into a larger buffer than a record can hold so that a value
// that does not fit is recognised and skipped instead of being loaded under a
// truncated name.
constexpr int kValueReadSize = 1024;

// Copies `text` into a field of `size` bytes; false (field untouched) when it
// does not fit with its terminator.
bool CopyIfFits(char* field, int size, const char* text) {
  int length = lstrlenA(text);
  if (length >= size) return false;
  std::memcpy(field, text, static_cast<std::size_t>(length) + 1);
  return true;
}

// Length of our folder part (up to and including the last separator) in a
// module file name.
int FolderLength(const char* path) {
  int length = lstrlenA(path);
  while (length > 0 && !platform::IsPathSeparator(path[length - 1])) --length;
  return length;
}

// Converters, and every library they import, are looked for in the
// converter's own folder and the system folder only: never in the current
// folder or on PATH, where anyone may have put a file of the same name.
constexpr DWORD kConverterSearch = LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;

struct Registry {
  HINSTANCE module = nullptr;
  char iniPath[kIniPathSize] = {};
  GlobalBlock listBlock;       // the records, locked while the library is loaded
  ConvRecord* list = nullptr;  // null: no list
  int count = 0;
};

// The one registry of this library.
Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

// Fills iniPath: our own folder and "CONVERT.INI"; empty when that does not
// fit, as then there is no configuration to be found.
void BuildIniPath() {
  Registry& registry = TheRegistry();
  char* iniPath = registry.iniPath;
  DWORD length = GetModuleFileNameA(registry.module, iniPath, kIniPathSize);
  char fileName[20];
  if (length == 0 || length >= kIniPathSize ||
      LoadManagerString(IDS_CONVERT_INI, fileName, sizeof fileName) == 0) {
    iniPath[0] = '\0';
    return;
  }
  int folder = FolderLength(iniPath);
  if (folder + lstrlenA(fileName) >= kIniPathSize) {
    iniPath[0] = '\0';
    return;
  }
  lstrcpyA(iniPath + folder, fileName);
}

// Loads the runtime the converters share (platform::kConverterRuntime) from
// our own folder, once, and keeps it until the process ends: a converter
// loaded later finds it loaded and does not bring it in and out again. A
// manager without it beside it has converters that do not need it.
void KeepConverterRuntime() {
  static bool tried = false;
  if (platform::kConverterRuntime == nullptr || tried) return;
  tried = true;
  char path[1024];
  DWORD length = GetModuleFileNameA(TheRegistry().module, path, sizeof path);
  if (length == 0 || length >= sizeof path) return;
  int folder = FolderLength(path);
  if (folder + lstrlenA(platform::kConverterRuntime) >= static_cast<int>(sizeof path)) return;
  lstrcpyA(path + folder, platform::kConverterRuntime);
  HMODULE runtime = LoadLibraryExA(path, nullptr, kConverterSearch);
  static_cast<void>(runtime);  // never freed
}

}  // namespace

void AttachRegistry(HINSTANCE module, const char* iniPath) {
  Registry& registry = TheRegistry();
  registry.module = module;
  if (iniPath == nullptr) {
    BuildIniPath();
  } else {
    lstrcpynA(registry.iniPath, iniPath, kIniPathSize);
  }
}

void DetachRegistry() {
  FreeConverterList();
  TheRegistry().module = nullptr;
  TheRegistry().iniPath[0] = '\0';
}

int LoadManagerString(UINT id, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  int length = LoadStringA(TheRegistry().module, id, buffer, size);
  if (length <= 0) {
    buffer[0] = '\0';
    return 0;
  }
  return length;
}

void TerminateRecordStrings(ConvRecord& record) {
  record.path[sizeof record.path - 1] = '\0';
  record.name[sizeof record.name - 1] = '\0';
  record.description[sizeof record.description - 1] = '\0';
  record.extensions[sizeof record.extensions - 1] = '\0';
}

bool ResolveConverterPath(const char* value, char* out) {
  if (platform::IsAbsoluteConverterPath(value)) return CopyIfFits(out, kConverterPathSize, value);
  char module[1024];
  DWORD length = GetModuleFileNameA(TheRegistry().module, module, sizeof module);
  if (length == 0 || length >= sizeof module) return false;
  int folder = FolderLength(module);
  if (folder + lstrlenA(value) >= kConverterPathSize) return false;
  std::memcpy(out, module, static_cast<std::size_t>(folder));
  lstrcpyA(out + folder, value);
  return true;
}

int LoadConverterInfo(const char* value, ConvRecord* record) {
  UINT previousMode = SetErrorMode(SEM_NOOPENFILEERRORBOX);
  int result = 0;
  char path[kConverterPathSize];
  HMODULE library = ResolveConverterPath(value, path) ? LoadConverterLibrary(path) : nullptr;
  if (platform::IsLoadedModule(library)) {
    auto getVersion = GetEntryPointAs<ConvGetVersionFn>(library, IDS_CONV_GET_VERSION);
    if (getVersion != nullptr && (getVersion() & 0xFFFFu) >= CONV_INTERFACE_VERSION) {
      // The module's own full name; one that does not fit the record is
      // refused rather than stored cut.
      DWORD length = GetModuleFileNameA(library, record->path, sizeof record->path);
      auto getDllInfo = GetEntryPointAs<ConvGetDllInfoFn>(library, IDS_CONV_GET_DLL_INFO);
      if (length > 0 && length < sizeof record->path && getDllInfo != nullptr) {
        getDllInfo(record, TheRegistry().iniPath);
        TerminateRecordStrings(*record);
        result = 1;
      }
    }
    FreeLibrary(library);
  }
  SetErrorMode(previousMode);
  return result;
}

void FreeConverterList() {
  Registry& registry = TheRegistry();
  registry.listBlock.Free();
  registry.list = nullptr;
  registry.count = 0;
}

int LoadConverterList() {
  FreeConverterList();
  Registry& registry = TheRegistry();

  GlobalBlock keyBlock;
  if (!keyBlock.Allocate(kKeyListSize)) return CONV_ERR_NO_MEMORY;
  char* keys = keyBlock.as<char>();
  char section[64];
  if (LoadManagerString(IDS_SECTION_CONVERTERS, section, sizeof section) == 0) return CONV_ERR_NOT_CONFIGURED;
  DWORD listed = ReadProfileString(section, nullptr, "", keys, kKeyListSize);
  if (listed == 0 || keys[0] == '\0') return CONV_ERR_NOT_CONFIGURED;
  if (listed == kKeyListSize - 2) {
    // The key list was cut to fit: its last name may be a prefix of the real
    // key and would read some other key's value. Leave it out.
    int last = static_cast<int>(listed) - 1;
    while (last > 0 && keys[last - 1] != '\0') --last;
    keys[last] = '\0';
  }

  int n = 0;
  for (const char* key = keys; *key != '\0'; key += lstrlenA(key) + 1) ++n;
  if (n == 0) return CONV_ERR_NOT_CONFIGURED;
  if (!registry.listBlock.Allocate(static_cast<SIZE_T>(n) * sizeof(ConvRecord))) {
    return CONV_ERR_NO_MEMORY;
  }
  registry.list = registry.listBlock.as<ConvRecord>();

  char value[kValueReadSize];
  for (const char* key = keys; *key != '\0'; key += lstrlenA(key) + 1) {
    ReadProfileString(section, key, "", value, sizeof value);
    if (value[0] == '\0' || lstrlenA(value) >= kConverterPathSize) continue;
    ConvRecord* record = &registry.list[registry.count];
    // A converter that failed half-way must leave nothing behind for the next.
    std::memset(record, 0, sizeof *record);
    if (LoadConverterInfo(value, record)) ++registry.count;
  }

  if (registry.count == 0) {
    FreeConverterList();
    return CONV_ERR_NOT_CONFIGURED;
  }
  if (registry.count < n) {
    // The block may move; a failed shrink keeps the larger one, which is fine.
    static_cast<void>(registry.listBlock.Resize(static_cast<SIZE_T>(registry.count) * sizeof(ConvRecord)));
  }
  registry.list = registry.listBlock.as<ConvRecord>();
  return CONV_OK;
}

int FindConverterByName(const char* name) {
  if (name == nullptr) return -1;
  const Registry& registry = TheRegistry();
  for (int i = 0; i < registry.count; ++i) {
    if (lstrcmpiA(registry.list[i].name, name) == 0) return i;
  }
  return -1;
}

int ConverterCount() { return TheRegistry().count; }

const ConvRecord& ConverterAt(int index) { return TheRegistry().list[index]; }

const ConvRecord* ConverterRecords() { return TheRegistry().list; }

char* IniPath() { return TheRegistry().iniPath; }

HINSTANCE ManagerModule() { return TheRegistry().module; }

ConvRecord* InsertConverterAt(int position) {
  Registry& registry = TheRegistry();
  SIZE_T bytes = static_cast<SIZE_T>(registry.count + 1) * sizeof(ConvRecord);
  bool room =
      registry.list == nullptr ? registry.listBlock.Allocate(bytes) : registry.listBlock.Resize(bytes);
  registry.list = registry.listBlock.as<ConvRecord>();
  if (!room) return nullptr;
  if (position < 0) position = 0;
  if (position > registry.count) position = registry.count;
  // Records are consecutive: move position..count-1 up by one, last first.
  std::memmove(&registry.list[position + 1], &registry.list[position],
               static_cast<std::size_t>(registry.count - position) * sizeof(ConvRecord));
  ++registry.count;
  ConvRecord* record = &registry.list[position];
  std::memset(record, 0, sizeof *record);
  return record;
}

void RemoveConverterAt(int index) {
  Registry& registry = TheRegistry();
  if (index < 0 || index >= registry.count) return;
  --registry.count;
  std::memmove(&registry.list[index], &registry.list[index + 1],
               static_cast<std::size_t>(registry.count - index) * sizeof(ConvRecord));
  if (registry.count == 0) {
    FreeConverterList();
    return;
  }
  // A failed shrink keeps the old, larger block.
  static_cast<void>(registry.listBlock.Resize(static_cast<SIZE_T>(registry.count) * sizeof(ConvRecord)));
  registry.list = registry.listBlock.as<ConvRecord>();
}

void RefreshConverterAt(int index, HMODULE library) {
  Registry& registry = TheRegistry();
  if (index < 0 || index >= registry.count) return;
  auto getDllInfo = GetEntryPointAs<ConvGetDllInfoFn>(library, IDS_CONV_GET_DLL_INFO);
  if (getDllInfo == nullptr) return;
  getDllInfo(&registry.list[index], registry.iniPath);
  TerminateRecordStrings(registry.list[index]);
}

void SaveConverterList() {
  const Registry& registry = TheRegistry();
  char section[64];
  if (LoadManagerString(IDS_SECTION_CONVERTERS, section, sizeof section) == 0) return;
  WriteProfileString(section, nullptr, nullptr);
  for (int i = 0; i < registry.count; ++i) {
    char key[16];
    wsprintfA(key, "%d", i);
    WriteProfileString(section, key, registry.list[i].path);
  }
}

HMODULE LoadConverter(int index) {
  const Registry& registry = TheRegistry();
  if (index < 0 || index >= registry.count) return nullptr;
  return LoadConverterLibrary(registry.list[index].path);
}

HMODULE LoadConverterLibrary(const char* path) {
  KeepConverterRuntime();
  HMODULE library = LoadLibraryExA(path, nullptr, kConverterSearch);
  return platform::IsLoadedModule(library) ? library : nullptr;
}

}  // namespace imexp

extern "C" IMEXP_API int IMEXP_CALL ImExp_GetConverterRecord(int index, ConvRecord* record) {
  using namespace imexp;
  int count = ConverterCount();
  if (record != nullptr && index >= 0 && index < count) *record = ConverterAt(index);
  return count;
}
