#pragma once
// The language table: which "LANG" resource holds each language's strings, which resource each
// language uses for a file (the licence), and the strings of the chosen language.
#include <map>
#include <memory>
#include <string>

#include "platform/sync.h"
#include "state/installer_info.h"

class CSimpleIniStore;  // the loaded INI text (hidden: the INI library stays out of this header)

class CLanguageTable {
 public:
  // Language strings come from the resources of the installer's own image.
  explicit CLanguageTable(CInstallerInfo& info);
  ~CLanguageTable();
  CLanguageTable(const CLanguageTable&) = delete;
  CLanguageTable& operator=(const CLanguageTable&) = delete;

  // First entry of a language name wins; names are kept lower-cased.
  bool AddStringTable(const std::wstring& language, const std::wstring& resource);
  bool AddFileResource(const std::wstring& id, const std::wstring& language, const std::wstring& resource);

  // Chooses the language (the request, or the user's UI language when empty) and loads its
  // strings from the "LANG" resource the stringtable names for it.
  bool ChooseLanguage(const std::wstring& request);
  // Loads INI text (UTF-8 after a byte order mark, else the ANSI code page) into the string
  // store and resolves ${Key} references; returns the INI library's code (negative on failure).
  int LoadStrings(const char* data, size_t size);

  // The value of a key of section "Lang" (keys ignore case); empty when missing.
  std::wstring GetString(const std::wstring& key);
  // The resource name for a file id in the current language; empty when none.
  std::wstring GetFileResource(const std::wstring& id);
  std::wstring GetCurrentLanguage();

 private:
  void ResolveReferences();

  CInstallerInfo& info_;
  tz::CriticalSection lock_;
  std::map<std::wstring, std::wstring> stringtable_;                       // language -> resource
  std::map<std::wstring, std::map<std::wstring, std::wstring>> fileres_;   // id -> language -> resource
  std::wstring current_;
  std::wstring current_lower_;
  std::unique_ptr<CSimpleIniStore> strings_;
};

