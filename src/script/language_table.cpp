#include "script/language_table.h"

#include <windows.h>

// This file is the one place that instantiates the INI library.
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <algorithm>
#include <list>

#include "diag/install_log.h"
#include "platform/resources.h"
#include "state/installer_info.h"

class CSimpleIniStore : public CSimpleIniW {};

namespace {

constexpr wchar_t kSection[] = L"Lang";
constexpr int kMaxReplacements = 20;
// A value that names a key several times multiplies at every replacement; resolving it stops
// before it passes this length (or its own).
constexpr size_t kMaxValueLength = 1 << 16;

std::wstring Lower(std::wstring s) {
  if (!s.empty()) CharLowerBuffW(s.data(), static_cast<DWORD>(s.size()));
  return s;
}

void ResetStore(CSimpleIniStore& ini) {
  ini.Reset();
  ini.SetUnicode(false);  // ANSI unless the text starts with a UTF-8 byte order mark
  ini.SetMultiKey(false);
}

}  // namespace

CLanguageTable::CLanguageTable(CInstallerInfo& info) : info_(info), strings_(std::make_unique<CSimpleIniStore>()) {
  ResetStore(*strings_);
}
CLanguageTable::~CLanguageTable() = default;

bool CLanguageTable::AddStringTable(const std::wstring& language, const std::wstring& resource) {
  tz::ScopedLock lock(lock_);
  return stringtable_.emplace(Lower(language), resource).second;
}

bool CLanguageTable::AddFileResource(const std::wstring& id, const std::wstring& language,
                                     const std::wstring& resource) {
  tz::ScopedLock lock(lock_);
  return fileres_[id].emplace(Lower(language), resource).second;
}

bool CLanguageTable::ChooseLanguage(const std::wstring& request) {
  std::wstring name = request;
  if (name.empty()) {
    const LANGID ui = GetUserDefaultUILanguage();
    name = PRIMARYLANGID(ui) == LANG_ENGLISH ? L"en_us" : L"zh-cn";
  }
  std::wstring resource;
  {
    tz::ScopedLock lock(lock_);
    current_ = name;
    current_lower_ = Lower(name);
    // The request is looked up as given: the map's names are lower case.
    auto it = stringtable_.find(name);
    if (it == stringtable_.end()) return false;
    resource = it->second;
  }
  tz::ResourceBytes bytes;
  if (!tz::FindOwnResource(info_.Instance(), L"LANG", resource.c_str(), bytes)) {
    GetLog().Error(L"Can't find language res %s", resource.c_str());
    return false;
  }
  const int code = LoadStrings(static_cast<const char*>(bytes.data), bytes.size);
  if (code < 0) {
    GetLog().Error(L"load language error %d", code);
    GetLog().Error(L"load language res %s failed", resource.c_str());
    return false;
  }
  return true;
}

int CLanguageTable::LoadStrings(const char* data, size_t size) {
  tz::ScopedLock lock(lock_);
  ResetStore(*strings_);
  const SI_Error rc = strings_->LoadData(data, size);
  if (rc < 0) return rc;
  ResolveReferences();
  return rc;
}

void CLanguageTable::ResolveReferences() {
  std::list<CSimpleIniW::Entry> keys;
  strings_->GetAllKeys(kSection, keys);
  for (const auto& key : keys) {
    const wchar_t* raw = strings_->GetValue(kSection, key.pItem, nullptr);
    if (!raw) continue;
    std::wstring value = raw;
    const size_t limit = std::max(kMaxValueLength, value.size());
    int replaced = 0;
    while (replaced < kMaxReplacements) {
      const size_t open = value.find(L"${");
      if (open == std::wstring::npos) break;
      const size_t close = value.find(L'}', open + 2);
      if (close == std::wstring::npos) break;
      const std::wstring name = value.substr(open + 2, close - open - 2);
      const wchar_t* target = strings_->GetValue(kSection, name.c_str(), nullptr);
      const std::wstring replacement = target ? target : name;
      const std::wstring token = L"${" + name + L"}";
      // One sweep, left to right; a result past the limit leaves the value as it is.
      std::wstring out;
      size_t from = 0;
      for (size_t at = value.find(token); at != std::wstring::npos; at = value.find(token, from)) {
        out.append(value, from, at - from).append(replacement);
        from = at + token.size();
        if (out.size() > limit) break;
      }
      if (out.size() + (value.size() - from) > limit) break;
      out.append(value, from, std::wstring::npos);
      value.swap(out);
      ++replaced;
    }
    if (replaced > 0) strings_->SetValue(kSection, key.pItem, value.c_str());
  }
}

std::wstring CLanguageTable::GetString(const std::wstring& key) {
  tz::ScopedLock lock(lock_);
  const wchar_t* v = strings_->GetValue(kSection, key.c_str(), nullptr);
  return v ? v : L"";
}

std::wstring CLanguageTable::GetFileResource(const std::wstring& id) {
  tz::ScopedLock lock(lock_);
  auto it = fileres_.find(id);
  if (it == fileres_.end()) return {};
  auto lang = it->second.find(current_lower_);
  return lang == it->second.end() ? std::wstring() : lang->second;
}

std::wstring CLanguageTable::GetCurrentLanguage() {
  tz::ScopedLock lock(lock_);
  return current_;
}

