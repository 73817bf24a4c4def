// shortcut: a shell link to an installed file, with the file's folder as its working directory.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <string>

#include "actions/action_handlers.h"
#include "actions/action_man.h"
#include "diag/install_log.h"
#include "platform/com_apartment.h"
#include "platform/filesystem.h"
#include "platform/handles.h"

namespace {

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The target's folder, cut in a MAX_PATH buffer as the shell would; false when the target does not
// fit, since the link would then point at a shortened path.
bool TargetFolder(const std::wstring& target, std::wstring& folder) {
  if (target.size() >= MAX_PATH) return false;
  wchar_t buffer[MAX_PATH] = {};
  target.copy(buffer, target.size());
  PathRemoveFileSpecW(buffer);
  folder = buffer;
  return true;
}

}  // namespace

int RunShortcutAction(CActionMan& man, const ActionRecord& item) {
  // Stage threads come with an apartment; a thread of the extension module may not.
  tz::ComApartment apartment;
  tz::ComPtr<IShellLinkW> link;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.PutVoid());
  if (FAILED(hr)) {
    GetLog().Error(L"创建IShellLink失败, 返回值0x%x", static_cast<unsigned>(hr));
    return man.RunFailurePath(item);
  }
  tz::ComPtr<IPersistFile> file;
  hr = link.As(file);
  if (FAILED(hr)) {
    GetLog().Error(L"创建IPersistFile失败, 返回值0x%x", static_cast<unsigned>(hr));
    return man.RunFailurePath(item);
  }

  const std::wstring folder = man.Expand(item.path);
  const std::wstring name = man.Expand(item.name);
  const std::wstring target = man.Expand(item.value);
  const std::wstring link_path = folder + L"\\" + name + L".lnk";
  GetLog().Info(L"准备创建快捷方式%s", link_path.c_str());

  // An empty folder would put the link in the root of the current drive; a link without a usable
  // target would be written and reported as created.
  std::wstring working_directory;
  if (folder.empty() || target.empty() || !TargetFolder(target, working_directory)) {
    GetLog().Error(L"快捷方式%s的目录或目标无效, 目标: %s", link_path.c_str(), target.c_str());
    return man.RunFailurePath(item);
  }
  link->SetPath(target.c_str());
  link->SetWorkingDirectory(working_directory.c_str());
  if (!item.param1.empty()) link->SetArguments(man.Expand(item.param1).c_str());

  if (!Exists(folder)) {
    tz::CreateDirectories(folder);  // a folder that cannot be made shows as the save failing
    GetLog().Info(L"目录%s不存在, 自动创建", folder.c_str());
  } else if (Exists(link_path)) {
    DeleteFileW(link_path.c_str());
    GetLog().Info(L"快捷方式%s已经存在, 删除之前的", link_path.c_str());
  }

  hr = file->Save(link_path.c_str(), FALSE);
  if (FAILED(hr)) {
    GetLog().Error(L"保存快捷方式%s失败, 返回值0x%x", link_path.c_str(), static_cast<unsigned>(hr));
    return man.RunFailurePath(item);
  }
  GetLog().Info(L"已创建快捷方式%s", link_path.c_str());
  return ACTION_DONE;
}
