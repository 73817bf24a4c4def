// uninstall.exe: removes TzDemo: its running copies, the shortcuts, the registry entries the
// installer wrote, the installed files and the install directory. It asks first unless "/s" is
// given, and leaves a helper to delete uninstall.exe itself once it has exited.
// Exit codes: 0 removed, 1 cancelled by the user, 2 something could not be removed.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cwchar>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "tzdemo_product.h"

namespace {

// What the installer puts into the install directory; the directory itself goes only when it is
// empty afterwards, so files of the user's own in it survive.
const wchar_t* const kInstalledFolders[] = {L"bin", L"plugins", L"data"};
const wchar_t* const kInstalledFiles[] = {L"install.ini"};
constexpr REGSAM kView32 = KEY_WOW64_32KEY;

std::wstring ModulePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return L"";
    if (n < buffer.size()) return buffer.data();
    buffer.resize(buffer.size() * 2);
  }
}

bool SameText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::wstring Folder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  return SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? path : L"";
}

// Never a drive root, the Windows folder or a Program Files folder itself.
bool IsSoundInstallDir(const std::wstring& dir) {
  if (dir.size() <= 3 || dir.size() > 200 || dir[1] != L':' || dir[2] != L'\\') return false;
  for (int csidl : {CSIDL_WINDOWS, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86, CSIDL_SYSTEM})
    if (SameText(dir, Folder(csidl))) return false;
  wchar_t program_w6432[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableW(L"ProgramW6432", program_w6432, MAX_PATH);
  return !(n > 0 && n < MAX_PATH && SameText(dir, program_w6432));
}

std::wstring ReadString(HKEY key, const wchar_t* name) {
  wchar_t data[1024] = {};
  DWORD size = sizeof(data) - sizeof(wchar_t);
  DWORD type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return L"";
  return data;
}

struct Entry {
  bool present = false;
  std::wstring display_name;
  std::wstring uninstall_string;
};

Entry ReadEntry() {
  Entry entry;
  tz::UniqueHkey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, TZDEMO_UNINSTALL_KEY, 0, KEY_READ | kView32, key.Put()) != ERROR_SUCCESS)
    return entry;
  entry.present = true;
  entry.display_name = ReadString(key.Get(), L"DisplayName");
  entry.uninstall_string = ReadString(key.Get(), L"UninstallString");
  return entry;
}

bool DeleteKey32(const wchar_t* path) {
  const LSTATUS status = RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path, kView32, 0);
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool IsUnder(const std::wstring& path, const std::wstring& dir) {
  return path.size() > dir.size() + 1 && path[dir.size()] == L'\\' && SameText(path.substr(0, dir.size()), dir);
}

// Ends the programs started from the install directory, and only those.
void CloseRunningCopies(const std::wstring& dir) {
  tz::UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  const DWORD self = GetCurrentProcessId();
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
    if (entry.th32ProcessID == self) continue;
    tz::UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE,
                                         entry.th32ProcessID));
    if (!process) continue;
    wchar_t image[MAX_PATH * 2] = {};
    DWORD size = MAX_PATH * 2;
    if (QueryFullProcessImageNameW(process.Get(), 0, image, &size) && IsUnder(image, dir) &&
        TerminateProcess(process.Get(), 0))
      WaitForSingleObject(process.Get(), 2000);
  }
}

bool RemoveTree(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileW(path.c_str()) != FALSE;
  bool ok = true;
  // A junction is removed itself, never followed out of the install directory.
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAW found;
    tz::UniqueFindHandle find(FindFirstFileW((path + L"\\*").c_str(), &found));
    if (find) {
      do {
        if (wcscmp(found.cFileName, L".") && wcscmp(found.cFileName, L".."))
          ok = RemoveTree(path + L"\\" + found.cFileName) && ok;
      } while (FindNextFileW(find.Get(), &found));
    }
  }
  return RemoveDirectoryW(path.c_str()) && ok;
}

bool RemoveShortcuts(const std::wstring& name) {
  bool ok = true;
  for (int csidl : {CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_DESKTOPDIRECTORY}) {
    const std::wstring desktop = Folder(csidl);
    if (desktop.empty()) continue;
    const std::wstring link = desktop + L"\\" + name + L".lnk";
    if (GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES) ok = DeleteFileW(link.c_str()) && ok;
  }
  // The Start-menu folder holds nothing but the installer's links.
  for (int csidl : {CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS}) {
    const std::wstring programs = Folder(csidl);
    if (!programs.empty()) ok = RemoveTree(programs + L"\\" + name) && ok;
  }
  return ok;
}

