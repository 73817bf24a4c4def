#pragma once
// The one place where texts change encoding: UTF-8 and the ANSI code page to UTF-16 and back.
#include <string>
#include <string_view>

namespace tz {

// Strict UTF-8 decode: false (and `out` untouched) when the bytes are not valid UTF-8.
bool TryUtf8ToWide(std::string_view in, std::wstring& out);
// Lenient decode: invalid sequences become U+FFFD.
std::wstring Utf8ToWide(std::string_view in);
std::string WideToUtf8(std::wstring_view in);
// Through the ANSI code page of the system (CP_ACP).
std::wstring AnsiToWide(std::string_view in);
std::string WideToAnsi(std::wstring_view in);

}  // namespace tz
