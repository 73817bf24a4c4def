#pragma once
/*
 * tz-base.dll: the product's extension module. The installer extracts it to a temporary folder,
 * calls these functions from the install script and unloads it at the end. Every function writes
 * what it did to the install log through the host, as lines beginning with "[tz-base] ".
 *
 * Action functions answer TZ_ACTION_DONE (1), TZ_ACTION_NOTHING (0) when there was nothing to do,
 * or TZ_ACTION_FAILED (2), which the `rundll` action turns into "failed" (3).
 * Paths named in `value`/`param1` are relative to the install directory and must stay below it:
 * a drive, a root, "..", a component ending in a dot or a blank, or a wildcard is refused, so a
 * script text can never reach outside the install directory.
 * The install directory must be set and absolute; functions that need it fail without it.
 */
#include "tz_extension.h"

#ifdef __cplusplus
extern "C" {
#endif

/* oninit: logs the run modes, the installer's path and the install directory ("(not set)" when there
   is none yet), as "PreInstall: silent=<0|1>, overwrite=<0|1>, installer=<path>, instdir=<dir>".
   Always TZ_ACTION_DONE. */
int WINAPI PreInstall(UINT id, LPCWSTR value, LPCWSTR param1, IExternHost* host);

/* Condition: holds when the DirectX runtime file the application needs is in the system directory
   (the 32-bit one, as seen by this 32-bit module). `param1` names the file, default d3dx9_43.dll;
   a name with a path in it is refused (the condition does not hold). Logs
   "CheckDirectX: <full path> present|missing". */
BYTE WINAPI CheckDirectX(UINT id, LPCWSTR param1, LPCWSTR param2, IExternHost* host);

/* install, overwrite runs: creates the install directory (with its parents) and removes the leftovers
   of the earlier install that this one replaces: `value` lists them, comma-separated, as files or
   folders relative to the install directory (each removed is logged; missing ones are skipped).
   Fails when the directory cannot be created or a leftover cannot be removed or is refused. */
int WINAPI PrepareInstDir(UINT id, LPCWSTR value, LPCWSTR param1, IExternHost* host);

/* install, overwrite runs: when the 64-bit files apply, removes the 32-bit binaries left by the earlier
   install: bin\32bit and plugins\32bit under the install directory, or the folders `param1` lists.
   Whether the 64-bit files apply: the script condition whose id is in `value` holds, or, without
   one, the variable PLATFORMDIR is "64bit". Answers TZ_ACTION_NOTHING when the 32-bit files apply. */
int WINAPI RemoveX86Files(UINT id, LPCWSTR value, LPCWSTR param1, IExternHost* host);

/* onexit: writes the settings file (`value`, default install.ini, relative to the install directory;
   a new file is UTF-16 INI): section [Install] with InstallDir and Channel (the variable CHANNELID),
   section [Statistics] with every STAT_ variable of this run (statistics this run did not record are
   removed from the file, so none survives from an earlier run). */
int WINAPI SaveConfig(UINT id, LPCWSTR value, LPCWSTR param1, IExternHost* host);

/* onexit after a completed install (the script gates it on INSTALLOVER): as SaveConfig, and marks
   [Install] Completed=1 and Overwrite=0/1 (the install kind of this run). */
int WINAPI SaveConfig2(UINT id, LPCWSTR value, LPCWSTR param1, IExternHost* host);

#ifdef __cplusplus
}
#endif
