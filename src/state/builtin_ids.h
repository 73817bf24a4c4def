#pragma once
// The built-in action and condition ids. Ids below kFirstScriptId are built in; script items use
// kFirstScriptId and up.
#include <cstdint>

constexpr uint32_t kFirstScriptId = 100;

enum BuiltinAction : uint32_t {
  BUILTIN_ACTION_FAIL = 1,            // fails (the caller's failure path runs)
  BUILTIN_ACTION_ABORT = 2,           // ends the stage: abort
  BUILTIN_ACTION_EXIT = 3,            // ends the stage: exit
  BUILTIN_ACTION_REBOOT = 4,
  BUILTIN_ACTION_NEW_INSTALL = 5,
  BUILTIN_ACTION_OVERWRITE_INSTALL = 6,
  BUILTIN_ACTION_INTERACTIVE = 7,
  BUILTIN_ACTION_SILENT = 8,
  BUILTIN_ACTION_DISABLE_REDIRECTION = 9,
  BUILTIN_ACTION_REVERT_REDIRECTION = 10,
  BUILTIN_ACTION_HIDE_WINDOW = 11,
  BUILTIN_ACTION_SHOW_WINDOW = 12,
  BUILTIN_ACTION_RETURN = 13,         // ends the stage: back to the window
};

enum BuiltinCondition : uint32_t {
  BUILTIN_COND_XP = 1,
  BUILTIN_COND_VISTA_UP = 2,
  BUILTIN_COND_32BIT_OS = 3,
  BUILTIN_COND_64BIT_OS = 4,
  BUILTIN_COND_SILENT = 5,
  BUILTIN_COND_OVERWRITE = 6,
  BUILTIN_COND_NEW_INTERACTIVE = 7,
  BUILTIN_COND_OVERWRITE_INTERACTIVE = 8,
  BUILTIN_COND_NEW_SILENT = 9,
  BUILTIN_COND_OVERWRITE_SILENT = 10,
};
