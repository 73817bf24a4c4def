// extract: unpacks a payload archive (one of the installer's own resources, or an archive file)
// into a directory while the progress bar moves through the item's start..end range.
#include "actions/action_handlers.h"
#include "actions/action_man.h"
#include "core/options_store.h"
#include "diag/install_log.h"
#include "extract/extract_progress.h"
#include "extract/extractor.h"
#include "script/installer_info.h"
#include "script/script_values.h"
#include "script/text_expand.h"
#include "script/variable_store.h"

namespace {

struct Payload {
  const void* data = nullptr;
  DWORD size = 0;
};

// Resource `id` of `type` (empty: RT_RCDATA), language 1033, of the installer's own image. An id
// beyond 16 bits names no resource (cut to 16 bits it would name another one), and an empty
// resource is as good as none: SizeofResource reports a failure as 0.
bool FindPayloadResource(uint32_t id, const std::wstring& type, Payload& out) {
  if (id == 0 || id > 0xFFFF) return false;
  const HMODULE self = GetInstallerInfo().Instance();
  const HRSRC res = FindResourceExW(self, type.empty() ? RT_RCDATA : type.c_str(), MAKEINTRESOURCEW(id),
                                    MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  if (!res) return false;
  const HGLOBAL loaded = LoadResource(self, res);
  const DWORD size = SizeofResource(self, res);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data || size == 0) return false;
  out = Payload{data, size};
  return true;
}

std::wstring TargetDirectory(const ActionRecord& item) {
  if (!item.path.empty()) return Expand(item.path);
  std::wstring dir;
  GetOptions().GetOptionText(OPT_INSTDIR, dir);
  return dir;
}

void AccountExtractTime(DWORD started) {
  const DWORD now = GetTickCount();
  if (now <= started) return;  // no time measured, or the counter wrapped
  const uint32_t total = GetActionMan().AddExtractTime(now - started);
  GetVariableStore().SetVariable(L"STAT_EXTRACTCOST", FormatText(L"%u", total));
}

}  // namespace

int RunExtractAction(const ActionRecord& item) {
  if (item.value.empty()) return ACTION_NOTHING;
  CInstallLog& log = GetLog();
  const bool fromResource = item.value[0] >= L'0' && item.value[0] <= L'9';
  const uint32_t id = fromResource ? static_cast<uint32_t>(tz::ParseDecimal(item.value)) : 0;
  const std::wstring archive = fromResource ? std::wstring() : Expand(item.value);
  if (fromResource)
    log.Info(L"准备解压一个资源%u", id);
  else
    log.Info(L"准备解压一个压缩包%s", archive.c_str());

  const std::wstring target = TargetDirectory(item);
  log.Info(L"解压目的目录: %s", target.c_str());

  ExtractProgress progress;
  SetExtractRange(progress, item.start, item.end);
  CExtractor_Impl extractorImpl;
  IExtractor& extractor = extractorImpl;
  extractor.SetUserCallback(&GetActionMan(), &progress);
  const DWORD started = GetTickCount();

  // An empty target would put the payload into the root of the current drive.
  const bool haveTarget = !target.empty();
  if (fromResource) {
    Payload payload;
    if (!FindPayloadResource(id, item.name, payload)) {
      log.Error(L"解压错误: 找不到资源%u", id);
      return GetActionMan().RunFailurePath(item);
    }
    if (!haveTarget || !extractor.ExtractFromMemory(payload.data, payload.size, target.c_str())) {
      log.Error(L"解压资源%u错误: 解压失败", id);
      return GetActionMan().RunFailurePath(item);
    }
    log.Info(L"动作%u已成功解压", item.id);
  } else {
    if (!haveTarget || !extractor.ExtractFromFile(archive.c_str(), target.c_str())) {
      log.Error(L"解压%s错误: 解压失败", archive.c_str());
      return GetActionMan().RunFailurePath(item);
    }
    log.Info(L"已成功解压%s", archive.c_str());
  }
  AccountExtractTime(started);
  return ACTION_DONE;
}
