// service: creates (does not start) a Windows service that runs its own process as LocalSystem.
#include "actions/action_handlers.h"
#include "actions/action_man.h"
#include "platform/handles.h"
#include "platform/program_path.h"
#include "script/script_values.h"

namespace {

// `param1` names the services this one depends on, as a comma list; Windows wants them one after
// another, each NUL-terminated, with a second NUL at the end. Empty: no dependencies.
std::wstring DependencyList(const std::wstring& text) {
  std::wstring list;
  for (const std::wstring& name : tz::SplitTrim(text, L',')) {
    list += name;
    list += L'\0';
  }
  if (!list.empty()) list += L'\0';
  return list;
}

}  // namespace

int RunServiceAction(CActionMan& man, const ActionRecord& item) {
  // Windows runs the service's binary path as a command line, as LocalSystem.
  const std::wstring program = tz::QuoteProgramCommand(man.Expand(item.path));
  const std::wstring name = man.Expand(item.name);
  const std::wstring display = man.Expand(item.value);
  const std::wstring dependencies = DependencyList(man.Expand(item.param1));
  const DWORD start_type = static_cast<DWORD>(tz::ParseDecimal(man.Expand(item.method)));

  bool created = false;
  {
    // Both handles are closed before the failure path runs further actions.
    const tz::UniqueServiceHandle manager(
        OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
    // An existing service of the same name is not ours to change: creation fails, and so does the action.
    created = manager && tz::UniqueServiceHandle(CreateServiceW(
                             manager.Get(), name.c_str(), display.c_str(), SERVICE_QUERY_STATUS,
                             SERVICE_WIN32_OWN_PROCESS, start_type, SERVICE_ERROR_NORMAL, program.c_str(), L"TDI",
                             nullptr, dependencies.empty() ? nullptr : dependencies.c_str(), nullptr, nullptr))
                             .IsValid();
  }
  return created ? ACTION_DONE : man.RunFailurePath(item);
}
