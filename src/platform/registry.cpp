#include "platform/registry.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <limits>

#include "platform/dll_search.h"
#include "platform/handles.h"
#include "platform/process.h"
#include "platform/text_compare.h"

namespace tz {
namespace {

constexpr DWORD kFirstReadBytes = 1024;
constexpr REGSAM kDeleteAccess = KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_ENUMERATE_SUB_KEYS;  // 0xB
constexpr DWORD kMaxKeyNameChars = 255;  // Windows' limit for one key name

struct RootPrefix {
  std::wstring_view prefix;
  HKEY root;
};
const RootPrefix kRootPrefixes[] = {
    {L"hklm\\", HKEY_LOCAL_MACHINE}, {L"hkcu\\", HKEY_CURRENT_USER}, {L"hkcr\\", HKEY_CLASSES_ROOT},
    {L"hku\\", HKEY_USERS},          {L"hkcc\\", HKEY_CURRENT_CONFIG},
};

REGSAM ViewBit(int view) { return view == kRegView64 ? KEY_WOW64_64KEY : 0; }

UniqueHkey OpenKey(const std::wstring& path, REGSAM access, int view, LONG* status = nullptr) {
  HKEY root = nullptr;
  std::wstring subkey;
  SplitRegistryPath(path, root, subkey);
  UniqueHkey key;
  const LONG result = RegOpenKeyExW(root, subkey.c_str(), 0, access | ViewBit(view), key.Put());
  if (status) *status = result;
  if (result != ERROR_SUCCESS) key.Release();  // nothing was opened; keep the owner empty
  return key;
}

UniqueHkey CreateKey(const std::wstring& path, int view) {
  HKEY root = nullptr;
  std::wstring subkey;
  SplitRegistryPath(path, root, subkey);
  UniqueHkey key;
  if (RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE | ViewBit(view),
                      nullptr, key.Put(), nullptr) != ERROR_SUCCESS) {
    key.Release();
  }
  return key;
}

// A decimal text as a DWORD: blanks skipped, optional sign, digits up to the first other character.
// Both readings of 32 bits are accepted, so "4294967295" and "-1" both give 0xFFFFFFFF; a number
// outside them fails rather than being written cut to 32 bits.
bool DecimalDword(const std::wstring& text, DWORD& value) {
  constexpr unsigned long long kLimit = 0x100000000ull;
  size_t i = 0;
  while (i < text.size() && std::iswspace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  unsigned long long number = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    number = std::min(number * 10 + static_cast<unsigned>(text[i] - L'0'), kLimit);
  }
  if (number >= kLimit || (negative && number > 0x80000000ull)) return false;
  value = negative ? 0u - static_cast<DWORD>(number) : static_cast<DWORD>(number);
  return true;
}

bool WriteOneValue(HKEY key, const std::wstring& name, const std::wstring& data, DWORD type) {
  if (type == REG_DWORD) {
    DWORD number = 0;
    if (name.empty() || data.empty() || !DecimalDword(data, number)) return false;
    return RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                          sizeof(number)) == ERROR_SUCCESS;
  }
  if (type == REG_SZ) {
    // "@" names the key's default value in scripts; "@@" is how a value literally named "@" is written.
    const wchar_t* value_name = (name.empty() || name == L"@") ? L"" : name == L"@@" ? L"@" : name.c_str();
    const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, value_name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()), bytes) ==
           ERROR_SUCCESS;
  }
  return false;
}

using RegDeleteKeyExWFn = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);

// Looked up at run time: 32-bit Windows XP has no RegDeleteKeyExW.
RegDeleteKeyExWFn DeleteKeyExFunction() {
  static const RegDeleteKeyExWFn function = [] {
    HMODULE advapi = GetModuleHandleW(L"Advapi32.dll");
    if (!advapi) advapi = LoadSystemLibrary(L"Advapi32.dll");  // kept loaded for the process
    return advapi ? reinterpret_cast<RegDeleteKeyExWFn>(
                        reinterpret_cast<void*>(GetProcAddress(advapi, "RegDeleteKeyExW")))
                  : nullptr;
  }();
  return function;
}

