/* Carrier of version resources for the version-reading tests; the code itself does nothing. */
#include <windows.h>

#ifdef TZ_VERSIONED_DLL
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance; (void)reason; (void)reserved;
  return TRUE;
}
#else
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR args, int show) {
  (void)instance; (void)previous; (void)args; (void)show;
  return 0;
}
#endif
