#pragma once
// The run's answers to the crash handler, read from the process's stores without waiting.
#include "diag/crash_handler.h"

ICrashFacts& ProcessCrashFacts();
