#pragma once
#include <string>

// Expands %NAME% and %#Key#% references of a script text.
std::wstring Expand(const std::wstring& text);
