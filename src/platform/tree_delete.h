#pragma once
// Deleting what a script names, and nothing else. A path is judged after it is resolved the way
// Windows resolves it ("C:\App\.." is "C:\"), and links met on the way are removed, never entered.
#include <windows.h>

#include <string>

namespace tz {

// The absolute form of `path`: "/" as "\", "." and ".." resolved, trailing dots and blanks of
// each name dropped (so ". ." and "..." count as ".."), never above the root. Empty when the path
// cannot be made absolute.
std::wstring CanonicalPath(const std::wstring& path);

// True for what a delete must never take whole: nothing, a drive root, a share's root, the
// Windows directory and the folders that hold it. `canonical` comes from CanonicalPath.
bool IsProtectedFromDelete(const std::wstring& canonical);

// True when `path` is a junction or a symbolic link (of a folder or a file).
bool IsLink(const std::wstring& path);

// Deletes a file, or a folder with everything in it. Links inside are removed themselves; a link
// given as `path` is removed too, and what it points at stays. 0 or the first Win32 error.
DWORD DeleteTreeNoFollow(const std::wstring& path);

}  // namespace tz
