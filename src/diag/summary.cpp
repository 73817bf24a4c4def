#include "diag/summary.h"

#include "diag/install_log.h"

namespace {

ULONGLONG& StartTick() {
  static ULONGLONG tick = 0;
  return tick;
}

const wchar_t* YesNo(bool value) { return value ? L"是" : L"否"; }

}  // namespace

void StartRunClock() {
  SYSTEMTIME start;
  GetLocalTime(&start);
  StartTick() = GetTickCount64();
  GetLog().SetStartTime(start);
}

std::wstring SummaryTimingText(const SYSTEMTIME& s, unsigned long long elapsed_ms) {
  const std::wstring start = FormatText(L"%04hd-%02hd-%02hd %02hd:%02hd:%02hd.%03hd", s.wYear, s.wMonth, s.wDay,
                                        s.wHour, s.wMinute, s.wSecond, s.wMilliseconds);
  return FormatText(L"安装开始时间: %s, 用时%d.%03d秒", start.c_str(), static_cast<int>(elapsed_ms / 1000),
                    static_cast<int>(elapsed_ms % 1000));
}

std::wstring SummaryModesText(const std::wstring& install_dir, bool silent, bool overwrite) {
  return FormatText(L"安装目录: %s\r\n", install_dir.c_str()) +
         FormatText(L"静默安装: %s, 覆盖安装: %s", YesNo(silent), YesNo(overwrite));
}

void WriteSummary(const std::wstring& install_dir, bool silent, bool overwrite) {
  CInstallLog& log = GetLog();
  SYSTEMTIME end;
  GetLocalTime(&end);
  const ULONGLONG elapsed = GetTickCount64() - StartTick();
  log.SetEndTime(end);
  if (!log.IsFileOpen()) return;
  // Kept out of the in-memory list, so the "/log" exit copy never holds it.
  log.WriteToFileOnly(LOG_INFO, SummaryTimingText(log.StartTime(), elapsed), &end);
  log.Write(LOG_INFO, SummaryModesText(install_dir, silent, overwrite));
}
