#include "ui/main_window.h"

namespace {

// Until the skinned window exists the installer has no window: it cannot be shown, and every
// run behaves as if the window had not been created.
class CHeadlessMainWnd final : public IMainWnd {
 public:
  void Destroy() override { delete this; }
  void Init(HINSTANCE) override {}
  bool CreateAndShow() override { return false; }
  int RunMessageLoop() override { return 0; }
  void OnEnd() override {}
};

}  // namespace

IMainWnd* CreateMainWindowObject() { return new CHeadlessMainWnd(); }
