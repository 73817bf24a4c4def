// Test module: calls every host service from inside real entry calls and writes what it saw to
// the install log, one "[hosttest] ..." line per observation, so scenarios can check them.
// What a script using HostTest must define: condition 150 holds, condition 151 does not, action
// 160 sets HT_RAN to "yes", action 161 is a `rundll` of this module's Echo (the re-entrant call),
// variable HT_VAR exists; id 999 is neither a condition nor an action.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>

#include "tz_extension.h"

namespace {

const wchar_t kPrefix[] = L"[hosttest] ";

void Report(IExternHost* host, const wchar_t* format, ...) {
  wchar_t text[1024];
  va_list args;
  va_start(args, format);
  const int n = vswprintf(text, sizeof(text) / sizeof(text[0]), format, args);
  va_end(args);
  if (n < 0) text[sizeof(text) / sizeof(text[0]) - 1] = L'\0';
  host->LogMessage(TZ_LOG_INFO, kPrefix, text);
}

unsigned long Hex(HRESULT hr) { return static_cast<unsigned long>(hr); }

std::wstring TakeBstr(BSTR s) {
  std::wstring text = s ? s : L"(null)";
  SysFreeString(s);
  return text;
}

// An interface id nobody implements.
const IID kForeignIid = {0x0badf00d, 0x1234, 0x5678, {0x9a, 0xbc, 0xde, 0xf0, 0x12, 0x34, 0x56, 0x78}};

void CheckUnknown(IExternHost* host) {
  void* out = nullptr;
  HRESULT hr = host->QueryInterface(IID_IUnknown, &out);
  Report(host, L"QueryInterface(IUnknown) -> 0x%08lX, same=%d", Hex(hr), out == static_cast<void*>(host) ? 1 : 0);
  if (SUCCEEDED(hr)) static_cast<IUnknown*>(out)->Release();
  out = nullptr;
  hr = host->QueryInterface(IID_IExternHost, &out);
  Report(host, L"QueryInterface(IExternHost) -> 0x%08lX, same=%d", Hex(hr),
         out == static_cast<void*>(host) ? 1 : 0);
  if (SUCCEEDED(hr)) static_cast<IUnknown*>(out)->Release();
  out = host;  // must come back null
  hr = host->QueryInterface(IID_IDispatch, &out);
  Report(host, L"QueryInterface(IDispatch) -> 0x%08lX, out=%ls", Hex(hr), out ? L"set" : L"null");
  out = host;
  hr = host->QueryInterface(kForeignIid, &out);
  Report(host, L"QueryInterface(foreign) -> 0x%08lX, out=%ls", Hex(hr), out ? L"set" : L"null");
  // The host starts with the one reference its manager holds, and every QueryInterface above
  // was released again.
  const ULONG up = host->AddRef();
  const ULONG up2 = host->AddRef();
  const ULONG down = host->Release();
  const ULONG down2 = host->Release();
  Report(host, L"AddRef/AddRef/Release/Release -> %lu/%lu/%lu/%lu", up, up2, down, down2);
}

void CheckPaths(IExternHost* host, const wchar_t* new_dir) {
  for (int kind = 0; kind <= 4; ++kind) {
    BSTR value = nullptr;
    const HRESULT hr = host->GetPath(kind, &value);
    Report(host, L"GetPath(%d) -> 0x%08lX, %ls", kind, Hex(hr), TakeBstr(value).c_str());
  }
  Report(host, L"GetPath(1, null) -> 0x%08lX", Hex(host->GetPath(TZ_HOST_INSTDIR, nullptr)));
  Report(host, L"GetPath(2, null) -> 0x%08lX", Hex(host->GetPath(TZ_HOST_INSTALLER_PATH, nullptr)));

  Report(host, L"SetPath(1, \"\") -> 0x%08lX", Hex(host->SetPath(TZ_HOST_INSTDIR, L"")));
  Report(host, L"SetPath(1, null) -> 0x%08lX", Hex(host->SetPath(TZ_HOST_INSTDIR, nullptr)));
  Report(host, L"SetPath(2, \"C:\\x\") -> 0x%08lX", Hex(host->SetPath(TZ_HOST_INSTALLER_PATH, L"C:\\x")));
  Report(host, L"SetPath(3, \"C:\\x\") -> 0x%08lX", Hex(host->SetPath(TZ_HOST_SILENT, L"C:\\x")));
  BSTR value = nullptr;
  host->GetPath(TZ_HOST_INSTDIR, &value);
  Report(host, L"install dir still %ls", TakeBstr(value).c_str());
  Report(host, L"SetPath(1, \"%ls\") -> 0x%08lX", new_dir, Hex(host->SetPath(TZ_HOST_INSTDIR, new_dir)));
  value = nullptr;
  host->GetPath(TZ_HOST_INSTDIR, &value);
  Report(host, L"install dir now %ls", TakeBstr(value).c_str());
}

void CheckModes(IExternHost* host) {
  for (int kind = 0; kind <= 5; ++kind) {
    int mode = -1;
    const HRESULT hr = host->GetMode(kind, &mode);
    Report(host, L"GetMode(%d) -> 0x%08lX, %d", kind, Hex(hr), mode);
  }
  Report(host, L"GetMode(3, null) -> 0x%08lX", Hex(host->GetMode(TZ_HOST_SILENT, nullptr)));
  Report(host, L"GetMode(4, null) -> 0x%08lX", Hex(host->GetMode(TZ_HOST_OVERWRITE, nullptr)));
  const int bad_kinds[] = {0, 1, 2, 5};
  for (int kind : bad_kinds) Report(host, L"SetMode(%d, 1) -> 0x%08lX", kind, Hex(host->SetMode(kind, TRUE)));
  int mode = -1;
  Report(host, L"SetMode(4, 7) -> 0x%08lX", Hex(host->SetMode(TZ_HOST_OVERWRITE, 7)));
  host->GetMode(TZ_HOST_OVERWRITE, &mode);
  Report(host, L"overwrite now %d", mode);
  Report(host, L"SetMode(4, 0) -> 0x%08lX", Hex(host->SetMode(TZ_HOST_OVERWRITE, FALSE)));
  host->GetMode(TZ_HOST_OVERWRITE, &mode);
  Report(host, L"overwrite now %d", mode);
}

void CheckConditions(IExternHost* host) {
  const UINT ids[] = {150, 151, 999};
  for (UINT id : ids) {
    BYTE outcome = 7;
    const HRESULT hr = host->EvaluateCondition(id, &outcome);
    Report(host, L"EvaluateCondition(%u) -> 0x%08lX, %d", id, Hex(hr), outcome);
  }
  Report(host, L"EvaluateCondition(150, null) -> 0x%08lX", Hex(host->EvaluateCondition(150, nullptr)));
}

void CheckVariables(IExternHost* host) {
  const wchar_t* names[] = {L"HT_VAR", L"HT_MISSING", L"APPNAME", L"ht_var"};
  for (const wchar_t* name : names) {
    BSTR value = nullptr;
    const HRESULT hr = host->GetVariable(name, &value);
    Report(host, L"GetVariable(%ls) -> 0x%08lX, %ls", name, Hex(hr), TakeBstr(value).c_str());
  }
  Report(host, L"GetVariable(HT_VAR, null) -> 0x%08lX", Hex(host->GetVariable(L"HT_VAR", nullptr)));
  BSTR value = nullptr;
  Report(host, L"GetVariable(null) -> 0x%08lX", Hex(host->GetVariable(nullptr, &value)));
  SysFreeString(value);
}

void CheckActions(IExternHost* host) {
  // 999: no such action; 160: a `var` action; 161: a `rundll` back into this module (re-entrant).
  const UINT ids[] = {999, 160, 161};
  for (UINT id : ids) {
    int result = -1;
    const HRESULT hr = host->RunAction(id, &result);
    Report(host, L"RunAction(%u) -> 0x%08lX, %d", id, Hex(hr), result);
  }
  BSTR value = nullptr;
  host->GetVariable(L"HT_RAN", &value);
  Report(host, L"HT_RAN is %ls", TakeBstr(value).c_str());
  Report(host, L"RunAction(160, null) -> 0x%08lX", Hex(host->RunAction(160, nullptr)));
}

void CheckLog(IExternHost* host) {
  Report(host, L"LogMessage(1) -> 0x%08lX", Hex(host->LogMessage(TZ_LOG_WARNING, kPrefix, L"a warning")));
  Report(host, L"LogMessage(2) -> 0x%08lX", Hex(host->LogMessage(TZ_LOG_ERROR, kPrefix, L"an error")));
  Report(host, L"LogMessage(3) -> 0x%08lX", Hex(host->LogMessage(TZ_LOG_ERROR_ALT, kPrefix, L"level 3")));
  Report(host, L"LogMessage(4) -> 0x%08lX", Hex(host->LogMessage(4, kPrefix, L"level 4 must not appear")));
  Report(host, L"LogMessage(-1) -> 0x%08lX", Hex(host->LogMessage(-1, kPrefix, L"level -1 must not appear")));
  Report(host, L"LogMessage(prefix, null) -> 0x%08lX",
         Hex(host->LogMessage(TZ_LOG_INFO, L"[hosttest] prefix alone", nullptr)));
  Report(host, L"LogMessage(null, text) -> 0x%08lX",
         Hex(host->LogMessage(TZ_LOG_INFO, nullptr, L"[hosttest] text alone")));
  Report(host, L"LogMessage(null, null) -> 0x%08lX", Hex(host->LogMessage(TZ_LOG_INFO, nullptr, nullptr)));
}

int g_depth = 0;  // nesting of Recurse; modules run on the stage's one thread

}  // namespace

