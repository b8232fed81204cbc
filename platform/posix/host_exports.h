// What the POSIX layer exports from the manager library for tests: switches
// that make allocations and file calls fail (the real Windows heap and file
// system cannot be told to fail, so those tests are POSIX only). Found with
// dlsym on the manager's handle, or linked directly.
#pragma once

#include <imexp/presenter.h>

#define IMEXP_POSIX_EXPORT __attribute__((visibility("default")))

extern "C" {
// Asked before every file call of the layer (_lopen, OpenFile, CreateFileA,
// _lread, _lwrite, _llseek, _lclose, FlushFileBuffers, MoveFile*,
// DeleteFileA) with its kind: "open", "create", "read", "write", "seek",
// "close", "flush", "replace", "move" or "delete". It returns 0 to let the
// call go on, or an errno value that the call then fails with, as if the
// system had refused it. May be called from any thread.
typedef int (*ImExpPosix_FileCallHook)(const char* kind);

// The nth GlobalAlloc or GlobalReAlloc from now fails (1: the next one);
// 0 turns the switch off.
IMEXP_POSIX_EXPORT void ImExpPosix_FailGlobalAlloc(int nth);
// Installs the file-call hook (null: none, every call goes through).
IMEXP_POSIX_EXPORT void ImExpPosix_SetFileCallHook(ImExpPosix_FileCallHook hook);
}

using ImExpPosix_FailGlobalAllocFn = void (*)(int);
using ImExpPosix_SetFileCallHookFn = void (*)(ImExpPosix_FileCallHook);
// The host's exports (ImExpPosix_SetPresenter, ImExpPosix_LoadString) are
// declared in include/imexp/presenter.h.
using ImExpPosix_SetPresenterFn = void (*)(imexp::Presenter*);
using ImExpPosix_LoadStringFn = int (*)(unsigned, char*, int);
