#pragma once
// The product manifest (tzbuild.conf): what goes into the installer. The format is described at
// the top of manifest.cpp and in README's "Making your own installer".
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "diagnostics.h"

namespace tzbuild {

struct PayloadEntry {
  uint16_t id = 0;
  std::wstring path;  // a folder (compressed into a solid 7z) or a ready archive
  SourcePos where;
};

struct LanguageEntry {  // a language table or a licence: resource type "LANG"
  std::string resource;  // resource name, as the script's i18n section names it
  std::string language;  // language name ("zh-cn")
  std::wstring path;
  SourcePos where;
};

struct VersionInfo {
  uint16_t file[4] = {0, 0, 0, 0};
  uint16_t product[4] = {0, 0, 0, 0};
  std::string file_text, product_text;  // as written, "1.2.3.4"
  std::string product_name, company, description, copyright;
};

struct Manifest {
  std::wstring path;    // the manifest file
  std::wstring folder;  // relative paths start here
  std::wstring script;
  SourcePos script_where;
  std::vector<PayloadEntry> payloads;
  std::vector<LanguageEntry> languages;
  std::vector<LanguageEntry> licences;
  std::wstring skin;
  SourcePos skin_where;
  std::wstring icon;
  SourcePos icon_where;
  VersionInfo version;
  bool has_version = false;
  // Diagnostics the product accepts on purpose: check code -> ids ("*" for every id).
  std::map<std::string, std::set<std::string>> allowed;
};

// Reads the manifest at `path` (a tzbuild.conf file, or a folder holding one). `defines` are the
// -D NAME=VALUE pairs that ${NAME} in values expands to. Problems go to `diag`; the result is
// usable only when diag.ErrorCount() did not grow.
Manifest ReadManifest(const std::wstring& path, const std::map<std::string, std::string>& defines,
                      Diagnostics& diag);

}  // namespace tzbuild
