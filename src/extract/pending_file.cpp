#include "extract/pending_file.h"

#include <shlwapi.h>
#include <windows.h>

#include <algorithm>
#include <cwchar>

#include "diag/install_log.h"
#include "extract/extractor.h"

namespace {

constexpr size_t kMaxNameChars = kCreateFailedBufferChars - 1;
constexpr unsigned kPendingTries = 50;
constexpr wchar_t kPendingMarker[] = L".tz0";
constexpr size_t kPendingDigits = 5;

}  // namespace

bool IsPendingName(const wchar_t* path) { return path && StrStrIW(path, kPendingMarker) != nullptr; }

std::wstring FormatPendingName(const std::wstring& path, unsigned number) {
  std::wstring name = FormatText(L"%s.tz0%05u", path.c_str(), number);
  if (name.size() > kMaxNameChars) name.resize(kMaxNameChars);
  return name;
}

int ResolveCreateFailure(wchar_t* pathBuffer, unsigned bufferChars) {
  return ResolveCreateFailure(pathBuffer, bufferChars, GetTickCount() % 100000);
}

int ResolveCreateFailure(wchar_t* pathBuffer, unsigned bufferChars, unsigned baseNumber) {
  if (!pathBuffer || bufferChars == 0) return kCreateGiveUp;
  const std::wstring path(pathBuffer, wcsnlen(pathBuffer, bufferChars));
  // A second failure, now under the pending name itself: nothing more to try.
  if (IsPendingName(path.c_str())) return kCreateGiveUp;
  if (path.empty()) return kCreateGiveUp;
  // When the marker would be cut off, the cut name could be the target itself or another file
  // beside it; moving or scheduling that would lose a file at reboot. Such a target gets a pending
  // file with a shortened name in the same folder (renames at reboot stay on one volume).
  std::wstring base = path;
  if (path.size() + wcslen(kPendingMarker) > kMaxNameChars) {
    const size_t cut = path.find_last_of(L"\\/");
    const size_t room = kMaxNameChars - wcslen(kPendingMarker) - kPendingDigits;
    if (cut == std::wstring::npos || cut + 1 >= room) {
      GetLog().Error(L"路径过长, 无法为文件%s安排重启替换", path.c_str());
      return kCreateGiveUp;
    }
    base = path.substr(0, room);
  }

  std::wstring pending;
  for (unsigned i = 0; i < kPendingTries; ++i) {
    pending = FormatPendingName(base, baseNumber + i);
    if (!PathFileExistsW(pending.c_str())) break;
  }

  // A running program's file can usually be renamed though not overwritten: the new file then takes
  // the target path at once and only the old one waits for the reboot.
  const bool moved = MoveFileW(path.c_str(), pending.c_str()) != FALSE;
  if (moved) MoveFileExW(pending.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  // Either way the pending name goes back in the buffer, so a damaged item can be undone.
  const size_t n = std::min<size_t>(pending.size(), bufferChars - 1);
  std::copy_n(pending.c_str(), n, pathBuffer);
  pathBuffer[n] = L'\0';
  return moved ? kCreateRetry : kCreateUsePending;
}
