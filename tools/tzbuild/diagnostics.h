#pragma once
// Messages of a build, in the form compilers use so that editors can jump to them:
//   FILE:LINE:COLUMN: error: TEXT [code]
// Each message names its check code; the manifest may accept a check for some ids ("allow").
#include <cstdio>
#include <map>
#include <set>
#include <string>

namespace tzbuild {

struct SourcePos {
  std::wstring file;  // as shown to the user; empty for messages about the build itself
  int line = 0;       // 1-based; 0 when the message is about the whole file
  int column = 0;     // 1-based, in characters
};

class Diagnostics {
 public:
  explicit Diagnostics(FILE* out) : out_(out) {}

  void SetWarningsAreErrors(bool on) { werror_ = on; }
  void SetAllowed(const std::map<std::string, std::set<std::string>>& allowed) { allowed_ = allowed; }

  // `subject` is the id or name the message is about; an "allow CODE SUBJECT" line of the
  // manifest silences it.
  void Error(const SourcePos& at, const char* code, const std::string& text, const std::string& subject = {});
  void Warning(const SourcePos& at, const char* code, const std::string& text, const std::string& subject = {});
  void Note(const SourcePos& at, const std::string& text);

  int ErrorCount() const { return errors_; }
  int WarningCount() const { return warnings_; }

 private:
  bool Allowed(const char* code, const std::string& subject) const;
  void Print(const SourcePos& at, const char* severity, const std::string& text, const char* code);

  FILE* out_;
  bool werror_ = false;
  int errors_ = 0;
  int warnings_ = 0;
  std::map<std::string, std::set<std::string>> allowed_;
};

// UTF-8 <-> UTF-16 for file names and messages.
std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

// Line and column (1-based, counting UTF-8 characters) of byte `offset` in `text`.
SourcePos PositionOf(const std::wstring& file, const std::string& text, size_t offset);

}  // namespace tzbuild
