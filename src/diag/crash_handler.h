#pragma once
#include <windows.h>

// Top-level exception filter installed by the entry.
LONG WINAPI CrashFilter(EXCEPTION_POINTERS* info);
