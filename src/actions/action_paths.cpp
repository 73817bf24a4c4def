// setpath and setinstdir: the directory the extension module loads from and the install directory.
#include <windows.h>
#include <shlwapi.h>

#include "actions/action_handlers.h"
#include "actions/action_man.h"
#include "diag/install_log.h"

int RunSetPathAction(CActionMan& man, const ActionRecord& item) {
  const std::wstring dir = man.Expand(item.path);
  man.Run().options.SetText(OPT_SETPATH, dir);
  GetLog().Info(L"扩展dll加载路径设置为: %s", dir.c_str());
  return ACTION_DONE;
}

int RunSetInstDirAction(CActionMan& man, const ActionRecord& item) {
  std::wstring dir = man.Expand(item.path);
  if (dir.empty()) return ACTION_NOTHING;
  // Scripts derive the directory from a found file ("...\bin\app.exe\..\.."): resolve those steps so
  // the install directory is a plain path.
  if (dir.find(L"\\.", 1) != std::wstring::npos) {
    // PathCanonicalizeW writes into a MAX_PATH buffer and would overrun it with a longer source.
    if (dir.size() >= MAX_PATH) return ACTION_NOTHING;
    wchar_t canonical[MAX_PATH] = {};
    if (!PathCanonicalizeW(canonical, dir.c_str())) return ACTION_NOTHING;
    dir = canonical;
  }
  man.Run().options.SetText(OPT_INSTDIR, dir);
  return ACTION_DONE;
}
