#pragma once
// The renames and deletions Windows carries out at the next start (MoveFileExW with
// MOVEFILE_DELAY_UNTIL_REBOOT), which have no API to take one back.
#include <string>

namespace tz {

// Removes every scheduled operation whose source is `path` (any case). True when none is left,
// including when there was none.
bool CancelPendingRename(const std::wstring& path);

}  // namespace tz
