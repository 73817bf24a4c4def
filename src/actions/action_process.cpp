// run, shell and kill: start a program (optionally waiting and branching on its exit code), hand a
// file to the shell, terminate running programs by executable name.
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include "actions/action_handlers.h"
#include "actions/action_man.h"
#include "platform/process.h"
#include "platform/program_path.h"
#include "script/script_values.h"

namespace {

// The medium-integrity command line is built in a buffer of this many characters (NUL excluded).
constexpr size_t kMediumCommandChars = 511;

// The command line a start passes to Windows. Cutting an over-long one would start the program
// with other arguments, or another program, so the callers refuse it instead.
std::wstring CommandLine(const std::wstring& file, const std::wstring& arguments) {
  return arguments.empty() ? tz::QuoteProgramPath(file) : L"\"" + file + L"\" " + arguments;
}

// `run` option words may stand anywhere in `method`, in any case and with or without separators.
bool HasWord(const std::wstring& method, const wchar_t* word) { return StrStrIW(method.c_str(), word) != nullptr; }

// The `actionlist` id paired with the first `retlist` entry equal to the exit code, when the two
// lists pair up.
bool FindExitCodeAction(const ActionRecord& item, DWORD exit_code, uint32_t& action) {
  if (item.retlist.empty() || item.retlist.size() != item.actionlist.size()) return false;
  for (size_t i = 0; i < item.retlist.size(); ++i) {
    if (static_cast<DWORD>(item.retlist[i]) != exit_code) continue;
    action = static_cast<uint32_t>(item.actionlist[i]);
    return true;
  }
  return false;
}

}  // namespace

int RunRunAction(CActionMan& man, const ActionRecord& item) {
  const std::wstring file = man.Expand(item.path);
  const bool hide = HasWord(item.method, L"hide");
  const bool wait = HasWord(item.method, L"wait");
  const bool medium = HasWord(item.method, L"medium");
  const std::wstring directory = item.name.empty() ? std::wstring() : man.Expand(item.name);
  const std::wstring arguments = item.param1.empty() ? std::wstring() : man.Expand(item.param1);

  // "wait" overrides "medium".
  const bool medium_start = medium && !wait;
  const std::wstring command = CommandLine(file, arguments);
  if (command.size() > (medium_start ? kMediumCommandChars : tz::kMaxStartCommandLine))
    return man.RunFailurePath(item);

  if (wait) {
    // A negative timeout means no limit, like 0.
    const int32_t timeout = tz::ParseDecimal(item.value);
    DWORD exit_code = tz::kStillRunning;
    if (!tz::StartProcess(file, arguments, !hide, true, timeout > 0 ? static_cast<DWORD>(timeout) : 0, directory,
                          &exit_code))
      return man.RunFailurePath(item);
    // A program still running at the timeout has no exit code to branch on.
    uint32_t next = 0;
    if (exit_code != tz::kStillRunning && FindExitCodeAction(item, exit_code, next))
      return man.Execute(next);
    return ACTION_DONE;
  }

  if (medium_start) {
    // The program must not inherit the installer's administrator rights. This start takes a bare
    // command line: the working directory and "hide" do not apply to it.
    return tz::StartMediumIntegrity(command) ? ACTION_DONE : man.RunFailurePath(item);
  }

  return tz::StartProcess(file, arguments, !hide, false, 0, directory, nullptr) ? ACTION_DONE
                                                                               : man.RunFailurePath(item);
}

int RunShellAction(CActionMan& man, const ActionRecord& item) {
  const std::wstring file = man.Expand(item.path);
  const std::wstring parameters = item.param1.empty() ? std::wstring() : man.Expand(item.param1);
  const std::wstring directory = item.name.empty() ? std::wstring() : man.Expand(item.name);
  const int show = item.value.empty() ? SW_SHOWNORMAL : tz::ParseDecimal(item.value);
  // The verb is a shell keyword, never a script text: taken as written.
  const HINSTANCE result =
      ShellExecuteW(nullptr, item.method.empty() ? nullptr : item.method.c_str(), file.c_str(),
                    parameters.empty() ? nullptr : parameters.c_str(),
                    directory.empty() ? nullptr : directory.c_str(), show);
  // ShellExecuteW answers an error code of 32 or less, else a pseudo-instance.
  return reinterpret_cast<INT_PTR>(result) > 32 ? ACTION_DONE : man.RunFailurePath(item);
}

int RunKillAction(CActionMan& man, const ActionRecord& item) {
  if (item.name.empty()) return ACTION_NOTHING;
  if (item.name.find(L',') == std::wstring::npos) {
    const std::wstring exe = man.Expand(item.name);
    const std::wstring directory = item.path.empty() ? std::wstring() : man.Expand(item.path);
    return tz::KillProcesses(exe, directory) ? ACTION_DONE : man.RunFailurePath(item);
  }
  // A list names alternatives (one program under several names): the first process of each goes,
  // and finding none is no failure.
  std::vector<std::wstring> names;
  for (const std::wstring& name : tz::SplitTrim(item.name, L',')) names.push_back(man.Expand(name));
  return tz::KillFirstByNames(names) > 0 ? ACTION_DONE : ACTION_NOTHING;
}
