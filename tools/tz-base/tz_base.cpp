// tz-base.dll: the product's preparation and bookkeeping steps, run by the install script.
#include "tz_base.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/tree_delete.h"

namespace {

const wchar_t kPrefix[] = L"[tz-base] ";
const wchar_t kDefaultDirectX[] = L"d3dx9_43.dll";
const wchar_t kDefaultSettings[] = L"install.ini";
const wchar_t* const kX86Folders[] = {L"bin\\32bit", L"plugins\\32bit"};
const wchar_t* const kStatistics[] = {L"STAT_EXTRACTCOST", L"STAT_INSTCOST",   L"STAT_CLOSEBEFOREINST",
                                      L"STAT_CLOSEAFTERINST", L"STAT_ADVOPT",   L"STAT_SELDIR",
                                      L"STAT_LICENSE",     L"STAT_DEFINSTDIR", L"STAT_INSTX86FILE"};

void Log(IExternHost* host, int level, const wchar_t* format, ...) {
  wchar_t text[2048];
  va_list args;
  va_start(args, format);
  const int n = vswprintf(text, sizeof(text) / sizeof(text[0]), format, args);
  va_end(args);
  if (n < 0) text[sizeof(text) / sizeof(text[0]) - 1] = L'\0';
  host->LogMessage(level, kPrefix, text);
}

// A BSTR-returning host call as a text; false when the host has no value.
template <typename Call>
bool HostText(Call call, std::wstring& out) {
  tz::UniqueBstr value;
  const HRESULT hr = call(value.Put());
  if (SUCCEEDED(hr)) out = value.Get() ? value.Get() : L"";
  return SUCCEEDED(hr);
}

// The install directory as Windows resolves it. One that resolves to a drive's root or the Windows
// directory ("C:\App\..") is none: everything below it would be ours to remove.
bool InstallDir(IExternHost* host, std::wstring& dir) {
  if (!HostText([&](BSTR* v) { return host->GetPath(TZ_HOST_INSTDIR, v); }, dir)) return false;
  if (dir.empty() || PathIsRelativeW(dir.c_str())) return false;
  dir = tz::CanonicalPath(dir);
  return !tz::IsProtectedFromDelete(dir);
}

std::vector<std::wstring> SplitList(const wchar_t* text) {
  std::vector<std::wstring> items;
  std::wstring current;
  auto flush = [&] {
    const size_t first = current.find_first_not_of(L" \t");
    const size_t last = current.find_last_not_of(L" \t");
    if (first != std::wstring::npos) items.push_back(current.substr(first, last - first + 1));
    current.clear();
  };
  for (const wchar_t* p = text ? text : L""; *p; ++p) {
    if (*p == L',') {
      flush();
    } else {
      current += *p;
    }
  }
  flush();
  return items;
}

// Only plain relative paths below the install directory. Windows drops trailing dots and blanks
// of a path component, so ".", "..", "..." and "a." could all name something else than they say.
bool IsSafeRelative(const std::wstring& path) {
  if (path.empty() || path.find_first_of(L":*?\"<>|") != std::wstring::npos) return false;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of(L"\\/", start);
    if (end == std::wstring::npos) end = path.size();
    if (end == start) return false;  // root, "\\server", "a\\\\b" or a trailing separator
    const wchar_t last = path[end - 1];
    if (last == L'.' || last == L' ') return false;
    start = end + 1;
  }
  return true;
}

bool IsDirectory(const std::wstring& path, DWORD& attributes) {
  attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DeleteOneFile(const std::wstring& path, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  return DeleteFileW(path.c_str()) != FALSE;
}

// Removes a file or a folder tree. A junction or symbolic link is removed itself, never followed,
// so a link inside the install directory cannot make us delete what lies outside it.
bool RemovePath(const std::wstring& path) {
  DWORD attributes = 0;
  if (!IsDirectory(path, attributes)) {
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    return DeleteOneFile(path, attributes);
  }
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAW found;
    tz::UniqueFindHandle find(FindFirstFileW((path + L"\\*").c_str(), &found));
    if (find) {
      do {
        if (!wcscmp(found.cFileName, L".") || !wcscmp(found.cFileName, L"..")) continue;
        RemovePath(path + L"\\" + found.cFileName);
      } while (FindNextFileW(find.Get(), &found));
    }
  }
  if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  return RemoveDirectoryW(path.c_str()) != FALSE;
}

