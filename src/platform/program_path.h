#pragma once
// Program paths handed to Windows as command lines. Unquoted, "C:\Program Files\Tz App\a.exe" is
// read as "C:\Program.exe" first, then "C:\Program Files\Tz.exe": whoever can write there runs
// with our rights (or LocalSystem's, for a service).
#include <string>

namespace tz {

// `path` names a program alone: quoted when it holds a blank and is not quoted already.
std::wstring QuoteProgramPath(const std::wstring& path);

// `command` is a program path, maybe followed by arguments (a service's binary path). The program
// part is quoted when it holds a blank and is not quoted: the whole text when it names an existing
// file, else the text up to the first ".exe" followed by a blank, else the whole text.
std::wstring QuoteProgramCommand(const std::wstring& command);

}  // namespace tz
