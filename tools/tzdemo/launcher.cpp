// TzDemoLauncher.exe: starts TzDemo.exe from its own folder with the arguments it was given.
// The shortcuts and the installer's final start go through it.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/handles.h"
#include "tzdemo_product.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR command_line, int show) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return 1;
    if (n < buffer.size()) break;
    buffer.resize(buffer.size() * 2);
  }
  std::wstring dir(buffer.data());
  dir.resize(dir.find_last_of(L'\\'));
  const std::wstring program = dir + L"\\" TZDEMO_EXENAME;
  std::wstring command = L"\"" + program + L"\"";
  if (command_line && *command_line) command += std::wstring(L" ") + command_line;

  std::vector<wchar_t> writable(command.begin(), command.end());
  writable.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(program.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &startup,
                      &info))
    return 1;
  tz::UniqueHandle thread(info.hThread);
  tz::UniqueHandle process(info.hProcess);
  return 0;
}
