#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

#include "diag/install_log.h"

namespace {

SYSTEMTIME Time(WORD h, WORD m, WORD s, WORD ms) {
  SYSTEMTIME t{};
  t.wYear = 2025;
  t.wMonth = 3;
  t.wDay = 14;
  t.wHour = h;
  t.wMinute = m;
  t.wSecond = s;
  t.wMilliseconds = ms;
  return t;
}

std::wstring ReadUtf16(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (f == INVALID_HANDLE_VALUE) return L"<missing>";
  std::string bytes(GetFileSize(f, nullptr), '\0');
  DWORD got = 0;
  ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(f);
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
}

std::wstring TempDir(const wchar_t* leaf) {
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  return std::wstring(tmp) + leaf;
}

}  // namespace

TEST(InstallLogFormat, LevelTagsAndTimeOfDay) {
  EXPECT_EQ(CInstallLog::FormatLine({LOG_INFO, Time(9, 5, 2, 7), L"文本"}), L"[09:05:02.007] 文本\r\n");
  EXPECT_EQ(CInstallLog::FormatLine({LOG_WARNING, Time(23, 59, 59, 999), L"w"}), L"[23:59:59.999] [警告]: w\r\n");
  EXPECT_EQ(CInstallLog::FormatLine({LOG_ERROR, Time(0, 0, 0, 0), L"e"}), L"[00:00:00.000] [错误]: e\r\n");
  // Levels beyond Error carry the blank tag like Info.
  EXPECT_EQ(CInstallLog::FormatLine({3, Time(1, 2, 3, 4), L"x"}), L"[01:02:03.004] x\r\n");
  EXPECT_EQ(CInstallLog::FormatLine({-1, Time(1, 2, 3, 4), L"x"}), L"[01:02:03.004] x\r\n");
}

TEST(InstallLogFormat, MultiLineRecordContinuesWithoutStamp) {
  EXPECT_EQ(CInstallLog::FormatLine({LOG_ERROR, Time(1, 2, 3, 4), L"a\r\nb"}), L"[01:02:03.004] [错误]: a\r\nb\r\n");
}

TEST(InstallLogFormat, ExitCopyName) {
  EXPECT_EQ(CInstallLog::CopyFileName(L"setup.exe", Time(9, 15, 2, 0)), L"setup.exe_20250314_091502.txt");
}

TEST(InstallLogFormat, FormattingHasNoLengthLimit) {
  const std::wstring big(10000, L'x');
  EXPECT_EQ(FormatText(L"%s|%d|%u|%llu", big.c_str(), -3, 7u, 18446744073709551615ull),
            big + L"|-3|7|18446744073709551615");
}

TEST(InstallLog, OpenReplaysEarlierEntriesThenAppendsLive) {
  CInstallLog log;
  log.Info(L"before %d", 1);
  log.Write(LOG_WARNING, L"warned");
  const std::wstring dir = TempDir(L"tz_log_test\\nested\\deeper");
  const std::wstring path = dir + L"\\script.log";
  DeleteFileW(path.c_str());
  ASSERT_TRUE(log.Open(path));  // creates the missing directory chain
  EXPECT_FALSE(log.Open(path)) << "the script log file is opened once";
  log.Error(L"after %s", L"open");
  const std::wstring text = ReadUtf16(path);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text[0], 0xFEFF);
  const size_t header_end = text.find(L"\r\n", text.find(L"\r\n") + 2) + 2;
  EXPECT_EQ(text.compare(1, 8, L"执行安装程序: "), 0) << text.substr(0, 40);
  const std::wstring body = text.substr(header_end);
  const auto records = log.Records();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(body, CInstallLog::FormatLine(records[0]) + CInstallLog::FormatLine(records[1]) +
                      CInstallLog::FormatLine(records[2]));
  EXPECT_NE(body.find(L"] before 1\r\n"), std::wstring::npos);
  EXPECT_NE(body.find(L"] [警告]: warned\r\n"), std::wstring::npos);
  EXPECT_NE(body.find(L"] [错误]: after open\r\n"), std::wstring::npos);
}

TEST(InstallLog, HeaderNamesTheInstallerAndEntriesKeepTheLastError) {
  CInstallLog log;
  log.SetInstaller({L"C:\\dl\\setup.exe", L"setup.exe", L"C:\\dl", L"1.2.3.4", 4096});
  EXPECT_EQ(log.FormatHeader(), L"执行安装程序: C:\\dl\\setup.exe\r\n版本: 1.2.3.4, 大小: 4096\r\n");
  const std::wstring path = TempDir(L"tz_log_test") + L"\\keep.log";
  ASSERT_TRUE(log.Open(path));
  SetLastError(ERROR_SHARING_VIOLATION);
  log.Info(L"%d", 1);
  log.Error(L"%d", 2);
  log.Write(LOG_WARNING, L"3");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION)) << "a failure's cause outlives its log line";
}

TEST(InstallLog, OpenFailsForEmptyOrUncreatablePath) {
  CInstallLog log;
  EXPECT_FALSE(log.Open(L""));
  EXPECT_FALSE(log.Open(L"Q:\\no\\such\\drive\\x.log"));
  EXPECT_FALSE(log.IsFileOpen());
  log.Info(L"still kept");
  EXPECT_EQ(log.Records().size(), 1u);
}

TEST(InstallLog, FileOnlyLineIsNotKeptInMemory) {
  CInstallLog log;
  EXPECT_FALSE(log.WriteToFileOnly(LOG_INFO, L"nowhere"));
  const std::wstring path = TempDir(L"tz_log_fileonly.log");
  ASSERT_TRUE(log.Open(path));
  EXPECT_TRUE(log.WriteToFileOnly(LOG_INFO, L"file only"));
  EXPECT_TRUE(log.Records().empty());
  EXPECT_NE(ReadUtf16(path).find(L" file only\r\n"), std::wstring::npos);
}
