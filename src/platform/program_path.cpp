#include "platform/program_path.h"

#include <windows.h>

#include "platform/text_compare.h"

namespace tz {
namespace {

bool NeedsQuotes(const std::wstring& text) {
  return !text.empty() && text.front() != L'"' && text.find_first_of(L" \t") != std::wstring::npos;
}

}  // namespace

std::wstring QuoteProgramPath(const std::wstring& path) {
  return NeedsQuotes(path) ? L"\"" + path + L"\"" : path;
}

std::wstring QuoteProgramCommand(const std::wstring& command) {
  if (!NeedsQuotes(command)) return command;
  if (GetFileAttributesW(command.c_str()) != INVALID_FILE_ATTRIBUTES) return L"\"" + command + L"\"";
  for (size_t at = 0; at + 4 < command.size(); ++at) {
    if ((command[at + 4] == L' ' || command[at + 4] == L'\t') &&
        EqualsIgnoreCase(std::wstring_view(command).substr(at, 4), L".exe")) {
      return L"\"" + command.substr(0, at + 4) + L"\"" + command.substr(at + 4);
    }
  }
  return L"\"" + command + L"\"";
}

}  // namespace tz
