// Condition evaluation: the built-in conditions, one small test per condition type, caching and
// the outcome log line. The table's lock is taken only to copy an item out and to store its outcome;
// every test runs without it, since logic and dll items call back into the table.
#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "conditions/compare.h"
#include "conditions/condition_evaluator.h"
#include "diag/install_log.h"
#include "platform/filesystem.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/text_compare.h"
#include "platform/thread_stack.h"
#include "script/script_values.h"
#include "state/builtin_ids.h"

namespace {

// Logic items may nest (and dll items may call back into the table); a script must not be able to
// exhaust the stack that way. Far deeper than any real script needs.
constexpr size_t kMaxNesting = 64;

// Ids of the script items being evaluated on this thread, outermost first.
thread_local tz::ThreadStack<uint32_t, kMaxNesting> t_active;
// Items refused on this thread because of the cap or a cycle: an outcome computed while this grew
// rests on a cut-short answer and must not be cached.
thread_local unsigned long t_cut_short = 0;

class ActiveItem {
 public:
  explicit ActiveItem(uint32_t id) { t_active.push(id); }
  ~ActiveItem() { t_active.pop(); }
  ActiveItem(const ActiveItem&) = delete;
  ActiveItem& operator=(const ActiveItem&) = delete;
};

bool BuiltinConditionOutcome(RunContext& run, uint32_t id) {
  // The modes are read afresh: an action may switch to silent while a stage runs.
  COptionsStore& options = run.options;
  switch (id) {
    case BUILTIN_COND_XP: return run.info.Flag(II_ISXP);
    case BUILTIN_COND_VISTA_UP: return run.info.Flag(II_ISVISTAUP);
    case BUILTIN_COND_32BIT_OS: return run.info.Flag(II_IS32BITOS);
    case BUILTIN_COND_64BIT_OS: return run.info.Flag(II_IS64BITOS);
    case BUILTIN_COND_SILENT: return options.IsTrue(OPT_SILENT);
    case BUILTIN_COND_OVERWRITE: return options.IsTrue(OPT_OVERWRITE);
    case BUILTIN_COND_NEW_INTERACTIVE: return !options.IsTrue(OPT_SILENT) && !options.IsTrue(OPT_OVERWRITE);
    case BUILTIN_COND_OVERWRITE_INTERACTIVE: return !options.IsTrue(OPT_SILENT) && options.IsTrue(OPT_OVERWRITE);
    case BUILTIN_COND_NEW_SILENT: return options.IsTrue(OPT_SILENT) && !options.IsTrue(OPT_OVERWRITE);
    case BUILTIN_COND_OVERWRITE_SILENT: return options.IsTrue(OPT_SILENT) && options.IsTrue(OPT_OVERWRITE);
    default: return false;
  }
}

bool PathExistCondition(RunContext& run, const ConditionRecord& c) { return PathFileExistsW(run.Expand(c.path).c_str()) != FALSE; }

bool EmptyDirCondition(RunContext& run, const ConditionRecord& c) { return PathIsDirectoryEmptyW(run.Expand(c.path).c_str()) != FALSE; }

bool RegExistCondition(RunContext& run, const ConditionRecord& c) {
  const std::wstring key = run.Expand(c.path);
  const DWORD type = tz::ParseTypeWord(c.param1);
  const tz::RegViewWanted views = tz::ParseViewWords(c.param2);
  const bool windows64 = tz::IsWow64();
  if (views.view32 && views.view64) {
    if (!windows64) return false;
    return tz::KeyExists(key, c.name, type, tz::kRegView32) && tz::KeyExists(key, c.name, type, tz::kRegView64);
  }
  int view = tz::kRegViewDefault;
  if (views.view32) {
    view = tz::kRegView32;
  } else if (views.view64 && windows64) {
    view = tz::kRegView64;
  }
  return tz::KeyExists(key, c.name, type, view);
}

bool RegValueCondition(RunContext& run, const ConditionRecord& c) {
  const tz::RegViewWanted views = tz::ParseViewWords(c.param2);
  int view = tz::kRegViewDefault;
  if (views.view32 && !views.view64) {
    view = tz::kRegView32;
  } else if (views.view64 && !views.view32 && tz::IsWow64()) {
    view = tz::kRegView64;
  }
  const std::wstring key = run.Expand(c.path);
  DWORD number = 0;
  if (tz::EqualsIgnoreCase(c.param1, L"dword")) {
    if (!tz::ReadNumber(key, c.name, view, number)) return false;
    return CompareNumbers(static_cast<int32_t>(number), tz::ParseDecimal(c.value), c.method);
  }
  std::wstring text;
  if (!tz::ReadString(key, c.name, view, text) && !tz::ReadNumber(key, c.name, view, number)) return false;
  return CompareStrings(text, c.value, c.method, c.case_sensitive);
}

bool OsVerCondition(RunContext&, const ConditionRecord& c) {
  if (c.value.empty()) return true;
  std::vector<uint32_t> wanted;
  for (const std::wstring& item : tz::SplitTrim(c.value, L'.')) {
    wanted.push_back(static_cast<uint32_t>(tz::ParseDecimal(item)));
  }
  if (wanted.empty()) return false;
  DWORD major = 0, minor = 0, build = 0;
  if (!tz::GetWindowsVersion(major, minor, build)) major = minor = build = 0;
  return CompareVersionItems({major, minor, build}, wanted, c.method);
}

// The fixed version texts show each 16-bit part signed ("1.2.-25536.4" for part 40000); the compare
// needs the part itself, or every version with a part of 32768 and more would compare wrongly.
std::wstring UnsignedFixedVersion(const std::wstring& text) {
  std::wstring out;
  for (const std::wstring& item : tz::SplitKeep(text, L'.')) {
    int32_t part = tz::ParseDecimal(item);
    if (part < 0 && part >= -32768) part += 65536;
    if (!out.empty()) out += L'.';
    out += std::to_wstring(part);
  }
  return out;
}

bool FileVerCondition(RunContext& run, const ConditionRecord& c) {
  if (c.value.empty()) return false;
  static const struct {
    const wchar_t* word;
    const wchar_t* digit;
    unsigned field;
  } kFields[] = {
      {L"prodver", L"1", tz::kVerProductVersion},
      {L"filever", L"2", tz::kVerFileVersion},
      {L"prodvers", L"3", tz::kVerProductVersionText},
      {L"filevers", L"4", tz::kVerFileVersionText},
  };
  unsigned field = 0;
  for (const auto& f : kFields) {
    if (c.param1 == f.digit || tz::EqualsIgnoreCase(c.param1, f.word)) field = f.field;
  }
  if (field == 0) return false;
  tz::FileVersionRecord record;
  if (!tz::ReadFileVersion(field, run.Expand(c.path), record)) return false;
  const auto it = record.find(field);
  if (it == record.end()) return false;
  const bool fixed = field == tz::kVerProductVersion || field == tz::kVerFileVersion;
  return CompareVersions(fixed ? UnsignedFixedVersion(it->second) : it->second, c.value, c.method);
}

bool ProcExistCondition(RunContext& run, const ConditionRecord& c) {
  const std::wstring directory = run.Expand(c.path);
  // A directory that expands to nothing names no process's directory.
  if (!c.path.empty() && directory.empty()) return false;
  return tz::FindProcess(run.Expand(c.name), directory) != 0;
}

bool IniValueCondition(RunContext& run, const ConditionRecord& c) {
  static const wchar_t kMissing[] = L"!@#**#@!";
  const std::wstring section = run.Expand(c.param1);
  const std::wstring key = run.Expand(c.name);
  const std::wstring file = run.Expand(c.path);
  // The profile functions take paths shorter than MAX_PATH (Wine's overrun their stack otherwise).
  if (file.size() >= MAX_PATH) return false;
  wchar_t buffer[512] = {};
  GetPrivateProfileStringW(section.c_str(), key.c_str(), kMissing, buffer, static_cast<DWORD>(std::size(buffer)),
                           file.c_str());
  const std::wstring found = buffer;
  if (found == kMissing) return false;
  return CompareByValueType(found, run.Expand(c.value), c.valuetype, c.method, c.case_sensitive);
}

bool DllCondition(RunContext& run, const ConditionRecord& c) {
  RunContext::ModuleEntry entry;
  if (!run.PrepareModuleCall(c.path, c.name, true, entry)) return false;
  const bool answer = run.Modules().CallCondition(entry.module, entry.function, c.id, c.param1, c.param2) != 0;
  GetLog().Info(L"执行扩展dll: %s, 条件函数: %s, 结果是: %d(bool)", entry.module.c_str(), entry.function.c_str(),
                answer ? 1 : 0);
  return answer;
}

bool VarCondition(RunContext& run, const ConditionRecord& c) {
  if (c.name.empty()) return false;
  std::wstring found;
  if (!run.variables.GetVariable(run.Expand(c.name), found)) return false;
  return CompareByValueType(found, run.Expand(c.value), c.valuetype, c.method, c.case_sensitive);
}

bool PeCondition(RunContext& run, const ConditionRecord& c) {
  bool is_64bit = false;
  if (!tz::ReadImageBitness(run.Expand(c.path), is_64bit)) return false;
  return CompareStrings(is_64bit ? L"x64" : L"x86", c.value, c.method, c.case_sensitive);
}

}  // namespace

