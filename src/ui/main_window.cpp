#include "ui/main_window.h"

#include <cstdint>
#include <vector>

#include "script/run_context.h"
#include "ui/skin_package.h"

namespace {

// Until the skinned window exists the installer has no window: it cannot be shown, and every
// run behaves as if the window had not been created.
class CHeadlessMainWnd final : public IMainWnd {
 public:
  explicit CHeadlessMainWnd(RunContext& run) : run_(run) {}
  void Destroy() override { delete this; }
  // The skin package is loaded in every run, silent ones too; a missing one ends the process.
  void Init(HINSTANCE instance) override { LoadSkinPackageOrExit(instance, run_.languages, skin_package_); }
  bool CreateAndShow() override { return false; }
  int RunMessageLoop() override { return 0; }
  void OnEnd() override {}

 private:
  RunContext& run_;
  std::vector<std::uint8_t> skin_package_;  // the toolkit reads its entries from this copy
};

}  // namespace

IMainWnd* CreateMainWindowObject(RunContext& run) { return new CHeadlessMainWnd(run); }
