// The condition table: built-in ids, the first item of an id winning, caching and nocache, `not`,
// judged items, logic without short-cut, and the outcome line each script condition logs.
#include <gtest/gtest.h>

#include "condition_test_support.h"
#include "platform/process.h"

namespace {

using cond_test::ConditionTest;
using cond_test::Item;
using Lines = std::vector<std::wstring>;

std::wstring Holds(uint32_t id) { return L"条件" + std::to_wstring(id) + L"判断结果: 成立"; }
std::wstring Fails(uint32_t id) { return L"条件" + std::to_wstring(id) + L"判断结果: 不成立"; }

// A pathexist item on `path`.
ConditionRecord Exists(uint32_t id, const std::wstring& path) {
  ConditionRecord r = Item(id, COND_PATHEXIST);
  r.path = path;
  return r;
}

ConditionRecord Logic(uint32_t id, LogicOp op, uint32_t cid1, uint32_t cid2) {
  ConditionRecord r = Item(id, COND_LOGIC);
  r.logic = op;
  r.cid1 = cid1;
  r.cid2 = cid2;
  return r;
}

struct ModeCase {
  bool silent;
  bool overwrite;
  std::vector<uint32_t> holding;  // which of the ids 5 to 10 hold
};

class BuiltinModeTest : public ConditionTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(BuiltinModeTest, ReadsTheModesAtEveryRequest) {
  const ModeCase& c = GetParam();
  // A non-Boolean option counts as false.
  if (c.silent) engine_.run.options.SetBool(OPT_SILENT, true); else engine_.run.options.SetText(OPT_SILENT, L"true");
  if (c.overwrite) engine_.run.options.SetBool(OPT_OVERWRITE, true);
  for (uint32_t id = 5; id <= 10; ++id) {
    const bool expected = std::find(c.holding.begin(), c.holding.end(), id) != c.holding.end();
    EXPECT_EQ(engine_.conditions.Evaluate(id), expected) << "id " << id;
  }
  EXPECT_EQ(NewLog(), Lines{});
}

INSTANTIATE_TEST_SUITE_P(Modes, BuiltinModeTest,
                         ::testing::Values(ModeCase{false, false, {7}}, ModeCase{false, true, {6, 8}},
                                           ModeCase{true, false, {5, 9}}, ModeCase{true, true, {5, 6, 10}}));

TEST_F(ConditionTest, BuiltinSystemFactsFollowTheMachine) {
  DWORD major = 0, minor = 0, build = 0;
  ASSERT_TRUE(tz::GetWindowsVersion(major, minor, build));
  EXPECT_EQ(engine_.conditions.Evaluate(1), major == 5 && minor == 1);
  EXPECT_EQ(engine_.conditions.Evaluate(2), major > 5);
  EXPECT_EQ(engine_.conditions.Evaluate(3), !tz::IsWow64());
  EXPECT_EQ(engine_.conditions.Evaluate(4), tz::IsWow64());
}

TEST_F(ConditionTest, IdsWithoutMeaningAreFalseAndSilent) {
  // Even a script item cannot give a small id a meaning.
  engine_.run.conditions.Add(Exists(50, dir_));
  for (uint32_t id : {0u, 11u, 50u, 99u, 100u, 4000000000u}) EXPECT_FALSE(engine_.conditions.Evaluate(id)) << id;
  EXPECT_EQ(NewLog(), Lines{});
}

TEST_F(ConditionTest, FirstItemOfAnIdWins) {
  EXPECT_TRUE(engine_.run.conditions.Add(Exists(100, dir_)));
  EXPECT_FALSE(engine_.run.conditions.Add(Exists(100, Path(L"missing"))));
  EXPECT_TRUE(engine_.conditions.Evaluate(100));
}

TEST_F(ConditionTest, NotInvertsAndTheInvertedOutcomeIsLoggedAndCached) {
  ConditionRecord r = Item(100, COND_REGEXIST);
  r.path = L"hkcu\\Software\\TzCondNoSuchKey_" + std::to_wstring(GetCurrentProcessId());
  r.not_ = true;
  EXPECT_TRUE(AddAndEvaluate(r));
  ConditionRecord stored;
  ASSERT_TRUE(engine_.run.conditions.Find(100, stored));
  EXPECT_TRUE(stored.cached);
  EXPECT_TRUE(stored.cached_value);
  EXPECT_EQ(NewLog(), Lines{Holds(100)});
}

TEST_F(ConditionTest, CachedOutcomeSurvivesTheFilesCreation) {
  const std::wstring file = Path(L"later.txt");
  ConditionRecord nocache = Exists(101, file);
  nocache.nocache = true;
  engine_.run.conditions.Add(Exists(100, file));
  engine_.run.conditions.Add(nocache);
  EXPECT_FALSE(engine_.conditions.Evaluate(100));
  EXPECT_FALSE(engine_.conditions.Evaluate(101));
  cond_test::WriteBytes(file, "x");
  EXPECT_FALSE(engine_.conditions.Evaluate(100));  // cached: neither evaluated nor logged again
  EXPECT_TRUE(engine_.conditions.Evaluate(101));
  EXPECT_EQ(NewLog(), (Lines{Fails(100), Fails(101), Holds(101)}));
  ConditionRecord stored;
  ASSERT_TRUE(engine_.run.conditions.Find(101, stored));
  EXPECT_FALSE(stored.cached);
}

TEST_F(ConditionTest, JudgedItemIsEvaluatedAsItLoads) {
  const std::wstring file = Path(L"judged.txt");
  ConditionRecord judged_nocache = Exists(101, file);
  judged_nocache.nocache = true;
  engine_.run.conditions.Add(Exists(100, file), &engine_.conditions);
  engine_.run.conditions.Add(judged_nocache, &engine_.conditions);  // nocache: not evaluated at load
  EXPECT_EQ(NewLog(), Lines{Fails(100)});
  ConditionRecord stored;
  ASSERT_TRUE(engine_.run.conditions.Find(100, stored));
  EXPECT_TRUE(stored.cached);
  EXPECT_FALSE(stored.cached_value);

  cond_test::WriteBytes(file, "x");
  EXPECT_FALSE(engine_.conditions.Evaluate(100));
  EXPECT_TRUE(engine_.conditions.Evaluate(101));
}

TEST_F(ConditionTest, JudgedLogicSeesOnlyEarlierItems) {
  engine_.run.conditions.Add(Exists(100, dir_));
  engine_.run.conditions.Add(Logic(101, LOGIC_AND, 100, 102), &engine_.conditions);  // 102 is not loaded yet
  engine_.run.conditions.Add(Exists(102, dir_));
  EXPECT_FALSE(engine_.conditions.Evaluate(101));
  EXPECT_EQ(NewLog(), (Lines{Holds(100), Fails(101)}));
}

struct LogicCase {
  LogicOp op;
  uint32_t cid1;
  uint32_t cid2;
  bool expected;
  std::vector<uint32_t> logged;  // operands evaluated (and so logged), in order
};

class LogicTest : public ConditionTest, public ::testing::WithParamInterface<LogicCase> {};

TEST_P(LogicTest, EvaluatesEveryOperand) {
  // 100 holds, 101 does not.
  engine_.run.conditions.Add(Exists(100, dir_));
  engine_.run.conditions.Add(Exists(101, Path(L"missing")));
  const LogicCase& c = GetParam();
  EXPECT_EQ(engine_.conditions.EvaluateLogic(c.cid1, c.cid2, c.op), c.expected);
  Lines expected_log;
  for (uint32_t id : c.logged) expected_log.push_back(id == 100 ? Holds(100) : Fails(id));
  EXPECT_EQ(NewLog(), expected_log);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LogicTest,
    ::testing::Values(LogicCase{LOGIC_NONE, 0, 0, true, {}}, LogicCase{LOGIC_NONE, 0, 101, true, {}},
                      LogicCase{LOGIC_NONE, 101, 100, false, {101}}, LogicCase{LOGIC_AND, 0, 100, false, {}},
                      LogicCase{LOGIC_OR, 0, 100, false, {}}, LogicCase{LOGIC_NOT, 101, 100, true, {101}},
                      LogicCase{LOGIC_OR, 100, 101, true, {100, 101}}, LogicCase{LOGIC_AND, 101, 100, false, {101, 100}},
                      LogicCase{LOGIC_AND, 100, 0, false, {100}}, LogicCase{LOGIC_OR, 100, 0, true, {100}},
                      LogicCase{LOGIC_XOR, 100, 101, true, {100, 101}},
                      LogicCase{LOGIC_XOR, 100, 5, true, {100}}));

TEST_F(ConditionTest, LogicReachingItselfEndsWithoutOverflow) {
  engine_.run.conditions.Add(Logic(100, LOGIC_NOT, 100, 0));
  engine_.run.conditions.Add(Logic(101, LOGIC_OR, 102, 0));
  engine_.run.conditions.Add(Logic(102, LOGIC_OR, 101, 0));
  // The inner, repeated request counts as false: neither logged nor cached.
  EXPECT_TRUE(engine_.conditions.Evaluate(100));
  EXPECT_FALSE(engine_.conditions.Evaluate(101));
  EXPECT_EQ(NewLog(), (Lines{Holds(100), Fails(102), Fails(101)}));
}

TEST_F(ConditionTest, DeepLogicChainEndsWithoutOverflow) {
  // 1000 nested "not"s, far beyond any real script: cut off, never a stack overflow.
  for (uint32_t i = 0; i < 1000; ++i) engine_.run.conditions.Add(Logic(100 + i, LOGIC_NOT, 101 + i, 0));
  engine_.conditions.Evaluate(100);
  EXPECT_LT(NewLog().size(), 1000u);
}

}  // namespace
