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

// An export name goes to GetProcAddress through a zeroed buffer of this many ANSI bytes, so names
// of 64 bytes or more are never found (rather than found truncated).
constexpr size_t kEntryNameBuffer = 64;

struct ModuleRecord {
  HMODULE module = nullptr;
  std::wstring name;       // file name as loaded
  std::wstring full_path;  // path handed to LoadLibraryW
};

class CModuleManager {
 public:
  CModuleManager();
  ~CModuleManager() = default;  // the host and the modules live until process exit
  CModuleManager(const CModuleManager&) = delete;
  CModuleManager& operator=(const CModuleManager&) = delete;

  // Loads `path` (relative to OPT_SETPATH, else to the installer's folder) unless its text is
  // already the key of a loaded module. False for an empty path or a failed load.
  bool Load(const std::wstring& path);
  // Frees the module keyed by `name`; true also when it is not loaded, false when FreeLibrary failed.
  bool Unload(const std::wstring& name);
  void UnloadAll();

  // Entry calls: the module is looked up by key; a missing module or export gives 0/false.
  uint8_t CallCondition(const std::wstring& module, const std::wstring& function, uint32_t id,
                        const std::wstring& text1, const std::wstring& text2);
  int CallAction(const std::wstring& module, const std::wstring& function, uint32_t id, const std::wstring& text1,
                 const std::wstring& text2);
  bool CallVariable(const std::wstring& module, const std::wstring& function, const std::wstring& text1,
                    const std::wstring& text2, const std::wstring& text3, std::wstring& value);

  IExternHost* Host() const { return host_; }

  // The map's key for a module text: the text lower-cased, whole.
  static std::wstring KeyOf(const std::wstring& text);
  // The path Load hands to LoadLibraryW; false when it does not fit 260 characters.
  static bool ResolvePath(const std::wstring& path, std::wstring& full_path);

 private:
  HMODULE Find(const std::wstring& module);
  // The export's address, or null when the module is not loaded or has no such export.
  // `pin` holds an extra reference on the module for as long as the caller runs the export.
  FARPROC FindEntry(const std::wstring& module, const std::wstring& function, bool& module_found,
                    tz::UniqueHmodule& pin);

  tz::CriticalSection lock_;
  std::map<std::wstring, ModuleRecord> modules_;
  IExternHost* host_;  // one reference, never released
};

CModuleManager& GetModuleManager();
