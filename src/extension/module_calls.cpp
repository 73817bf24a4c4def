#include "extension/module_calls.h"

#include "extension/module_manager.h"

bool LoadExtensionModule(const std::wstring& path) { return GetModuleManager().Load(path); }
bool UnloadExtensionModule(const std::wstring& name) { return GetModuleManager().Unload(name); }
void UnloadAllExtensionModules() { GetModuleManager().UnloadAll(); }
uint8_t CallExtensionCondition(const std::wstring& module, const std::wstring& function, uint32_t id,
                               const std::wstring& text1, const std::wstring& text2) {
  return GetModuleManager().CallCondition(module, function, id, text1, text2);
}
int CallExtensionAction(const std::wstring& module, const std::wstring& function, uint32_t id,
                        const std::wstring& text1, const std::wstring& text2) {
  return GetModuleManager().CallAction(module, function, id, text1, text2);
}
bool CallExtensionVariable(const std::wstring& module, const std::wstring& function, const std::wstring& text1,
                           const std::wstring& text2, const std::wstring& text3, std::wstring& out) {
  return GetModuleManager().CallVariable(module, function, text1, text2, text3, out);
}