// uninstall.exe cannot delete itself while it runs: a hidden command interpreter retries (each
// try about a second apart on Windows) until the file is free, then removes the install directory
// when it is empty.
void ScheduleSelfDeletion(const std::wstring& self, const std::wstring& dir) {
  wchar_t system[MAX_PATH] = {};
  const UINT n = GetSystemDirectoryW(system, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(system) +
                         L"\\cmd.exe\" /d /q /c for /l %i in (1,1,120) do @(ping -n 2 127.0.0.1 >nul & del /f /q \"" +
                         self + L"\" 2>nul & if not exist \"" + self + L"\" (rd \"" + dir + L"\" 2>nul & exit))";
  std::vector<wchar_t> writable(command.begin(), command.end());
  writable.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION info{};
  if (n > 0 && n < MAX_PATH &&
      CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, system, &startup,
                     &info)) {
    tz::UniqueHandle thread(info.hThread);
    tz::UniqueHandle process(info.hProcess);
    return;
  }
  MoveFileExW(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  MoveFileExW(dir.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

bool HasSwitch(const wchar_t* command_line, const wchar_t* name) {
  int count = 0;
  tz::UniqueLocalMem<LPWSTR*> args(CommandLineToArgvW(command_line, &count));
  bool found = false;
  for (int i = 1; args && i < count && !found; ++i) found = _wcsicmp(args.Get()[i], name) == 0;
  return found;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const bool silent = HasSwitch(GetCommandLineW(), L"/s");
  const std::wstring self = ModulePath();
  const std::wstring dir = self.substr(0, self.find_last_of(L'\\'));
  const Entry entry = ReadEntry();
  const std::wstring name = entry.display_name.empty() ? TZDEMO_DISPLAYNAME : entry.display_name;
  const std::wstring caption = L"\u5378\u8f7d" + name;  // "uninstall <name>"

  if (!IsSoundInstallDir(dir)) {
    if (!silent)
      MessageBoxW(nullptr, (L"\u5378\u8f7d\u7a0b\u5e8f\u4e0d\u5728\u6709\u6548\u7684\u5b89\u88c5\u76ee\u5f55\u4e2d: " + dir).c_str(),
                  caption.c_str(), MB_OK | MB_ICONERROR);
    return 2;
  }
  if (!silent) {
    const std::wstring question =
        L"\u786e\u5b9a\u8981\u4ece\u60a8\u7684\u7535\u8111\u4e2d\u5378\u8f7d" + name + L"\u5417\uff1f";
    if (MessageBoxW(nullptr, question.c_str(), caption.c_str(), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
      return 1;
  }

  CloseRunningCopies(dir);
  bool ok = RemoveShortcuts(name);
  // The entry and the settings belong to this copy only when the entry names this uninstaller;
  // a stale copy elsewhere must not unregister the installed one.
  if (!entry.present || SameText(entry.uninstall_string, self)) {
    ok = DeleteKey32(TZDEMO_UNINSTALL_KEY) && ok;
    ok = DeleteKey32(TZDEMO_SETTINGS_KEY) && ok;
  }
  for (const wchar_t* folder : kInstalledFolders) ok = RemoveTree(dir + L"\\" + folder) && ok;
  for (const wchar_t* file : kInstalledFiles) ok = RemoveTree(dir + L"\\" + file) && ok;

  if (!silent) {
    const std::wstring done = ok ? name + L"\u5df2\u4ece\u60a8\u7684\u7535\u8111\u4e2d\u5378\u8f7d\u3002"
                                 : L"\u90e8\u5206\u6587\u4ef6\u672a\u80fd\u5220\u9664\uff0c\u8bf7\u91cd\u542f\u7535\u8111\u540e\u624b\u52a8\u5220\u9664: " + dir;
    MessageBoxW(nullptr, done.c_str(), caption.c_str(), MB_OK | (ok ? MB_ICONINFORMATION : MB_ICONWARNING));
  }
  // Last, so that the helper's retries start when this process is about to end.
  ScheduleSelfDeletion(self, dir);
  return ok ? 0 : 2;
}
