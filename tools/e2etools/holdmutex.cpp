// holdmutex NAME SECONDS [READYFILE]: holds a named mutex for a while, as another installer
// instance would. Writes READYFILE once the mutex is held.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  HANDLE m = CreateMutexW(nullptr, FALSE, argv[1]);
  if (!m) return 1;
  if (argc > 3) {
    HANDLE f = CreateFileW(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
  }
  Sleep(static_cast<DWORD>(wcstoul(argv[2], nullptr, 10)) * 1000);
  CloseHandle(m);
  return 0;
}
