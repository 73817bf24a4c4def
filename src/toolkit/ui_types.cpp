#include "toolkit/ui_types.h"

#include <cwctype>

namespace tzui {

namespace {

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

std::wstring_view Trim(std::wstring_view s) {
  while (!s.empty() && std::iswspace(s.front())) s.remove_prefix(1);
  while (!s.empty() && std::iswspace(s.back())) s.remove_suffix(1);
  return s;
}

// Reads up to `count` comma-separated integers; answers how many were read.
int ParseInts(std::wstring_view text, long* out, int count) {
  int n = 0;
  while (n < count) {
    text = Trim(text);
    if (text.empty()) break;
    const size_t comma = text.find(L',');
    const std::wstring part(Trim(text.substr(0, comma)));
    if (part.empty()) break;
    wchar_t* end = nullptr;
    const long v = std::wcstol(part.c_str(), &end, 10);
    if (end == part.c_str()) break;
    out[n++] = v;
    if (comma == std::wstring_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return n;
}

}  // namespace

bool ParseColor(std::wstring_view text, ARGB32& out) {
  text = Trim(text);
  if (!text.empty() && text.front() == L'#') text.remove_prefix(1);
  if (text.size() != 8 && text.size() != 6) return false;
  ARGB32 v = 0;
  for (wchar_t c : text) {
    const int d = HexDigit(c);
    if (d < 0) return false;
    v = (v << 4) | static_cast<ARGB32>(d);
  }
  if (text.size() == 6) v |= 0xFF000000u;
  out = v;
  return true;
}

bool ParseRect(std::wstring_view text, RECT& out) {
  long v[4] = {0, 0, 0, 0};
  if (ParseInts(text, v, 4) == 0) return false;
  out = RECT{v[0], v[1], v[2], v[3]};
  return true;
}

bool ParseSize(std::wstring_view text, SIZE& out) {
  long v[2] = {0, 0};
  if (ParseInts(text, v, 2) == 0) return false;
  out = SIZE{v[0], v[1]};
  return true;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  return true;
}

bool ParseBool(std::wstring_view text) {
  text = Trim(text);
  return EqualsNoCase(text, L"true") || text == L"1";
}

int ParseInt(std::wstring_view text, int fallback) {
  long v = 0;
  return ParseInts(text, &v, 1) == 1 ? static_cast<int>(v) : fallback;
}

}  // namespace tzui
