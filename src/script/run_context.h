#pragma once
// The stores of one run, created together by the entry and handed to every part that needs them:
// options, installer information, the record tables, variables and languages, and the extension
// modules (registered by the composition root). Tests build a fresh one for each case.
#include <string>

#include "script/language_table.h"
#include "script/variable_store.h"
#include "state/action_table.h"
#include "state/condition_table.h"
#include "state/installer_info.h"
#include "state/module_calls.h"
#include "state/options_store.h"
#include "state/stage_table.h"

class RunContext {
 public:
  RunContext();
  RunContext(const RunContext&) = delete;
  RunContext& operator=(const RunContext&) = delete;

  COptionsStore options;
  CInstallerInfo info;
  CConditionTable conditions;
  CActionTable actions;
  CStageTable stages;
  CLanguageTable languages{info};
  CVariableStore variables{*this};

  // Expands %NAME% and %#Key#% references of a script text against this run's variables and strings.
  std::wstring Expand(const std::wstring& text);

  // The extension modules; until one is registered, every load fails and every call answers nothing.
  IModuleCalls& Modules() { return *modules_; }

  // The first half of every module call of the script: the module text expanded and loaded, then
  // the function text expanded. False when the module cannot be loaded (logged when `log_failure`).
  struct ModuleEntry {
    std::wstring module;
    std::wstring function;
  };
  bool PrepareModuleCall(const std::wstring& module_text, const std::wstring& function_text, bool log_failure,
                         ModuleEntry& entry);
  void RegisterModules(IModuleCalls* modules);

 private:
  IModuleCalls* modules_;
};
