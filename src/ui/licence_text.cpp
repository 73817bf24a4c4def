#include "ui/licence_text.h"

#include <cstring>
#include <string_view>

#include "platform/encoding.h"

std::wstring DecodeLicenceText(const void* data, size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::wstring text;
  if (!bytes || size == 0) return text;
  if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    text = tz::Utf8ToWide(std::string_view(reinterpret_cast<const char*>(bytes) + 3, size - 3));
  } else {
    text.resize(size / 2);
    for (size_t i = 0; i < text.size(); ++i)
      text[i] = static_cast<wchar_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  if (!text.empty() && text.front() == 0xFEFF) text.erase(0, 1);
  // The rich edit ends the text at the first zero character, as the resource's reader always did.
  const size_t zero = text.find(L'\0');
  if (zero != std::wstring::npos) text.resize(zero);
  return text;
}

LicenceParts SplitLicenceText(const std::wstring& text) {
  LicenceParts parts;
  const size_t line = text.find(L"\r\n");
  if (line == std::wstring::npos) {
    parts.title = text;
    return parts;
  }
  parts.title = text.substr(0, line);
  parts.body = text.substr(line + 2);
  parts.has_body = true;
  return parts;
}

int LicenceTwips(int twips, double scale_factor) {
  if (!(scale_factor > 0)) scale_factor = 1;
  return static_cast<int>(twips / scale_factor);
}
