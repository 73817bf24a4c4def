#pragma once
// Locked-file replacement: what the dispatcher does when the extraction cannot create an output
// file. The old file is moved aside under a pending name and deleted at the next reboot, or, when it
// cannot even be moved, the new content goes to a pending name that replaces the target at reboot.
#include <string>

// True when the path already names a pending file (contains ".tz0", any case).
bool IsPendingName(const wchar_t* path);

// "<path>.tz0<number, at least five digits>", cut to 259 characters like the 260-character buffer
// it is built in.
std::wstring FormatPendingName(const std::wstring& path, unsigned number);

// The dispatcher's OnCreateFailed: decides for the target path in `pathBuffer` and returns a
// CreateFailedDecision. kCreateRetry: the old file now waits for deletion at reboot under the pending
// name put in the buffer. kCreateUsePending: the pending name is in the buffer. A target too long
// for the marker gets a pending name with its file name shortened. kCreateGiveUp: the path is a
// pending name already, or not even a shortened name fits (logged).
// The caller owns what a reboot-bound decision means for the run.
int ResolveCreateFailure(wchar_t* pathBuffer, unsigned bufferChars);
// The same with the numbering starting at `baseNumber` instead of the tick count.
int ResolveCreateFailure(wchar_t* pathBuffer, unsigned bufferChars, unsigned baseNumber);
