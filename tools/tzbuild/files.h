#pragma once
// File system helpers of the builder: whole-file reads, folder trees in a fixed order, paths.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tzbuild {

// Reads a whole file; false with the Windows error in `error` (ERROR_FILE_TOO_LARGE above 2 GB).
bool ReadWholeFile(const std::wstring& path, std::string& out, DWORD& error);
bool WriteWholeFile(const std::wstring& path, const void* data, size_t size, DWORD& error);

bool IsDirectory(const std::wstring& path);
bool IsFile(const std::wstring& path);

// `base`\`relative`, unless `relative` is absolute (drive, UNC or rooted path).
std::wstring JoinPath(const std::wstring& base, const std::wstring& relative);
// The folder part of a path ("." when there is none).
std::wstring ParentOf(const std::wstring& path);

struct TreeEntry {
  std::wstring relative;  // with backslashes, no leading separator
  bool is_dir = false;
  uint64_t size = 0;
};

// Every file and folder under `root`, folders before their contents, siblings in ordinal
// (case-insensitive, then exact) order, so the listing does not depend on the file system's own
// order. False with the error and the failing path when a folder cannot be listed.
bool ListTree(const std::wstring& root, std::vector<TreeEntry>& out, DWORD& error, std::wstring& failed);

// The text of a Windows error code, without the trailing line break.
std::string ErrorText(DWORD error);

}  // namespace tzbuild
