#include "extract/item_path.h"

#include "platform/text_compare.h"

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Windows drops trailing dots and spaces from a name, so ". ." and "..." resolve like "..".
bool IsDotsOnly(std::wstring_view part) {
  size_t dots = 0;
  for (wchar_t c : part) {
    if (c == L'.')
      ++dots;
    else if (c != L' ')
      return false;
  }
  return dots >= 2;
}

bool IsDeviceName(std::wstring_view part) {
  const size_t dot = part.find(L'.');
  std::wstring_view stem = part.substr(0, dot);
  while (!stem.empty() && stem.back() == L' ') stem.remove_suffix(1);
  for (const wchar_t* name : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
    if (tz::EqualsIgnoreCase(stem, name)) return true;
  }
  if (stem.size() == 4 && (tz::StartsWithIgnoreCase(stem, L"COM") || tz::StartsWithIgnoreCase(stem, L"LPT")) &&
      stem[3] >= L'1' && stem[3] <= L'9') {
    return true;
  }
  return false;
}

}  // namespace

bool IsSafeItemPath(std::wstring_view path) {
  if (path.empty() || IsSeparator(path.front())) return false;
  if (path.find(L':') != std::wstring_view::npos) return false;
  size_t begin = 0;
  while (begin <= path.size()) {
    size_t end = begin;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    const std::wstring_view part = path.substr(begin, end - begin);
    if (IsDotsOnly(part) || IsDeviceName(part)) return false;
    begin = end + 1;
  }
  return true;
}
