#pragma once
// What conditions, variables and actions ask of extension modules: load and unload them and call
// their condition, action and variable functions. The module manager implements it; the
// composition root registers it with the run.
#include <cstdint>
#include <string>

class IModuleCalls {
 public:
  virtual bool Load(const std::wstring& path) = 0;
  // True also when the module is not loaded; false when freeing it failed.
  virtual bool Unload(const std::wstring& name) = 0;
  virtual void UnloadAll() = 0;
  // The module's condition function: its byte result (0 is false, also for a missing module/export).
  virtual uint8_t CallCondition(const std::wstring& module, const std::wstring& function, uint32_t id,
                                const std::wstring& text1, const std::wstring& text2) = 0;
  // The module's action function: its integer result.
  virtual int CallAction(const std::wstring& module, const std::wstring& function, uint32_t id,
                         const std::wstring& text1, const std::wstring& text2) = 0;
  // The module's variable function; true with its text in `out`.
  virtual bool CallVariable(const std::wstring& module, const std::wstring& function, const std::wstring& text1,
                            const std::wstring& text2, const std::wstring& text3, std::wstring& out) = 0;

 protected:
  ~IModuleCalls() = default;
};
