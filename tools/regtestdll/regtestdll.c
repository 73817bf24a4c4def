/* A COM-style DLL for the regdll tests. DllRegisterServer writes the value <file name> = "32" or
   "64" (the DLL's bitness) under HKCU\Software\TzE2e\RegDll; DllUnregisterServer deletes it. A DLL
   whose file name contains "fail" answers E_FAIL to both without touching the registry, for the
   failure path. Copies run under unique file names, so scenarios do not share a mark. */
#include <windows.h>
#include <wchar.h>

static HINSTANCE g_module;

static const wchar_t kMarkKey[] = L"Software\\TzE2e\\RegDll";

/* The DLL's own file name, lower-cased; empty on failure. */
static void OwnName(wchar_t* name, DWORD size) {
  wchar_t path[MAX_PATH] = {0};
  name[0] = 0;
  if (!GetModuleFileNameW(g_module, path, MAX_PATH)) return;
  const wchar_t* slash = wcsrchr(path, L'\\');
  lstrcpynW(name, slash ? slash + 1 : path, (int)size);
  CharLowerW(name);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

HRESULT WINAPI DllRegisterServer(void) {
  wchar_t name[MAX_PATH];
  const wchar_t* bits = sizeof(void*) == 8 ? L"64" : L"32";
  HKEY key = NULL;
  LONG rc;
  OwnName(name, MAX_PATH);
  if (!name[0] || wcsstr(name, L"fail")) return E_FAIL;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kMarkKey, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL) != ERROR_SUCCESS)
    return E_FAIL;
  rc = RegSetValueExW(key, name, 0, REG_SZ, (const BYTE*)bits, (DWORD)((wcslen(bits) + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return rc == ERROR_SUCCESS ? S_OK : E_FAIL;
}

HRESULT WINAPI DllUnregisterServer(void) {
  wchar_t name[MAX_PATH];
  HKEY key = NULL;
  LONG rc;
  OwnName(name, MAX_PATH);
  if (!name[0] || wcsstr(name, L"fail")) return E_FAIL;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kMarkKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return E_FAIL;
  rc = RegDeleteValueW(key, name);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS ? S_OK : E_FAIL;
}
