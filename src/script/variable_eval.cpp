// Setting, looking up and evaluating variables.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <vector>

#include "diag/install_log.h"
#include "platform/filesystem.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/text_compare.h"
#include "platform/thread_stack.h"
#include "script/run_context.h"
#include "script/variable_store.h"

namespace {

constexpr wchar_t kIniMissing[] = L"!@#**#@!";
constexpr DWORD kIniBuffer = 512;
constexpr DWORD kStillActive = 259;
// Evaluation expands texts that may name variables in turn; a variable that leads back to itself,
// or a chain deeper than this, is not evaluated again on the way (its value text stands).
constexpr size_t kMaxNesting = 64;

// Names of the variables being evaluated on this thread, outermost first. Each points at the
// record copy of the frame that evaluates it, which outlives its scope.
thread_local tz::ThreadStack<const std::wstring*, kMaxNesting> t_evaluating;

class EvaluatingScope {
 public:
  explicit EvaluatingScope(const std::wstring& name) { t_evaluating.push(&name); }
  ~EvaluatingScope() { t_evaluating.pop(); }
  EvaluatingScope(const EvaluatingScope&) = delete;
  EvaluatingScope& operator=(const EvaluatingScope&) = delete;
};

bool BeingEvaluated(const std::wstring& name) {
  return t_evaluating.full() || t_evaluating.any([&](const std::wstring* other) { return *other == name; });
}

struct VersionField {
  const wchar_t* name;
  unsigned bit;
};
const VersionField kVersionFields[] = {
    {L"ProdVer", tz::kVerProductVersion},         {L"FileVer", tz::kVerFileVersion},
    {L"CompanyName", tz::kVerCompanyName},        {L"FileDescription", tz::kVerFileDescription},
    {L"FileVersion", tz::kVerFileVersionText},    {L"InternalName", tz::kVerInternalName},
    {L"LegalCopyright", tz::kVerLegalCopyright},  {L"OriginalFilename", tz::kVerOriginalFilename},
    {L"ProductName", tz::kVerProductName},        {L"ProductVersion", tz::kVerProductVersionText},
    {L"LegalTrademarks", tz::kVerLegalTrademarks}, {L"SpecialBuild", tz::kVerSpecialBuild},
};

bool EvalVersion(RunContext& run, const VariableRecord& r, std::wstring& out) {
  for (const VersionField& f : kVersionFields) {
    if (!tz::EqualsIgnoreCase(r.name, f.name)) continue;
    tz::FileVersionRecord record;
    if (!tz::ReadFileVersion(f.bit, run.Expand(r.path), record)) return false;
    auto it = record.find(f.bit);
    if (it == record.end()) return false;
    out = it->second;
    return true;
  }
  return false;
}

bool ReadRegistry(const std::wstring& path, const std::wstring& name, bool dword, int view, std::wstring& out) {
  if (dword) {
    DWORD v = 0;
    if (!tz::ReadNumber(path, name, view, v)) return false;
    out = FormatText(L"%u", v);
    return true;
  }
  return tz::ReadString(path, name, view, out);
}

bool EvalRegistry(RunContext& run, const VariableRecord& r, std::wstring& out) {
  bool dword;
  if (tz::EqualsIgnoreCase(r.param1, L"sz"))
    dword = false;
  else if (tz::EqualsIgnoreCase(r.param1, L"dword"))
    dword = true;
  else
    return false;
  const std::wstring path = run.Expand(r.path), name = run.Expand(r.name);
  const std::wstring& views = r.param2;
  if (tz::EqualsIgnoreCase(views, L"x86")) return ReadRegistry(path, name, dword, tz::kRegView32, out);
  if (tz::EqualsIgnoreCase(views, L"x64")) return ReadRegistry(path, name, dword, tz::kRegView64, out);
  if (tz::EqualsIgnoreCase(views, L"x86x64") || tz::EqualsIgnoreCase(views, L"x64x86")) {
    if (ReadRegistry(path, name, dword, tz::kRegView32, out)) return true;
    return run.info.Flag(II_IS64BITOS) && ReadRegistry(path, name, dword, tz::kRegView64, out);
  }
  if (tz::EqualsIgnoreCase(views, L"auto"))
    return ReadRegistry(path, name, dword, run.info.Flag(II_IS64BITOS) ? tz::kRegView64 : tz::kRegView32, out);
  return ReadRegistry(path, name, dword, tz::kRegViewDefault, out);
}

bool EvalIni(RunContext& run, const VariableRecord& r, std::wstring& out) {
  const std::wstring file = run.Expand(r.path);
  // The profile functions take paths shorter than MAX_PATH (Wine's overrun their stack otherwise).
  if (file.size() >= MAX_PATH) return false;
  wchar_t buf[kIniBuffer] = {};
  GetPrivateProfileStringW(run.Expand(r.param1).c_str(), run.Expand(r.name).c_str(), kIniMissing, buf, kIniBuffer,
                           file.c_str());
  if (wcscmp(buf, kIniMissing) == 0) return false;
  out = buf;
  return true;
}

bool EvalDll(RunContext& run, const VariableRecord& r, std::wstring& out) {
  RunContext::ModuleEntry entry;
  if (!run.PrepareModuleCall(r.path, r.name, false, entry)) return false;
  return run.Modules().CallVariable(entry.module, entry.function, r.varname, r.param1, r.param2, out);
}

bool EvalProgram(RunContext& run, const VariableRecord& r, std::wstring& out) {
  const DWORD timeout = static_cast<DWORD>(wcstol(r.param2.c_str(), nullptr, 10));
  DWORD code = 0;
  if (!tz::StartProcess(run.Expand(r.path), run.Expand(r.param1), false, true, timeout == 0 ? INFINITE : timeout, L"", &code))
    return false;
  if (code == kStillActive) return false;
  out = FormatText(L"%d", static_cast<int>(code));
  return true;
}

}  // namespace

// True with the evaluated value; false when evaluation does not apply or fails.
bool CVariableStore::Evaluate(const VariableRecord& r, std::wstring& out) {
  switch (r.type) {
    case VARIABLE_CONST:
      out = r.value;
      return true;
    case VARIABLE_VERSION:
      return EvalVersion(run_, r, out);
    case VARIABLE_REG:
      return EvalRegistry(run_, r, out);
    case VARIABLE_INI:
      return EvalIni(run_, r, out);
    case VARIABLE_DLL:
      return EvalDll(run_, r, out);
    case VARIABLE_RET:
      return EvalProgram(run_, r, out);
    default:  // cmd/param and unknown types keep their script value
      return false;
  }
}

bool CVariableStore::SetVariable(const std::wstring& name, const std::wstring& text) {
  return records_.Upsert(name, [&](VariableRecord& r, bool present) {
    if (!present) {
      r.type = VARIABLE_CONST;
      r.varname = name;
    } else if (r.nocache) {
      return false;
    }
    r.value = text;
    r.evaluated = true;
    return true;
  });
}

bool CVariableStore::GetVariable(const std::wstring& name, std::wstring& out) {
  VariableRecord copy;
  if (!FindRecord(name, copy)) return GetBuiltin(name, out);
  if (!copy.evaluated && !BeingEvaluated(copy.varname)) {
    EvaluatingScope scope(copy.varname);
    std::wstring value;
    // Evaluation may read the registry or run a program: never under the lock.
    if (Evaluate(copy, value)) {
      SetVariable(copy.varname, value);
      copy.value = value;
    }
  }
  out = copy.value;
  return true;
}
