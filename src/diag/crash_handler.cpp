#include "diag/crash_handler.h"

// The crash report is not built yet: let Windows handle the exception as usual.
LONG WINAPI CrashFilter(EXCEPTION_POINTERS*) { return EXCEPTION_CONTINUE_SEARCH; }
