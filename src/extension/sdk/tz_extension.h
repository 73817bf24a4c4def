/*
 * Extension modules for the installer: what a module exports and what the installer offers back.
 *
 * A module is a 32-bit DLL. The install script names it by its bare file name in the `path` field of
 * `rundll` actions, `dll` conditions and `dll` variables; the installer loads it from the folder the
 * last `setpath` action named (else from its own folder) and finds each function by the plain
 * name in the item's `name` field. Export the functions undecorated (a .def file): a 32-bit
 * stdcall export is otherwise named "Function@16" and is not found. Names are ANSI and at most
 * 63 bytes long.
 *
 * Every function is stdcall and gets the item's texts exactly as the script wrote them (not
 * expanded; an absent field is "", never NULL), read-only, and the host services object last. The
 * host pointer is valid for the whole run; AddRef it if you keep it beyond the call.
 *
 * Usable from C and C++.
 */
#ifndef TZ_EXTENSION_H
#define TZ_EXTENSION_H

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

/* Kinds of value for IExternHost::GetPath/SetPath and GetMode/SetMode (one numbering). */
#define TZ_HOST_INSTDIR 1        /* install directory (GetPath, SetPath) */
#define TZ_HOST_INSTALLER_PATH 2 /* full path of the running installer (GetPath) */
#define TZ_HOST_SILENT 3         /* silent run (GetMode, SetMode) */
#define TZ_HOST_OVERWRITE 4      /* overwrite install (GetMode, SetMode) */

/* Levels of IExternHost::LogMessage. */
#define TZ_LOG_INFO 0
#define TZ_LOG_WARNING 1
#define TZ_LOG_ERROR 2
#define TZ_LOG_ERROR_ALT 3 /* written as an Error too */

/* What an action function answers; the `rundll` action turns it into the action's result. */
#define TZ_ACTION_NOTHING 0 /* nothing done (so is any value not listed here) */
#define TZ_ACTION_DONE 1    /* done */
#define TZ_ACTION_FAILED 2  /* failed: the action's result is "failed" (3) */
#define TZ_ACTION_ABORT 3   /* stops the stage; an install stage then ends as aborted (stage result 2) */
#define TZ_ACTION_EXIT 4    /* stops the stage with stage result 3 */

/* What IExternHost::RunAction reports: the dispatcher's result for the action. */
#define TZ_RUN_NOTHING 0        /* no such action, an unknown type, or nothing to do */
#define TZ_RUN_DONE 1
#define TZ_RUN_BUILTIN_FAILED 2 /* a built-in action (id below 100) failed */
#define TZ_RUN_FAILED 3
#define TZ_RUN_STOP_ABORT 4     /* the action asks to end the stage with stage result 2 */
#define TZ_RUN_STOP_EXIT 5      /* ... with stage result 3 */
#define TZ_RUN_STOP_RETURN 6    /* ... with stage result 1 */

/* {16AB31C3-576E-4E6F-9C4B-9D4E91FA467B} */
#if defined(__GNUC__)
__attribute__((unused))
#endif
static const IID IID_IExternHost = {0x16ab31c3, 0x576e, 0x4e6f, {0x9c, 0x4b, 0x9d, 0x4e, 0x91, 0xfa, 0x46, 0x7b}};

/*
 * The installer's services. All strings handed out are BSTRs the caller frees with SysFreeString;
 * strings handed in are only read. A string that cannot be allocated gives E_OUTOFMEMORY (never an
 * exception through the module's frames). Bad kinds and NULL out pointers change nothing. Nothing
 * here holds a lock of the installer while it runs, so a module may run actions and evaluate
 * conditions that call modules (itself included) again.
 */
#undef INTERFACE
#define INTERFACE IExternHost
DECLARE_INTERFACE_(IExternHost, IUnknown) {
  /* IUnknown: answers IID_IUnknown and IID_IExternHost; anything else E_NOINTERFACE and NULL. */
  STDMETHOD(QueryInterface)(THIS_ REFIID iid, void** object) PURE;
  STDMETHOD_(ULONG, AddRef)(THIS) PURE;
  STDMETHOD_(ULONG, Release)(THIS) PURE;

  /* TZ_HOST_INSTDIR: the install directory (E_FAIL when none is set); TZ_HOST_INSTALLER_PATH: the
     installer's full path (E_FAIL when it is unknown). NULL `value` or another kind: E_INVALIDARG. */
  STDMETHOD(GetPath)(THIS_ int kind, BSTR* value) PURE;
  /* TZ_HOST_SILENT or TZ_HOST_OVERWRITE: 1 or 0 (E_FAIL when the option is not set, which does not
     happen during a run). NULL `value` or another kind: E_INVALIDARG. */
  STDMETHOD(GetMode)(THIS_ int kind, int* value) PURE;
  /* The outcome of the script's condition `id` (1 or 0, written when `value` is not NULL),
     evaluated exactly as a stage would (cached, logged). Always S_OK. */
  STDMETHOD(EvaluateCondition)(THIS_ UINT id, BYTE* value) PURE;
  /* A script, installer-set or built-in variable by exact name (STAT_ statistics included). Found:
     S_OK with a copy in `value` when it is not NULL. Not found: E_FAIL. */
  STDMETHOD(GetVariable)(THIS_ LPCWSTR name, BSTR* value) PURE;
  /* Runs the script's action `id` exactly as a stage would and reports the result (TZ_RUN_*) when
     `result` is not NULL. Always S_OK, also for an id without an action. */
  STDMETHOD(RunAction)(THIS_ UINT id, int* result) PURE;
  /* Writes `prefix` followed by `text` (either may be NULL) to the install log as one entry, as
     written (no formatting): level 0 Info, 1 Warning, 2 and 3 Error. Any other level: E_INVALIDARG
     and nothing is written. */
  STDMETHOD(LogMessage)(THIS_ int level, LPCWSTR prefix, LPCWSTR text) PURE;
  /* TZ_HOST_INSTDIR with a non-empty text sets the install directory (logged). Anything else:
     E_FAIL and nothing changes. */
  STDMETHOD(SetPath)(THIS_ int kind, LPCWSTR text) PURE;
  /* TZ_HOST_SILENT or TZ_HOST_OVERWRITE set to `flag` != 0. Other kinds: E_FAIL. */
  STDMETHOD(SetMode)(THIS_ int kind, BOOL flag) PURE;
};
#undef INTERFACE

/* Entry functions, by the role the script gives them.
   Condition (`dll` condition item): non-zero means the condition holds. */
typedef BYTE(WINAPI* TzConditionFunction)(UINT id, LPCWSTR param1, LPCWSTR param2, IExternHost* host);
/* Action (`rundll` action item): one of TZ_ACTION_*. */
typedef int(WINAPI* TzActionFunction)(UINT id, LPCWSTR value, LPCWSTR param1, IExternHost* host);
/* Variable (`dll` variable item): non-zero with *value set to a SysAllocString'ed text that the
   installer frees; zero when no value is produced (the installer frees *value in that case too). */
typedef BYTE(WINAPI* TzVariableFunction)(LPCWSTR varname, LPCWSTR param1, LPCWSTR param2, BSTR* value,
                                         IExternHost* host);

#endif /* TZ_EXTENSION_H */
