// script_fuzz SEED COUNT [--only N] FILE...
// Runs COUNT cases; case i mutates one of the seed FILEs with a generator seeded by (SEED, i), loads
// it, evaluates its conditions and expands random texts with its variables, and throws random texts
// at the compares, the splits and the language strings. Nothing is caught: a crash, an abort or a
// case that makes no progress for 20 s is a finding: the case's script and the text at hand are then
// written to fuzz-case.xml and fuzz-text.txt in the working directory and its number printed.
// --only N runs case N alone and traces its steps. Modules are never loaded (the run has no module
// manager) and programs never started (that engine call is wrapped, see CMakeLists.txt); actions
// are not run.
#include "fuzz_rng.h"
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "conditions/compare.h"
#include "conditions/condition_evaluator.h"
#include "script/run_context.h"
#include "script/script_loader.h"
#include "script/script_values.h"

// The wrapped engine call (see CMakeLists.txt): refuse instead of touching the machine.
extern "C" bool __wrap__ZN2tz12StartProcessERKNSt7__cxx1112basic_stringIwSt11char_traitsIwESaIwEEES7_bbmS7_Pm(
    const std::wstring&, const std::wstring&, bool, bool, DWORD, const std::wstring&, DWORD*) {
  return false;
}

namespace {

std::string g_case;  // the current input, written out on a finding
std::atomic<unsigned> g_progress{0};
HANDLE g_main = nullptr;
std::atomic<long> g_case_number{-1};
std::atomic<int> g_stage{0};
bool g_verbose = false;  // --only: trace each step
std::wstring g_text;  // the text being expanded or loaded as strings, also written out

const char* const kStages[] = {"idle", "load", "conditions", "expand", "compare", "language"};

void DumpCase(const char* why) {
  std::fprintf(stderr, "FINDING (%s) in case %ld, stage %s; input in fuzz-case.xml and fuzz-text.txt\n", why, g_case_number.load(),
               kStages[g_stage.load()]);
  std::ofstream("fuzz-case.xml", std::ios::binary) << g_case;
  std::ofstream text("fuzz-text.txt", std::ios::binary);
  for (wchar_t c : g_text) text << static_cast<char>(c);
  std::fflush(stderr);
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* info) {
  char why[64];
  std::snprintf(why, sizeof(why), "exception 0x%08lx", info->ExceptionRecord->ExceptionCode);
  DumpCase(why);
  ExitProcess(3);
}

DWORD WINAPI Watchdog(void*) {
  unsigned last = g_progress.load();
  int idle = 0;
  for (;;) {
    Sleep(1000);
    const unsigned now = g_progress.load();
    idle = now == last ? idle + 1 : 0;
    last = now;
    if (idle >= 20) {
      // Where the main thread is, and the return addresses on its stack, to find the loop with nm.
      SuspendThread(g_main);
      CONTEXT context{};
      context.ContextFlags = CONTEXT_CONTROL;
      if (GetThreadContext(g_main, &context)) {
        std::fprintf(stderr, "eip %08lx\n", context.Eip);
        const DWORD* sp = reinterpret_cast<const DWORD*>(context.Esp);
        MEMORY_BASIC_INFORMATION info{};
        VirtualQuery(sp, &info, sizeof(info));
        const DWORD* end = reinterpret_cast<const DWORD*>(static_cast<const char*>(info.BaseAddress) + info.RegionSize);
        for (int shown = 0; sp < end && shown < 60; ++sp) {
          if (*sp >= 0x401000 && *sp < 0x800000) {
            std::fprintf(stderr, " %08lx", *sp);
            ++shown;
          }
        }
        std::fprintf(stderr, "\n");
      }
      DumpCase("no progress for 20 s");
      ExitProcess(4);
    }
  }
}

// Doubled slashes are dropped: under Wine a network path blocks for a long time in the system,
// which says nothing about the engine.
std::string NoNetworkPaths(std::string s) {
  std::string out;
  for (char c : s) {
    if ((c == '\\' || c == '/') && !out.empty() && (out.back() == '\\' || out.back() == '/')) continue;
    out += c;
  }
  return out;
}

std::wstring Widen(const std::string& s) {
  std::wstring w;
  for (unsigned char c : NoNetworkPaths(s)) w += static_cast<wchar_t>(c);
  return w;
}

// Texts between <tag> and </tag> in the case (ids, names), for the evaluation and expansion steps.
std::vector<std::string> Fields(const std::string& text, const std::string& tag) {
  std::vector<std::string> out;
  const std::string open = "<" + tag + ">", close = "</" + tag + ">";
  for (size_t at = text.find(open); at != std::string::npos; at = text.find(open, at + 1)) {
    const size_t begin = at + open.size();
    const size_t end = text.find(close, begin);
    if (end == std::string::npos || end - begin > 200) continue;
    out.push_back(text.substr(begin, end - begin));
  }
  return out;
}

const std::vector<std::string> kWords = {
    "", "0", "1", "-1", "true", "TRUE", "false", "2147483647", "2147483648", "-2147483648", "-2147483649",
    "4294967295", "4294967296", "99999999999999999999999999", "0x10", "1e9", " 7 ", "+", "-", ",", ",,,,",
    " , , ", "1,2,,3,", "1.2.3.4", "1..2", ".", "...", "65535.65535.65535.65535", "1,2,3,4", "-1.-2",
    "pathexist", "fileexist", "emptydir", "regexist", "regvalue", "osver", "filever", "procexist", "inivalue",
    "logic", "var", "pe", "dll", "not", "and", "or", "xor", "=", "!=", "<", "<=", ">", ">=", "eq", "has", "in",
    "num", "str", "ver", "version", "const", "reg", "ini", "cmd", "sz", "dword", "x86", "x64", "x86x64", "auto",
    "prodver", "filever", "4", "5", "8", "10", "11", "12", "13", "100", "101", "200M", "1.5G", "-5K", "9E",
    "99999999999999999999T", ".5", "1.", "%", "%%", "%%%", "%A%", "%A%%A%", "%#k#%", "%#%", "#", "${", "${x}",
    "${${", "}", "%INSTDIR%", "%APPNAME%\\x", "%PATH%", "%CURDATE%", "&amp;", "&#37;", "&lt;",
    "HKLM\\SOFTWARE\\Microsoft", "HKCU\\", "C:\\windows", "C:\\windows\\system32\\kernel32.dll",     "Z:\\nonexistent\\x.ini",
};

std::string Storm(Rng& r) {
  static const char* const kPieces[] = {"%", "%%", "${", "}", "#", "%#", "#%", ",", "A", "%A%", "${A}", "\\"};
  std::string s;
  const size_t n = 1 + r.Below(r.Chance(10) ? 5000 : 60);
  for (size_t i = 0; i < n; ++i) s += kPieces[r.Below(std::size(kPieces))];
  return s;
}

std::string Nested(Rng& r, const std::vector<std::string>& names) {
  std::string s = "%" + (names.empty() ? std::string("A") : r.Pick(names)) + "%";
  const size_t depth = 1 + r.Below(200);
  for (size_t i = 0; i < depth && s.size() < 20000; ++i) {
    s = r.Chance(50) ? "%" + s + "%" : s + s.substr(0, r.Below(s.size() + 1));
  }
  return s;
}

std::string RandomValue(Rng& r, const std::vector<std::string>& names) {
  switch (r.Below(8)) {
    case 0: return Storm(r);
    case 1: return Nested(r, names);
    case 2: return std::string(1 + r.Below(r.Chance(20) ? 70000 : 300), static_cast<char>('A' + r.Below(26)));
    case 3: {
      std::string s;
      for (size_t i = r.Below(20); i > 0; --i) s += std::to_string(static_cast<int64_t>(r.Next())) + ",";
      return s;
    }
    case 4: {
      const std::string n = names.empty() ? "A" : r.Pick(names);
      std::string s;
      for (size_t i = 1 + r.Below(8); i > 0; --i) s += "%" + n + "%";
      return s;
    }
    case 5: {
      std::string s;
      for (size_t i = r.Below(12); i > 0; --i) s += static_cast<char>(r.Below(256));
      return s;
    }
    default: return r.Pick(kWords);
  }
}

// One structural or byte-level change of the XML text.
void Mutate(std::string& t, Rng& r, const std::vector<std::string>& names) {
  if (t.empty()) t = "<config/>";
  switch (r.Below(9)) {
    case 0:  // byte flips
      for (size_t i = 1 + r.Below(4); i > 0; --i) t[r.Below(t.size())] ^= static_cast<char>(1u << r.Below(8));
      break;
    case 1:  // truncation
      t.resize(r.Below(t.size() + 1));
      break;
    case 2: {  // duplicate an element, several times
      const size_t lt = t.find('<', r.Below(t.size()));
      if (lt == std::string::npos || lt + 1 >= t.size() || t[lt + 1] == '/') break;
      const size_t name_end = t.find_first_of(" />", lt + 1);
      if (name_end == std::string::npos) break;
      const std::string close = "</" + t.substr(lt + 1, name_end - lt - 1) + ">";
      const size_t end = t.find(close, lt);
      if (end == std::string::npos) break;
      const std::string element = t.substr(lt, end + close.size() - lt);
      std::string copies;
      for (size_t i = 1 + r.Below(r.Chance(10) ? 300 : 3); i > 0; --i) copies += element;
      t.insert(end + close.size(), copies);
      break;
    }
    case 3:
    case 4:
    case 5: {  // replace an element's text
      size_t gt = t.find('>', r.Below(t.size()));
      if (gt == std::string::npos) break;
      const size_t lt = t.find('<', gt + 1);
      if (lt == std::string::npos || lt + 1 >= t.size() || t[lt + 1] != '/') break;
      std::string v = RandomValue(r, names);
      // Keep the markup readable most of the time; raw text is the byte flips' job.
      if (r.Chance(80)) {
        for (char& c : v) {
          if (c == '<' || c == '&') c = '_';
        }
      }
      t.replace(gt + 1, lt - gt - 1, v);
      break;
    }
    case 6: {  // insert a new element into a random spot
      static const char* const kTags[] = {"item", "id", "type", "value", "varname", "cid1", "cid2", "logic",
                                          "judge", "nocache", "not", "method", "valuetype", "path", "name",
                                          "param1", "param2", "group", "aid", "case"};
      const size_t at = t.find('>', r.Below(t.size()));
      if (at == std::string::npos) break;
      const std::string tag = kTags[r.Below(std::size(kTags))];
      std::string v = RandomValue(r, names);
      for (char& c : v) {
        if (c == '<' || c == '&') c = '_';
      }
      t.insert(at + 1, "<" + tag + ">" + v + "</" + tag + ">");
      break;
    }
    case 7: {  // deep nesting
      // A quote inside an element name and a DOCTYPE subset full of tags are tokenised by the
      // parser in its own way; the loader's depth guard must see them the same way.
      const bool quoted = r.Chance(15);
      const size_t depth = quoted ? 20000 : r.Below(r.Chance(10) ? 3000 : 200);
      std::string open, close;
      for (size_t i = 0; i < depth; ++i) {
        open += quoted ? "<b>" : "<item>";
        if (!quoted) close += "</item>";
      }
      if (quoted) open = "<x'>" + open + "<y'>";
      if (r.Chance(10)) {
        const size_t decl = t.find("?>");
        std::string subset;
        for (size_t i = 0; i < 1500; ++i) subset += "<b>";
        t.insert(decl == std::string::npos ? 0 : decl + 2, "<!DOCTYPE config [" + subset + "]>");
      }
      const size_t at = t.find('>', r.Below(t.size()));
      if (at != std::string::npos) t.insert(at + 1, open + close);
      break;
    }
    default: {  // delete a span
      const size_t at = r.Below(t.size());
      t.erase(at, r.Below(200));
      break;
    }
  }
}

std::wstring RandomText(Rng& r, const std::vector<std::string>& names) {
  std::string s;
  for (size_t i = 1 + r.Below(6); i > 0; --i) {
    switch (r.Below(4)) {
      case 0: s += "%" + (names.empty() ? std::string("X") : r.Pick(names)) + "%"; break;
      case 1: s += RandomValue(r, names); break;
      case 2: s += "%#" + r.Pick(kWords) + "#%"; break;
      default: s += r.Pick(std::vector<std::string>{"%INSTDIR%", "%CURTIME1%", "%windir%", "%%", "%", "x"});
    }
  }
  return Widen(s);
}

std::string RandomIni(Rng& r, const std::vector<std::string>& names) {
  std::string s = r.Chance(30) ? "\xEF\xBB\xBF" : "";
  s += r.Chance(90) ? "[Lang]\n" : "[Other]\n";
  std::vector<std::string> keys = {"A", "B", "App.DisplayName", "k"};
  for (size_t i = r.Below(12); i > 0; --i) {
    const std::string key = r.Chance(80) ? r.Pick(keys) : RandomValue(r, names).substr(0, 40);
    std::string value;
    for (size_t j = r.Below(10); j > 0; --j) {
      value += r.Chance(60) ? "${" + r.Pick(keys) + "}" : RandomValue(r, names).substr(0, 100);
    }
    for (char& c : value) {
      if (c == '\n' || c == '\r') c = ' ';
    }
    s += key + "=" + value + "\n";
  }
  if (r.Chance(20)) s.resize(r.Below(s.size() + 1));
  if (r.Chance(10)) s[r.Below(s.size() + 1) % (s.size() ? s.size() : 1)] ^= 0x80;
  return s;
}

void RunCase(const std::string& seed_text, uint64_t seed, long number) {
  Rng r(seed ^ (static_cast<uint64_t>(number) << 20) ^ static_cast<uint64_t>(number));
  g_case_number = number;
  // A fresh run per case; it has no module manager, so no module is ever loaded.
  RunContext run;
  CConditionEvaluator conditions(run);

  g_case = seed_text;
  std::vector<std::string> names = Fields(seed_text, "varname");
  for (size_t i = 1 + r.Below(r.Chance(20) ? 30 : 6); i > 0; --i) Mutate(g_case, r, names);
  g_case = NoNetworkPaths(g_case);
  names = Fields(g_case, "varname");

  g_stage = 1;
  LoadInstallScript(run, &conditions, g_case.data(), g_case.size());
  ++g_progress;

  g_stage = 2;
  std::vector<uint32_t> ids;
  for (const std::string& id : Fields(g_case, "id")) ids.push_back(static_cast<uint32_t>(tz::ParseDecimal(id)));
  for (uint32_t id = 0; id < 12; ++id) ids.push_back(id);
  for (size_t i = 0; i < 20; ++i) ids.push_back(static_cast<uint32_t>(r.Next()));
  for (uint32_t id : ids) {
    conditions.Evaluate(id);
    conditions.EvaluateLogic(id, r.Chance(50) ? r.Pick(ids) : 0, static_cast<int>(r.Below(7)) - 1);
    ++g_progress;
  }

  g_stage = 3;
  // Variables whose texts name each other (and themselves): their evaluation expands those texts.
  static const VariableType kSafeTypes[] = {VARIABLE_CONST, VARIABLE_VERSION, VARIABLE_REG, VARIABLE_INI,
                                            VARIABLE_CMD, VARIABLE_DLL, VARIABLE_RET};
  std::vector<std::string> made = names;
  for (size_t i = r.Below(r.Chance(10) ? 500 : 8); i > 0; --i) made.push_back("V" + std::to_string(i));
  for (size_t i = names.size(); i < made.size(); ++i) {
    VariableRecord v;
    v.varname = Widen(made[i]);
    v.type = kSafeTypes[r.Below(std::size(kSafeTypes))];
    v.nocache = r.Chance(30);
    v.value = RandomText(r, made);
    v.path = r.Chance(70) ? Widen("%" + r.Pick(made) + "%") : RandomText(r, made);
    v.name = r.Chance(50) ? Widen(r.Pick(kWords)) : RandomText(r, made);
    v.param1 = Widen(r.Pick(kWords));
    v.param2 = Widen(r.Pick(kWords));
    if (g_verbose) {
      std::fprintf(stderr, "var %ls type %d nocache %d path %.60ls name %.60ls p1 %ls p2 %ls value %zu chars\n",
                   v.varname.c_str(), v.type, v.nocache, v.path.c_str(), v.name.c_str(), v.param1.c_str(),
                   v.param2.c_str(), v.value.size());
    }
    run.variables.AddVariable(v);
  }
  names = made;
  for (size_t i = 0; i < 20; ++i) {
    if (r.Chance(20)) {
      const std::wstring name = Widen(names.empty() || r.Chance(30) ? RandomValue(r, names) : r.Pick(names));
      const std::wstring value = RandomText(r, names);
      if (g_verbose) std::fprintf(stderr, "set %.40ls = %.80ls\n", name.c_str(), value.c_str());
      run.variables.SetVariable(name, value);
    }
    g_text = RandomText(r, names);
    if (g_verbose) std::fprintf(stderr, "expand %zu chars\n", g_text.size());
    const std::wstring expanded = run.Expand(g_text);
    std::wstring out;
    if (!names.empty()) {
      const std::wstring name = Widen(r.Pick(names));
      if (g_verbose) std::fprintf(stderr, "expanded to %zu chars; get %ls\n", expanded.size(), name.c_str());
      run.variables.GetVariable(name, out);
    }
    ++g_progress;
  }

  g_stage = 4;
  for (size_t i = 0; i < 30; ++i) {
    const std::wstring a = Widen(RandomValue(r, names)), b = Widen(RandomValue(r, names));
    const auto method = static_cast<CompareMethod>(r.Below(10));
    CompareByValueType(a, b, static_cast<CompareValueType>(r.Below(4)), method, r.Chance(50));
    CompareVersions(a, b, method);
    CompareStrings(a, b, method, r.Chance(50));
    CompareNumberTexts(a, b, method);
    tz::SplitKeep(a, L",.%"[r.Below(3)]);
    tz::SplitTrim(a, L",.%"[r.Below(3)]);
    tz::ParseIdList(a);
    tz::ParseDecimal(a);
    ParseDiskRequire(a);
    tz::ConditionTypeFromText(a);
    tz::ActionTypeFromText(a);
    tz::VariableTypeFromText(a);
    tz::ParseRequirement(a);
    ++g_progress;
  }

  g_stage = 5;
  for (size_t i = 0; i < 3; ++i) {
    const std::string ini = RandomIni(r, names);
    g_text = Widen(ini);
    run.languages.LoadStrings(ini.data(), ini.size());
    run.languages.GetString(L"A");
    run.Expand(L"%#A#%%#B#%%#App.DisplayName#%");
    ++g_progress;
  }
  g_stage = 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: script_fuzz SEED COUNT [--only N] FILE...\n");
    return 2;
  }
  const uint64_t seed = std::wcstoull(argv[1], nullptr, 10);
  const long count = std::wcstol(argv[2], nullptr, 10);
  long only = -1;
  std::vector<std::string> seeds;
  for (int i = 3; i < argc; ++i) {
    if (std::wstring(argv[i]) == L"--only" && i + 1 < argc) {
      only = std::wcstol(argv[++i], nullptr, 10);
      g_verbose = true;
      continue;
    }
    std::ifstream in(argv[i], std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    if (!ss.str().empty()) seeds.push_back(ss.str());
  }
  if (seeds.empty()) {
    std::fprintf(stderr, "no seed files\n");
    return 2;
  }
  SetUnhandledExceptionFilter(OnCrash);
  ULONG guarantee = 64 * 1024;  // so a stack overflow still reaches OnCrash
  SetThreadStackGuarantee(&guarantee);
  std::set_terminate([] {
    std::string why = "terminate";
    try {
      if (std::exception_ptr e = std::current_exception()) std::rethrow_exception(e);
    } catch (const std::exception& e) {
      why += std::string(": ") + e.what();
    } catch (...) {
    }
    DumpCase(why.c_str());
    ExitProcess(5);
  });
  DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &g_main, 0, FALSE,
                  DUPLICATE_SAME_ACCESS);
  CloseHandle(CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr));

  std::printf("seed %llu, %ld cases, %zu seed files\n", static_cast<unsigned long long>(seed), count, seeds.size());
  std::fflush(stdout);
  for (long i = 0; i < count; ++i) {
    if (only >= 0 && i != only) continue;
    Rng pick(seed + static_cast<uint64_t>(i));
    RunCase(seeds[pick.Below(seeds.size())], seed, i);
  }
  std::printf("done\n");
  return 0;
}
