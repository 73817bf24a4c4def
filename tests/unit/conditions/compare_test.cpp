// The compares and the keeping split as tables of one-liners: left (found), method, right (operand).
#include "conditions/compare.h"
#include "script/script_values.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

const char* MethodName(CompareMethod m) {
  static const char* const kNames[] = {"eq", "neq", "lt", "le", "gt", "ge", "has", "in"};
  return (m >= 0 && m < 8) ? kNames[m] : "?";
}

struct TextCase {
  const wchar_t* left;
  CompareMethod method;
  const wchar_t* right;
  bool expected;
};

std::ostream& operator<<(std::ostream& os, const TextCase& c) {
  std::wstring l = c.left, r = c.right;
  return os << '"' << std::string(l.begin(), l.end()) << "\" " << MethodName(c.method) << " \""
            << std::string(r.begin(), r.end()) << '"';
}

class VersionCompareTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(VersionCompareTest, ComparesNumericItems) {
  const TextCase& c = GetParam();
  EXPECT_EQ(CompareVersions(c.left, c.right, c.method), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, VersionCompareTest,
    ::testing::Values(
        // Items are numbers, not text.
        TextCase{L"10.0.1", CMP_GT, L"9.9", true}, TextCase{L"9.9", CMP_LT, L"10.0.1", true},
        // Only the shorter list's length counts.
        TextCase{L"1.0.5", CMP_EQ, L"1.0", true}, TextCase{L"1.0", CMP_EQ, L"1.0.5", true},
        TextCase{L"1.2", CMP_EQ, L"1.2.3", true}, TextCase{L"1.2.3", CMP_GT, L"1.2", false},
        // Each side picks its own separator.
        TextCase{L"1,2,3,4", CMP_EQ, L"1.2.3.4", true}, TextCase{L"1.2.3.4", CMP_EQ, L"1, 2, 3, 4", true},
        TextCase{L"1,2,3,4", CMP_NEQ, L"1.2.3.5", true},
        // The first difference before the last position settles the answer.
        TextCase{L"1.3", CMP_EQ, L"2.3", false}, TextCase{L"2.2", CMP_NEQ, L"1.2", true},
        TextCase{L"1.2", CMP_NEQ, L"1.2", false}, TextCase{L"2.0", CMP_LT, L"1.9", false},
        TextCase{L"1.9", CMP_LE, L"2.0", true}, TextCase{L"1.9", CMP_GT, L"2.0", false},
        TextCase{L"2.0", CMP_GE, L"1.9", true}, TextCase{L"1.2.9", CMP_LT, L"1.3", true},
        // The last position decides by the method.
        TextCase{L"1.2", CMP_LT, L"1.2", false}, TextCase{L"1.2", CMP_LE, L"1.2", true},
        TextCase{L"1.2", CMP_GE, L"1.2", true}, TextCase{L"1.3", CMP_GT, L"1.2", true},
        // No items on either side.
        TextCase{L"", CMP_EQ, L"", false}, TextCase{L"1.0", CMP_EQ, L"", false},
        TextCase{L"", CMP_NEQ, L"1", false}, TextCase{L"1.0", CMP_EQ, L" . ", false},
        // The found side keeps empty items (as 0); the operand side drops them.
        TextCase{L"1..3", CMP_EQ, L"1.0.3", true}, TextCase{L"1..3", CMP_EQ, L"1..3", false},
        TextCase{L".5", CMP_EQ, L"0.5", true}, TextCase{L"5.1", CMP_EQ, L".5", true},
        TextCase{L" 1 .2", CMP_EQ, L" 1 . 2 ", true},
        // Text after the digits is ignored; items compare unsigned.
        TextCase{L"5.6.7 beta", CMP_EQ, L"5.6.7", true}, TextCase{L"-1", CMP_GT, L"5", true},
        // has and in do not apply to versions.
        TextCase{L"1.2", CMP_HAS, L"1.2", false}, TextCase{L"1.2", CMP_IN, L"1.2", false}));

TEST(VersionCompareTest, WindowsListComparesOnlyTheOperandsItems) {
  // osver 6.1 lt: true on XP and Vista, false on Windows 7 with its build number.
  EXPECT_TRUE(CompareVersionItems({5, 1, 2600}, {6, 1}, CMP_LT));
  EXPECT_TRUE(CompareVersionItems({6, 0, 6002}, {6, 1}, CMP_LT));
  EXPECT_FALSE(CompareVersionItems({6, 1, 7601}, {6, 1}, CMP_LT));
  EXPECT_TRUE(CompareVersionItems({10, 0, 19045}, {6, 1}, CMP_GE));
}

class StringCompareTest : public ::testing::TestWithParam<std::tuple<TextCase, bool>> {};

TEST_P(StringCompareTest, FollowsCaseRule) {
  const auto& [c, case_sensitive] = GetParam();
  EXPECT_EQ(CompareStrings(c.left, c.right, c.method, case_sensitive), c.expected)
      << (case_sensitive ? "case-sensitive" : "any case");
}

// Cases whose answer does not depend on `case`.
INSTANTIATE_TEST_SUITE_P(
    EitherCase, StringCompareTest,
    ::testing::Combine(::testing::Values(TextCase{L"abc", CMP_EQ, L"abc", true}, TextCase{L"", CMP_EQ, L"", true},
                                         TextCase{L"abc", CMP_EQ, L"abcd", false},
                                         TextCase{L"abc", CMP_NEQ, L"abcd", true},
                                         TextCase{L"abc", CMP_NEQ, L"abc", false},
                                         TextCase{L"x64", CMP_HAS, L"64", true},
                                         TextCase{L"64", CMP_IN, L"x64", true},
                                         TextCase{L"x64", CMP_IN, L"64", false},
                                         // Strings have no order.
                                         TextCase{L"a", CMP_LT, L"b", false}, TextCase{L"b", CMP_GT, L"a", false},
                                         TextCase{L"a", CMP_LE, L"a", false}, TextCase{L"a", CMP_GE, L"a", false}),
                       ::testing::Bool()));

INSTANTIATE_TEST_SUITE_P(
    AnyCase, StringCompareTest,
    ::testing::Combine(::testing::Values(TextCase{L"ABC", CMP_EQ, L"abc", true},
                                         TextCase{L"ABC", CMP_NEQ, L"abc", false},
                                         TextCase{L"\u00c4RGER", CMP_EQ, L"\u00e4rger", true},
                                         TextCase{L"C:\\Program Files\\App", CMP_HAS, L"program files", true},
                                         TextCase{L"PROGRAM", CMP_IN, L"C:\\Program Files\\App", true}),
                       ::testing::Values(false)));

INSTANTIATE_TEST_SUITE_P(
    CaseSensitive, StringCompareTest,
    ::testing::Combine(::testing::Values(TextCase{L"ABC", CMP_EQ, L"abc", false},
                                         TextCase{L"ABC", CMP_NEQ, L"abc", true},
                                         TextCase{L"C:\\Program Files\\App", CMP_HAS, L"program files", false},
                                         TextCase{L"C:\\Program Files\\App", CMP_HAS, L"Program Files", true},
                                         TextCase{L"PROGRAM", CMP_IN, L"C:\\Program Files\\App", false}),
                       ::testing::Values(true)));

class NumberCompareTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(NumberCompareTest, ReadsDecimalsSigned) {
  const TextCase& c = GetParam();
  EXPECT_EQ(CompareNumberTexts(c.left, c.right, c.method), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NumberCompareTest,
    ::testing::Values(TextCase{L"10", CMP_GT, L"9", true}, TextCase{L" -5", CMP_LT, L"3", true},
                      TextCase{L"+7", CMP_EQ, L"7", true}, TextCase{L"12abc", CMP_EQ, L"12", true},
                      TextCase{L"abc", CMP_EQ, L"0", true}, TextCase{L"", CMP_EQ, L"-0", true},
                      TextCase{L"3", CMP_LE, L"3", true}, TextCase{L"3", CMP_GE, L"4", false},
                      TextCase{L"1", CMP_NEQ, L"2", true}, TextCase{L"-1", CMP_GT, L"1", false},
                      TextCase{L"5", CMP_HAS, L"5", false}, TextCase{L"5", CMP_IN, L"5", false}));

struct SplitCase {
  const wchar_t* text;
  std::vector<std::wstring> items;
};

class SplitKeepTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitKeepTest, KeepsItemsUnchanged) { EXPECT_EQ(tz::SplitKeep(GetParam().text, L','), GetParam().items); }

INSTANTIATE_TEST_SUITE_P(Table, SplitKeepTest,
                         ::testing::Values(SplitCase{L"", {}}, SplitCase{L"a", {L"a"}},
                                           SplitCase{L"a,b", {L"a", L"b"}}, SplitCase{L"a,,b", {L"a", L"", L"b"}},
                                           SplitCase{L",a", {L"", L"a"}}, SplitCase{L"a,", {L"a"}},
                                           SplitCase{L",", {L""}}, SplitCase{L"a,,", {L"a", L""}},
                                           SplitCase{L" a , b ", {L" a ", L" b "}}));

}  // namespace
