#pragma once
// The compares of condition items: decimal numbers, strings and dotted versions, each with one
// method of CompareMethod. "left" is the value found on the machine,
// "right" the item's operand. Every function is pure: no log, no store.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "state/condition_table.h"

// Signed 32-bit compare; has and in are false.
bool CompareNumbers(int32_t left, int32_t right, CompareMethod method);
// Both texts read by the decimal rule, then CompareNumbers.
bool CompareNumberTexts(std::wstring_view left, std::wstring_view right, CompareMethod method);

// eq/neq: lengths first, then exact or Windows' ordinal case-insensitive compare; has/in: substring
// search (StrStrIW without `case_sensitive`); lt, le, gt, ge are false for strings.
bool CompareStrings(const std::wstring& left, const std::wstring& right, CompareMethod method, bool case_sensitive);

// Numbers of a version text: split at "," when it holds one, else at "."; each item by the decimal
// rule, taken as unsigned. The left (found) side keeps every item, the right (operand) side is trimmed
// and loses empty items.
std::vector<uint32_t> VersionItemsLeft(std::wstring_view text);
std::vector<uint32_t> VersionItemsRight(std::wstring_view text);

// Compares the first n items, n being the shorter list's length (false when n is 0): the first
// n - 1 positions settle the answer at the first difference, position n by the method itself. Items
// beyond the shorter list are ignored, so 1.2 equals 1.2.3. has and in are false.
bool CompareVersionItems(const std::vector<uint32_t>& left, const std::vector<uint32_t>& right,
                         CompareMethod method);
bool CompareVersions(std::wstring_view left, std::wstring_view right, CompareMethod method);

// The compare chosen by `valuetype` (var and inivalue items).
bool CompareByValueType(const std::wstring& left, const std::wstring& right, CompareValueType type,
                        CompareMethod method, bool case_sensitive);
