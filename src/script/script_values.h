#pragma once
// The value forms of install script texts: decimal numbers, comma lists of ids, Boolean texts,
// run requirements and the keyword tables. The loader reads the script with these; the evaluator
// and the actions read their operands with the same rules.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "state/action_table.h"
#include "state/condition_table.h"
#include "script/variable_store.h"

namespace tz {

// Signed 32-bit decimal: leading blanks skipped, optional sign, digits up to the first other
// character; no digits gives 0, values beyond the range stop at INT32_MIN / INT32_MAX.
int32_t ParseDecimal(std::string_view text);
int32_t ParseDecimal(std::wstring_view text);

// Splits at `separator`, trims blanks off each piece and drops the pieces left empty.
std::vector<std::wstring> SplitTrim(std::wstring_view text, wchar_t separator);
// Items between single `separator` characters, unchanged. Empty items between separators and
// before a leading separator are kept; a trailing separator (or an empty text) adds no item.
std::vector<std::wstring> SplitKeep(std::wstring_view text, wchar_t separator);
// "6, ,203" -> {6, 203}: the trimmed comma split, each piece read by ParseDecimal.
std::vector<int32_t> ParseIdList(std::wstring_view text);

// True for "true" in any case or exactly "1".
bool IsTrueText(std::wstring_view text);

// Run requirements of stage items (`silent`, `overwrite`).
enum Requirement : int { REQ_NONE = 0, REQ_TRUE = 1, REQ_FALSE = 2 };
// Empty: no requirement; a true text: must hold; any other text: must not hold.
Requirement ParseRequirement(std::wstring_view text);

// Keyword tables: names match without regard to case; where a table has numeric forms, the code in
// decimal matches exactly. Anything else gives code 0.
ConditionType ConditionTypeFromText(std::wstring_view text);
LogicOp LogicFromText(std::wstring_view text);
CompareMethod CompareMethodFromText(std::wstring_view text);
CompareValueType CompareValueTypeFromText(std::wstring_view text);
ActionType ActionTypeFromText(std::wstring_view text);
VariableType VariableTypeFromText(std::wstring_view text);

}  // namespace tz
