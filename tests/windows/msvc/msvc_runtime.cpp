// What the host built with Microsoft's C++ ABI needs of a runtime, since it
// links none: an entry point, operator new and delete (the deleting
// destructors of its classes refer to them), the handler that the pure slots
// of its abstract classes' tables call, and the memory functions a compiler
// may call. No global object of the host has a constructor to run.
#include <windows.h>

extern "C" int RunHostAbiChecks();

// The exit status of a host that reached a pure slot.
constexpr UINT kPureCallExit = 255;

extern "C" void HostEntry() { ExitProcess(static_cast<UINT>(RunHostAbiChecks())); }

// A pure slot reached: the host fails loudly, as the C runtime's handler does.
extern "C" int __cdecl _purecall() {
  ExitProcess(kPureCallExit);
  return 0;
}

void* operator new(decltype(sizeof 0) bytes) { return HeapAlloc(GetProcessHeap(), 0, bytes); }
void operator delete(void* block) noexcept { HeapFree(GetProcessHeap(), 0, block); }
void operator delete(void* block, decltype(sizeof 0)) noexcept { HeapFree(GetProcessHeap(), 0, block); }

// Written as byte loops the compiler must not turn back into calls of
// themselves (the file is built with -fno-builtin).
extern "C" void* memset(void* to, int value, decltype(sizeof 0) count) {
  auto* out = static_cast<volatile unsigned char*>(to);
  for (decltype(count) i = 0; i < count; ++i) out[i] = static_cast<unsigned char>(value);
  return to;
}
extern "C" void* memcpy(void* to, const void* from, decltype(sizeof 0) count) {
  auto* out = static_cast<volatile unsigned char*>(to);
  const auto* in = static_cast<const unsigned char*>(from);
  for (decltype(count) i = 0; i < count; ++i) out[i] = in[i];
  return to;
}
