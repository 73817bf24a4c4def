#include "ui/main_window.h"

#include <utility>

#include "ui/dlg_main.h"

IMainWnd* CreateMainWindowObject(RunContext& run, CStageRunner& stages,
                                 std::function<std::wstring()> default_install_dir) {
  return new CDlgMain(run, stages, std::move(default_install_dir));
}
