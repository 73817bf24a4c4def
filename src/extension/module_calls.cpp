#include "extension/module_calls.h"

// No module can be loaded yet, so nothing can be called.
bool LoadExtensionModule(const std::wstring&) { return false; }
bool UnloadExtensionModule(const std::wstring&) { return false; }
void UnloadAllExtensionModules() {}
uint8_t CallExtensionCondition(const std::wstring&, const std::wstring&, uint32_t, const std::wstring&,
                               const std::wstring&) {
  return 0;
}
int CallExtensionAction(const std::wstring&, const std::wstring&, uint32_t, const std::wstring&,
                        const std::wstring&) {
  return 0;
}
bool CallExtensionVariable(const std::wstring&, const std::wstring&, const std::wstring&, const std::wstring&,
                           const std::wstring&, std::wstring&) {
  return false;
}
