// String helpers and MulDiv with the results Win32 gives.
#include <cstdio>
#include <cstring>

#include "platform/win32.h"

namespace {

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

int lstrlenA(LPCSTR string) { return string ? static_cast<int>(std::strlen(string)) : 0; }

LPSTR lstrcpyA(LPSTR dest, LPCSTR src) {
  if (dest == nullptr || src == nullptr) return nullptr;
  std::memmove(dest, src, std::strlen(src) + 1);
  return dest;
}

LPSTR lstrcpynA(LPSTR dest, LPCSTR src, int max) {
  // Copies at most max - 1 characters and always terminates (when max > 0).
  if (dest == nullptr || src == nullptr) return nullptr;
  int i = 0;
  for (; i + 1 < max && src[i] != '\0'; ++i) dest[i] = src[i];
  if (max > 0) dest[i] = '\0';
  return dest;
}

LPSTR lstrcatA(LPSTR dest, LPCSTR src) {
  if (dest == nullptr || src == nullptr) return nullptr;
  std::memmove(dest + std::strlen(dest), src, std::strlen(src) + 1);
  return dest;
}

int lstrcmpA(LPCSTR a, LPCSTR b) {
  if (a == nullptr || b == nullptr) return a == b ? 0 : (a == nullptr ? -1 : 1);
  int r = std::strcmp(a, b);
  return r < 0 ? -1 : r > 0 ? 1 : 0;
}

int lstrcmpiA(LPCSTR a, LPCSTR b) {
  // Win32 compares linguistically; for the names the core compares (ASCII
  // converter names, paths) that is a case-insensitive comparison.
  if (a == nullptr || b == nullptr) return a == b ? 0 : (a == nullptr ? -1 : 1);
  for (;; ++a, ++b) {
    unsigned char x = static_cast<unsigned char>(UpperAscii(*a));
    unsigned char y = static_cast<unsigned char>(UpperAscii(*b));
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
}

LPSTR CharUpperA(LPSTR string) {
  // A "pointer" below 0x10000 is a single character passed by value.
  if ((reinterpret_cast<std::uintptr_t>(string) >> 16) == 0) {
    char c = static_cast<char>(reinterpret_cast<std::uintptr_t>(string) & 0xFF);
    return reinterpret_cast<LPSTR>(static_cast<std::uintptr_t>(static_cast<unsigned char>(UpperAscii(c))));
  }
  // Texts are UTF-8 here: only ASCII letters change, so multi-byte sequences
  // stay intact.
  for (char* p = string; *p != '\0'; ++p) *p = UpperAscii(*p);
  return string;
}

int wvsprintfA(LPSTR buffer, LPCSTR format, va_list args) {
  // wsprintf writes at most 1024 characters including the terminator.
  int n = std::vsnprintf(buffer, 1024, format, args);
  if (n < 0) {
    buffer[0] = '\0';
    return 0;
  }
  return n > 1023 ? 1023 : n;
}

int wsprintfA(LPSTR buffer, LPCSTR format, ...) {
  va_list args;
  va_start(args, format);
  int n = wvsprintfA(buffer, format, args);
  va_end(args);
  return n;
}

int MulDiv(int number, int numerator, int denominator) {
  // 64-bit product, rounded half away from zero; -1 for a zero divisor or a
  // result outside the 32-bit range.
  if (denominator == 0) return -1;
  long long a = number;
  long long b = numerator;
  long long c = denominator;
  if (c < 0) {
    a = -a;
    c = -c;
  }
  long long product = a * b;
  long long result = product >= 0 ? (product + c / 2) / c : (product - c / 2) / c;
  if (result > 2147483647LL || result < -2147483647LL) return -1;
  return static_cast<int>(result);
}
