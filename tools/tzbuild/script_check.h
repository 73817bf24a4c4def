#pragma once
// Checks an install script and its language tables before anything is built, so that mistakes
// which the installer would only show (or silently skip) at run time stop the build instead.
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "diagnostics.h"

namespace tzbuild {

struct LanguageTable {
  std::wstring shown;    // file name as shown in messages
  std::string resource;  // LANG resource name
  std::string language;
  std::string text;      // the INI text
};

struct ScriptInputs {
  std::wstring shown;  // the script's file name as shown in messages
  std::string text;    // UTF-8, as the installer will carry it
  // Resources the installer will carry: type ("FILE", "LANG", "UI", "10" for RT_RCDATA) and name.
  std::set<std::pair<std::string, std::string>> resources;
  std::vector<LanguageTable> languages;
};

// Reports every problem to `diag`. Check codes: xml, no-config, unknown-element, unknown-field,
// unknown-setting, unknown-type, unknown-keyword, bad-id, low-id, undefined-id, duplicate-id,
// missing-resource, list-mismatch, diskrequire, missing-lang-key, ignored-operand.
void CheckScript(const ScriptInputs& in, Diagnostics& diag);

// The ${Key} references of one language table that name no key of that table (warnings).
void CheckLanguageTable(const LanguageTable& table, Diagnostics& diag);

// Keys of the "Lang" section (lower-cased: lookups ignore case).
std::set<std::string> LanguageKeys(const std::string& ini);

}  // namespace tzbuild