// Every host operation with its good and bad inputs; `value` is the install dir SetPath stores.
extern "C" int WINAPI HostTest(UINT, LPCWSTR value, LPCWSTR, IExternHost* host) {
  CheckUnknown(host);
  CheckPaths(host, value);
  CheckModes(host);
  CheckConditions(host);
  CheckVariables(host);
  CheckActions(host);
  CheckLog(host);
  return TZ_ACTION_DONE;
}

// Runs its own action again through the host until `value` levels are reached.
extern "C" int WINAPI Recurse(UINT id, LPCWSTR value, LPCWSTR, IExternHost* host) {
  const int level = ++g_depth;
  if (level < _wtoi(value)) {
    int result = -1;
    const HRESULT hr = host->RunAction(id, &result);
    Report(host, L"Recurse level %d: RunAction -> 0x%08lX, %d", level, Hex(hr), result);
  } else {
    Report(host, L"Recurse level %d: limit reached", level);
  }
  --g_depth;
  return TZ_ACTION_DONE;
}

// Answers the number in `value`.
extern "C" int WINAPI Answer(UINT, LPCWSTR value, LPCWSTR, IExternHost*) { return _wtoi(value); }

// Shows the texts exactly as they arrive.
extern "C" int WINAPI Echo(UINT id, LPCWSTR value, LPCWSTR param1, IExternHost* host) {
  Report(host, L"Echo id=%u value=[%ls] param1=[%ls]", id, value, param1);
  return TZ_ACTION_DONE;
}

