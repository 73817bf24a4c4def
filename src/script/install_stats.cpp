#include "script/install_stats.h"

#include "diag/install_log.h"
#include "script/variable_store.h"

namespace {

void SetStat(CVariableStore& variables, InstallStat stat, const std::wstring& value) {
  variables.SetVariable(StatName(stat), value);
}

}  // namespace

const wchar_t* StatName(InstallStat stat) {
  switch (stat) {
    case InstallStat::ExtractCost: return L"STAT_EXTRACTCOST";
    case InstallStat::InstCost: return L"STAT_INSTCOST";
    case InstallStat::CloseBeforeInst: return L"STAT_CLOSEBEFOREINST";
    case InstallStat::CloseAfterInst: return L"STAT_CLOSEAFTERINST";
    case InstallStat::AdvOpt: return L"STAT_ADVOPT";
    case InstallStat::SelDir: return L"STAT_SELDIR";
    case InstallStat::License: return L"STAT_LICENSE";
    case InstallStat::DefInstDir: return L"STAT_DEFINSTDIR";
    case InstallStat::InstX86File: return L"STAT_INSTX86FILE";
  }
  return L"";
}

bool TicksElapsed(DWORD started, DWORD now, DWORD& elapsed) {
  if (now <= started) return false;
  elapsed = now - started;
  return true;
}

void MarkStat(CVariableStore& variables, InstallStat stat) { SetStat(variables, stat, L"1"); }

void PublishExtractCost(CVariableStore& variables, uint32_t total_ms) {
  SetStat(variables, InstallStat::ExtractCost, FormatText(L"%u", total_ms));
}

void RecordInstallCost(CVariableStore& variables, DWORD install_started) {
  DWORD elapsed = 0;
  if (TicksElapsed(install_started, GetTickCount(), elapsed))
    SetStat(variables, InstallStat::InstCost, FormatText(L"%u", static_cast<unsigned>(elapsed)));
}

void RecordInstallStart(CVariableStore& variables, const std::wstring& chosen_dir, const std::wstring& default_dir) {
  SetStat(variables, InstallStat::DefInstDir, _wcsicmp(chosen_dir.c_str(), default_dir.c_str()) == 0 ? L"1" : L"0");
  MarkStat(variables, InstallStat::InstX86File);
}
