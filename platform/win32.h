// The one header through which the core reaches the operating system.
//
// On Windows it is the real Win32 API. On POSIX it declares the subset of the
// same API that the core calls, with the same names, signatures and observable
// behaviour, implemented in platform/posix/ (one file per service). The core
// never tests for the platform itself; the few differences it must know are
// named in platform/paths.h.
#pragma once

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cderr.h>
#include <commdlg.h>
#else
#include "platform/posix/win32_types.h"

#include "platform/posix/win32_api.h"
#endif

#include "platform/paths.h"
