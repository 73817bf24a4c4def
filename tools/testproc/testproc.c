/* A program for the process tests to start, find, wait for and kill.
   Switches: /record:<file> (a path without blanks; writes the command line and the current
   directory as UTF-16),
   /hold:<file>[:sharedelete|:exclusive] (keeps the existing file open for reading, sharing read
   only, read and delete, or nothing, until it exits; may be given several times),
   /ready:<file> (created once every file is held),
   /sleep:<ms> (then exits), /exit:<code>. Copies of it run under unique names. */
#include <windows.h>
#include <wchar.h>

#define MAX_HOLDS 8
#define PATH_CHARS 1024 /* paths past MAX_PATH too, for the long-path tests */

static DWORD NumberAfter(const wchar_t* line, const wchar_t* key, DWORD fallback) {
  const wchar_t* at = wcsstr(line, key);
  return at ? (DWORD)wcstoul(at + wcslen(key), NULL, 10) : fallback;
}

/* Copies the blank-free word after `at` into `path`; returns where the word ends. */
static const wchar_t* WordAt(const wchar_t* at, wchar_t* path) {
  size_t n = 0;
  for (; *at && *at != L' ' && n < PATH_CHARS - 1; ++at) path[n++] = *at;
  path[n] = 0;
  return at;
}

static void Record(const wchar_t* line) {
  const wchar_t* at = wcsstr(line, L"/record:");
  if (!at) return;
  wchar_t path[PATH_CHARS] = {0};
  WordAt(at + 8, path);
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

/* Opens every /hold: file; the handles stay open until the process ends. False when one fails. */
static BOOL Hold(const wchar_t* line) {
  static const wchar_t kShareDelete[] = L":sharedelete";
  static const wchar_t kExclusive[] = L":exclusive";
  const size_t suffix = sizeof(kShareDelete) / sizeof(wchar_t) - 1;
  const size_t exclusive = sizeof(kExclusive) / sizeof(wchar_t) - 1;
  HANDLE held[MAX_HOLDS];
  int count = 0;
  for (const wchar_t* at = wcsstr(line, L"/hold:"); at && count < MAX_HOLDS; at = wcsstr(at, L"/hold:")) {
    wchar_t path[PATH_CHARS] = {0};
    at = WordAt(at + 6, path);
    DWORD share = FILE_SHARE_READ;
    const size_t len = wcslen(path);
    if (len > suffix && _wcsicmp(path + len - suffix, kShareDelete) == 0) {
      path[len - suffix] = 0;
      share |= FILE_SHARE_DELETE;
    } else if (len > exclusive && _wcsicmp(path + len - exclusive, kExclusive) == 0) {
      path[len - exclusive] = 0;
      share = 0;
    }
    held[count] = CreateFileW(path, GENERIC_READ, share, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (held[count] == INVALID_HANDLE_VALUE) return FALSE;
    ++count;
  }
  return TRUE;
}

static void Ready(const wchar_t* line) {
  const wchar_t* at = wcsstr(line, L"/ready:");
  if (!at) return;
  wchar_t path[PATH_CHARS] = {0};
  WordAt(at + 7, path);
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR args, int show) {
  (void)instance; (void)previous; (void)args; (void)show;
  const wchar_t* line = GetCommandLineW();
  Record(line);
  if (!Hold(line)) return 99;
  Ready(line);
  Sleep(NumberAfter(line, L"/sleep:", 0));
  return (int)NumberAfter(line, L"/exit:", 0);
}
