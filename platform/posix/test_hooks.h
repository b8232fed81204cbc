// Switches of the POSIX layer that tests reach through the loaded manager
// library (dlsym on its handle). They have no Win32 counterpart: the real
// Windows heap cannot be told to fail, so the tests that use them are POSIX
// only.
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
}

using ImExpPosix_FailGlobalAllocFn = void (*)(int);
using ImExpPosix_SetPresenterFn = void (*)(imexp::posix::Presenter*);
