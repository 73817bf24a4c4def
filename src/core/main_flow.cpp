#include "core/main_flow.h"

#include <objbase.h>
#include <shellapi.h>

#include <memory>

#include "core/crash_facts.h"
#include "core/engine.h"
#include "diag/crash_handler.h"
#include "diag/install_log.h"
#include "diag/summary.h"
#include "platform/com_apartment.h"
#include "platform/handles.h"
#include "platform/resources.h"
#include "script/script_loader.h"
#include "state/message_box.h"
#include "ui/install_run.h"
#include "ui/main_window.h"

namespace {

constexpr int kScriptResourceId = 301;

// Finds the install script in our own resources and loads it.
bool LoadScriptFromResources(CEngine& engine) {
  CInstallLog& log = GetLog();
  tz::ResourceBytes script;
  if (tz::FindOwnResource(engine.run.info.Instance(), L"FILE", MAKEINTRESOURCEW(kScriptResourceId), script)) {
    log.Info(L"找到安装控制脚本，大小: %u", script.size);
  } else {
    log.Error(L"没有找到安装控制脚本于资源%s(id: %d)", L"FILE", kScriptResourceId);
  }
  return LoadInstallScript(engine.run, &engine.conditions, script.data, script.size);
}

// Prefix switches store the rest of the argument, and only when there is a rest.
bool PrefixValue(const wchar_t* arg, const wchar_t* prefix, std::wstring& value) {
  const size_t n = wcslen(prefix);
  if (_wcsnicmp(arg, prefix, n) != 0) return false;
  value.assign(arg + n);
  return true;
}

struct CommandLine {
  bool silent = false;
  std::wstring language;
};

CommandLine ParseCommandLine(COptionsStore& options, const wchar_t* command_line) {
  CInstallLog& log = GetLog();
  CommandLine parsed;
  int argc = 0;
  // An empty tail would make CommandLineToArgvW return the program's own path.
  if (!command_line || !*command_line) return parsed;
  tz::UniqueLocalMem<LPWSTR*> argv(CommandLineToArgvW(command_line, &argc));
  if (!argv) return parsed;
  for (int i = 0; i < argc; ++i) {
    const wchar_t* arg = argv.Get()[i];
    std::wstring value;
    if (_wcsicmp(arg, L"/uninstall") == 0) {
      log.Info(L"命令行: %s", L"/uninstall");
    } else if (_wcsicmp(arg, L"/log") == 0) {
      options.SetBool(OPT_LOG, true);
      log.Write(LOG_INFO, L"命令行: 生成日志文件");
    } else if (_wcsicmp(arg, L"/s") == 0) {
      parsed.silent = true;
      options.SetBool(OPT_SILENT, true);
      log.Info(L"命令行: %s", L"/s");
    } else if (PrefixValue(arg, L"/ch", value)) {
      if (!value.empty()) {
        options.SetText(OPT_CHANNEL, value);
        log.Info(L"命令行: 渠道%s", value.c_str());
      }
    } else if (PrefixValue(arg, L"/lang", value)) {
      if (!value.empty()) {
        parsed.language = value;
        options.SetText(OPT_LANGUAGE, value);
        log.Info(L"Cmd Language: %s", value.c_str());
      }
    } else if (PrefixValue(arg, L"/tar", value)) {
      if (!value.empty()) {
        options.SetText(OPT_DEFAULTPATH, value);
        log.Info(L"Cmd default instdir: %s", value.c_str());
      }
    }
  }
  return parsed;
}

void ChooseLanguage(CLanguageTable& languages, const std::wstring& request) {
  if (!languages.ChooseLanguage(request)) {
    GetLog().Write(LOG_WARNING, L"Load language string failed, fall back to zh-cn");
    languages.ChooseLanguage(L"zh-cn");
  }
}

void OpenScriptLog(RunContext& run) {
  std::wstring logfile;
  if (run.options.GetOptionText(OPT_LOGFILE, logfile)) GetLog().Open(run.Expand(logfile));
}

// Takes the single-instance guard into `guard`. Returns false when the run must end at once (a
// silent run meeting another instance).
bool TakeGuard(RunContext& run, bool silent, tz::UniqueHandle& guard) {
  std::wstring setting;
  if (!run.options.GetOptionText(OPT_SINGLEINSTANCE, setting)) return true;
  std::wstring installer_name;
  run.info.GetInfoText(II_NAME, installer_name);
  const std::wstring name = SingleInstanceName(run.options, setting, installer_name);
  tz::UniqueHandle mutex(CreateMutexW(nullptr, FALSE, name.c_str()));
  const DWORD error = GetLastError();
  // Without a guard object the run goes on unguarded.
  if (!mutex) return true;
  if (error == ERROR_ALREADY_EXISTS) {
    GetLog().Write(LOG_WARNING, L"已经有一个实例在运行");
    if (silent) return false;
    run.info.SetInfoNumber(II_OTHERINSTANCE, 1);
    return true;
  }
  guard = std::move(mutex);
  return true;
}

// The main window object has one owner; destroying it frees it.
struct WindowDestroyer {
  void operator()(IMainWnd* window) const { window->Destroy(); }
};
using WindowOwner = std::unique_ptr<IMainWnd, WindowDestroyer>;

// One stage's outcome line: `done` when it ran to its end, else `failed` with the stage result.
StageResult LogStageOutcome(StageResult result, const wchar_t* done, const wchar_t* failed) {
  if (result == STAGE_COMPLETED)
    GetLog().Write(LOG_INFO, done);
  else
    GetLog().Error(failed, result);
  return result;
}

StageResult RunOnInit(CEngine& engine) {
  return LogStageOutcome(engine.stages.RunStage(STAGE_ONINIT), L"安装前动作成功完成", L"安装前动作执行异常, 返回值%d");
}

// The install through the window: its result and the run's exit code.
StageResult RunInteractiveInstall(WindowOwner& window, ExitCode& exit_code) {
  StageResult result = STAGE_COMPLETED;
  if (window->CreateAndShow()) {
    result = LogStageOutcome(static_cast<StageResult>(window->RunMessageLoop()), L"安装动作成功完成",
                             L"安装动作执行异常, 返回值%d");
    exit_code = result == STAGE_ABORTED ? EXIT_CODE_ABORTED : (result == STAGE_EXITED ? EXIT_CODE_FAILED : EXIT_CODE_OK);
    window->OnEnd();
  }
  window.reset();
  return result;
}

// The silent install: its result and the run's exit code. An administrator's deployment tooling
// sees only the exit code, so a failed silent install must not report success.
StageResult RunSilentInstall(CEngine& engine, ExitCode& exit_code) {
  RunContext& run = engine.run;
  if (!run.options.IsTrue(OPT_OVERWRITE)) run.options.SetText(OPT_INSTDIR, DefaultInstallDir(run));
  const StageResult result = LogStageOutcome(engine.stages.RunStage(STAGE_INSTALL), L"静默安装动作成功完成",
                                             L"静默安装动作执行异常, 返回值%d");
  exit_code = result == STAGE_ABORTED ? EXIT_CODE_ABORTED
                                      : (result == STAGE_COMPLETED ? EXIT_CODE_OK : EXIT_CODE_FAILED);
  return result;
}

void RunOnExit(CEngine& engine) {
  LogStageOutcome(engine.stages.RunStage(STAGE_ONEXIT), L"安装后动作成功完成", L"安装后动作执行异常, 返回值%d");
}

// What the log's header and exit copy say about us, read once the image is known.
LogInstaller DescribeInstaller(CInstallerInfo& info) {
  LogInstaller installer;
  info.GetInfoText(II_PATH, installer.path);
  info.GetInfoText(II_NAME, installer.name);
  info.GetInfoText(II_DIR, installer.dir);
  info.GetInfoText(II_PRODVER, installer.version);
  info.GetInfoNumber(II_FILESIZE, installer.size);
  return installer;
}

}  // namespace

