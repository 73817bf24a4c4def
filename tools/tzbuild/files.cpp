#include "files.h"

#include <algorithm>

#include "diagnostics.h"
#include "platform/handles.h"

namespace tzbuild {

bool ReadWholeFile(const std::wstring& path, std::string& out, DWORD& error) {
  tz::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) {
    error = GetLastError();
    return false;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size)) {
    error = GetLastError();
    return false;
  }
  if (size.QuadPart >= 0x7FFFFFFF) {
    error = ERROR_FILE_TOO_LARGE;
    return false;
  }
  out.resize(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (done < out.size()) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(out.size() - done, 1u << 24));
    if (!ReadFile(file.Get(), out.data() + done, want, &got, nullptr)) {
      error = GetLastError();
      return false;
    }
    if (got == 0) break;
    done += got;
  }
  out.resize(done);
  return true;
}

bool WriteWholeFile(const std::wstring& path, const void* data, size_t size, DWORD& error) {
  tz::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!file) {
    error = GetLastError();
    return false;
  }
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    DWORD put = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(size, 1u << 24));
    if (!WriteFile(file.Get(), p, want, &put, nullptr) || put == 0) {
      error = GetLastError();
      return false;
    }
    p += put;
    size -= put;
  }
  return true;
}

bool IsDirectory(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsAbsolute(const std::wstring& p) {
  return (p.size() >= 2 && p[1] == L':') || (!p.empty() && IsSeparator(p[0]));
}

// Folder names compare case-insensitively on Windows; ties (only possible elsewhere) by code unit.
bool TreeOrder(const std::wstring& a, const std::wstring& b) {
  const int c = CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE);
  if (c != CSTR_EQUAL) return c == CSTR_LESS_THAN;
  return a < b;
}

bool ListFolder(const std::wstring& root, const std::wstring& relative, std::vector<TreeEntry>& out, DWORD& error,
                std::wstring& failed) {
  const std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
  WIN32_FIND_DATAW data{};
  tz::UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
  if (!find) {
    error = GetLastError();
    failed = folder;
    return false;
  }
  std::vector<TreeEntry> here;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    TreeEntry e;
    e.relative = relative.empty() ? name : relative + L"\\" + name;
    e.is_dir = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    e.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    here.push_back(std::move(e));
  } while (FindNextFileW(find.Get(), &data));
  if (GetLastError() != ERROR_NO_MORE_FILES) {
    error = GetLastError();
    failed = folder;
    return false;
  }
  std::sort(here.begin(), here.end(), [](const TreeEntry& a, const TreeEntry& b) { return TreeOrder(a.relative, b.relative); });
  for (auto& e : here) {
    out.push_back(e);
    if (e.is_dir && !ListFolder(root, e.relative, out, error, failed)) return false;
  }
  return true;
}

}  // namespace

std::wstring JoinPath(const std::wstring& base, const std::wstring& relative) {
  std::wstring r = relative;
  if (!IsAbsolute(relative) && !base.empty()) {
    r = base;
    if (!IsSeparator(r.back())) r += L'\\';
    r += relative;
  }
  for (wchar_t& c : r)  // one separator in messages and in the names handed to the archive
    if (c == L'/') c = L'\\';
  return r;
}

std::wstring ParentOf(const std::wstring& path) {
  const size_t cut = path.find_last_of(L"\\/");
  if (cut == std::wstring::npos) return L".";
  if (cut == 0) return path.substr(0, 1);
  return path.substr(0, cut);
}

bool ListTree(const std::wstring& root, std::vector<TreeEntry>& out, DWORD& error, std::wstring& failed) {
  out.clear();
  return ListFolder(root, L"", out, error, failed);
}

std::string ErrorText(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, error, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                 reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  tz::UniqueLocalMem<wchar_t*> owner(buffer);
  std::wstring text = n ? std::wstring(buffer, n) : std::wstring();
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' || text.back() == L'.'))
    text.pop_back();
  if (text.empty()) return "Windows error " + std::to_string(error);
  return ToUtf8(text) + " (" + std::to_string(error) + ")";
}

}  // namespace tzbuild
