#include "platform/tree_delete.h"

#include <utility>
#include <vector>

#include "platform/handles.h"
#include "platform/text_compare.h"

namespace tz {
namespace {


// Length of the root of an absolute path ("X:\", "\\server\share\"), 0 when it has none.
size_t RootLength(const std::wstring& p) {
  if (p.size() >= 3 && p[1] == L':' && p[2] == L'\\') return 3;
  if (p.size() > 2 && p[0] == L'\\' && p[1] == L'\\') {
    const size_t server_end = p.find(L'\\', 2);
    if (server_end == std::wstring::npos || server_end == 2) return 0;
    const size_t share_end = p.find(L'\\', server_end + 1);
    if (share_end == server_end + 1) return 0;
    return share_end == std::wstring::npos ? p.size() : share_end + 1;
  }
  return 0;
}

// What Windows makes of one name: trailing dots and blanks go, and a name of only dots and blanks
// is "." or "..".
std::wstring NormalName(std::wstring name) {
  size_t dots = 0;
  bool only = true;
  for (wchar_t c : name) {
    if (c == L'.') {
      ++dots;
    } else if (c != L' ') {
      only = false;
    }
  }
  if (only) return dots >= 2 ? L".." : L".";
  while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name.pop_back();
  return name;
}

std::wstring Resolve(const std::wstring& absolute) {
  const size_t root = RootLength(absolute);
  if (root == 0) return {};
  std::wstring result = absolute.substr(0, root);
  if (result.back() != L'\\') result += L'\\';
  std::vector<std::wstring> names;
  size_t at = root;
  while (at <= absolute.size()) {
    size_t end = absolute.find(L'\\', at);
    if (end == std::wstring::npos) end = absolute.size();
    if (end > at) {
      const std::wstring name = NormalName(absolute.substr(at, end - at));
      if (name == L"..") {
        if (!names.empty()) names.pop_back();
      } else if (name != L".") {
        names.push_back(name);
      }
    }
    at = end + 1;
  }
  for (size_t i = 0; i < names.size(); ++i) result += (i ? L"\\" : L"") + names[i];
  return result;
}

struct Entry {
  std::wstring path;
  DWORD attributes;
};

DWORD DeleteEntry(const std::wstring& path, DWORD attributes);

DWORD DeleteChildren(const std::wstring& dir) {
  std::vector<Entry> children;
  {
    WIN32_FIND_DATAW data{};
    UniqueFindHandle find(FindFirstFileW((dir + L"\\*").c_str(), &data));
    if (!find) return GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : GetLastError();
    do {
      const std::wstring name = data.cFileName;
      if (name != L"." && name != L"..") children.push_back({dir + L"\\" + name, data.dwFileAttributes});
    } while (FindNextFileW(find.Get(), &data));
  }
  DWORD first = 0;
  for (const Entry& child : children) {
    const DWORD error = DeleteEntry(child.path, child.attributes);
    if (!first) first = error;
  }
  return first;
}

DWORD DeleteEntry(const std::wstring& path, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileW(path.c_str()) ? 0 : GetLastError();
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    // The link itself: a folder link goes like an empty folder (some systems take it as a file).
    if (RemoveDirectoryW(path.c_str())) return 0;
    const DWORD error = GetLastError();
    return DeleteFileW(path.c_str()) ? 0 : error;
  }
  const DWORD inner = DeleteChildren(path);
  if (RemoveDirectoryW(path.c_str())) return 0;
  return inner ? inner : GetLastError();
}

}  // namespace

std::wstring CanonicalPath(const std::wstring& path) {
  std::wstring p = path;
  for (wchar_t& c : p)
    if (c == L'/') c = L'\\';
  if (StartsWithIgnoreCase(p, L"\\\\?\\UNC\\")) {
    p = L"\\\\" + p.substr(8);
  } else if (StartsWithIgnoreCase(p, L"\\\\?\\") || StartsWithIgnoreCase(p, L"\\??\\")) {
    p = p.substr(4);
  }
  if (p.empty()) return {};
  // A bare "X:" is what a path variable that came out as only its drive looks like: the root, not
  // the drive's current directory.
  if (p.size() == 2 && p[1] == L':') return p + L"\\";
  if (RootLength(p) == 0) {
    // Relative, drive-relative ("C:x") or rooted ("\x"): the system supplies the missing front.
    std::wstring front;
    std::wstring rest;
    if (p.size() >= 2 && p[1] == L':') {
      front = p.substr(0, 2);
      rest = p.substr(2);
    } else if (p[0] == L'\\') {
      front = L"\\";
      rest = p.substr(1);
    } else {
      front = L".";
      rest = p;
    }
    wchar_t buffer[MAX_PATH] = {};
    const DWORD n = GetFullPathNameW(front.c_str(), MAX_PATH, buffer, nullptr);
    if (n == 0 || n >= MAX_PATH) return {};
    p = std::wstring(buffer) + L"\\" + rest;
  }
  return Resolve(p);
}

bool IsProtectedFromDelete(const std::wstring& canonical) {
  const size_t root = RootLength(canonical);
  if (canonical.empty() || root == 0 || root >= canonical.size()) return true;
  wchar_t windows[MAX_PATH] = {};
  const UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return false;
  const std::wstring windir = CanonicalPath(windows);
  if (EqualsIgnoreCase(windir, canonical)) return true;
  return windir.size() > canonical.size() && windir[canonical.size()] == L'\\' &&
         StartsWithIgnoreCase(windir, canonical);
}

bool IsLink(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

DWORD DeleteTreeNoFollow(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError();
  return DeleteEntry(path, attributes);
}

}  // namespace tz
