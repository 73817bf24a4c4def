#pragma once
#include <string>

class CVariableStore;
class CLanguageTable;

// Expands %NAME% and %#Key#% references of a script text (RunContext::Expand is the usual door).
std::wstring ExpandText(CVariableStore& variables, CLanguageTable& languages, const std::wstring& text);
