#pragma once
// Case-insensitive comparison of names (files, registry roots, processes, words of the script):
// Windows' ordinal comparison with its own upper-case table, independent of the user's locale.
#include <windows.h>

#include <string_view>

namespace tz {

inline bool EqualsIgnoreCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  if (a.empty()) return true;
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                              TRUE) == CSTR_EQUAL;
}

inline bool StartsWithIgnoreCase(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace tz
