#include "script/script_values.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "script/script_loader.h"

namespace {

struct DecimalCase {
  const wchar_t* text;
  int32_t expected;
};
class DecimalTest : public ::testing::TestWithParam<DecimalCase> {};

TEST_P(DecimalTest, ReadsLikeStrtolInBothEncodings) {
  const std::wstring w = GetParam().text;
  EXPECT_EQ(tz::ParseDecimal(std::wstring_view(w)), GetParam().expected);
  EXPECT_EQ(tz::ParseDecimal(std::string(w.begin(), w.end())), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, DecimalTest,
                         ::testing::Values(DecimalCase{L"42", 42}, DecimalCase{L" \t\r\n-7x", -7}, DecimalCase{L"+5", 5},
                                           DecimalCase{L"abc", 0}, DecimalCase{L"-", 0}, DecimalCase{L"1 2", 1},
                                           DecimalCase{L"99999999999", INT32_MAX},
                                           DecimalCase{L"-2147483648", INT32_MIN},
                                           DecimalCase{L"-99999999999", INT32_MIN}));

struct IdListCase {
  const wchar_t* text;
  std::vector<int32_t> expected;
};
class IdListTest : public ::testing::TestWithParam<IdListCase> {};

TEST_P(IdListTest, SplitsTrimsAndDropsEmptyPieces) { EXPECT_EQ(tz::ParseIdList(GetParam().text), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(Table, IdListTest,
                         ::testing::Values(IdListCase{L"216,13,13", {216, 13, 13}}, IdListCase{L" 6, ,203 ", {6, 203}},
                                           IdListCase{L"", {}}, IdListCase{L" , ,", {}}, IdListCase{L",7,", {7}},
                                           IdListCase{L"1,x,3", {1, 0, 3}}, IdListCase{L"\t300\r\n", {300}}));

struct BoolCase {
  const wchar_t* text;
  bool is_true;
  int requirement;
};
class BooleanTextTest : public ::testing::TestWithParam<BoolCase> {};

TEST_P(BooleanTextTest, TrueOnlyForTrueOrOneAndRequirementFollows) {
  EXPECT_EQ(tz::IsTrueText(GetParam().text), GetParam().is_true);
  EXPECT_EQ(tz::ParseRequirement(GetParam().text), GetParam().requirement);
}

INSTANTIATE_TEST_SUITE_P(Table, BooleanTextTest,
                         ::testing::Values(BoolCase{L"true", true, 1}, BoolCase{L"tRuE", true, 1}, BoolCase{L"1", true, 1},
                                           BoolCase{L"01", false, 2}, BoolCase{L" true", false, 2},
                                           BoolCase{L"yes", false, 2}, BoolCase{L"false", false, 2},
                                           BoolCase{L"no", false, 2}, BoolCase{L"", false, 0}));

enum KeywordField { CondType, Logic, Method, ValueType, ActType, VarType };
struct KeywordCase {
  KeywordField field;
  const wchar_t* text;
  int expected;
};
class KeywordTest : public ::testing::TestWithParam<KeywordCase> {};

TEST_P(KeywordTest, MatchesNamesAndNumericForms) {
  const wchar_t* t = GetParam().text;
  const int code[] = {tz::ConditionTypeFromText(t),     tz::LogicFromText(t),  tz::CompareMethodFromText(t),
                      tz::CompareValueTypeFromText(t), tz::ActionTypeFromText(t), tz::VariableTypeFromText(t)};
  EXPECT_EQ(code[GetParam().field], GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, KeywordTest,
    ::testing::Values(
        KeywordCase{CondType, L"FileExist", 1}, KeywordCase{CondType, L"PE", 12}, KeywordCase{CondType, L"12", 12},
        KeywordCase{CondType, L"13", 0}, KeywordCase{CondType, L"012", 0}, KeywordCase{CondType, L" var", 0},
        KeywordCase{Logic, L"NOT", 1}, KeywordCase{Logic, L"xor", 4}, KeywordCase{Logic, L"1", 0},
        KeywordCase{Method, L"!=", 1}, KeywordCase{Method, L"NEQ", 1}, KeywordCase{Method, L"<=", 3},
        KeywordCase{Method, L"GE", 5}, KeywordCase{Method, L"in", 7}, KeywordCase{Method, L"=>", 0},
        KeywordCase{Method, L"7", 0}, KeywordCase{ValueType, L"STR", 1}, KeywordCase{ValueType, L"version", 2},
        KeywordCase{ValueType, L"2", 0}, KeywordCase{ActType, L"EXTRACT", 8}, KeywordCase{ActType, L"8", 8},
        KeywordCase{ActType, L"extracting", 0}, KeywordCase{ActType, L"Del", 2}, KeywordCase{ActType, L"link", 7},
        KeywordCase{ActType, L"OPEN", 10}, KeywordCase{ActType, L"svr", 14}, KeywordCase{ActType, L"setInstDir", 19},
        KeywordCase{ActType, L"20", 0}, KeywordCase{VarType, L"Ver", 2}, KeywordCase{VarType, L"param", 5},
        KeywordCase{VarType, L"EXE", 7}, KeywordCase{VarType, L"7", 7}, KeywordCase{VarType, L"8", 0}));

struct DiskCase {
  const wchar_t* text;
  unsigned long long expected;
};
class DiskRequireTest : public ::testing::TestWithParam<DiskCase> {};

TEST_P(DiskRequireTest, ConvertsToBytes) { EXPECT_EQ(ParseDiskRequire(GetParam().text), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Table, DiskRequireTest,
    ::testing::Values(DiskCase{L"200M", 209715200ULL}, DiskCase{L"1.5G", 1610612736ULL}, DiskCase{L"500", 500ULL},
                      DiskCase{L"200MB", 200ULL}, DiskCase{L"1k", 1024ULL}, DiskCase{L"3P", 3ULL << 50},
                      DiskCase{L"0.5K", 512ULL}, DiskCase{L"2.5", 2ULL}, DiskCase{L"7.", 7ULL},
                      DiskCase{L"1.2.3M", 1258291ULL},  // reading stops at the second full stop
                      DiskCase{L"", 0ULL}, DiskCase{L"M", 0ULL}, DiskCase{L"1e3", 1ULL}, DiskCase{L" 10M", 10485760ULL},
                      DiskCase{L"1234567890123456789012K", 1234567890123456789ULL},  // first 19 characters only
                      // Negative sizes mean no requirement, and sizes past 64 bits stop at the largest value,
                      // rather than wrapping round.
                      DiskCase{L"-1", 0ULL}, DiskCase{L"-1.5G", 0ULL}, DiskCase{L"15E", 15ULL << 60},
                      DiskCase{L"16E", ULLONG_MAX}, DiskCase{L"99999999999999.9E", ULLONG_MAX}));

}  // namespace
