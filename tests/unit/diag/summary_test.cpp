// The exit summary's texts.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "diag/summary.h"

namespace {

TEST(SummaryText, TimingLine) {
  SYSTEMTIME t{};
  t.wYear = 2025;
  t.wMonth = 3;
  t.wDay = 14;
  t.wHour = 9;
  t.wMinute = 5;
  t.wSecond = 2;
  t.wMilliseconds = 7;
  EXPECT_EQ(SummaryTimingText(t, 0), L"安装开始时间: 2025-03-14 09:05:02.007, 用时0.000秒");
  EXPECT_EQ(SummaryTimingText(t, 12300), L"安装开始时间: 2025-03-14 09:05:02.007, 用时12.300秒");
  EXPECT_EQ(SummaryTimingText(t, 3723045), L"安装开始时间: 2025-03-14 09:05:02.007, 用时3723.045秒");
}

TEST(SummaryText, DirectoryAndModes) {
  EXPECT_EQ(SummaryModesText(L"C:\\App", true, false), L"安装目录: C:\\App\r\n静默安装: 是, 覆盖安装: 否");
  EXPECT_EQ(SummaryModesText(L"", false, true), L"安装目录: \r\n静默安装: 否, 覆盖安装: 是");
}

}  // namespace
