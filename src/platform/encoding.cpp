#include "platform/encoding.h"

#include <windows.h>

namespace tz {
namespace {

std::wstring Decode(UINT cp, DWORD flags, std::string_view in, bool* ok) {
  if (ok) *ok = true;
  if (in.empty()) return {};
  const int n = MultiByteToWideChar(cp, flags, in.data(), static_cast<int>(in.size()), nullptr, 0);
  if (n <= 0) {
    if (ok) *ok = false;
    return {};
  }
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(cp, flags, in.data(), static_cast<int>(in.size()), out.data(), n);
  return out;
}

std::string Encode(UINT cp, std::wstring_view in) {
  if (in.empty()) return {};
  const int n = WideCharToMultiByte(cp, 0, in.data(), static_cast<int>(in.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(cp, 0, in.data(), static_cast<int>(in.size()), out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace

bool TryUtf8ToWide(std::string_view in, std::wstring& out) {
  bool ok = false;
  std::wstring w = Decode(CP_UTF8, MB_ERR_INVALID_CHARS, in, &ok);
  if (!ok) return false;
  out = std::move(w);
  return true;
}

std::wstring Utf8ToWide(std::string_view in) { return Decode(CP_UTF8, 0, in, nullptr); }
std::string WideToUtf8(std::wstring_view in) { return Encode(CP_UTF8, in); }
std::wstring AnsiToWide(std::string_view in) { return Decode(CP_ACP, 0, in, nullptr); }
std::string WideToAnsi(std::wstring_view in) { return Encode(CP_ACP, in); }

}  // namespace tz
