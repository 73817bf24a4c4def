#pragma once
// What the engine asks of the extension module host: load and unload modules and call their
// condition, action and variable functions. Thin forwarders to the module manager
// (extension/module_manager.h), kept so callers need not know its class.
#include <cstdint>
#include <string>

bool LoadExtensionModule(const std::wstring& path);
bool UnloadExtensionModule(const std::wstring& name);
void UnloadAllExtensionModules();
// The module's condition function: its byte result (0 is false).
uint8_t CallExtensionCondition(const std::wstring& module, const std::wstring& function, uint32_t id,
                               const std::wstring& text1, const std::wstring& text2);
// The module's action function: its integer result.
int CallExtensionAction(const std::wstring& module, const std::wstring& function, uint32_t id,
                        const std::wstring& text1, const std::wstring& text2);
// The module's variable function; true with its text in `out`.
bool CallExtensionVariable(const std::wstring& module, const std::wstring& function, const std::wstring& text1,
                           const std::wstring& text2, const std::wstring& text3, std::wstring& out);
