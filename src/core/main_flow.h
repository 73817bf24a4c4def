#pragma once
#include <windows.h>

#include <string>

// The process entry's work: returns the process exit code.
int RunInstaller(HINSTANCE instance, const wchar_t* command_line);

// The main flow alone (script, command line, language, log file, guard, stages).
int RunMainFlow(const wchar_t* command_line);

// The parent folder (defaultpath or %ProgramFiles%) and the folder name (dirname or %APPNAME%),
// both expanded, joined by one backslash.
std::wstring DefaultInstallDir();

// The name of the single-instance guard for a `singleinstance` setting.
std::wstring SingleInstanceName(const std::wstring& setting, const std::wstring& installer_name);
