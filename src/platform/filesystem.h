#pragma once
// File system and shell folders: directory creation, the deletions of the `del` action, special
// folders, install-directory checks, version resources, image bitness and size texts.
// Nothing here logs; every operation reports through its result.
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace tz {

// Creates every missing directory of an absolute path ("C:\a\b", "\\server\share\a") of 4 to 260
// characters. False when a part exists as a file or cannot be created; directories created before
// the failure stay.
bool CreateDirectories(const std::wstring& path);

// Deletes the files (not directories) matching a FindFirstFile pattern such as "C:\dir\*.log";
// subdirectories are not entered. Returns how many were deleted.
unsigned DeleteMatching(const std::wstring& pattern);

// Deletes `path` when it is an existing file. True when there was nothing to delete (empty, missing,
// a directory) or the deletion succeeded.
bool DeleteFileIfPresent(const std::wstring& path);

// Deletes the files directly in `directory` (subdirectories untouched); 0 for an empty text.
unsigned DeleteFilesIn(const std::wstring& directory);

// Removes a directory with everything in it; links inside are removed, never entered. Returns 0 or
// the first Win32 error. A path that resolves to nothing, a drive or share root, the Windows
// directory or a folder holding it, or one of 260 characters or more is refused with
// kDeleteTreeRefused and nothing is touched.
constexpr int kDeleteTreeRefused = ERROR_INVALID_PARAMETER;
int DeleteTree(const std::wstring& directory);

// Current paths of the special folders (CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY,
// CSIDL_PROGRAMS). False (path untouched) when the shell has none.
bool GetUserDesktop(std::wstring& path);
bool GetCommonDesktop(std::wstring& path);
bool GetPrograms(std::wstring& path);

// Program Files: the 64-bit folder on 64-bit Windows unless `want_32bit`, else the folder the shell
// gives this 32-bit process.
bool GetProgramFiles(bool want_32bit, std::wstring& path);

// True when a file can be created in `path`; a missing directory is created first (and stays).
bool IsWritableDirectory(const std::wstring& path);

// True when the drive of `path` (a path beginning with a drive letter) has strictly more than
// `bytes` free for the caller.
bool HasFreeSpace(const std::wstring& path, std::uint64_t bytes);

// Fields of a version resource, as request bits and record keys.
enum FileVersionField : unsigned {
  kVerProductVersion = 1,  // fixed product version, "%hd.%hd.%hd.%hd"
  kVerFileVersion = 2,     // fixed file version, same format
  kVerCompanyName = 4,
  kVerFileDescription = 8,
  kVerFileVersionText = 16,
  kVerInternalName = 32,
  kVerLegalCopyright = 64,
  kVerOriginalFilename = 128,
  kVerProductName = 256,
  kVerProductVersionText = 512,
  kVerLegalTrademarks = 1024,
  kVerSpecialBuild = 2048,
};
using FileVersionRecord = std::map<unsigned, std::wstring>;

// Reads the requested fields of a file's version resource. Strings come from the first pair of the
// translation table, or language 0x0804 / code page 1200 when the table is missing. Fields not
// found are left out. True once the resource was read; false (record untouched) when the file has
// none, or nothing is requested.
bool ReadFileVersion(unsigned request, const std::wstring& path, FileVersionRecord& record);

// Reads the machine of a PE image. False when the file cannot be read, is shorter than 64 bytes or
// lacks the MZ signature; `is_64bit` is set for AMD64 and IA64 images.
bool ReadImageBitness(const std::wstring& path, bool& is_64bit);

// Size text to bytes: "200M" 209715200, "1.5G", "512", "1." 1, "10Q" 10. Units K M G T P E (1024
// based, any case) as the last character; at most the first 19 characters count. Negative sizes give
// 0 and sizes beyond 64 bits the largest count.
std::uint64_t ParseSize(std::wstring_view text);

// Bytes to a short text with one decimal: 1536 "1.5K", 1048576 "1M", 500 "500B".
std::wstring FormatSize(std::uint64_t bytes);

// The shell's folder dialog rooted at the computer; true with the chosen file-system path. The
// calling thread must have COM initialised.
bool BrowseForFolder(HWND owner, const std::wstring& title, std::wstring& path);

}  // namespace tz
