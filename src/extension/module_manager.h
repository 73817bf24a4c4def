#pragma once
// The module manager: extension modules the script loads by file name, and calls into their
// exported condition, action and variable functions with the host services object.
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

#include "extension/sdk/tz_extension.h"
#include "platform/handles.h"
#include "platform/sync.h"
#include "state/module_calls.h"

// An export name goes to GetProcAddress through a zeroed buffer of this many ANSI bytes, so names
// of 64 bytes or more are never found (rather than found truncated).
constexpr size_t kEntryNameBuffer = 64;

struct ModuleRecord {
  tz::UniqueHmodule module;
  std::wstring name;       // file name as loaded
  std::wstring full_path;  // path handed to LoadLibraryW
};

class CActionMan;
class CConditionEvaluator;
class RunContext;

class CModuleManager final : public IModuleCalls {
 public:
  // The host services the modules get reach the run, its conditions and its actions.
  CModuleManager(RunContext& run, CConditionEvaluator& conditions, CActionMan& actions);
  // Modules still loaded stay loaded, and the host alive, until the process ends: a module may
  // keep the host or run code of its own after the run.
  ~CModuleManager();
  CModuleManager(const CModuleManager&) = delete;
  CModuleManager& operator=(const CModuleManager&) = delete;

  // Loads `path` (relative to OPT_SETPATH, else to the installer's folder) unless its text is
  // already the key of a loaded module. False for an empty path or a failed load.
  bool Load(const std::wstring& path) override;
  // Frees the module keyed by `name`; true also when it is not loaded, false when FreeLibrary failed.
  bool Unload(const std::wstring& name) override;
  void UnloadAll() override;

  // Entry calls: the module is looked up by key; a missing module or export gives 0/false.
  uint8_t CallCondition(const std::wstring& module, const std::wstring& function, uint32_t id,
                        const std::wstring& text1, const std::wstring& text2) override;
  int CallAction(const std::wstring& module, const std::wstring& function, uint32_t id, const std::wstring& text1,
                 const std::wstring& text2) override;
  bool CallVariable(const std::wstring& module, const std::wstring& function, const std::wstring& text1,
                    const std::wstring& text2, const std::wstring& text3, std::wstring& value) override;

  IExternHost* Host() const { return host_; }

  // The map's key for a module text: the text lower-cased, whole.
  static std::wstring KeyOf(const std::wstring& text);
  // The path Load hands to LoadLibraryW: a relative path is taken from `folder`; false when it does
  // not fit 260 characters.
  static bool ResolvePath(const std::wstring& path, const std::wstring& folder, std::wstring& full_path);

 private:
  HMODULE Find(const std::wstring& module);
  // Runs `call` on the export typed as `Function`, its module pinned meanwhile; `fallback` when the
  // module or the export is missing (a missing export of a loaded module logged as `missing_log`).
  template <typename Function, typename Result, typename Call>
  Result WithEntry(const std::wstring& module, const std::wstring& function, const wchar_t* missing_log,
                   Result fallback, Call call);
  // The export's address, or null when the module is not loaded or has no such export.
  // `pin` holds an extra reference on the module for as long as the caller runs the export.
  FARPROC FindEntry(const std::wstring& module, const std::wstring& function, bool& module_found,
                    tz::UniqueHmodule& pin);

  RunContext& run_;
  tz::CriticalSection lock_;
  std::map<std::wstring, ModuleRecord> modules_;
  IExternHost* host_;  // one reference, never released
};

