// The statistics' rules: tick differences, flags, costs and the default-directory comparison.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "script/install_stats.h"
#include "script/run_context.h"

namespace {

TEST(Statistics, TickDifferences) {
  struct Case {
    DWORD start, now;
    bool grew;
    DWORD elapsed;
  } cases[] = {{100, 500, true, 400}, {100, 100, false, 0}, {0xFFFFFF00u, 0x10, false, 0},  // wrapped
               {0, 1, true, 1}};
  for (const Case& c : cases) {
    DWORD elapsed = 0;
    EXPECT_EQ(TicksElapsed(c.start, c.now, elapsed), c.grew) << c.start << " " << c.now;
    if (c.grew) {
      EXPECT_EQ(elapsed, c.elapsed);
    }
  }
}

class StatisticsStore : public testing::Test {
 protected:
  std::wstring Value(InstallStat stat) {
    std::wstring v = L"<absent>";
    run_.variables.GetVariable(StatName(stat), v);
    return v;
  }
  RunContext run_;  // a fresh run for every test
};

TEST_F(StatisticsStore, InstallStartComparesTheDefaultDirectoryWithoutCase) {
  RecordInstallStart(run_.variables, L"C:\\Program Files\\App", L"c:\\program files\\APP");
  EXPECT_EQ(Value(InstallStat::DefInstDir), L"1");
  EXPECT_EQ(Value(InstallStat::InstX86File), L"1");
  RecordInstallStart(run_.variables, L"D:\\App", L"C:\\Program Files\\App");
  EXPECT_EQ(Value(InstallStat::DefInstDir), L"0");
}

TEST_F(StatisticsStore, FlagsStayOneAndCostsAreDecimal) {
  MarkStat(run_.variables, InstallStat::AdvOpt);
  MarkStat(run_.variables, InstallStat::AdvOpt);  // opening and closing the panel
  EXPECT_EQ(Value(InstallStat::AdvOpt), L"1");
  EXPECT_EQ(Value(InstallStat::CloseAfterInst), L"<absent>");
  PublishExtractCost(run_.variables, 4294967295u);
  EXPECT_EQ(Value(InstallStat::ExtractCost), L"4294967295");
  RecordInstallCost(run_.variables, GetTickCount() + 100000);  // the counter has not grown: nothing recorded
  EXPECT_EQ(Value(InstallStat::InstCost), L"<absent>");
}

}  // namespace
