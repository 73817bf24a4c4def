#include "script/text_expand.h"

#include <windows.h>

#include <algorithm>

#include "script/language_table.h"
#include "script/variable_store.h"

namespace {

constexpr int kMaxPasses = 64;
constexpr size_t kMaxPairDistance = 32;  // a name holds at most 31 characters
constexpr DWORD kEnvBuffer = 520;
// A value that names itself twice doubles the text at every pass; past this length (or the
// input's own) expansion stops rather than exhaust memory.
constexpr size_t kMaxLength = 1 << 16;
// References resolved by one outermost Expand, those met while evaluating its variables included:
// variables whose texts name each other would otherwise multiply the work at every level.
constexpr int kMaxResolves = 4096;

thread_local int t_depth = 0;
thread_local int t_resolves = 0;

class ExpandScope {
 public:
  ExpandScope() {
    if (t_depth++ == 0) t_resolves = 0;
  }
  ~ExpandScope() { --t_depth; }
  ExpandScope(const ExpandScope&) = delete;
  ExpandScope& operator=(const ExpandScope&) = delete;
};

// Replaces every `token`, left to right, in one sweep; false (text unchanged) when the result
// would be longer than `limit`.
bool ReplaceAll(std::wstring& text, const std::wstring& token, const std::wstring& value, size_t limit) {
  std::wstring out;
  size_t from = 0;
  for (size_t at = text.find(token); at != std::wstring::npos; at = text.find(token, from)) {
    if (out.size() + (at - from) + value.size() > limit) return false;
    out.append(text, from, at - from).append(value);
    from = at + token.size();
  }
  if (out.size() + (text.size() - from) > limit) return false;
  out.append(text, from, std::wstring::npos);
  text.swap(out);
  return true;
}

std::wstring Resolve(CVariableStore& store, CLanguageTable& languages, const std::wstring& name) {
  if (name.size() >= 3 && name.front() == L'#' && name.back() == L'#') {
    const std::wstring key = name.substr(1, name.size() - 2);
    std::wstring s = languages.GetString(key);
    return s.empty() ? key : s;
  }
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

std::wstring ExpandText(CVariableStore& variables, CLanguageTable& languages, const std::wstring& text) {
  ExpandScope scope;
  std::wstring work = text;
  const size_t limit = std::max(kMaxLength, text.size());
  for (int pass = 0; pass < kMaxPasses && t_resolves < kMaxResolves; ++pass, ++t_resolves) {
    const size_t first = work.find(L'%');
    if (first == std::wstring::npos) break;
    const size_t second = work.find(L'%', first + 1);
    if (second == std::wstring::npos || second - first > kMaxPairDistance) break;
    const std::wstring name = work.substr(first + 1, second - first - 1);
    const std::wstring token = L"%" + name + L"%";
    const std::wstring value = Resolve(variables, languages, name);
    if (!ReplaceAll(work, token, value, limit)) break;
  }
  return work;
}
