#include "script/text_expand.h"

#include <windows.h>

#include "script/language_table.h"
#include "script/variable_store.h"

namespace {

constexpr int kMaxPasses = 64;
constexpr size_t kMaxPairDistance = 32;  // a name holds at most 31 characters
constexpr DWORD kEnvBuffer = 520;

std::wstring Resolve(const std::wstring& name) {
  if (name.size() >= 3 && name.front() == L'#' && name.back() == L'#') {
    const std::wstring key = name.substr(1, name.size() - 2);
    std::wstring s = GetLanguageTable().GetString(key);
    return s.empty() ? key : s;
  }
  CVariableStore& store = GetVariableStore();
  std::wstring value;
  if (store.GetBuiltin(name, value)) return value;
  if (store.GetVariable(name, value)) return value;
  const std::wstring token = L"%" + name + L"%";
  wchar_t buf[kEnvBuffer] = {};
  const DWORD n = ExpandEnvironmentStringsW(token.c_str(), buf, kEnvBuffer);
  if (n > 0 && n <= kEnvBuffer && buf[0] != L'%') return buf;
  return {};
}

}  // namespace

std::wstring Expand(const std::wstring& text) {
  std::wstring work = text;
  for (int pass = 0; pass < kMaxPasses; ++pass) {
    const size_t first = work.find(L'%');
    if (first == std::wstring::npos) break;
    const size_t second = work.find(L'%', first + 1);
    if (second == std::wstring::npos || second - first > kMaxPairDistance) break;
    const std::wstring name = work.substr(first + 1, second - first - 1);
    const std::wstring token = L"%" + name + L"%";
    const std::wstring value = Resolve(name);
    for (size_t at = work.find(token); at != std::wstring::npos; at = work.find(token, at + value.size()))
      work.replace(at, token.size(), value);
  }
  return work;
}
