// regdump 32|64 KEY: prints every value of a registry key in one view, one per line, as
// "name<TAB>type<TAB>data" in UTF-8 ("@" names the default value). Exit code 3 when the key
// does not exist.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/encoding.h"

namespace {

HKEY Root(const std::wstring& key, std::wstring& rest) {
  struct {
    const wchar_t* name;
    HKEY root;
  } roots[] = {{L"HKLM", HKEY_LOCAL_MACHINE}, {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
               {L"HKCU", HKEY_CURRENT_USER},  {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
               {L"HKCR", HKEY_CLASSES_ROOT},  {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
               {L"HKU", HKEY_USERS},          {L"HKEY_USERS", HKEY_USERS}};
  const size_t slash = key.find(L'\\');
  const std::wstring head = key.substr(0, slash);
  rest = slash == std::wstring::npos ? L"" : key.substr(slash + 1);
  for (auto& r : roots)
    if (_wcsicmp(head.c_str(), r.name) == 0) return r.root;
  return nullptr;
}

std::string Escape(const std::wstring& w) {
  std::string s;
  for (char c : tz::WideToUtf8(w)) {
    if (c == '\\') s += "\\\\";
    else if (c == '\n') s += "\\n";
    else if (c == '\r') s += "\\r";
    else if (c == '\t') s += "\\t";
    else s += c;
  }
  return s;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  const REGSAM view = wcscmp(argv[1], L"64") == 0 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
  std::wstring sub;
  HKEY root = Root(argv[2], sub);
  if (!root) return 2;
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, sub.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return 3;
  for (DWORD i = 0;; ++i) {
    std::vector<wchar_t> name(16384);
    DWORD name_len = static_cast<DWORD>(name.size());
    DWORD type = 0, size = 0;
    LONG rc = RegEnumValueW(key, i, name.data(), &name_len, nullptr, &type, nullptr, &size);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) continue;
    std::vector<BYTE> data(size + 4);
    name_len = static_cast<DWORD>(name.size());
    if (RegEnumValueW(key, i, name.data(), &name_len, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) continue;
    std::wstring value_name(name.data(), name_len);
    std::string out = value_name.empty() ? "@" : Escape(value_name);
    out += '\t';
    switch (type) {
      case REG_SZ:
      case REG_EXPAND_SZ: {
        std::wstring text(reinterpret_cast<wchar_t*>(data.data()), size / sizeof(wchar_t));
        while (!text.empty() && text.back() == 0) text.pop_back();
        out += type == REG_SZ ? "REG_SZ\t" : "REG_EXPAND_SZ\t";
        out += Escape(text);
        break;
      }
      case REG_MULTI_SZ: {
        std::wstring text(reinterpret_cast<wchar_t*>(data.data()), size / sizeof(wchar_t));
        while (!text.empty() && text.back() == 0) text.pop_back();
        for (auto& c : text)
          if (c == 0) c = L'|';
        out += "REG_MULTI_SZ\t" + Escape(text);
        break;
      }
      case REG_DWORD:
        out += "REG_DWORD\t" + std::to_string(*reinterpret_cast<DWORD*>(data.data()));
        break;
      case REG_QWORD:
        out += "REG_QWORD\t" + std::to_string(*reinterpret_cast<unsigned long long*>(data.data()));
        break;
      default: {
        out += "REG_BINARY\t";
        char hex[4];
        for (DWORD b = 0; b < size; ++b) {
          snprintf(hex, sizeof(hex), "%02x", data[b]);
          out += hex;
        }
      }
    }
    out += '\n';
    fwrite(out.data(), 1, out.size(), stdout);
  }
  RegCloseKey(key);
  return 0;
}
