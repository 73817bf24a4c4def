#pragma once
// A folder made fresh for one run, for files the installer loads or runs from there.
#include <string>

namespace tz {

// Creates a new folder "<parent>\<prefix>-<8 hex digits>" whose name did not exist before (a folder
// planted in advance under a guessed name is never reused). When this process runs elevated, the
// folder gets a protected DACL: Administrators and SYSTEM full control, other users read and execute
// only, so nobody without administrator rights can plant or replace a file in it. True with `folder`
// set; false (folder untouched) when the parent is unusable or no name could be created.
bool CreatePrivateFolder(const std::wstring& parent, const std::wstring& prefix, std::wstring& folder);

// True when the process token is elevated (a full administrator token).
bool IsProcessElevated();

}  // namespace tz
