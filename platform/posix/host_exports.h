// What the POSIX layer exports from the manager library beyond the host
// interface, for the things a Windows host would do through Win32 itself:
// choosing how message boxes are shown, loading the manager's strings. Tests
// also reach a switch that makes allocations fail (the real Windows heap
// cannot be told to fail, so those tests are POSIX only). Found with dlsym
// on the manager's handle, or linked directly.
#pragma once

#define IMEXP_POSIX_EXPORT __attribute__((visibility("default")))

namespace imexp::posix {
class Presenter;
}

extern "C" {
// The nth GlobalAlloc or GlobalReAlloc from now fails (1: the next one);
// 0 turns the switch off.
IMEXP_POSIX_EXPORT void ImExpPosix_FailGlobalAlloc(int nth);
// Replaces the presenter that answers message boxes (null: the default one,
// which writes them to stderr).
IMEXP_POSIX_EXPORT void ImExpPosix_SetPresenter(imexp::posix::Presenter* presenter);
// String `id` of the manager's string table in the current language, as
// LoadStringA gives it for the manager's module on Windows.
IMEXP_POSIX_EXPORT int ImExpPosix_LoadString(unsigned id, char* buffer, int size);
}

using ImExpPosix_FailGlobalAllocFn = void (*)(int);
using ImExpPosix_SetPresenterFn = void (*)(imexp::posix::Presenter*);
using ImExpPosix_LoadStringFn = int (*)(unsigned, char*, int);
