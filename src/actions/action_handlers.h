#pragma once
// One handler per action type code: it gets its own copy of the item and returns an ActionResult.
// Handlers live one family per file (action_<family>.cpp); the dispatcher's table in
// action_man.cpp maps each type code to its handler.
#include "state/action_table.h"

class CActionMan;

using ActionHandler = int (*)(CActionMan& man, const ActionRecord& item);

int RunMsgBoxAction(CActionMan& man, const ActionRecord& item);      // action_msgbox.cpp
int RunVarAction(CActionMan& man, const ActionRecord& item);         // action_var.cpp
int RunSetPathAction(CActionMan& man, const ActionRecord& item);     // action_paths.cpp
int RunSetInstDirAction(CActionMan& man, const ActionRecord& item);  // action_paths.cpp
int RunListAction(CActionMan& man, const ActionRecord& item);        // action_list.cpp
int RunUnloadAction(CActionMan& man, const ActionRecord& item);      // action_module.cpp
int RunRunDllAction(CActionMan& man, const ActionRecord& item);      // action_module.cpp
int RunRegWriteAction(CActionMan& man, const ActionRecord& item);    // action_registry.cpp
int RunRegDeleteAction(CActionMan& man, const ActionRecord& item);   // action_registry.cpp
int RunIniAction(CActionMan& man, const ActionRecord& item);         // action_ini.cpp
int RunRunAction(CActionMan& man, const ActionRecord& item);         // action_process.cpp
int RunShellAction(CActionMan& man, const ActionRecord& item);       // action_process.cpp
int RunKillAction(CActionMan& man, const ActionRecord& item);        // action_process.cpp
int RunRegDllAction(CActionMan& man, const ActionRecord& item);      // action_regdll.cpp
int RunServiceAction(CActionMan& man, const ActionRecord& item);     // action_service.cpp
int RunExtractAction(CActionMan& man, const ActionRecord& item);     // action_extract.cpp
int RunDeleteAction(CActionMan& man, const ActionRecord& item);      // action_files.cpp
int RunCopyAction(CActionMan& man, const ActionRecord& item);        // action_files.cpp
int RunShortcutAction(CActionMan& man, const ActionRecord& item);    // action_shortcut.cpp
