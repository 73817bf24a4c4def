#pragma once
// Where DLLs come from. An installer is started from a downloads folder, where anyone may have
// left a DLL named like a system one: the folder of the program and the current directory are
// taken out of the default search before anything is loaded by name.
#include <windows.h>

#include <string>

namespace tz {

// Restricts the process's default DLL search to the system directory. Call first thing.
void RestrictDllSearch();

// A system DLL by file name, from the system directory only (null when missing).
HMODULE LoadSystemLibrary(const wchar_t* name);

// A module by its full path; its own folder is searched for the DLLs it imports. A path that is
// not absolute gets the default search, which no longer includes our folder.
HMODULE LoadModuleFromPath(const std::wstring& path);

}  // namespace tz
