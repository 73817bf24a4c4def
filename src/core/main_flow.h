#pragma once
#include <windows.h>

#include <string>

class CEngine;
class COptionsStore;
class RunContext;

// The process exit codes of a run.
enum ExitCode : int {
  EXIT_CODE_OK = 0,
  EXIT_CODE_FAILED = 1,            // oninit failed or exited, the window's install exited, a silent install failed
  EXIT_CODE_ABORTED = 2,           // oninit or the install aborted
  EXIT_CODE_OTHER_INSTANCE = 3,    // another instance holds the single-instance guard
  EXIT_CODE_NO_SCRIPT = 4,         // the install script could not be loaded
};

// The process entry's work: returns the process exit code.
int RunInstaller(HINSTANCE instance, const wchar_t* command_line);

// The main flow alone (script, command line, language, log file, guard, stages).
ExitCode RunMainFlow(CEngine& engine, const wchar_t* command_line);

// The parent folder (defaultpath or %ProgramFiles%) and the folder name (dirname or %APPNAME%),
// both expanded, joined by one backslash.
std::wstring DefaultInstallDir(RunContext& run);

// The name of the single-instance guard for a `singleinstance` setting.
std::wstring SingleInstanceName(COptionsStore& options, const std::wstring& setting,
                                const std::wstring& installer_name);
