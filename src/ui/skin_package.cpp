#include "ui/skin_package.h"

#include <cwchar>
#include <cwctype>

#include "script/language_table.h"
#include "toolkit/resource_package.h"

std::vector<std::uint8_t> ReadSkinPackageResource(HMODULE module) {
  HRSRC found = FindResourceExW(module, L"UI", MAKEINTRESOURCEW(201), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  if (!found) return {};
  HGLOBAL loaded = LoadResource(module, found);
  const DWORD size = SizeofResource(module, found);
  if (!loaded || size == 0) return {};
  const void* data = LockResource(loaded);
  if (!data) return {};
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  return std::vector<std::uint8_t>(bytes, bytes + size);
}

bool LoadSkinPackage(HMODULE module, const std::wstring& language_code, std::vector<std::uint8_t>& owned_copy) {
  tzui::CResourceManager& resources = tzui::CResourceManager::Instance();
  resources.SetResourceSource(tzui::ResourceSource::kZipMemory);
  resources.SetInstance(module);
  owned_copy = ReadSkinPackageResource(module);
  if (owned_copy.empty()) return false;
  // A package the archive library cannot read shows up later, when a window finds no description.
  resources.SetZipPackage(owned_copy.data(), owned_copy.size());
  std::wstring code = language_code;
  for (wchar_t& c : code) c = static_cast<wchar_t>(towlower(c));
  wchar_t folder[MAX_PATH] = {};
  swprintf(folder, MAX_PATH, L"locale\\%ls\\", code.c_str());
  resources.ClearStringTable();
  resources.LoadStringTable(std::wstring(folder) + L"string.xml");
  resources.LoadResourceList(std::wstring(folder) + L"resource.xml");
  return true;
}

void LoadSkinPackageOrExit(HMODULE module, CLanguageTable& language, std::vector<std::uint8_t>& owned_copy) {
  if (LoadSkinPackage(module, language.GetCurrentLanguage(), owned_copy)) return;
  // The skin is what is missing: the plain system box, without owner.
  const std::wstring text = language.GetString(L"Error.Text.LoadSkinFail");
  const std::wstring title = language.GetString(L"MB.Title.Text");
  MessageBoxW(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONINFORMATION);
  ExitProcess(1);
}
