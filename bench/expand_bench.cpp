// Time of one Expand call on a 1 KB script text with 20 references, as the engine's actions pay
// it before every use of a text. Prints one row per case: the median, fastest and slowest of
// several rounds, each round timing many calls in a row.
//   expand_bench [ROUNDS [CALLS]]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "script/run_context.h"

namespace {

constexpr int kReferences = 20;
constexpr size_t kTextChars = 1024;

// Filler words between the references, so the text looks like a script's message or command line.
const wchar_t kFiller[] = L"Setup copies the application files into the chosen folder and registers them; ";

std::wstring Filler(size_t chars) {
  std::wstring s;
  while (s.size() < chars) s += kFiller;
  s.resize(chars);
  return s;
}

// `count` references made by `name_of`, spread evenly through a text of kTextChars characters.
template <typename NameOf>
std::wstring MakeText(int count, NameOf name_of) {
  std::vector<std::wstring> refs;
  size_t ref_chars = 0;
  for (int i = 0; i < count; ++i) {
    refs.push_back(L"%" + name_of(i) + L"%");
    ref_chars += refs.back().size();
  }
  const size_t gap = (kTextChars - ref_chars) / (count + 1);
  std::wstring text;
  for (const std::wstring& ref : refs) text += Filler(gap) + ref;
  text += Filler(kTextChars - text.size());
  return text;
}

std::wstring VarName(int i) {
  wchar_t buf[32];
  swprintf(buf, 32, L"BENCH_PATH_%02d", i);
  return buf;
}

std::wstring VarValue(int i) {
  wchar_t buf[64];
  swprintf(buf, 64, L"C:\\Program Files\\Bench\\part%02d", i);
  return buf;
}

double Now() {
  static LARGE_INTEGER freq = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

struct Result {
  double median, low, high;  // microseconds per call
};

Result TimeExpand(RunContext& run, const std::wstring& text, int rounds, int calls) {
  size_t sink = 0;
  for (int i = 0; i < calls / 10 + 1; ++i) sink += run.Expand(text).size();  // warm caches and the heap
  std::vector<double> per_call;
  for (int r = 0; r < rounds; ++r) {
    const double t0 = Now();
    for (int i = 0; i < calls; ++i) sink += run.Expand(text).size();
    per_call.push_back((Now() - t0) * 1e6 / calls);
  }
  if (sink == 0) std::printf("(empty expansions)\n");
  std::sort(per_call.begin(), per_call.end());
  return {per_call[per_call.size() / 2], per_call.front(), per_call.back()};
}

bool Check(RunContext& run, const std::wstring& text, const std::wstring& expected) {
  if (run.Expand(text) == expected) return true;
  std::printf("WRONG expansion: the timings below do not measure the intended work\n");
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  const int calls = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20000;

  RunContext run;
  CVariableStore& store = run.variables;
  for (int i = 0; i < kReferences; ++i) store.SetVariable(VarName(i), VarValue(i));  // set = cached

  const std::wstring with_vars = MakeText(kReferences, VarName);
  const std::wstring plain = Filler(kTextChars);

  std::wstring expected = with_vars;
  for (int i = 0; i < kReferences; ++i) {
    const std::wstring token = L"%" + VarName(i) + L"%";
    expected.replace(expected.find(token), token.size(), VarValue(i));
  }
  Check(run, with_vars, expected);

  std::printf("Expand of a %zu-character text, %d rounds of %d calls (median, fastest, slowest round)\n",
              with_vars.size(), rounds, calls);
  std::printf("%-44s %10s %10s %10s\n", "case", "us/call", "min", "max");
  struct Case {
    const char* name;
    const std::wstring* text;
  } cases[] = {
      {"20 references to 20 cached script variables", &with_vars},
      {"no references (copy only)", &plain},
  };
  for (const Case& c : cases) {
    const Result r = TimeExpand(run, *c.text, rounds, calls);
    std::printf("%-44s %10.2f %10.2f %10.2f\n", c.name, r.median, r.low, r.high);
  }
  return 0;
}
