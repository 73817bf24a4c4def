// del and copy: the file deletions of the install script and its shell copies and moves.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "actions/action_handlers.h"
#include "actions/action_man.h"
#include "diag/install_log.h"
#include "platform/filesystem.h"
#include "platform/tree_delete.h"
#include "script/script_values.h"

namespace {

enum DeleteMode : int {
  DEL_FILE = 0,              // one file, logged
  DEL_FILE_IF_PRESENT = 1,   // one file; missing or a directory counts as done
  DEL_EMPTY_DIRECTORY = 2,
  DEL_FILES_IN = 3,          // the files directly inside a directory
  DEL_TREE = 4,              // a directory with everything in it
  DEL_FILE_OR_AT_REBOOT = 5,
};

constexpr FILEOP_FLAGS kShellCopyFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;

// The shell takes its paths as NUL-separated lists ending in a second NUL; 259 characters is the
// longest path that leaves room for both.
constexpr size_t kShellPathChars = MAX_PATH + 1;
constexpr size_t kMaxShellPath = kShellPathChars - 2;

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A directory whose files a script may delete: not one that resolves to a drive's root, the Windows
// directory or what holds it (a variable that expanded to nothing looks like a root), and not a
// link, whose files are someone else's.
bool MayDeleteFilesIn(const std::wstring& directory) {
  if (directory.empty()) return false;
  const std::wstring canonical = tz::CanonicalPath(directory);
  return !tz::IsProtectedFromDelete(canonical) && !tz::IsLink(canonical);
}

bool HasWildcard(const std::wstring& text) { return text.find_first_of(L"*?") != std::wstring::npos; }

std::wstring PatternDirectory(const std::wstring& pattern) {
  const size_t cut = pattern.find_last_of(L"\\/");
  return cut == std::wstring::npos ? std::wstring() : pattern.substr(0, cut);
}

int DeleteOneFile(CActionMan& man, const ActionRecord& item, const std::wstring& target) {
  if (DeleteFileW(target.c_str())) {
    GetLog().Info(L"已删除文件%s", target.c_str());
    return ACTION_DONE;
  }
  GetLog().Error(L"删除文件%s失败, 错误码%u", target.c_str(), GetLastError());
  return man.RunFailurePath(item);
}

int RemoveEmptyDirectory(CActionMan& man, const ActionRecord& item, const std::wstring& target) {
  if (!IsDirectory(target)) return ACTION_NOTHING;
  SetLastError(ERROR_SUCCESS);  // so a success logs 0 rather than an older error
  const BOOL removed = RemoveDirectoryW(target.c_str());
  const DWORD error = GetLastError();
  GetLog().Info(L"尝试删除空目录%s, 返回值%d(BOOL), 错误码%u", target.c_str(), removed, error);
  if (removed) return ACTION_DONE;
  // Something was installed beside ours: the directory stays, and that is no failure.
  if (error == ERROR_DIR_NOT_EMPTY) return ACTION_NOTHING;
  return man.RunFailurePath(item);
}

int DeleteDirectoryTree(CActionMan& man, const ActionRecord& item, const std::wstring& target) {
  const int result = tz::DeleteTree(target);
  if (result == 0) {
    GetLog().Info(L"删除整个目录%s", target.c_str());
    return ACTION_DONE;
  }
  GetLog().Error(L"删除目录%s出现错误%d", target.c_str(), result);
  return man.RunFailurePath(item);
}

int DeleteNowOrAtReboot(CActionMan& man, const ActionRecord& item, const std::wstring& target) {
  if (DeleteFileW(target.c_str())) return ACTION_DONE;
  const DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return ACTION_DONE;  // nothing left
  // A file in use goes at the next reboot; one that can be neither deleted nor scheduled stays for
  // good, which is a failure.
  if (MoveFileExW(target.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return ACTION_DONE;
  return man.RunFailurePath(item);
}

// Copies `text` into a zeroed shell path list; false when it does not fit, since a shortened path
// would name another file.
bool ToShellPath(const std::wstring& text, wchar_t (&buffer)[kShellPathChars]) {
  if (text.empty() || text.size() > kMaxShellPath) return false;
  text.copy(buffer, text.size());
  return true;
}

}  // namespace

int RunDeleteAction(CActionMan& man, const ActionRecord& item) {
  const int mode = item.method.empty() ? DEL_FILE_IF_PRESENT : tz::ParseDecimal(item.method);
  const std::wstring target = man.Expand(item.path);

  if (HasWildcard(target)) {
    if (!MayDeleteFilesIn(PatternDirectory(target))) return ACTION_NOTHING;
    return tz::DeleteMatching(target) > 0 ? ACTION_DONE : ACTION_NOTHING;
  }
  switch (mode) {
    case DEL_FILE:
      return DeleteOneFile(man, item, target);
    case DEL_FILE_IF_PRESENT:
      return tz::DeleteFileIfPresent(target) ? ACTION_DONE : man.RunFailurePath(item);
    case DEL_EMPTY_DIRECTORY:
      return RemoveEmptyDirectory(man, item, target);
    case DEL_FILES_IN:
      if (!MayDeleteFilesIn(target)) return ACTION_NOTHING;
      return tz::DeleteFilesIn(target) > 0 ? ACTION_DONE : ACTION_NOTHING;
    case DEL_TREE:
      return DeleteDirectoryTree(man, item, target);
    case DEL_FILE_OR_AT_REBOOT:
      return DeleteNowOrAtReboot(man, item, target);
    default:
      return ACTION_NOTHING;
  }
}

int RunCopyAction(CActionMan& man, const ActionRecord& item) {
  const std::wstring source = man.Expand(item.path);
  const std::wstring destination = man.Expand(item.name);
  const bool move = tz::IsTrueText(item.method);

  // An empty destination would be the current directory to the shell.
  wchar_t from[kShellPathChars] = {};
  wchar_t to[kShellPathChars] = {};
  if (!ToShellPath(source, from) || !ToShellPath(destination, to)) return man.RunFailurePath(item);

  SHFILEOPSTRUCTW operation{};
  operation.wFunc = move ? FO_MOVE : FO_COPY;
  operation.pFrom = from;
  operation.pTo = to;
  operation.fFlags = kShellCopyFlags;
  if (SHFileOperationW(&operation) == 0) return ACTION_DONE;
  return man.RunFailurePath(item);
}
