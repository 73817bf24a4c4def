#pragma once
// The option table of a run: small option ids to VARIANT values, one lock around every call.
#include <windows.h>
#include <oaidl.h>

#include <map>
#include <string>

#include "platform/sync.h"

enum OptionId {
  OPT_DISKREQUIRE = 0,
  OPT_SINGLEINSTANCE = 1,
  OPT_DEFAULTPATH = 2,
  OPT_DIRNAME = 3,
  OPT_WINDOWCLASS = 4,
  OPT_INSTDIR = 5,
  OPT_SILENT = 6,
  OPT_OVERWRITE = 7,
  OPT_SETPATH = 8,
  OPT_APPNAME = 9,
  OPT_LOG = 10,
  OPT_NEEDREBOOT = 11,
  OPT_LOGFILE = 12,
  OPT_CHANNEL = 13,
  OPT_LANGUAGE = 14,
};

class COptionsStore {
 public:
  COptionsStore();
  ~COptionsStore();
  COptionsStore(const COptionsStore&) = delete;
  COptionsStore& operator=(const COptionsStore&) = delete;

  void SetOption(int id, const VARIANT& value);
  // False when the id is absent; otherwise copies the value into `out` (which must be initialised).
  bool GetOption(int id, VARIANT* out);
  // True only for a VT_BSTR value (a null string gives ""); `out` is untouched otherwise.
  bool GetOptionText(int id, std::wstring& out);

  // Convenience forms.
  void SetText(int id, const std::wstring& text);
  void SetBool(int id, bool value);
  void SetUInt64(int id, unsigned long long value);
  // True only for VT_BOOL holding VARIANT_TRUE.
  bool IsTrue(int id);
  bool Has(int id);
  // For the crash handler: true when reading would not wait for another thread.
  bool LockIsFree() { return lock_.IsFree(); }

 private:
  tz::CriticalSection lock_;
  std::map<int, VARIANT> values_;
};

