#pragma once
// One handler per action type code: it gets its own copy of the item and returns an ActionResult.
// Handlers live one family per file (action_<family>.cpp); the dispatcher's table in
// action_man.cpp maps each type code to its handler.
#include "actions/action_table.h"

using ActionHandler = int (*)(const ActionRecord& item);

int RunMsgBoxAction(const ActionRecord& item);      // action_msgbox.cpp
int RunVarAction(const ActionRecord& item);         // action_var.cpp
int RunSetPathAction(const ActionRecord& item);     // action_paths.cpp
int RunSetInstDirAction(const ActionRecord& item);  // action_paths.cpp
int RunListAction(const ActionRecord& item);        // action_list.cpp
int RunUnloadAction(const ActionRecord& item);      // action_module.cpp
int RunRunDllAction(const ActionRecord& item);      // action_module.cpp
int RunRegWriteAction(const ActionRecord& item);    // action_registry.cpp
int RunRegDeleteAction(const ActionRecord& item);   // action_registry.cpp
int RunIniAction(const ActionRecord& item);         // action_ini.cpp
int RunRunAction(const ActionRecord& item);         // action_process.cpp
int RunShellAction(const ActionRecord& item);       // action_process.cpp
int RunKillAction(const ActionRecord& item);        // action_process.cpp
int RunRegDllAction(const ActionRecord& item);      // action_regdll.cpp
int RunServiceAction(const ActionRecord& item);     // action_service.cpp
int RunExtractAction(const ActionRecord& item);     // action_extract.cpp
int RunDeleteAction(const ActionRecord& item);      // action_files.cpp
int RunCopyAction(const ActionRecord& item);        // action_files.cpp
int RunShortcutAction(const ActionRecord& item);    // action_shortcut.cpp