// Removes each listed path below `dir`; false when any could not be removed or was refused.
bool RemoveBelow(IExternHost* host, const wchar_t* function, const std::wstring& dir,
                 const std::vector<std::wstring>& items) {
  bool ok = true;
  for (const std::wstring& item : items) {
    if (!IsSafeRelative(item)) {
      Log(host, TZ_LOG_WARNING, L"%ls: refused %ls (not below the install directory)", function, item.c_str());
      ok = false;
      continue;
    }
    const std::wstring full = dir + L"\\" + item;
    if (GetFileAttributesW(full.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    if (RemovePath(full)) {
      Log(host, TZ_LOG_INFO, L"%ls: removed %ls", function, full.c_str());
    } else {
      const DWORD error = GetLastError();
      Log(host, TZ_LOG_ERROR, L"%ls: could not remove %ls (error %lu)", function, full.c_str(), error);
      ok = false;
    }
  }
  return ok;
}

bool CreateDirectoryTree(const std::wstring& dir) {
  const int rc = SHCreateDirectoryExW(nullptr, dir.c_str(), nullptr);
  if (rc == ERROR_SUCCESS) return true;
  DWORD attributes = 0;
  if ((rc == ERROR_ALREADY_EXISTS || rc == ERROR_FILE_EXISTS) && IsDirectory(dir, attributes)) return true;
  SetLastError(static_cast<DWORD>(rc));
  return false;
}

// WritePrivateProfileStringW keeps a file's encoding: a new file starts with the UTF-16LE mark so
// paths in any language survive.
bool PrepareUnicodeIni(const std::wstring& path) {
  tz::UniqueFileHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return GetLastError() == ERROR_FILE_EXISTS;
  const unsigned char bom[] = {0xFF, 0xFE};
  DWORD written = 0;
  return WriteFile(file.Get(), bom, sizeof(bom), &written, nullptr) && written == sizeof(bom);
}

int WriteSettings(IExternHost* host, const wchar_t* function, LPCWSTR value, bool completed) {
  std::wstring dir;
  if (!InstallDir(host, dir)) {
    Log(host, TZ_LOG_ERROR, L"%ls: no install directory", function);
    return TZ_ACTION_FAILED;
  }
  const std::wstring name = value && *value ? value : kDefaultSettings;
  if (!IsSafeRelative(name)) {
    Log(host, TZ_LOG_ERROR, L"%ls: refused settings file %ls", function, name.c_str());
    return TZ_ACTION_FAILED;
  }
  const std::wstring path = dir + L"\\" + name;
  const std::wstring parent = path.substr(0, path.find_last_of(L"\\/"));
  if (!CreateDirectoryTree(parent) || !PrepareUnicodeIni(path)) {
    const DWORD error = GetLastError();
    Log(host, TZ_LOG_ERROR, L"%ls: cannot create %ls (error %lu)", function, path.c_str(), error);
    return TZ_ACTION_FAILED;
  }

  std::wstring channel;
  HostText([&](BSTR* v) { return host->GetVariable(L"CHANNELID", v); }, channel);
  bool ok = WritePrivateProfileStringW(L"Install", L"InstallDir", dir.c_str(), path.c_str()) &&
            WritePrivateProfileStringW(L"Install", L"Channel", channel.c_str(), path.c_str());
  if (completed) {
    int overwrite = 0;
    host->GetMode(TZ_HOST_OVERWRITE, &overwrite);
    ok = ok && WritePrivateProfileStringW(L"Install", L"Completed", L"1", path.c_str()) &&
         WritePrivateProfileStringW(L"Install", L"Overwrite", overwrite ? L"1" : L"0", path.c_str());
  }
  int recorded = 0;
  for (const wchar_t* stat : kStatistics) {
    std::wstring text;
    const bool present = HostText([&](BSTR* v) { return host->GetVariable(stat, v); }, text);
    // A statistic this run did not record must not survive from an earlier run.
    if (present) {
      ok = ok && WritePrivateProfileStringW(L"Statistics", stat, text.c_str(), path.c_str());
      ++recorded;
    } else {
      WritePrivateProfileStringW(L"Statistics", stat, nullptr, path.c_str());
    }
  }
  if (!ok) {
    const DWORD error = GetLastError();
    Log(host, TZ_LOG_ERROR, L"%ls: cannot write %ls (error %lu)", function, path.c_str(), error);
    return TZ_ACTION_FAILED;
  }
  Log(host, TZ_LOG_INFO, L"%ls: wrote %ls (channel %ls, %d statistics)", function, path.c_str(), channel.c_str(),
      recorded);
  return TZ_ACTION_DONE;
}

std::wstring Folder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  return SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? path : L"";
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return !b.empty() && CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// Why a directory is no place to install to, or nullptr when it is.
const wchar_t* InstallDirRefusal(const std::wstring& dir) {
  const bool drive_path = dir.size() >= 3 && iswalpha(dir[0]) && dir[1] == L':' && dir[2] == L'\\';
  if (!drive_path) return L"not an absolute path";
  if (dir.size() > 200) return L"longer than 200 characters";
  if (dir.size() == 3) return L"a drive root";
  if (dir.find(L"\\..") != std::wstring::npos || dir.find(L"\\.\\") != std::wstring::npos || dir.back() == L'\\')
    return L"not a plain path";
  if (SamePath(dir, Folder(CSIDL_WINDOWS))) return L"the Windows folder";
  wchar_t program_w6432[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableW(L"ProgramW6432", program_w6432, MAX_PATH);
  if (SamePath(dir, Folder(CSIDL_PROGRAM_FILES)) || SamePath(dir, Folder(CSIDL_PROGRAM_FILESX86)) ||
      (n > 0 && n < MAX_PATH && SamePath(dir, program_w6432)))
    return L"a Program Files folder";
  return nullptr;
}

}  // namespace

extern "C" int WINAPI PreInstall(UINT, LPCWSTR, LPCWSTR, IExternHost* host) {
  int silent = 0;
  int overwrite = 0;
  host->GetMode(TZ_HOST_SILENT, &silent);
  host->GetMode(TZ_HOST_OVERWRITE, &overwrite);
  std::wstring installer;
  std::wstring dir;
  HostText([&](BSTR* v) { return host->GetPath(TZ_HOST_INSTALLER_PATH, v); }, installer);
  // oninit usually runs before the install directory is chosen.
  if (!HostText([&](BSTR* v) { return host->GetPath(TZ_HOST_INSTDIR, v); }, dir)) dir = L"(not set)";
  Log(host, TZ_LOG_INFO, L"PreInstall: silent=%d, overwrite=%d, installer=%ls, instdir=%ls", silent, overwrite,
      installer.c_str(), dir.c_str());
  return TZ_ACTION_DONE;
}

extern "C" BYTE WINAPI CheckDirectX(UINT, LPCWSTR param1, LPCWSTR, IExternHost* host) {
  const std::wstring name = param1 && *param1 ? param1 : kDefaultDirectX;
  if (name.find_first_of(L"\\/") != std::wstring::npos || !IsSafeRelative(name)) {
    Log(host, TZ_LOG_WARNING, L"CheckDirectX: refused file name %ls", name.c_str());
    return 0;
  }
  wchar_t system[MAX_PATH] = {};
  const UINT n = GetSystemDirectoryW(system, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 0;
  const std::wstring path = std::wstring(system) + L"\\" + name;
  DWORD attributes = 0;
  const bool present = !IsDirectory(path, attributes) && attributes != INVALID_FILE_ATTRIBUTES;
  Log(host, TZ_LOG_INFO, L"CheckDirectX: %ls %ls", path.c_str(), present ? L"present" : L"missing");
  return present ? 1 : 0;
}

// Condition: the directory `levels` (param2) steps above the path held by the variable named in
// param1 is a sound install directory: absolute, at most 200 characters, not a drive root, not the
// Windows folder and not a Program Files folder itself. A registry value someone else can write
// must not make the installer extract into, or later clean, such a place.
extern "C" BYTE WINAPI CheckInstallDir(UINT, LPCWSTR param1, LPCWSTR param2, IExternHost* host) {
  std::wstring source;
  if (!param1 || !*param1 || !HostText([&](BSTR* v) { return host->GetVariable(param1, v); }, source) ||
      source.empty()) {
    Log(host, TZ_LOG_INFO, L"CheckInstallDir: %ls has no value", param1 ? param1 : L"");
    return 0;
  }
  std::wstring dir = source;
  for (int levels = param2 ? _wtoi(param2) : 0; levels > 0; --levels) {
    const size_t cut = dir.find_last_of(L"\\/");
    dir = cut == std::wstring::npos ? std::wstring() : dir.substr(0, cut);
  }
  if (dir.size() == 2 && dir[1] == L':') dir += L'\\';  // "C:" after "C:\bin": the root itself
  const wchar_t* refusal = InstallDirRefusal(dir);
  if (refusal) {
    Log(host, TZ_LOG_WARNING, L"CheckInstallDir: %ls refused (%ls)", dir.c_str(), refusal);
    return 0;
  }
  Log(host, TZ_LOG_INFO, L"CheckInstallDir: %ls accepted", dir.c_str());
  return 1;
}

extern "C" int WINAPI PrepareInstDir(UINT, LPCWSTR value, LPCWSTR, IExternHost* host) {
  std::wstring dir;
  if (!InstallDir(host, dir)) {
    Log(host, TZ_LOG_ERROR, L"PrepareInstDir: no install directory");
    return TZ_ACTION_FAILED;
  }
  if (!CreateDirectoryTree(dir)) {
    const DWORD error = GetLastError();
    Log(host, TZ_LOG_ERROR, L"PrepareInstDir: cannot create %ls (error %lu)", dir.c_str(), error);
    return TZ_ACTION_FAILED;
  }
  Log(host, TZ_LOG_INFO, L"PrepareInstDir: %ls ready", dir.c_str());
  return RemoveBelow(host, L"PrepareInstDir", dir, SplitList(value)) ? TZ_ACTION_DONE : TZ_ACTION_FAILED;
}

extern "C" int WINAPI RemoveX86Files(UINT, LPCWSTR value, LPCWSTR param1, IExternHost* host) {
  bool x64_applies = false;
  if (value && *value) {
    BYTE outcome = 0;
    host->EvaluateCondition(static_cast<UINT>(_wtoi(value)), &outcome);
    x64_applies = outcome != 0;
  } else {
    std::wstring platform;
    HostText([&](BSTR* v) { return host->GetVariable(L"PLATFORMDIR", v); }, platform);
    x64_applies = CompareStringOrdinal(platform.c_str(), -1, L"64bit", -1, TRUE) == CSTR_EQUAL;
  }
  if (!x64_applies) {
    Log(host, TZ_LOG_INFO, L"RemoveX86Files: the 32-bit files apply, nothing removed");
    return TZ_ACTION_NOTHING;
  }
  std::wstring dir;
  if (!InstallDir(host, dir)) {
    Log(host, TZ_LOG_ERROR, L"RemoveX86Files: no install directory");
    return TZ_ACTION_FAILED;
  }
  std::vector<std::wstring> folders = SplitList(param1);
  if (folders.empty()) folders.assign(std::begin(kX86Folders), std::end(kX86Folders));
  return RemoveBelow(host, L"RemoveX86Files", dir, folders) ? TZ_ACTION_DONE : TZ_ACTION_FAILED;
}

extern "C" int WINAPI SaveConfig(UINT, LPCWSTR value, LPCWSTR, IExternHost* host) {
  return WriteSettings(host, L"SaveConfig", value, false);
}

extern "C" int WINAPI SaveConfig2(UINT, LPCWSTR value, LPCWSTR, IExternHost* host) {
  return WriteSettings(host, L"SaveConfig2", value, true);
}