bool CConditionEvaluator::Judge(const ConditionRecord& item, bool& ran) {
  ran = false;
  if (t_active.full() || t_active.any([&](uint32_t active) { return active == item.id; })) {
    ++t_cut_short;
    return false;
  }
  ActiveItem active(item.id);
  bool outcome = false;
  switch (item.type) {
    case COND_PATHEXIST: outcome = PathExistCondition(run_, item); break;
    case COND_EMPTYDIR: outcome = EmptyDirCondition(run_, item); break;
    case COND_REGEXIST: outcome = RegExistCondition(run_, item); break;
    case COND_REGVALUE: outcome = RegValueCondition(run_, item); break;
    case COND_OSVER: outcome = OsVerCondition(run_, item); break;
    case COND_FILEVER: outcome = FileVerCondition(run_, item); break;
    case COND_PROCEXIST: outcome = ProcExistCondition(run_, item); break;
    case COND_INIVALUE: outcome = IniValueCondition(run_, item); break;
    case COND_DLL: outcome = DllCondition(run_, item); break;
    case COND_LOGIC: outcome = EvaluateLogic(item.cid1, item.cid2, item.logic); break;
    case COND_VAR: outcome = VarCondition(run_, item); break;
    case COND_PE: outcome = PeCondition(run_, item); break;
    default: outcome = false; break;
  }
  if (item.not_) outcome = !outcome;
  GetLog().Info(L"条件%u判断结果: %s", item.id, outcome ? L"成立" : L"不成立");
  ran = true;
  return outcome;
}

bool CConditionEvaluator::Evaluate(uint32_t id) {
  if (id < kFirstScriptId) return BuiltinConditionOutcome(run_, id);
  ConditionRecord item;
  if (!run_.conditions.Find(id, item)) return false;
  if (item.cached) return item.cached_value;
  bool ran = false;
  const unsigned long cuts_before = t_cut_short;
  const bool outcome = Judge(item, ran);
  if (ran && !item.nocache && t_cut_short == cuts_before) run_.conditions.StoreOutcome(id, outcome);
  return outcome;
}

bool CConditionEvaluator::EvaluateLogic(uint32_t cid1, uint32_t cid2, int logic) {
  if (logic == LOGIC_NONE) return cid1 == 0 || Evaluate(cid1);
  if (cid1 == 0) return false;
  // Both operands are always evaluated, so each is logged and cached whatever the first gave.
  const bool a = Evaluate(cid1);
  const bool b = (cid2 != 0 && logic != LOGIC_NOT) ? Evaluate(cid2) : false;
  switch (logic) {
    case LOGIC_NOT: return !a;
    case LOGIC_AND: return a && b;
    case LOGIC_OR: return a || b;
    case LOGIC_XOR: return a != b;
    default: return false;
  }
}
