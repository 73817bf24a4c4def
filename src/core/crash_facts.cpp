#include "core/crash_facts.h"

#include "core/engine.h"

namespace {

// Each store of the process's run is read only when its lock is free. The other threads are
// suspended by now, so a lock found free stays free while we read.
class CProcessCrashFacts final : public ICrashFacts {
 public:
  bool AppName(std::wstring& out) override {
    // APPNAME falls back to the option the loader stored, behind the options store's own lock.
    RunContext& run = ProcessEngine().run;
    return run.variables.LockIsFree() && run.options.LockIsFree() && run.variables.GetVariable(L"APPNAME", out);
  }
  bool ProductVersion(std::wstring& out) override { return InfoText(II_PRODVER, out); }
  bool Channel(std::wstring& out) override { return InfoText(II_CHANNEL, out); }
  bool InstallRunning() override {
    unsigned long long phase = 0;
    CInstallerInfo& info = ProcessEngine().run.info;
    return info.LockIsFree() && info.GetInfoNumber(II_PHASE, phase) && phase == 2;
  }

 private:
  static bool InfoText(int key, std::wstring& out) {
    CInstallerInfo& info = ProcessEngine().run.info;
    return info.LockIsFree() && info.GetInfoText(key, out);
  }
};

}  // namespace

ICrashFacts& ProcessCrashFacts() {
  static CProcessCrashFacts facts;
  return facts;
}
