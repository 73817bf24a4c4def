/* A program for the process tests to start, find, wait for and kill.
   Switches: /record:<file> (a path without blanks; writes the command line and the current
   directory as UTF-16),
   /sleep:<ms> (then exits), /exit:<code>. Copies of it run under unique names. */
#include <windows.h>
#include <wchar.h>

static DWORD NumberAfter(const wchar_t* line, const wchar_t* key, DWORD fallback) {
  const wchar_t* at = wcsstr(line, key);
  return at ? (DWORD)wcstoul(at + wcslen(key), NULL, 10) : fallback;
}

static void Record(const wchar_t* line) {
  const wchar_t* at = wcsstr(line, L"/record:");
  if (!at) return;
  wchar_t path[MAX_PATH] = {0};
  size_t n = 0;
  for (at += 8; *at && *at != L' ' && n < MAX_PATH - 1; ++at) path[n++] = *at;
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return;
  wchar_t dir[MAX_PATH] = {0};
  GetCurrentDirectoryW(MAX_PATH, dir);
  DWORD written = 0;
  WriteFile(file, line, (DWORD)(wcslen(line) * sizeof(wchar_t)), &written, NULL);
  WriteFile(file, L"\n", sizeof(wchar_t), &written, NULL);
  WriteFile(file, dir, (DWORD)(wcslen(dir) * sizeof(wchar_t)), &written, NULL);
  CloseHandle(file);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR args, int show) {
  (void)instance; (void)previous; (void)args; (void)show;
  const wchar_t* line = GetCommandLineW();
  Record(line);
  Sleep(NumberAfter(line, L"/sleep:", 0));
  return (int)NumberAfter(line, L"/exit:", 0);
}
