#include "ui/install_dir.h"

#include <windows.h>

#include "platform/filesystem.h"
#include "platform/text_compare.h"

namespace {

bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

bool IsExistingDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The deepest existing directory on the way from the drive root to `path`, with a trailing
// backslash ("C:\" at least).
std::wstring NearestExistingAncestor(std::wstring path) {
  while (path.size() > 3 && !IsExistingDirectory(path)) {
    const size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash < 2) break;
    path.resize(slash == 2 ? 3 : slash);
  }
  if (path.size() <= 3) return path.substr(0, 2) + L"\\";
  return path + L"\\";
}

}  // namespace

std::wstring InstallPathFromBrowse(const std::wstring& selected, const std::wstring& dirname) {
  std::wstring name = dirname;
  while (!name.empty() && name.back() == L'\\') name.pop_back();
  if (name.empty()) return selected;
  std::wstring folder = selected;
  if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  // The name must be a whole trailing component (or components, for "Vendor\Prod").
  if (folder.size() > name.size() && folder[folder.size() - name.size() - 1] == L'\\' &&
      tz::EqualsIgnoreCase(std::wstring_view(folder).substr(folder.size() - name.size()), name)) {
    return folder;
  }
  return folder + L"\\" + name;
}

const wchar_t* InstallDirMessageKey(InstallDirProblem problem) {
  switch (problem) {
    case InstallDirProblem::kInvalidPath: return L"Error.Text.WrongInstPath";
    case InstallDirProblem::kTooLong: return L"Error.Text.PathTooLong";
    case InstallDirProblem::kNotEnoughSpace: return L"Error.Text.DriveSpaceNotEnough";
    case InstallDirProblem::kReadOnly: return L"Error.Text.PathReadOnly";
    case InstallDirProblem::kNone: break;
  }
  return L"";
}

bool IsDriveAbsolutePath(const std::wstring& path) {
  return path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == L':' && path[2] == L'\\';
}

bool VolumeHasFreeSpace(const std::wstring& path, std::uint64_t required) {
  if (!IsDriveAbsolutePath(path)) return false;
  const std::wstring directory = NearestExistingAncestor(path);
  ULARGE_INTEGER free_to_caller{};
  if (!GetDiskFreeSpaceExW(directory.c_str(), &free_to_caller, nullptr, nullptr)) return false;
  return free_to_caller.QuadPart > required;
}

InstallDirProblem ValidateInstallDir(const std::wstring& path, std::uint64_t required) {
  if (path.empty()) return InstallDirProblem::kInvalidPath;
  if (path.size() > kMaxInstallPathLength) return InstallDirProblem::kTooLong;
  if (!IsDriveAbsolutePath(path)) return InstallDirProblem::kInvalidPath;
  if (required != 0 && !VolumeHasFreeSpace(path, required)) return InstallDirProblem::kNotEnoughSpace;
  if (!tz::IsWritableDirectory(path)) return InstallDirProblem::kReadOnly;
  return InstallDirProblem::kNone;
}

std::wstring FillPlaceholder(const std::wstring& text, const std::wstring& value) {
  std::wstring out;
  out.reserve(text.size() + value.size());
  bool filled = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t next = i + 1 < text.size() ? text[i + 1] : L'\0';
    if (text[i] == L'%' && next == L'%') {
      out += L'%';
      ++i;
    } else if (text[i] == L'%' && !filled && (next == L's' || next == L'd')) {
      out += value;
      filled = true;
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}
