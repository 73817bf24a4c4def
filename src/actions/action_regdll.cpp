// regdll: registers or unregisters a COM DLL through its own DllRegisterServer/DllUnregisterServer.
#include "actions/action_handlers.h"
#include "actions/action_man.h"
#include "platform/dll_search.h"
#include "platform/filesystem.h"
#include "platform/handles.h"
#include "platform/process.h"

namespace {

using RegistrationFn = HRESULT(STDAPICALLTYPE*)();

// The longest command line StartProcess passes on whole; a longer one would be cut and name
// another file.
constexpr size_t kMaxToolCommandLine = 779;

// A 32-bit DLL registers inside this process.
int RegisterInProcess(CActionMan& man, const ActionRecord& item, const std::wstring& dll, bool unregister) {
  const tz::UniqueHmodule module(tz::LoadModuleFromPath(dll));
  if (!module) return man.RunFailurePath(item);
  const auto entry = reinterpret_cast<RegistrationFn>(reinterpret_cast<void*>(
      GetProcAddress(module.Get(), unregister ? "DllUnregisterServer" : "DllRegisterServer")));
  if (!entry || FAILED(entry())) return man.RunFailurePath(item);
  return ACTION_DONE;
}

// A 64-bit DLL cannot be loaded by this 32-bit process: the 64-bit regsvr32 does it, reached
// through the "sysnative" alias that WOW64 gives 32-bit programs for the real system folder.
// While the script has file-system redirection turned off the alias does not exist, and
// "System32" itself is then the real system folder.
int RegisterWithTool(CActionMan& man, const ActionRecord& item, const std::wstring& dll, bool unregister) {
  wchar_t windows[MAX_PATH] = {};
  const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return man.RunFailurePath(item);
  std::wstring tool = std::wstring(windows) + L"\\sysnative\\regsvr32.exe";
  if (GetFileAttributesW(tool.c_str()) == INVALID_FILE_ATTRIBUTES) tool = std::wstring(windows) + L"\\System32\\regsvr32.exe";
  const std::wstring arguments = std::wstring(unregister ? L"/s /u \"" : L"/s \"") + dll + L"\"";
  if (tool.size() + arguments.size() + 3 > kMaxToolCommandLine) return man.RunFailurePath(item);
  DWORD exit_code = tz::kStillRunning;
  if (!tz::StartProcess(tool, arguments, false, true, 0, std::wstring(), &exit_code) || exit_code != 0)
    return man.RunFailurePath(item);
  return ACTION_DONE;
}

}  // namespace

int RunRegDllAction(CActionMan& man, const ActionRecord& item) {
  const std::wstring dll = man.Expand(item.path);
  bool is_64bit = false;
  // Not an image at all: nothing to register, and nothing the onerror list could mend.
  if (!tz::ReadImageBitness(dll, is_64bit)) return ACTION_NOTHING;
  // Only a lower-case u unregisters ("unregister"); "Unregister" registers.
  const bool unregister = !item.method.empty() && item.method[0] == L'u';
  if (!is_64bit) return RegisterInProcess(man, item, dll, unregister);
  if (!tz::IsWow64()) return ACTION_NOTHING;  // a 64-bit DLL has no use on 32-bit Windows
  return RegisterWithTool(man, item, dll, unregister);
}
