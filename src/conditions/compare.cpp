#include "conditions/compare.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>

#include "platform/text_compare.h"
#include "script/script_values.h"

namespace {

// The plain relation of two ordered values; has and in never hold here.
template <typename T>
bool Relation(T left, T right, CompareMethod method) {
  switch (method) {
    case CMP_EQ: return left == right;
    case CMP_NEQ: return left != right;
    case CMP_LT: return left < right;
    case CMP_LE: return left <= right;
    case CMP_GT: return left > right;
    case CMP_GE: return left >= right;
    default: return false;
  }
}

std::vector<uint32_t> ToNumbers(const std::vector<std::wstring>& items) {
  std::vector<uint32_t> numbers;
  numbers.reserve(items.size());
  for (const std::wstring& item : items) numbers.push_back(static_cast<uint32_t>(tz::ParseDecimal(item)));
  return numbers;
}

wchar_t VersionSeparator(std::wstring_view text) {
  return text.find(L',') != std::wstring_view::npos ? L',' : L'.';
}

}  // namespace

bool CompareNumbers(int32_t left, int32_t right, CompareMethod method) { return Relation(left, right, method); }

bool CompareNumberTexts(std::wstring_view left, std::wstring_view right, CompareMethod method) {
  return CompareNumbers(tz::ParseDecimal(left), tz::ParseDecimal(right), method);
}

bool CompareStrings(const std::wstring& left, const std::wstring& right, CompareMethod method, bool case_sensitive) {
  switch (method) {
    case CMP_EQ:
    case CMP_NEQ: {
      const bool equal = case_sensitive ? left == right : tz::EqualsIgnoreCase(left, right);
      return method == CMP_EQ ? equal : !equal;
    }
    case CMP_HAS:
    case CMP_IN: {
      const std::wstring& text = method == CMP_HAS ? left : right;
      const std::wstring& part = method == CMP_HAS ? right : left;
      if (case_sensitive) return text.find(part) != std::wstring::npos;
      return StrStrIW(text.c_str(), part.c_str()) != nullptr;
    }
    default:
      return false;
  }
}

std::vector<uint32_t> VersionItemsLeft(std::wstring_view text) {
  return ToNumbers(tz::SplitKeep(text, VersionSeparator(text)));
}

std::vector<uint32_t> VersionItemsRight(std::wstring_view text) {
  return ToNumbers(tz::SplitTrim(text, VersionSeparator(text)));
}

bool CompareVersionItems(const std::vector<uint32_t>& left, const std::vector<uint32_t>& right,
                         CompareMethod method) {
  if (method == CMP_HAS || method == CMP_IN) return false;
  const size_t n = std::min(left.size(), right.size());
  if (n == 0) return false;
  for (size_t i = 0; i + 1 < n; ++i) {
    if (left[i] == right[i]) continue;
    // The first differing item settles every method.
    switch (method) {
      case CMP_EQ: return false;
      case CMP_NEQ: return true;
      case CMP_LT:
      case CMP_LE: return left[i] < right[i];
      default: return left[i] > right[i];  // gt, ge
    }
  }
  return Relation(left[n - 1], right[n - 1], method);
}

bool CompareVersions(std::wstring_view left, std::wstring_view right, CompareMethod method) {
  return CompareVersionItems(VersionItemsLeft(left), VersionItemsRight(right), method);
}

bool CompareByValueType(const std::wstring& left, const std::wstring& right, CompareValueType type,
                        CompareMethod method, bool case_sensitive) {
  switch (type) {
    case VALTYPE_STRING: return CompareStrings(left, right, method, case_sensitive);
    case VALTYPE_VERSION: return CompareVersions(left, right, method);
    default: return CompareNumberTexts(left, right, method);
  }
}
