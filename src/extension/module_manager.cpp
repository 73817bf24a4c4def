// Extension modules: loading by file name, export lookup and the stdcall entry calls.
#include "extension/module_manager.h"

#include <shlwapi.h>

#include <cstring>

#include "diag/install_log.h"
#include "extension/extern_host.h"
#include "platform/dll_search.h"
#include "platform/encoding.h"
#include "platform/handles.h"
#include "script/run_context.h"

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

CModuleManager::CModuleManager(RunContext& run, CConditionEvaluator& conditions, CActionMan& actions)
    : run_(run), host_(new CExternHost_Impl(run, conditions, actions)) {}

CModuleManager::~CModuleManager() {
  for (auto& [key, record] : modules_) record.module.Release();
}

std::wstring CModuleManager::KeyOf(const std::wstring& text) {
  if (text.empty()) return text;
  std::wstring key(text);
  const int n = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, text.c_str(), static_cast<int>(text.size()),
                              key.data(), static_cast<int>(key.size()), nullptr, nullptr, 0);
  if (n != static_cast<int>(key.size())) return text;
  return key;
}

bool CModuleManager::ResolvePath(const std::wstring& path, const std::wstring& folder, std::wstring& full_path) {
  wchar_t buffer[MAX_PATH] = {};
  if (PathIsRelativeW(path.c_str())) {
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

  std::wstring folder, full_path;
  if (PathIsRelativeW(path.c_str()) && !run_.options.GetOptionText(OPT_SETPATH, folder))
    run_.info.GetInfoText(II_DIR, folder);
  if (!ResolvePath(path, folder, full_path)) return false;
  tz::UniqueHmodule module(tz::LoadModuleFromPath(full_path));
  GetLog().Info(L"加载模块 %s, hmodule = 0x%x", full_path.c_str(), HandleValue(module.Get()));
  if (!module) return false;

  ModuleRecord record;
  record.module = std::move(module);
  record.name = PathFindFileNameW(full_path.c_str());
  record.full_path = full_path;
  const std::wstring key = KeyOf(record.name);
  // A module loaded by a full path is not found by that path again, so each such Load loads it
  // once more; the record already held keeps its reference and this one is dropped (freed on return,
  // after the lock: try_emplace leaves it with us when the key is taken).
  tz::ScopedLock lock(lock_);
  modules_.try_emplace(key, std::move(record));
  return true;
}

bool CModuleManager::Unload(const std::wstring& name) {
  HMODULE module = nullptr;
  {
    tz::ScopedLock lock(lock_);
    auto it = modules_.find(KeyOf(name));
    if (it == modules_.end()) return true;
    module = it->second.module.Release();
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
  for (auto& [key, record] : modules) {
    if (!record.module) continue;
    const HMODULE module = record.module.Get();
    record.module.Reset();
    GetLog().Info(L"卸载模块 0x%x", HandleValue(module));
  }
}

HMODULE CModuleManager::Find(const std::wstring& module) {
  tz::ScopedLock lock(lock_);
  auto it = modules_.find(KeyOf(module));
  return it == modules_.end() ? nullptr : it->second.module.Get();
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
  FARPROC entry = GetProcAddress(it->second.module.Get(), name);
  if (entry) pin = PinModuleOf(entry);
  return entry;
}

template <typename Function, typename Result, typename Call>
Result CModuleManager::WithEntry(const std::wstring& module, const std::wstring& function, const wchar_t* missing_log,
                                 Result fallback, Call call) {
  bool module_found = false;
  tz::UniqueHmodule pin;
  FARPROC entry = FindEntry(module, function, module_found, pin);
  if (!entry) {
    if (module_found && missing_log) GetLog().Error(missing_log, function.c_str());
    return fallback;
  }
  return call(reinterpret_cast<Function>(reinterpret_cast<void*>(entry)));
}

uint8_t CModuleManager::CallCondition(const std::wstring& module, const std::wstring& function, uint32_t id,
                                      const std::wstring& text1, const std::wstring& text2) {
  return WithEntry<TzConditionFunction>(module, function, L"找不到入口条件函数: %s", uint8_t{0},
                                        [&](TzConditionFunction call) {
                                          return call(id, text1.c_str(), text2.c_str(), host_);
                                        });
}

int CModuleManager::CallAction(const std::wstring& module, const std::wstring& function, uint32_t id,
                               const std::wstring& text1, const std::wstring& text2) {
  return WithEntry<TzActionFunction>(module, function, L"找不到入口动作函数: %s", 0, [&](TzActionFunction call) {
    return call(id, text1.c_str(), text2.c_str(), host_);
  });
}

bool CModuleManager::CallVariable(const std::wstring& module, const std::wstring& function,
                                  const std::wstring& text1, const std::wstring& text2, const std::wstring& text3,
                                  std::wstring& value) {
  return WithEntry<TzVariableFunction>(module, function, nullptr, false, [&](TzVariableFunction call) {
    tz::UniqueBstr produced;
    const bool ok = call(text1.c_str(), text2.c_str(), text3.c_str(), produced.Put(), host_) != 0;
    if (ok) value = produced.Get() ? produced.Get() : L"";
    return ok;
  });
}
