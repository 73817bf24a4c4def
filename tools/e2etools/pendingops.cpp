// pendingops list | clear PREFIX: the reboot-time file operations Windows keeps in
// PendingFileRenameOperations. "list" prints one "source<TAB>destination" line per operation in
// UTF-8, exactly as stored (an empty destination deletes); "clear" removes the operations whose
// source, without its "\??\" prefix, starts with PREFIX (any case), so a scenario takes back only
// what it scheduled.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/encoding.h"

namespace {

constexpr wchar_t kKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kValue[] = L"PendingFileRenameOperations";

// The value's strings in order (source, destination, source, destination ...).
std::vector<std::wstring> ReadStrings(HKEY key) {
  DWORD size = 0;
  if (RegQueryValueExW(key, kValue, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return {};
  std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
  if (RegQueryValueExW(key, kValue, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
    return {};
  data.resize(size / sizeof(wchar_t));
  // The list ends at the empty string that follows a complete pair.
  std::vector<std::wstring> strings;
  for (size_t at = 0; at < data.size();) {
    const size_t end = data.find(L'\0', at);
    const std::wstring s = data.substr(at, end == std::wstring::npos ? std::wstring::npos : end - at);
    if (s.empty() && strings.size() % 2 == 0) break;
    strings.push_back(s);
    if (end == std::wstring::npos) break;
    at = end + 1;
  }
  if (strings.size() % 2) strings.push_back(L"");
  return strings;
}

bool StartsWith(std::wstring text, const std::wstring& prefix) {
  if (text.rfind(L"\\??\\", 0) == 0) text.erase(0, 4);
  return text.size() >= prefix.size() &&
         CompareStringOrdinal(text.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                              static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const bool clear = _wcsicmp(argv[1], L"clear") == 0;
  if (clear && argc < 3) return 2;
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return 1;
  const std::vector<std::wstring> strings = ReadStrings(key);
  int rc = 0;
  if (!clear) {
    for (size_t i = 0; i + 1 < strings.size(); i += 2) printf("%s\t%s\n", tz::WideToUtf8(strings[i]).c_str(), tz::WideToUtf8(strings[i + 1]).c_str());
  } else {
    std::wstring kept;
    size_t pairs = 0;
    for (size_t i = 0; i + 1 < strings.size(); i += 2) {
      if (StartsWith(strings[i], argv[2])) continue;
      kept += strings[i] + L'\0' + strings[i + 1] + L'\0';
      ++pairs;
    }
    if (pairs == 0) {
      const LONG r = RegDeleteValueW(key, kValue);
      rc = r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND ? 0 : 1;
    } else {
      kept += L'\0';
      rc = RegSetValueExW(key, kValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.data()),
                          static_cast<DWORD>(kept.size() * sizeof(wchar_t))) == ERROR_SUCCESS
               ? 0
               : 1;
    }
  }
  RegCloseKey(key);
  return rc;
}