// Runs the action `value` (an `unload`) that frees this very module, then keeps running.
extern "C" int WINAPI UnloadSelf(UINT, LPCWSTR value, LPCWSTR, IExternHost* host) {
  int result = -1;
  const HRESULT hr = host->RunAction(static_cast<UINT>(_wtoi(value)), &result);
  Report(host, L"UnloadSelf: RunAction -> 0x%08lX, %d; still running", Hex(hr), result);
  return TZ_ACTION_DONE;
}

// Holds when `param1` is "1".
extern "C" BYTE WINAPI IsTrue(UINT id, LPCWSTR param1, LPCWSTR param2, IExternHost* host) {
  Report(host, L"IsTrue id=%u param1=[%ls] param2=[%ls]", id, param1, param2);
  return wcscmp(param1, L"1") == 0 ? 1 : 0;
}

// Produces "varname=param1+param2", and shows the texts as they arrive.
extern "C" BYTE WINAPI GetText(LPCWSTR varname, LPCWSTR param1, LPCWSTR param2, BSTR* value, IExternHost* host) {
  Report(host, L"GetText varname=[%ls] param1=[%ls] param2=[%ls]", varname, param1, param2);
  const std::wstring text = std::wstring(varname) + L"=" + param1 + L"+" + param2;
  *value = SysAllocString(text.c_str());
  return *value ? 1 : 0;
}

// Allocates a value but reports none: the installer must not use it (and frees it).
extern "C" BYTE WINAPI NoText(LPCWSTR, LPCWSTR, LPCWSTR, BSTR* value, IExternHost*) {
  *value = SysAllocString(L"must not be used");
  return 0;
}

// Reports a value without allocating one: the variable's text is empty.
extern "C" BYTE WINAPI NullText(LPCWSTR, LPCWSTR, LPCWSTR, BSTR*, IExternHost*) { return 1; }

// Exported under a 63-byte name and under that name plus one byte (hosttest.def): the longer one
// must not be found, neither as itself nor cut short to the shorter.
extern "C" int WINAPI Long63(UINT, LPCWSTR, LPCWSTR, IExternHost* host) {
  Report(host, L"63-byte name called");
  return TZ_ACTION_DONE;
}
extern "C" int WINAPI Long64(UINT, LPCWSTR, LPCWSTR, IExternHost* host) {
  Report(host, L"64-byte name called");
  return TZ_ACTION_DONE;
}

// Writes through a null pointer: an access violation inside this module, for the crash handler.
extern "C" int WINAPI Crash(UINT, LPCWSTR, LPCWSTR, IExternHost*) {
  // Through a volatile address: a literal null would let the compiler emit a trap instead.
  volatile uintptr_t address = 0;
  *reinterpret_cast<volatile int*>(address) = 1;
  return TZ_ACTION_DONE;
}

// Holds when a DLL named only by `param1` loads through the process's default search, which
// must not reach the installer's own folder.
extern "C" BYTE WINAPI LoadsByName(UINT id, LPCWSTR param1, LPCWSTR, IExternHost* host) {
  HMODULE module = LoadLibraryW(param1);
  if (host) Report(host, L"LoadsByName id=%u [%ls] -> %ls", id, param1, module ? L"loaded" : L"not found");
  if (module) FreeLibrary(module);
  return module ? 1 : 0;
}