bool DeleteOneKey(HKEY parent, const wchar_t* subkey, REGSAM view_bit) {
  if (const RegDeleteKeyExWFn delete_ex = DeleteKeyExFunction())
    return delete_ex(parent, subkey, view_bit, 0) == ERROR_SUCCESS;
  // The plain delete works in this process's own view only; for the 64-bit view on 64-bit Windows it
  // would remove the 32-bit key of the same name instead.
  if (view_bit != 0 && IsWow64()) return false;
  return RegDeleteKeyW(parent, subkey) == ERROR_SUCCESS;
}

// Deletes everything below `key`, depth first. A subkey that cannot be opened or deleted is stepped
// over, so the walk always ends; the caller's delete of `key` itself then fails.
void DeleteSubkeys(HKEY key, REGSAM access) {
  DWORD subkeys = 0;
  DWORD longest = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &longest, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS ||
      subkeys == 0) {
    return;
  }
  std::vector<wchar_t> name(std::max(longest, kMaxKeyNameChars) + 1);
  DWORD index = 0;
  for (;;) {
    DWORD length = static_cast<DWORD>(name.size());
    const LONG status = RegEnumKeyExW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_MORE_DATA) {
      ++index;
      continue;
    }
    if (status != ERROR_SUCCESS) break;
    UniqueHkey child;
    if (RegOpenKeyExW(key, name.data(), 0, access, child.Put()) == ERROR_SUCCESS) {
      DeleteSubkeys(child.Get(), access);
      child.Reset();
    } else {
      child.Release();
    }
    if (!DeleteOneKey(key, name.data(), access & KEY_WOW64_64KEY)) ++index;
  }
}

}  // namespace

void SplitRegistryPath(const std::wstring& path, HKEY& root, std::wstring& subkey) {
  root = HKEY_LOCAL_MACHINE;
  std::wstring_view rest = path;
  for (const RootPrefix& prefix : kRootPrefixes) {
    if (StartsWithIgnoreCase(rest, prefix.prefix)) {
      root = prefix.root;
      rest.remove_prefix(prefix.prefix.size());
      break;
    }
  }
  // "hklm\\" must stay a bare root, not become a key named by a separator.
  while (!rest.empty() && rest.back() == L'\\') rest.remove_suffix(1);
  subkey.assign(rest);
}

RegViewWanted ParseViewWords(std::wstring_view text) {
  if (EqualsIgnoreCase(text, L"x86")) return {true, false};
  if (EqualsIgnoreCase(text, L"x64")) return {false, true};
  if (EqualsIgnoreCase(text, L"x86x64") || EqualsIgnoreCase(text, L"x64x86")) return {true, true};
  if (EqualsIgnoreCase(text, L"auto")) {
    const bool wow64 = IsWow64();
    return {!wow64, wow64};
  }
  return {};
}

DWORD ParseTypeWord(std::wstring_view text) {
  static constexpr struct {
    std::wstring_view word;
    DWORD type;
  } kTypes[] = {
      {L"sz", REG_SZ},       {L"expandsz", REG_EXPAND_SZ}, {L"binary", REG_BINARY},
      {L"dword", REG_DWORD}, {L"multisz", REG_MULTI_SZ},   {L"qword", REG_QWORD},
  };
  for (const auto& entry : kTypes) {
    if (EqualsIgnoreCase(text, entry.word)) return entry.type;
  }
  return REG_NONE;
}

bool KeyExists(const std::wstring& path, const std::wstring& value_name, DWORD type, int view) {
  if (path.empty()) return false;
  LONG status = ERROR_SUCCESS;
  const UniqueHkey key = OpenKey(path, KEY_QUERY_VALUE, view, &status);
  // A key that denies reading still exists.
  if (!key) return status == ERROR_ACCESS_DENIED && value_name.empty();
  if (value_name.empty()) return true;
  DWORD actual_type = REG_NONE;
  DWORD size = 0;
  if (RegQueryValueExW(key.Get(), value_name.c_str(), nullptr, &actual_type, nullptr, &size) != ERROR_SUCCESS)
    return false;
  return type == REG_NONE || type == actual_type;
}

