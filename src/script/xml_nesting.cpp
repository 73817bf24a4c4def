#include "script/xml_nesting.h"

namespace {

// The parser's character classes.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsNameChar(char c) { return c != '\0' && !IsBlank(c) && c != '/' && c != '>' && c != '?'; }
bool IsAttributeNameChar(char c) { return IsNameChar(c) && c != '!' && c != '<' && c != '='; }

void SkipBlanks(const char*& p) {
  while (IsBlank(*p)) ++p;
}

// Moves past `end` (two or three characters); false at the end of the text.
bool SkipPast(const char*& p, const char* end) {
  for (; *p; ++p) {
    bool match = true;
    for (int i = 0; end[i] && match; ++i) match = p[i] == end[i];
    if (match) {
      for (int i = 0; end[i]; ++i) ++p;
      return true;
    }
  }
  return false;
}

enum class Node { kSkipped, kOpened, kClosedAtOnce, kError };

// `p` is just past '<' and not at "</". Reads one node the way the parser's parse_node does.
Node ReadNode(const char*& p) {
  if (*p == '?') {  // declaration or processing instruction: up to "?>"
    ++p;
    return SkipPast(p, "?>") ? Node::kSkipped : Node::kError;
  }
  if (*p == '!') {
    if (p[1] == '-' && p[2] == '-') {
      p += 3;
      return SkipPast(p, "-->") ? Node::kSkipped : Node::kError;
    }
    if (p[1] == '[' && p[2] == 'C' && p[3] == 'D' && p[4] == 'A' && p[5] == 'T' && p[6] == 'A' && p[7] == '[') {
      p += 8;
      return SkipPast(p, "]]>") ? Node::kSkipped : Node::kError;
    }
    if (p[1] == 'D' && p[2] == 'O' && p[3] == 'C' && p[4] == 'T' && p[5] == 'Y' && p[6] == 'P' && p[7] == 'E' &&
        IsBlank(p[8])) {
      // Up to '>', a bracketed subset skipped by counting brackets (quotes mean nothing here).
      p += 9;
      while (*p != '>') {
        if (*p == '\0') return Node::kError;
        if (*p == '[') {
          ++p;
          for (int depth = 1; depth > 0; ++p) {
            if (*p == '\0') return Node::kError;
            if (*p == '[') ++depth;
            if (*p == ']') --depth;
          }
        } else {
          ++p;
        }
      }
      ++p;
      return Node::kSkipped;
    }
    ++p;  // any other "<!": up to the next '>'
    while (*p != '>') {
      if (*p == '\0') return Node::kError;
      ++p;
    }
    ++p;
    return Node::kSkipped;
  }
  // An element: its name (a quote is a name character), then attributes with quoted values.
  const char* name = p;
  while (IsNameChar(*p)) ++p;
  if (p == name) return Node::kError;
  SkipBlanks(p);
  while (IsAttributeNameChar(*p)) {
    while (IsAttributeNameChar(*p)) ++p;
    SkipBlanks(p);
    if (*p != '=') return Node::kError;
    ++p;
    SkipBlanks(p);
    const char quote = *p;
    if (quote != '\'' && quote != '"') return Node::kError;
    ++p;
    while (*p && *p != quote) ++p;
    if (*p != quote) return Node::kError;
    ++p;
    SkipBlanks(p);
  }
  if (*p == '>') {
    ++p;
    return Node::kOpened;
  }
  if (*p == '/' && p[1] == '>') {
    p += 2;
    return Node::kClosedAtOnce;
  }
  return Node::kError;
}

}  // namespace

const char* FindTooDeepElement(const char* text, int limit) {
  int depth = 0;
  const char* p = text;
  for (;;) {
    if (depth == 0) {
      // Between top-level nodes only blanks may stand.
      SkipBlanks(p);
      if (*p != '<') return nullptr;  // the end, or an error of the parser's
    } else {
      while (*p && *p != '<') ++p;  // character data
      if (*p == '\0') return nullptr;
    }
    const char* start = p++;
    if (depth > 0 && *p == '/') {  // an end tag: name, blanks, '>'
      ++p;
      while (IsNameChar(*p)) ++p;
      SkipBlanks(p);
      if (*p != '>') return nullptr;
      ++p;
      --depth;
      continue;
    }
    switch (ReadNode(p)) {
      case Node::kOpened:
        if (++depth > limit) return start;
        break;
      case Node::kError:
        return nullptr;
      default:
        break;
    }
  }
}
