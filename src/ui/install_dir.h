#pragma once
// The install directory of the start page: how a browsed folder becomes the install path, and
// the checks a path must pass before an install may start in it.
#include <cstdint>
#include <string>

// The longest install path accepted, in UTF-16 code units.
constexpr size_t kMaxInstallPathLength = 200;

// The install path for a folder chosen in the browse dialog: the product folder name `dirname` is
// appended ("D:\Apps\" gives "D:\Apps\Prod") unless the folder's last path component already is
// that name, compared whole and without regard to case ("D:\apps\PROD\" stays "D:\apps\PROD",
// "D:\MyProd" becomes "D:\MyProd\Prod"). One trailing backslash of the folder is dropped, except
// that a drive root keeps its own. An empty `dirname` keeps the folder unchanged.
std::wstring InstallPathFromBrowse(const std::wstring& selected, const std::wstring& dirname);

// What is wrong with an install path; each problem has its own message in the language table.
enum class InstallDirProblem { kNone, kInvalidPath, kTooLong, kNotEnoughSpace, kReadOnly };

// The language key of a problem's message ("" for kNone).
const wchar_t* InstallDirMessageKey(InstallDirProblem problem);

// True for an absolute path on a drive letter ("C:\..."). Network paths ("\\server\share"),
// device paths and relative texts are refused: the install could not commit them as typed.
bool IsDriveAbsolutePath(const std::wstring& path);

// True when the volume that holds the nearest existing ancestor of `path` (so a mounted folder or
// a junction counts as its target volume) has strictly more than `required` bytes free for the
// caller. False for a path that is not drive-absolute or when the volume cannot be asked.
bool VolumeHasFreeSpace(const std::wstring& path, std::uint64_t required);

// The checks of a first install, in order: present and drive-absolute, at most
// kMaxInstallPathLength long, more than `required` bytes free (skipped when `required` is 0),
// writable (the directory is created with its missing parents, which stay, and a temporary "nl_"
// file is created in it and deleted). The first failing check decides.
InstallDirProblem ValidateInstallDir(const std::wstring& path, std::uint64_t required);

// A language-table text with its one placeholder ("%s" or "%d") replaced by `value` as plain
// text; "%%" reads as "%" and any other "%" stays as it is. The text is never used as a format.
std::wstring FillPlaceholder(const std::wstring& text, const std::wstring& value);
