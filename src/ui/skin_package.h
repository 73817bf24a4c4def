#pragma once
// Loads the skin package (resource "UI" 201) into the toolkit with the string table of the current
// language. The caller keeps the returned copy for as long as windows may be created.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class CLanguageTable;

// Empty when the resource is missing, cannot be loaded or locked, or is empty.
std::vector<std::uint8_t> ReadSkinPackageResource(HMODULE module);
// Steps 1 to 6 of the load; false when the resource is unusable (nothing else is reported).
bool LoadSkinPackage(HMODULE module, const std::wstring& language_code, std::vector<std::uint8_t>& owned_copy);
// The load with the installer's failure behaviour: the plain system box ("Error.Text.LoadSkinFail",
// "MB.Title.Text", information icon) and exit code 1 when the package is unusable.
void LoadSkinPackageOrExit(HMODULE module, CLanguageTable& language, std::vector<std::uint8_t>& owned_copy);
