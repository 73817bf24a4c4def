// DxUpdate.exe: checks whether the DirectX 9 runtime TzDemo draws with is present, reports it in
// DxUpdate.log beside itself and exits 0: this build carries no runtime package to install, and a
// missing runtime must not fail the installation.
#include <windows.h>

#include <string>

#include "platform/handles.h"

namespace {

bool SystemFilePresent(const wchar_t* name) {
  wchar_t system[MAX_PATH] = {};
  const UINT n = GetSystemDirectoryW(system, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return false;
  const DWORD attributes = GetFileAttributesW((std::wstring(system) + L"\\" + name).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const bool present = SystemFilePresent(L"d3dx9_43.dll");
  std::string report = "DirectX 9 runtime (d3dx9_43.dll): ";
  report += present ? "present\r\nnothing to update\r\n" : "missing\r\nno runtime package in this build; nothing changed\r\n";

  wchar_t module[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameW(nullptr, module, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 0;
  std::wstring log(module);
  log.resize(log.find_last_of(L'\\'));
  log += L"\\DxUpdate.log";
  tz::UniqueFileHandle file(
      CreateFileW(log.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (file) WriteFile(file.Get(), report.data(), static_cast<DWORD>(report.size()), &written, nullptr);
  return 0;
}
