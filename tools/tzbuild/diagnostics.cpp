#include "diagnostics.h"

#include "platform/encoding.h"

namespace tzbuild {

std::string ToUtf8(const std::wstring& text) { return tz::WideToUtf8(text); }
std::wstring FromUtf8(const std::string& text) { return tz::Utf8ToWide(text); }

SourcePos PositionOf(const std::wstring& file, const std::string& text, size_t offset) {
  SourcePos pos{file, 1, 1};
  if (offset > text.size()) offset = text.size();
  const size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 && offset >= 3 ? 3 : 0;  // a BOM takes no column
  for (size_t i = start; i < offset; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\n') {
      ++pos.line;
      pos.column = 1;
    } else if ((c & 0xC0) != 0x80 && c != '\r') {  // continuation bytes belong to their character
      ++pos.column;
    }
  }
  return pos;
}

bool Diagnostics::Allowed(const char* code, const std::string& subject) const {
  const auto it = allowed_.find(code);
  if (it == allowed_.end()) return false;
  return it->second.count("*") != 0 || (!subject.empty() && it->second.count(subject) != 0);
}

void Diagnostics::Print(const SourcePos& at, const char* severity, const std::string& text, const char* code) {
  std::string line;
  if (!at.file.empty()) {
    line += ToUtf8(at.file);
    if (at.line > 0) {
      line += ':';
      line += std::to_string(at.line);
      line += ':';
      line += std::to_string(at.column);
    }
    line += ": ";
  } else {
    line += "tzbuild: ";
  }
  line += severity;
  line += ": ";
  line += text;
  if (code && *code) {
    line += " [";
    line += code;
    line += "]";
  }
  line += "\n";
  fputs(line.c_str(), out_);
  fflush(out_);
}

void Diagnostics::Error(const SourcePos& at, const char* code, const std::string& text, const std::string& subject) {
  if (Allowed(code, subject)) return;
  ++errors_;
  Print(at, "error", text, code);
}

void Diagnostics::Warning(const SourcePos& at, const char* code, const std::string& text, const std::string& subject) {
  if (Allowed(code, subject)) return;
  if (werror_) {
    ++errors_;
    Print(at, "error", text + " (warning treated as error)", code);
    return;
  }
  ++warnings_;
  Print(at, "warning", text, code);
}

void Diagnostics::Note(const SourcePos& at, const std::string& text) { Print(at, "note", text, nullptr); }

}  // namespace tzbuild
