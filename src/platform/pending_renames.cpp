#include "platform/pending_renames.h"

#include <windows.h>

#include <vector>

#include "platform/handles.h"
#include "platform/text_compare.h"

namespace tz {
namespace {

constexpr wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kValue[] = L"PendingFileRenameOperations";

// The list is pairs of NUL-terminated paths ("\??\" prefixed; a replacing target starts with "!",
// an empty target deletes), the whole closed by a second NUL.
std::vector<std::wstring> SplitMultiString(const std::vector<wchar_t>& data) {
  std::vector<std::wstring> parts;
  size_t at = 0;
  while (at < data.size()) {
    size_t end = at;
    while (end < data.size() && data[end] != L'\0') ++end;
    parts.emplace_back(data.data() + at, end - at);
    at = end + 1;
  }
  // The closing NUL leaves one empty part at the end; a pair's empty target must stay.
  if (parts.size() % 2 == 1 && parts.back().empty()) parts.pop_back();
  return parts;
}

std::wstring Plain(const std::wstring& path) {
  return StartsWithIgnoreCase(path, L"\\??\\") ? path.substr(4) : path;
}

}  // namespace

bool CancelPendingRename(const std::wstring& path) {
  if (path.empty()) return true;
  UniqueHkey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY,
                    key.Put()) != ERROR_SUCCESS)
    return false;
  DWORD type = 0, bytes = 0;
  const LONG probe = RegQueryValueExW(key.Get(), kValue, nullptr, &type, nullptr, &bytes);
  if (probe == ERROR_FILE_NOT_FOUND) return true;
  if (probe != ERROR_SUCCESS || type != REG_MULTI_SZ) return false;
  std::vector<wchar_t> data(bytes / sizeof(wchar_t) + 2, L'\0');
  bytes = static_cast<DWORD>((data.size() - 2) * sizeof(wchar_t));
  if (RegQueryValueExW(key.Get(), kValue, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &bytes) !=
      ERROR_SUCCESS)
    return false;
  data.resize(bytes / sizeof(wchar_t));

  const std::vector<std::wstring> parts = SplitMultiString(data);
  std::vector<wchar_t> kept;
  bool removed = false;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    if (EqualsIgnoreCase(Plain(parts[i]), path)) {
      removed = true;
      continue;
    }
    for (size_t k = i; k <= i + 1; ++k) {
      kept.insert(kept.end(), parts[k].begin(), parts[k].end());
      kept.push_back(L'\0');
    }
  }
  if (!removed) return true;
  if (kept.empty()) return RegDeleteValueW(key.Get(), kValue) == ERROR_SUCCESS;
  kept.push_back(L'\0');
  return RegSetValueExW(key.Get(), kValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.data()),
                        static_cast<DWORD>(kept.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

}  // namespace tz
