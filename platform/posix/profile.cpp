// Private profile (INI) files, read and written the way Win32 does it.
//
// The file is parsed into sections of entries in file order. Lookups compare
// section and key names without regard to case and use the first section of
// a name; entries without '=' (comments among them) are kept when the file is
// rewritten but are never listed or found. Writing normalises the file the
// way Win32 does: "[name]" headers, "key=value" lines, CRLF endings, no blank
// lines. A rewrite goes to a temporary file that then replaces the old one,
// so a crash never leaves a half-written CONVERT.INI behind.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32.h"

namespace {

struct Entry {
  std::string name;
  std::optional<std::string> value;  // none: a line without '='
};

struct Section {
  std::string name;
  bool hasHeader = false;  // false only for lines before the first header
  std::vector<Entry> entries;
};

using Profile = std::vector<Section>;

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool ReadWholeFile(const char* fileName, std::string& out) {
  FILE* file = std::fopen(fileName, "rb");
  if (file == nullptr) return false;
  char chunk[8192];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) out.append(chunk, got);
  std::fclose(file);
  return true;
}

Profile Parse(const std::string& text) {
  Profile profile;
  profile.push_back(Section{});  // the nameless part before any header
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string_view line = Trim(std::string_view(text).substr(pos, end - pos));
    pos = end + 1;
    if (line.empty()) continue;
    if (line.front() == '[') {
      std::string_view name = line.substr(1);
      std::size_t close = name.rfind(']');
      if (close != std::string_view::npos) name = name.substr(0, close);
      profile.push_back(Section{std::string(Trim(name)), true, {}});
      continue;
    }
    Entry entry;
    std::size_t equals = line.front() == ';' ? std::string_view::npos : line.find('=');
    if (equals == std::string_view::npos) {
      entry.name = std::string(line);
    } else {
      entry.name = std::string(Trim(line.substr(0, equals)));
      entry.value = std::string(Trim(line.substr(equals + 1)));
    }
    profile.back().entries.push_back(std::move(entry));
  }
  return profile;
}

Profile Load(const char* fileName) {
  std::string text;
  if (!ReadWholeFile(fileName, text)) return Profile{Section{}};
  return Parse(text);
}

std::string Serialize(const Profile& profile) {
  std::string text;
  for (const Section& section : profile) {
    if (section.hasHeader) text += "[" + section.name + "]\r\n";
    for (const Entry& entry : section.entries) {
      text += entry.name;
      if (entry.value) text += "=" + *entry.value;
      text += "\r\n";
    }
  }
  return text;
}

bool Save(const char* fileName, const Profile& profile) {
  std::string text = Serialize(profile);
  std::string temporary = std::string(fileName) + ".~new";
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  struct stat old {};
  if (stat(fileName, &old) == 0) fchmod(fd, old.st_mode & 07777);
  const char* data = text.data();
  std::size_t left = text.size();
  bool ok = true;
  while (ok && left > 0) {
    ssize_t put = write(fd, data, left);
    if (put < 0 && errno == EINTR) continue;
    ok = put > 0;
    if (ok) {
      data += put;
      left -= static_cast<std::size_t>(put);
    }
  }
  ok = close(fd) == 0 && ok;
  if (!ok || rename(temporary.c_str(), fileName) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

Section* FindSection(Profile& profile, std::string_view name) {
  for (Section& section : profile) {
    if ((section.hasHeader || name.empty()) && SameName(section.name, name)) return &section;
  }
  return nullptr;
}

const Entry* FindValue(const Section& section, std::string_view key) {
  for (const Entry& entry : section.entries) {
    if (entry.value && SameName(entry.name, key)) return &entry;
  }
  return nullptr;
}

// Copies one string the way the value lookups do: cut to size - 1 characters
// and terminated; the result is the number of characters copied.
DWORD CopyString(std::string_view text, LPSTR buffer, DWORD size) {
  if (size == 0) return 0;
  std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<DWORD>(n);
}

// Copies a list of names, each terminated, the list ended by a second zero.
// A list that does not fit is cut so that it still ends in two zeros at the
// end of the buffer, and the result is size - 2 (as Windows documents it).
DWORD CopyList(const std::vector<std::string_view>& names, LPSTR buffer, DWORD size) {
  if (size == 0) return 0;
  std::string list;
  for (std::string_view name : names) {
    list.append(name);
    list.push_back('\0');
  }
  if (list.size() + 1 <= size) {
    std::memcpy(buffer, list.data(), list.size());
    buffer[list.size()] = '\0';
    return static_cast<DWORD>(list.size());
  }
  if (size == 1) {
    buffer[0] = '\0';
    return 0;
  }
  std::memcpy(buffer, list.data(), size - 2);
  buffer[size - 2] = '\0';
  buffer[size - 1] = '\0';
  return size - 2;
}

std::string_view StripQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

std::string_view DefaultValue(LPCSTR defaultValue) {
  std::string_view text = defaultValue ? defaultValue : "";
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

}  // namespace

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                               LPCSTR fileName) {
  if (buffer == nullptr || fileName == nullptr) return 0;
  Profile profile = Load(fileName);
  if (section == nullptr) {
    std::vector<std::string_view> names;
    for (const Section& s : profile) {
      if (s.hasHeader) names.push_back(s.name);
    }
    return CopyList(names, buffer, size);
  }
  Section* found = FindSection(profile, section);
  if (key == nullptr) {
    std::vector<std::string_view> names;
    if (found != nullptr) {
      for (const Entry& entry : found->entries) {
        if (entry.value) names.push_back(entry.name);
      }
    }
    return CopyList(names, buffer, size);
  }
  const Entry* entry = found ? FindValue(*found, key) : nullptr;
  return CopyString(entry ? StripQuotes(*entry->value) : DefaultValue(defaultValue), buffer, size);
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) {
  if (section == nullptr || fileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Profile profile = Load(fileName);
  Section* found = FindSection(profile, section);
  if (key == nullptr) {
    if (found == nullptr) return TRUE;
    profile.erase(profile.begin() + (found - profile.data()));
    return Save(fileName, profile) ? TRUE : FALSE;
  }
  if (value == nullptr) {
    if (found == nullptr) return TRUE;
    auto& entries = found->entries;
    for (auto it = entries.begin(); it != entries.end(); ++it) {
      if (it->value && SameName(it->name, key)) {
        entries.erase(it);
        return Save(fileName, profile) ? TRUE : FALSE;
      }
    }
    return TRUE;
  }
  std::string_view text = value;
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  if (found == nullptr) {
    profile.push_back(Section{section, true, {}});
    found = &profile.back();
  }
  for (Entry& entry : found->entries) {
    if (entry.value && SameName(entry.name, key)) {
      entry.value = std::string(text);
      return Save(fileName, profile) ? TRUE : FALSE;
    }
  }
  found->entries.push_back(Entry{std::string(Trim(key)), std::string(text)});
  return Save(fileName, profile) ? TRUE : FALSE;
}
