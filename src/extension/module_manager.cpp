// Extension modules: loading by file name, export lookup and the stdcall entry calls.
#include "extension/module_manager.h"

#include <shlwapi.h>

#include <cstring>

#include "core/options_store.h"
#include "diag/install_log.h"
#include "extension/extern_host.h"
#include "platform/encoding.h"
#include "platform/handles.h"
#include "script/installer_info.h"

namespace {

unsigned HandleValue(HMODULE module) { return static_cast<unsigned>(reinterpret_cast<uintptr_t>(module)); }

// Keeps a module mapped while one of its functions runs: the function may unload its own module
// through the host (an `unload` action run by RunAction) and must still be able to return.
tz::UniqueHmodule PinModuleOf(FARPROC entry) {
  HMODULE pinned = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(entry), &pinned)) {
    return tz::UniqueHmodule();
  }
  return tz::UniqueHmodule(pinned);
}

}  // namespace

CModuleManager::CModuleManager() : host_(new CExternHost_Impl()) {}

std::wstring CModuleManager::KeyOf(const std::wstring& text) {
  if (text.empty()) return text;
  std::wstring key(text);
  const int n = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, text.c_str(), static_cast<int>(text.size()),
                              key.data(), static_cast<int>(key.size()), nullptr, nullptr, 0);
  if (n != static_cast<int>(key.size())) return text;
  return key;
}

bool CModuleManager::ResolvePath(const std::wstring& path, std::wstring& full_path) {
  wchar_t buffer[MAX_PATH] = {};
  if (PathIsRelativeW(path.c_str())) {
    std::wstring folder;
    if (!GetOptions().GetOptionText(OPT_SETPATH, folder)) GetInstallerInfo().GetInfoText(II_DIR, folder);
    if (folder.size() >= MAX_PATH || path.size() >= MAX_PATH) return false;
    if (!PathCombineW(buffer, folder.c_str(), path.c_str())) return false;
  } else {
    if (path.size() >= MAX_PATH) return false;
    wcsncpy(buffer, path.c_str(), MAX_PATH - 1);
  }
  full_path = buffer;
  return true;
}

bool CModuleManager::Load(const std::wstring& path) {
  if (path.empty()) return false;
  if (Find(path)) return true;

  std::wstring full_path;
  if (!ResolvePath(path, full_path)) return false;
  HMODULE module = LoadLibraryW(full_path.c_str());
  GetLog().Info(L"加载模块 %s, hmodule = 0x%x", full_path.c_str(), HandleValue(module));
  if (!module) return false;

  ModuleRecord record;
  record.module = module;
  record.name = PathFindFileNameW(full_path.c_str());
  record.full_path = full_path;
  bool inserted = false;
  {
    tz::ScopedLock lock(lock_);
    inserted = modules_.emplace(KeyOf(record.name), record).second;
  }
  // A module loaded by a full path is not found by that path again, so each such Load loads it
  // once more; the record already held keeps its reference and this one is dropped.
  if (!inserted) FreeLibrary(module);
  return true;
}

bool CModuleManager::Unload(const std::wstring& name) {
  HMODULE module = nullptr;
  {
    tz::ScopedLock lock(lock_);
    auto it = modules_.find(KeyOf(name));
    if (it == modules_.end()) return true;
    module = it->second.module;
    modules_.erase(it);
  }
  // Freed outside the lock: the module's DllMain runs here.
  bool freed = true;
  if (module) {
    freed = FreeLibrary(module) != FALSE;
    GetLog().Info(L"卸载模块 0x%x", HandleValue(module));
  }
  return freed;
}

void CModuleManager::UnloadAll() {
  std::map<std::wstring, ModuleRecord> modules;
  {
    tz::ScopedLock lock(lock_);
    modules.swap(modules_);
  }
  for (const auto& [key, record] : modules) {
    if (!record.module) continue;
    FreeLibrary(record.module);
    GetLog().Info(L"卸载模块 0x%x", HandleValue(record.module));
  }
}

HMODULE CModuleManager::Find(const std::wstring& module) {
  tz::ScopedLock lock(lock_);
  auto it = modules_.find(KeyOf(module));
  return it == modules_.end() ? nullptr : it->second.module;
}

FARPROC CModuleManager::FindEntry(const std::wstring& module, const std::wstring& function, bool& module_found,
                                  tz::UniqueHmodule& pin) {
  module_found = false;
  // A name that does not fit the buffer is not looked up at all: cut short it could name another export.
  const std::string ansi = tz::WideToAnsi(function);
  char name[kEntryNameBuffer] = {};
  const bool fits = ansi.size() < kEntryNameBuffer;
  if (fits) memcpy(name, ansi.data(), ansi.size());

  // Lookup and pin under the lock, so an Unload on another thread cannot free the module in between.
  tz::ScopedLock lock(lock_);
  auto it = modules_.find(KeyOf(module));
  if (it == modules_.end() || !it->second.module) return nullptr;
  module_found = true;
  if (!fits) return nullptr;
  FARPROC entry = GetProcAddress(it->second.module, name);
  if (entry) pin = PinModuleOf(entry);
  return entry;
}

uint8_t CModuleManager::CallCondition(const std::wstring& module, const std::wstring& function, uint32_t id,
                                      const std::wstring& text1, const std::wstring& text2) {
  bool module_found = false;
  tz::UniqueHmodule pin;
  FARPROC entry = FindEntry(module, function, module_found, pin);
  if (!module_found) return 0;
  if (!entry) {
    GetLog().Error(L"找不到入口条件函数: %s", function.c_str());
    return 0;
  }
  const auto call = reinterpret_cast<TzConditionFunction>(reinterpret_cast<void*>(entry));
  return call(id, text1.c_str(), text2.c_str(), host_);
}

int CModuleManager::CallAction(const std::wstring& module, const std::wstring& function, uint32_t id,
                               const std::wstring& text1, const std::wstring& text2) {
  bool module_found = false;
  tz::UniqueHmodule pin;
  FARPROC entry = FindEntry(module, function, module_found, pin);
  if (!module_found) return 0;
  if (!entry) {
    GetLog().Error(L"找不到入口动作函数: %s", function.c_str());
    return 0;
  }
  const auto call = reinterpret_cast<TzActionFunction>(reinterpret_cast<void*>(entry));
  return call(id, text1.c_str(), text2.c_str(), host_);
}

bool CModuleManager::CallVariable(const std::wstring& module, const std::wstring& function,
                                  const std::wstring& text1, const std::wstring& text2, const std::wstring& text3,
                                  std::wstring& value) {
  bool module_found = false;
  tz::UniqueHmodule pin;
  FARPROC entry = FindEntry(module, function, module_found, pin);
  if (!entry) return false;
  const auto call = reinterpret_cast<TzVariableFunction>(reinterpret_cast<void*>(entry));
  tz::UniqueBstr produced;
  const bool ok = call(text1.c_str(), text2.c_str(), text3.c_str(), produced.Put(), host_) != 0;
  if (ok) value = produced.Get() ? produced.Get() : L"";
  return ok;
}

CModuleManager& GetModuleManager() {
  static CModuleManager manager;
  return manager;
}
