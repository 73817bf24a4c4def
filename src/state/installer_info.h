#pragma once
// Cached facts about the installer's own file and the system, plus the run-state numbers.
#include <windows.h>

#include <map>
#include <string>

#include "platform/sync.h"

enum InstallerInfoKey {
  II_PATH = 0,
  II_NAME = 1,
  II_DIR = 2,
  II_PRODVER = 3,
  II_FILEVER = 4,
  II_PRODVERTEXT = 5,
  II_FILEVERTEXT = 6,
  II_RESERVED7 = 7,
  II_CHANNEL = 8,
  II_FILESIZE = 9,
  II_ISXP = 10,
  II_ISVISTAUP = 11,
  II_IS32BITOS = 12,
  II_IS64BITOS = 13,
  II_OTHERINSTANCE = 14,
  II_RESERVED15 = 15,
  II_PHASE = 16,
};

class CInstallerInfo {
 public:
  CInstallerInfo() = default;
  CInstallerInfo(const CInstallerInfo&) = delete;
  CInstallerInfo& operator=(const CInstallerInfo&) = delete;

  void SetInstance(HINSTANCE instance);
  HINSTANCE Instance();

  // True for keys 0 to 8 (the text may be empty), false for any other key.
  bool GetInfoText(int key, std::wstring& out);
  // True for keys 9 to 16, false for any other key.
  bool GetInfoNumber(int key, unsigned long long& out);
  void SetInfoNumber(int key, unsigned long long value);
  // For the crash handler: true when reading would not wait for another thread.
  bool LockIsFree() { return lock_.IsFree(); }
  // True when number `key` is present and not 0.
  bool Flag(int key) {
    unsigned long long value = 0;
    return GetInfoNumber(key, value) && value != 0;
  }

 private:
  bool ComputeText(int key);     // fills the text cache; called without the lock held
  bool ComputeNumber(int key);   // fills the number cache; called without the lock held

  tz::CriticalSection lock_;
  HINSTANCE instance_ = nullptr;
  std::map<int, std::wstring> texts_;
  std::map<int, unsigned long long> numbers_;
};

