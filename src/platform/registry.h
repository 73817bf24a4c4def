#pragma once
// Registry access by path text ("hklm\SOFTWARE\Vendor\App") and view number. Every operation opens
// what it needs and closes it before returning; failures become the negative result, never a log.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace tz {

// View numbers: the 64-bit view adds KEY_WOW64_64KEY to every open; 0 and 1 both give this 32-bit
// process the 32-bit view.
constexpr int kRegViewDefault = 0;
constexpr int kRegView32 = 1;
constexpr int kRegView64 = 2;

// Splits a path at its root prefix ("hklm\", "hkcu\", "hkcr\", "hku\", "hkcc\", any case). A path
// with none of them is a subkey of HKEY_LOCAL_MACHINE. `subkey` is empty for "hklm\" alone.
void SplitRegistryPath(const std::wstring& path, HKEY& root, std::wstring& subkey);

// View words: "x86", "x64", "x86x64"/"x64x86", "auto" (the running Windows' own view), any case.
struct RegViewWanted {
  bool view32 = false;
  bool view64 = false;
};
RegViewWanted ParseViewWords(std::wstring_view text);

// Type words "sz" 1, "expandsz" 2, "binary" 3, "dword" 4, "multisz" 7, "qword" 11; else 0.
DWORD ParseTypeWord(std::wstring_view text);

// The key opens for reading (or exists but denies reading, when no value name is asked); with a
// value name, the value exists and, when `type` is not 0, has that registry type.
bool KeyExists(const std::wstring& path, const std::wstring& value_name, DWORD type, int view);

// Up to 4 bytes of a value as a little-endian number, whatever its registry type; a value of more
// than 4 bytes fails. `value` is untouched on failure.
bool ReadNumber(const std::wstring& path, const std::wstring& value_name, int view, DWORD& value);

// A value's data read as a wide string up to its first NUL, whatever its registry type. `value` is
// untouched on failure.
bool ReadString(const std::wstring& path, const std::wstring& value_name, int view, std::wstring& value);

// Creates the key when missing and writes one value. REG_SZ: "@" or "" is the default value, "@@" a
// value named "@". REG_DWORD: name and data both required, data a decimal number that fits 32 bits
// signed or unsigned (a larger one fails). Other types fail.
bool WriteValue(const std::wstring& path, const std::wstring& name, const std::wstring& data, DWORD type,
                int view);

// Writes several values in order into one key, stopping at the first failure (earlier ones stay).
// False for empty or unequal lists.
bool WriteValues(const std::wstring& path, const std::vector<std::wstring>& names,
                 const std::vector<std::wstring>& datas, const std::vector<DWORD>& types, int view);

// Deletes the named values; returns how many were deleted. Never under a bare root key.
unsigned DeleteValues(const std::wstring& path, const std::vector<std::wstring>& names, int view);

// Deletes a key. With `only_if_empty`, a key holding values or subkeys is left and counts as done
// (true). Otherwise everything below it goes first. Never a root key. False when the key is missing
// or could not be deleted (subkeys deleted before the failure stay).
bool DeleteKey(const std::wstring& path, bool only_if_empty, int view);

}  // namespace tz
