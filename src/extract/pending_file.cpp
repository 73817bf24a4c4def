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
  // When the marker would be cut off, the cut name could be the target itself or another file
  // beside it; moving or scheduling that would lose a file at reboot.
  if (path.empty() || path.size() + wcslen(kPendingMarker) > kMaxNameChars) return kCreateGiveUp;

  std::wstring pending;
  for (unsigned i = 0; i < kPendingTries; ++i) {
    pending = FormatPendingName(path, baseNumber + i);
    if (!PathFileExistsW(pending.c_str())) break;
  }

  // A running program's file can usually be renamed though not overwritten: the new file then takes
  // the target path at once and only the old one waits for the reboot.
  if (MoveFileW(path.c_str(), pending.c_str())) {
    MoveFileExW(pending.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return kCreateRetry;
  }
  const size_t n = std::min<size_t>(pending.size(), bufferChars - 1);
  std::copy_n(pending.c_str(), n, pathBuffer);
  pathBuffer[n] = L'\0';
  return kCreateUsePending;
}
