#include "script/run_context.h"

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

void RunContext::RegisterModules(IModuleCalls* modules) { modules_ = modules ? modules : &g_no_modules; }
