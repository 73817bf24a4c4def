#pragma once
// Writes the installer: a copy of the engine executable whose resource table is rebuilt with the
// product's resources, version information and icon. Everything goes into the resource section
// of the image, nothing is appended after it, so an Authenticode signature added later covers
// the whole installer and leaves every resource where the engine looks for it.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "manifest.h"

namespace tzbuild {

struct ProductResource {
  std::wstring type;  // "FILE", "LANG", "UI"
  std::wstring name;  // "lang_zhCN"; unused when `id` is set
  WORD id = 0;        // 302: payloads, the script and the skin are found by number
  std::string data;
};

// Builds VS_VERSIONINFO from the manifest's version fields.
std::string BuildVersionResource(const VersionInfo& version);

// Splits an .ico file into its images (RT_ICON, ids first_id, first_id+1, ...) and the group
// directory (RT_GROUP_ICON). False with a reason when the file is not an icon.
bool SplitIcon(const std::string& ico, WORD first_id, std::vector<std::string>& images, std::string& group,
               std::string& error);

// Writes `path` from the engine image `engine`: keeps the engine's own resources (its manifest,
// and its version and icon unless `version` / `icon_file` replace them), adds `resources`.
bool WriteInstaller(const std::string& engine, const std::wstring& path, const std::vector<ProductResource>& resources,
                    const std::string* version, const std::string* icon_file, std::string& error);

}  // namespace tzbuild
