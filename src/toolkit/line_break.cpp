#include "toolkit/line_break.h"

namespace tzui {

namespace {

bool IsClosing(wchar_t c) {
  static const std::wstring_view kClosing =
      L"!),.:;?]}\u00BB\u2019\u201D\u2026\u3001\u3002\u3009\u300B\u300D\u300F\u3011\u3015\u3017"
      L"\uFF01\uFF09\uFF0C\uFF0E\uFF1A\uFF1B\uFF1F\uFF3D\uFF5D%\u00B0\u2030\u2103";
  return kClosing.find(c) != std::wstring_view::npos;
}

bool IsOpening(wchar_t c) {
  static const std::wstring_view kOpening =
      L"([{\u00AB\u2018\u201C\u3008\u300A\u300C\u300E\u3010\u3014\u3016\uFF08\uFF3B\uFF5B$\u00A3\u00A5\uFFE5";
  return kOpening.find(c) != std::wstring_view::npos;
}

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\u3000'; }

// Letters, digits and the marks that join them (1.0.0.1, C:\\x, it's): a break between two of these
// would split a word.
bool IsWordChar(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') ||
         (c >= 0x00C0 && c < 0x0250) || c == L'-' || c == L'_' || c == L'\\' || c == L'/' || c == L'\'' ||
         c == L'.' || c == L',' || c == L':';
}

bool CanBreakBetween(wchar_t before, wchar_t after) {
  if (IsSpace(before)) return true;
  if (IsSpace(after) || IsClosing(after) || IsOpening(before)) return false;
  return !(IsWordChar(before) && IsWordChar(after));
}

void BreakParagraph(std::wstring_view text, float width, const std::function<float(std::wstring_view)>& width_of,
                    std::vector<std::wstring>& lines) {
  size_t start = 0;
  while (start < text.size()) {
    // The longest run from start that fits (at least one character).
    size_t lo = start + 1, hi = text.size();
    while (lo < hi) {
      const size_t mid = (lo + hi + 1) / 2;
      if (width_of(text.substr(start, mid - start)) <= width) lo = mid;
      else hi = mid - 1;
    }
    size_t end = lo;
    if (end < text.size()) {
      size_t b = end;
      while (b > start + 1 && !CanBreakBetween(text[b - 1], text[b])) --b;
      if (b > start + 1 || CanBreakBetween(text[start], text[start + 1])) end = b;
    }
    size_t last = end;
    while (last > start && IsSpace(text[last - 1])) --last;
    lines.emplace_back(text.substr(start, last - start));
    start = end;
    while (start < text.size() && IsSpace(text[start])) ++start;
  }
}

}  // namespace

std::vector<std::wstring> BreakLines(std::wstring_view text, float width,
                                     const std::function<float(std::wstring_view)>& width_of) {
  std::vector<std::wstring> lines;
  size_t from = 0;
  while (from <= text.size()) {
    size_t feed = text.find(L'\n', from);
    if (feed == std::wstring_view::npos) feed = text.size();
    std::wstring_view paragraph = text.substr(from, feed - from);
    if (!paragraph.empty() && paragraph.back() == L'\r') paragraph.remove_suffix(1);
    if (paragraph.empty()) lines.emplace_back();
    else BreakParagraph(paragraph, width, width_of, lines);
    from = feed + 1;
  }
  return lines;
}

}  // namespace tzui