std::wstring SingleInstanceName(COptionsStore& options, const std::wstring& setting,
                                const std::wstring& installer_name) {
  const bool derived = setting.empty() || _wcsicmp(setting.c_str(), L"true") == 0 || setting == L"1";
  if (!derived) return setting;
  std::wstring base = installer_name.substr(0, 63);
  const size_t dot = base.rfind(L'.');
  if (dot != std::wstring::npos && _wcsicmp(base.c_str() + dot, L".exe") == 0) base.resize(dot);
  // The application name tells two products that ship an installer of the same file name apart.
  std::wstring app;
  options.GetOptionText(OPT_APPNAME, app);
  for (wchar_t& c : app)
    if (c == L'\\') c = L'_';
  return base + L"_" + app;
}

std::wstring DefaultInstallDir(RunContext& run) {
  std::wstring parent, folder;
  if (run.options.GetOptionText(OPT_DEFAULTPATH, parent) && !parent.empty())
    parent = run.Expand(parent);
  else
    parent = run.Expand(L"%ProgramFiles%");
  if (run.options.GetOptionText(OPT_DIRNAME, folder) && !folder.empty())
    folder = run.Expand(folder);
  else
    folder = run.Expand(L"%APPNAME%");
  return parent + L"\\" + folder;
}

ExitCode RunMainFlow(CEngine& engine, const wchar_t* command_line) {
  RunContext& run = engine.run;
  if (!LoadScriptFromResources(engine)) {
    GetLog().Write(LOG_ERROR, L"加载安装控制脚本失败");
    return EXIT_CODE_NO_SCRIPT;
  }

  const CommandLine parsed = ParseCommandLine(run.options, command_line);
  bool silent = parsed.silent;
  ChooseLanguage(run.languages, parsed.language);
  OpenScriptLog(run);

  tz::UniqueHandle guard;
  if (!TakeGuard(run, silent, guard)) return EXIT_CODE_OTHER_INSTANCE;

  run.info.SetInfoNumber(II_PHASE, 1);
  InstallCrashHandler(ProcessCrashFacts());

  // Declared after the guard: the window goes first on every way out.
  WindowOwner window(CreateMainWindowObject(run, engine.stages, [&run] { return DefaultInstallDir(run); }));
  window->Init(run.info.Instance());

  const StageResult init_result = RunOnInit(engine);
  if (init_result == STAGE_ABORTED) return EXIT_CODE_ABORTED;
  if (init_result == STAGE_EXITED) return EXIT_CODE_FAILED;

  // oninit may have switched to silent.
  if (run.options.IsTrue(OPT_SILENT)) silent = true;

  if (run.info.Flag(II_OTHERINSTANCE)) {
    if (!silent)
      ShowMessageBox(run.languages.GetString(L"Error.Text.AlreadyHasInstance"),
                     {run.languages.GetString(L"MB.BtnText.Gotit")});
    return EXIT_CODE_OTHER_INSTANCE;
  }
  if (init_result != STAGE_COMPLETED) return EXIT_CODE_FAILED;

  ExitCode exit_code = EXIT_CODE_OK;
  // A silent run never shows the window, but it stays the owner of message boxes and the target of
  // status reports until the run is over.
  const StageResult result = silent ? RunSilentInstall(engine, exit_code) : RunInteractiveInstall(window, exit_code);
  if (result == STAGE_COMPLETED || result == STAGE_EXITED) RunOnExit(engine);
  return exit_code;
}

int RunInstaller(HINSTANCE instance, const wchar_t* command_line) {
  CEngine& engine = ProcessEngine();
  engine.run.info.SetInstance(instance);
  GetLog().SetInstaller(DescribeInstaller(engine.run.info));
  StartRunClock();
  ExitCode code = EXIT_CODE_OK;
  {
    const tz::ComApartment com;  // for the run's thread, left when the run is over
    code = RunMainFlow(engine, command_line);
  }
  std::wstring install_dir;
  engine.run.options.GetOptionText(OPT_INSTDIR, install_dir);
  WriteSummary(install_dir, engine.run.options.IsTrue(OPT_SILENT), engine.run.options.IsTrue(OPT_OVERWRITE));
  GetLog().Write(LOG_INFO, L"安装完成");
  if (engine.run.options.IsTrue(OPT_LOG)) GetLog().SaveCopy();
  // A reboot the user accepted waits until the log and its copy are complete.
  RebootIfRequested();
  return code;
}
