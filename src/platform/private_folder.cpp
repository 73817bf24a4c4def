// rand_s is declared only with this set, before the first C runtime header.
#define _CRT_RAND_S
#include "platform/private_folder.h"

#include <stdlib.h>

#include <windows.h>
#include <sddl.h>

#include <cwchar>

#include "platform/handles.h"

namespace tz {

namespace {

// Protected (no inherited entries): Administrators and SYSTEM full control, Users read and
// execute; the same for everything created inside.
constexpr wchar_t kElevatedDacl[] = L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;GRGX;;;BU)";
constexpr int kAttempts = 16;

unsigned RandomSuffix() {
  unsigned value = 0;
  // rand_s draws from the system's random generator; a clock value is the fallback only.
  if (rand_s(&value) != 0) value = GetTickCount() ^ (GetCurrentProcessId() << 16);
  return value;
}

}  // namespace

bool IsProcessElevated() {
  UniqueHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Put())) return false;
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  if (!GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof(elevation), &size)) return false;
  return elevation.TokenIsElevated != 0;
}

bool CreatePrivateFolder(const std::wstring& parent, const std::wstring& prefix, std::wstring& folder) {
  std::wstring base = parent;
  while (base.size() > 3 && (base.back() == L'\\' || base.back() == L'/')) base.pop_back();
  if (base.empty() || prefix.empty() || prefix.find_first_of(L"\\/:*?\"<>|") != std::wstring::npos) return false;
  const DWORD parent_attributes = GetFileAttributesW(base.c_str());
  if (parent_attributes == INVALID_FILE_ATTRIBUTES || !(parent_attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;

  UniqueLocalMem<PSECURITY_DESCRIPTOR> descriptor;
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), nullptr, FALSE};
  if (IsProcessElevated()) {
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kElevatedDacl, SDDL_REVISION_1, descriptor.Put(),
                                                              nullptr))
      return false;
    attributes.lpSecurityDescriptor = descriptor.Get();
  }
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    wchar_t suffix[16] = {};
    swprintf(suffix, sizeof(suffix) / sizeof(suffix[0]), L"-%08x", RandomSuffix());
    const std::wstring candidate = base + L"\\" + prefix + suffix;
    if (candidate.size() >= MAX_PATH) return false;
    // CreateDirectory fails on an existing name, so the folder is always one this call made.
    if (CreateDirectoryW(candidate.c_str(), &attributes)) {
      folder = candidate;
      return true;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

}  // namespace tz
