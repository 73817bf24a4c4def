// memrun [-i MS] COMMAND LINE...: runs a program, waits for it and prints one line with its exit
// code, wall time and memory peaks:
//   memrun exit=0 ms=4213.5 peak_ws_kb=61234 peak_private_kb=40112 samples=420
// Wine answers GetProcessMemoryInfo only while the process lives (zeros afterwards) and reports
// current private usage (resident anonymous memory) as its "peak", so the counters are sampled
// every MS milliseconds (default 10) and the largest values kept; the peak working set is the
// kernel's own high-water mark and needs no sampling. On Windows the final query after exit
// supplies the true peaks and wins.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>

namespace {

// The command line after our own name and options, exactly as typed.
const wchar_t* SkipToken(const wchar_t* p) {
  while (*p == L' ' || *p == L'\t') ++p;
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p) ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return p;
}

struct Peaks {
  SIZE_T ws = 0;
  SIZE_T priv = 0;
  unsigned samples = 0;

  void Sample(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX c{};
    c.cb = sizeof(c);
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&c), sizeof(c))) return;
    ++samples;
    ws = std::max({ws, c.PeakWorkingSetSize, c.WorkingSetSize});
    priv = std::max({priv, c.PeakPagefileUsage, c.PagefileUsage, c.PrivateUsage});
  }
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  DWORD interval = 10;
  const wchar_t* rest = SkipToken(GetCommandLineW());
  if (argc > 2 && wcscmp(argv[1], L"-i") == 0) {
    interval = std::max<DWORD>(1, wcstoul(argv[2], nullptr, 10));
    rest = SkipToken(SkipToken(rest));
  }
  if (!*rest) {
    fwprintf(stderr, L"usage: memrun [-i MS] PROGRAM [ARGS...]\n");
    return 2;
  }
  std::wstring command = rest;  // CreateProcessW may write into it

  LARGE_INTEGER freq, t0, t1;
  QueryPerformanceFrequency(&freq);
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  QueryPerformanceCounter(&t0);
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
    fwprintf(stderr, L"memrun: cannot start %ls (error %lu)\n", command.c_str(), GetLastError());
    return 2;
  }
  Peaks peaks;
  while (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
    peaks.Sample(pi.hProcess);
    if (WaitForSingleObject(pi.hProcess, interval) != WAIT_TIMEOUT) break;
  }
  QueryPerformanceCounter(&t1);
  peaks.Sample(pi.hProcess);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  const double ms = 1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(freq.QuadPart);
  wprintf(L"memrun exit=%lu ms=%.1f peak_ws_kb=%llu peak_private_kb=%llu samples=%u\n", code, ms,
          static_cast<unsigned long long>(peaks.ws / 1024), static_cast<unsigned long long>(peaks.priv / 1024),
          peaks.samples);
  fflush(stdout);
  return 0;
}
