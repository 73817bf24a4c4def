#include "script/script_values.h"

#include <cstdint>
#include <iterator>

namespace tz {
namespace {

// The C library's blanks; taken literally so the locale never changes what a script means.
template <typename Ch>
bool IsBlank(Ch c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

template <typename Ch>
int32_t ParseDecimalT(std::basic_string_view<Ch> text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Accumulate as a magnitude capped just past the range, then clamp like strtol does.
  const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
  int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > limit) magnitude = limit;
  }
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

// Keywords are ASCII, so a plain ASCII fold is the whole of "without regard to case".
bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

struct Keyword {
  const wchar_t* name;
  int code;
};

template <size_t N>
int MatchKeyword(std::wstring_view text, const Keyword (&table)[N], bool numeric_forms) {
  for (const Keyword& k : table) {
    if (EqualsNoCase(text, k.name)) return k.code;
  }
  if (numeric_forms) {
    for (const Keyword& k : table) {
      if (k.code != 0 && text == std::to_wstring(k.code)) return k.code;
    }
  }
  return 0;
}

const Keyword kConditionTypes[] = {
    {L"pathexist", COND_PATHEXIST}, {L"fileexist", COND_PATHEXIST}, {L"emptydir", COND_EMPTYDIR},
    {L"regexist", COND_REGEXIST},   {L"regvalue", COND_REGVALUE},   {L"osver", COND_OSVER},
    {L"filever", COND_FILEVER},     {L"procexist", COND_PROCEXIST}, {L"inivalue", COND_INIVALUE},
    {L"dll", COND_DLL},             {L"logic", COND_LOGIC},         {L"var", COND_VAR},
    {L"pe", COND_PE},
};

const Keyword kLogic[] = {{L"not", LOGIC_NOT}, {L"and", LOGIC_AND}, {L"or", LOGIC_OR}, {L"xor", LOGIC_XOR}};

const Keyword kMethods[] = {
    {L"=", CMP_EQ}, {L"eq", CMP_EQ},  {L"!=", CMP_NEQ}, {L"neq", CMP_NEQ}, {L"<", CMP_LT},   {L"lt", CMP_LT},
    {L"<=", CMP_LE}, {L"le", CMP_LE}, {L">", CMP_GT},   {L"gt", CMP_GT},   {L">=", CMP_GE},  {L"ge", CMP_GE},
    {L"has", CMP_HAS}, {L"in", CMP_IN},
};

const Keyword kValueTypes[] = {
    {L"num", VALTYPE_NUMBER}, {L"number", VALTYPE_NUMBER}, {L"str", VALTYPE_STRING},
    {L"string", VALTYPE_STRING}, {L"ver", VALTYPE_VERSION}, {L"version", VALTYPE_VERSION},
};

const Keyword kActionTypes[] = {
    {L"msgbox", ACT_MSGBOX},     {L"del", ACT_DELETE},       {L"delete", ACT_DELETE},
    {L"copy", ACT_COPY},         {L"regwrite", ACT_REGWRITE}, {L"regdel", ACT_REGDELETE},
    {L"regdelete", ACT_REGDELETE}, {L"kill", ACT_KILL},      {L"shortcut", ACT_SHORTCUT},
    {L"link", ACT_SHORTCUT},     {L"extract", ACT_EXTRACT},  {L"exe", ACT_RUN},
    {L"run", ACT_RUN},           {L"shell", ACT_SHELL},      {L"open", ACT_SHELL},
    {L"regdll", ACT_REGDLL},     {L"ini", ACT_INI},          {L"rundll", ACT_RUNDLL},
    {L"svr", ACT_SERVICE},       {L"service", ACT_SERVICE},  {L"setpath", ACT_SETPATH},
    {L"unload", ACT_UNLOAD},     {L"list", ACT_LIST},        {L"var", ACT_VAR},
    {L"setinstdir", ACT_SETINSTDIR},
};

const Keyword kVariableTypes[] = {
    {L"const", VARIABLE_CONST}, {L"ver", VARIABLE_VERSION}, {L"version", VARIABLE_VERSION}, {L"reg", VARIABLE_REG},
    {L"ini", VARIABLE_INI},     {L"cmd", VARIABLE_CMD},     {L"param", VARIABLE_CMD},       {L"dll", VARIABLE_DLL},
    {L"ret", VARIABLE_RET},     {L"exe", VARIABLE_RET},
};

}  // namespace

int32_t ParseDecimal(std::string_view text) { return ParseDecimalT(text); }
int32_t ParseDecimal(std::wstring_view text) { return ParseDecimalT(text); }

std::vector<std::wstring> SplitKeep(std::wstring_view text, wchar_t separator) {
  std::vector<std::wstring> items;
  size_t begin = 0;
  while (begin < text.size()) {
    const size_t end = text.find(separator, begin);
    if (end == std::wstring_view::npos) {
      items.emplace_back(text.substr(begin));
      break;
    }
    items.emplace_back(text.substr(begin, end - begin));
    begin = end + 1;
  }
  return items;
}

std::vector<std::wstring> SplitTrim(std::wstring_view text, wchar_t separator) {
  std::vector<std::wstring> pieces;
  size_t begin = 0;
  while (begin <= text.size()) {
    size_t end = text.find(separator, begin);
    if (end == std::wstring_view::npos) end = text.size();
    std::wstring_view piece = text.substr(begin, end - begin);
    while (!piece.empty() && IsBlank(piece.front())) piece.remove_prefix(1);
    while (!piece.empty() && IsBlank(piece.back())) piece.remove_suffix(1);
    if (!piece.empty()) pieces.emplace_back(piece);
    begin = end + 1;
  }
  return pieces;
}

std::vector<int32_t> ParseIdList(std::wstring_view text) {
  std::vector<int32_t> ids;
  for (const std::wstring& piece : SplitTrim(text, L',')) ids.push_back(ParseDecimal(piece));
  return ids;
}

bool IsTrueText(std::wstring_view text) { return text == L"1" || EqualsNoCase(text, L"true"); }

Requirement ParseRequirement(std::wstring_view text) {
  if (text.empty()) return REQ_NONE;
  return IsTrueText(text) ? REQ_TRUE : REQ_FALSE;
}

ConditionType ConditionTypeFromText(std::wstring_view text) {
  return static_cast<ConditionType>(MatchKeyword(text, kConditionTypes, true));
}

LogicOp LogicFromText(std::wstring_view text) { return static_cast<LogicOp>(MatchKeyword(text, kLogic, false)); }

CompareMethod CompareMethodFromText(std::wstring_view text) {
  return static_cast<CompareMethod>(MatchKeyword(text, kMethods, false));
}

CompareValueType CompareValueTypeFromText(std::wstring_view text) {
  return static_cast<CompareValueType>(MatchKeyword(text, kValueTypes, false));
}

ActionType ActionTypeFromText(std::wstring_view text) {
  return static_cast<ActionType>(MatchKeyword(text, kActionTypes, true));
}

VariableType VariableTypeFromText(std::wstring_view text) {
  return static_cast<VariableType>(MatchKeyword(text, kVariableTypes, true));
}

}  // namespace tz
