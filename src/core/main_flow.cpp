#include "core/main_flow.h"

#include <objbase.h>
#include <shellapi.h>

#include "core/options_store.h"
#include "core/stage_runner.h"
#include "diag/crash_handler.h"
#include "diag/install_log.h"
#include "diag/summary.h"
#include "script/installer_info.h"
#include "script/language_table.h"
#include "script/script_loader.h"
#include "script/text_expand.h"
#include "ui/install_run.h"
#include "ui/main_window.h"
#include "ui/message_box.h"

namespace {

constexpr int kScriptResourceId = 301;

// Finds the install script in our own resources and loads it.
bool LoadScriptFromResources() {
  CInstallLog& log = GetLog();
  HMODULE self = GetInstallerInfo().Instance();
  const void* data = nullptr;
  DWORD size = 0;
  HRSRC res = FindResourceExW(self, L"FILE", MAKEINTRESOURCEW(kScriptResourceId),
                              MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  HGLOBAL loaded = res ? LoadResource(self, res) : nullptr;
  size = res ? SizeofResource(self, res) : 0;
  data = loaded ? LockResource(loaded) : nullptr;
  if (res && loaded && size && data) {
    log.Info(L"找到安装控制脚本，大小: %u", size);
  } else {
    log.Error(L"没有找到安装控制脚本于资源%s(id: %d)", L"FILE", kScriptResourceId);
    data = nullptr;
    size = 0;
  }
  return LoadInstallScript(data, size);
}

// Prefix switches store the rest of the argument, and only when there is a rest.
bool PrefixValue(const wchar_t* arg, const wchar_t* prefix, std::wstring& value) {
  const size_t n = wcslen(prefix);
  if (_wcsnicmp(arg, prefix, n) != 0) return false;
  value.assign(arg + n);
  return true;
}

void ParseCommandLine(const wchar_t* command_line, bool& silent, std::wstring& language_request) {
  CInstallLog& log = GetLog();
  COptionsStore& options = GetOptions();
  int argc = 0;
  // An empty tail would make CommandLineToArgvW return the program's own path.
  if (!command_line || !*command_line) return;
  LPWSTR* argv = CommandLineToArgvW(command_line, &argc);
  if (!argv) return;
  for (int i = 0; i < argc; ++i) {
    const wchar_t* arg = argv[i];
    std::wstring value;
    if (_wcsicmp(arg, L"/uninstall") == 0) {
      log.Info(L"命令行: %s", L"/uninstall");
    } else if (_wcsicmp(arg, L"/log") == 0) {
      options.SetBool(OPT_LOG, true);
      log.Write(LOG_INFO, L"命令行: 生成日志文件");
    } else if (_wcsicmp(arg, L"/s") == 0) {
      silent = true;
      options.SetBool(OPT_SILENT, true);
      log.Info(L"命令行: %s", L"/s");
    } else if (PrefixValue(arg, L"/ch", value)) {
      if (!value.empty()) {
        options.SetText(OPT_CHANNEL, value);
        log.Info(L"命令行: 渠道%s", value.c_str());
      }
    } else if (PrefixValue(arg, L"/lang", value)) {
      if (!value.empty()) {
        language_request = value;
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
  LocalFree(argv);
}

// Takes the single-instance guard. Returns false when the run must end at once (silent run
// meeting another instance).
bool TakeGuard(bool silent, HANDLE& guard) {
  std::wstring setting;
  if (!GetOptions().GetOptionText(OPT_SINGLEINSTANCE, setting)) return true;
  std::wstring installer_name;
  GetInstallerInfo().GetInfoText(II_NAME, installer_name);
  const std::wstring name = SingleInstanceName(setting, installer_name);
  HANDLE h = CreateMutexW(nullptr, FALSE, name.c_str());
  const DWORD error = GetLastError();
  if (!h) return true;
  if (error == ERROR_ALREADY_EXISTS) {
    CloseHandle(h);
    GetLog().Write(LOG_WARNING, L"已经有一个实例在运行");
    if (silent) return false;
    GetInstallerInfo().SetInfoNumber(II_OTHERINSTANCE, 1);
    return true;
  }
  guard = h;
  return true;
}

class GuardCloser {
 public:
  explicit GuardCloser(HANDLE& h) : h_(h) {}
  ~GuardCloser() {
    if (h_) CloseHandle(h_);
  }
  GuardCloser(const GuardCloser&) = delete;
  GuardCloser& operator=(const GuardCloser&) = delete;

 private:
  HANDLE& h_;
};

}  // namespace

std::wstring SingleInstanceName(const std::wstring& setting, const std::wstring& installer_name) {
  const bool derived = setting.empty() || _wcsicmp(setting.c_str(), L"true") == 0 || setting == L"1";
  if (!derived) return setting;
  std::wstring base = installer_name.substr(0, 63);
  const size_t dot = base.rfind(L'.');
  if (dot != std::wstring::npos && _wcsicmp(base.c_str() + dot, L".exe") == 0) base.resize(dot);
  // The application name tells two products that ship an installer of the same file name apart.
  std::wstring app;
  GetOptions().GetOptionText(OPT_APPNAME, app);
  for (wchar_t& c : app)
    if (c == L'\\') c = L'_';
  return base + L"_" + app;
}

std::wstring DefaultInstallDir() {
  COptionsStore& options = GetOptions();
  std::wstring parent, folder;
  if (options.GetOptionText(OPT_DEFAULTPATH, parent) && !parent.empty())
    parent = Expand(parent);
  else
    parent = Expand(L"%ProgramFiles%");
  if (options.GetOptionText(OPT_DIRNAME, folder) && !folder.empty())
    folder = Expand(folder);
  else
    folder = Expand(L"%APPNAME%");
  return parent + L"\\" + folder;
}

int RunMainFlow(const wchar_t* command_line) {
  CInstallLog& log = GetLog();
  COptionsStore& options = GetOptions();
  bool silent = false;
  int exit_code = 0;

  if (!LoadScriptFromResources()) {
    log.Write(LOG_ERROR, L"加载安装控制脚本失败");
    return 4;
  }

  std::wstring language_request;
  ParseCommandLine(command_line, silent, language_request);

  CLanguageTable& languages = GetLanguageTable();
  if (!languages.ChooseLanguage(language_request)) {
    log.Write(LOG_WARNING, L"Load language string failed, fall back to zh-cn");
    languages.ChooseLanguage(L"zh-cn");
  }

  std::wstring logfile;
  if (options.GetOptionText(OPT_LOGFILE, logfile)) log.Open(Expand(logfile));

  HANDLE guard = nullptr;
  GuardCloser closer(guard);
  if (!TakeGuard(silent, guard)) return 3;

  GetInstallerInfo().SetInfoNumber(II_PHASE, 1);
  SetUnhandledExceptionFilter(CrashFilter);

  IMainWnd* window = CreateMainWindowObject();
  window->Init(GetInstallerInfo().Instance());

  CStageRunner& runner = GetStageRunner();
  const int init_result = runner.RunStage(STAGE_ONINIT);
  if (init_result == 0) {
    log.Write(LOG_INFO, L"安装前动作成功完成");
  } else {
    log.Error(L"安装前动作执行异常, 返回值%d", init_result);
    if (init_result == 2 || init_result == 3) {
      window->Destroy();
      return init_result == 2 ? 2 : 1;
    }
  }

  VARIANT mode;
  VariantInit(&mode);
  if (options.GetOption(OPT_SILENT, &mode) && mode.vt == VT_BOOL && mode.boolVal == VARIANT_TRUE) silent = true;
  VariantClear(&mode);

  unsigned long long other = 0;
  GetInstallerInfo().GetInfoNumber(II_OTHERINSTANCE, other);
  if (other != 0) {
    if (!silent)
      ShowMessageBox(languages.GetString(L"Error.Text.AlreadyHasInstance"),
                     {languages.GetString(L"MB.BtnText.Gotit")});
    window->Destroy();
    return 3;
  }
  if (init_result != 0) {
    window->Destroy();
    return 1;
  }

  int result = 0;
  if (!silent) {
    if (window->CreateAndShow()) {
      result = window->RunMessageLoop();
      if (result == 0)
        log.Write(LOG_INFO, L"安装动作成功完成");
      else
        log.Error(L"安装动作执行异常, 返回值%d", result);
      exit_code = result == 2 ? 2 : (result == 3 ? 1 : 0);
      window->OnEnd();
    }
    window->Destroy();
  } else {
    // Never shown, but it stays the owner of message boxes and the target of status reports
    // until the run is over.
    if (!options.IsTrue(OPT_OVERWRITE)) options.SetText(OPT_INSTDIR, DefaultInstallDir());
    result = runner.RunStage(STAGE_INSTALL);
    if (result == 0)
      log.Write(LOG_INFO, L"静默安装动作成功完成");
    else
      log.Error(L"静默安装动作执行异常, 返回值%d", result);
  }

  if (result == 0 || result == 3) {
    const int exit_result = runner.RunStage(STAGE_ONEXIT);
    if (exit_result == 0)
      log.Write(LOG_INFO, L"安装后动作成功完成");
    else
      log.Error(L"安装后动作执行异常, 返回值%d", exit_result);
  }
  if (silent) window->Destroy();
  return exit_code;
}

int RunInstaller(HINSTANCE instance, const wchar_t* command_line) {
  GetInstallerInfo().SetInstance(instance);
  SYSTEMTIME start;
  GetLocalTime(&start);
  GetLog().SetStartTime(start);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int code = RunMainFlow(command_line);
  CoUninitialize();
  WriteSummary();
  GetLog().Write(LOG_INFO, L"安装完成");
  if (GetOptions().IsTrue(OPT_LOG)) GetLog().SaveCopy();
  // A reboot the user accepted waits until the log and its copy are complete.
  RebootIfRequested();
  return code;
}
