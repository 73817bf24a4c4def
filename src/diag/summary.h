#pragma once
// The exit summary: when the run ends, the script log file gets the start time with the elapsed
// time (that line goes to the file only), then the install directory and the run modes.
#include <windows.h>

#include <string>

// Notes the run's start: the local time for the log and a tick count for the duration, so that a
// clock change while installing cannot make the duration wrong.
void StartRunClock();

// Records the end time and writes the summary with the run's install directory and modes; nothing
// at all without a script log file.
void WriteSummary(const std::wstring& install_dir, bool silent, bool overwrite);

// "安装开始时间: <start>, 用时<s>.<ms>秒"
std::wstring SummaryTimingText(const SYSTEMTIME& start, unsigned long long elapsed_ms);
// "安装目录: <dir>\r\n静默安装: 是|否, 覆盖安装: 是|否"
std::wstring SummaryModesText(const std::wstring& install_dir, bool silent, bool overwrite);
