#pragma once
// Install statistics: facts about the user's choices and the time spent, published as STAT_
// variables of the variable store for the extension module and script texts. The installer never
// reads them back. Timings are 32-bit tick counts; a counter that has not grown skips the update.
#include <windows.h>

#include <cstdint>
#include <string>

class CVariableStore;

enum class InstallStat {
  ExtractCost,      // ms spent in successful extract actions, summed over the run
  InstCost,         // ms from starting the install worker to handling its result
  CloseBeforeInst,  // close button on the start or overwrite page
  CloseAfterInst,   // close button on the finish page
  AdvOpt,           // options panel toggled
  SelDir,           // folder browser shown, chosen or not
  License,          // licence text opened
  DefInstDir,       // "1" when the chosen directory is the default one, else "0"
  InstX86File,      // install started from the start page
};

// The variable name of a statistic ("STAT_EXTRACTCOST", ...).
const wchar_t* StatName(InstallStat stat);

// Milliseconds from `started` to `now` (GetTickCount values); false when the counter has not grown
// (no time measured, or it wrapped).
bool TicksElapsed(DWORD started, DWORD now, DWORD& elapsed);

// Sets a flag statistic to "1".
void MarkStat(CVariableStore& variables, InstallStat stat);
// STAT_EXTRACTCOST := the run's extraction total so far.
void PublishExtractCost(CVariableStore& variables, uint32_t total_ms);
// STAT_INSTCOST := ms since `install_started` (GetTickCount), when the counter grew.
void RecordInstallCost(CVariableStore& variables, DWORD install_started);
// The install button started the install: STAT_DEFINSTDIR (case-insensitive comparison with the
// default directory) and STAT_INSTX86FILE.
void RecordInstallStart(CVariableStore& variables, const std::wstring& chosen_dir, const std::wstring& default_dir);