bool ReadNumber(const std::wstring& path, const std::wstring& value_name, int view, DWORD& value) {
  if (path.empty()) return false;
  const UniqueHkey key = OpenKey(path, KEY_QUERY_VALUE, view);
  if (!key) return false;
  DWORD number = 0;
  DWORD size = sizeof(number);
  if (RegQueryValueExW(key.Get(), value_name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size) !=
      ERROR_SUCCESS)
    return false;
  value = number;
  return true;
}

bool ReadString(const std::wstring& path, const std::wstring& value_name, int view, std::wstring& value) {
  if (path.empty()) return false;
  const UniqueHkey key = OpenKey(path, KEY_QUERY_VALUE, view);
  if (!key) return false;
  // One spare character beyond what Windows may fill, so unterminated data still ends in a NUL.
  std::vector<wchar_t> buffer(kFirstReadBytes / sizeof(wchar_t) + 1);
  DWORD size = kFirstReadBytes;
  LONG status = RegQueryValueExW(key.Get(), value_name.c_str(), nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(buffer.data()), &size);
  // The value may grow between the size report and the second read: follow it a few times.
  for (int attempt = 0; status == ERROR_MORE_DATA && attempt < 4; ++attempt) {
    const DWORD bytes = size + sizeof(wchar_t);
    buffer.assign(bytes / sizeof(wchar_t) + 2, L'\0');
    size = bytes;
    status = RegQueryValueExW(key.Get(), value_name.c_str(), nullptr, nullptr,
                              reinterpret_cast<BYTE*>(buffer.data()), &size);
  }
  if (status != ERROR_SUCCESS) return false;
  value.assign(buffer.data());
  return true;
}

bool WriteValue(const std::wstring& path, const std::wstring& name, const std::wstring& data, DWORD type,
                int view) {
  if (path.empty()) return false;
  const UniqueHkey key = CreateKey(path, view);
  if (!key) return false;
  return WriteOneValue(key.Get(), name, data, type);
}

bool WriteValues(const std::wstring& path, const std::vector<std::wstring>& names,
                 const std::vector<std::wstring>& datas, const std::vector<DWORD>& types, int view) {
  if (path.empty() || names.empty() || names.size() != datas.size() || names.size() != types.size()) return false;
  const UniqueHkey key = CreateKey(path, view);
  if (!key) return false;
  for (size_t i = 0; i < names.size(); ++i) {
    if (!WriteOneValue(key.Get(), names[i], datas[i], types[i])) return false;
  }
  return true;
}

unsigned DeleteValues(const std::wstring& path, const std::vector<std::wstring>& names, int view) {
  if (path.empty() || names.empty()) return 0;
  HKEY root = nullptr;
  std::wstring subkey;
  SplitRegistryPath(path, root, subkey);
  if (subkey.empty()) return 0;
  const UniqueHkey key = OpenKey(path, KEY_SET_VALUE, view);
  if (!key) return 0;
  unsigned deleted = 0;
  for (const std::wstring& name : names) {
    if (RegDeleteValueW(key.Get(), name.c_str()) == ERROR_SUCCESS) ++deleted;
  }
  return deleted;
}

bool DeleteKey(const std::wstring& path, bool only_if_empty, int view) {
  if (path.empty()) return false;
  HKEY root = nullptr;
  std::wstring subkey;
  SplitRegistryPath(path, root, subkey);
  if (subkey.empty()) return false;  // a root key is never emptied or deleted
  const REGSAM access = kDeleteAccess | ViewBit(view);
  UniqueHkey key;
  if (RegOpenKeyExW(root, subkey.c_str(), 0, access, key.Put()) != ERROR_SUCCESS) {
    key.Release();
    return false;
  }
  DWORD subkeys = 0;
  DWORD values = 0;
  if (RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS)
    return false;
  if (only_if_empty) {
    if (subkeys + values > 0) return true;  // a key still in use counts as done
  } else {
    DeleteSubkeys(key.Get(), access);
  }
  key.Reset();
  return DeleteOneKey(root, subkey.c_str(), ViewBit(view));
}

}  // namespace tz
