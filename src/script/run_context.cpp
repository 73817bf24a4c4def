#include "script/run_context.h"

#include "diag/install_log.h"
#include "script/text_expand.h"

namespace {

// The answer of a run without a module manager: nothing loads, nothing answers.
class NoModules final : public IModuleCalls {
 public:
  bool Load(const std::wstring&) override { return false; }
  bool Unload(const std::wstring&) override { return true; }
  void UnloadAll() override {}
  uint8_t CallCondition(const std::wstring&, const std::wstring&, uint32_t, const std::wstring&,
                        const std::wstring&) override {
    return 0;
  }
  int CallAction(const std::wstring&, const std::wstring&, uint32_t, const std::wstring&,
                 const std::wstring&) override {
    return 0;
  }
  bool CallVariable(const std::wstring&, const std::wstring&, const std::wstring&, const std::wstring&,
                    const std::wstring&, std::wstring&) override {
    return false;
  }
};

NoModules g_no_modules;

}  // namespace

RunContext::RunContext() : modules_(&g_no_modules) {}

std::wstring RunContext::Expand(const std::wstring& text) { return ExpandText(variables, languages, text); }

bool RunContext::PrepareModuleCall(const std::wstring& module_text, const std::wstring& function_text,
                                   bool log_failure, ModuleEntry& entry) {
  entry.module = Expand(module_text);
  if (!Modules().Load(entry.module)) {
    if (log_failure) GetLog().Error(L"加载扩展dll失败: %s", entry.module.c_str());
    return false;
  }
  // Expanded only once the module is there, as a failed load leaves the function unread.
  entry.function = Expand(function_text);
  return true;
}

void RunContext::RegisterModules(IModuleCalls* modules) { modules_ = modules ? modules : &g_no_modules; }
