#pragma once

// windows.h without its min/max macros and rarely used parts; every Win32 file
// includes it through here.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// The core's platform::MessageBox is not the MessageBoxW macro; Win32 code calls
// MessageBoxW by name.
#undef MessageBox
