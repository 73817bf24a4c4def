// extract: unpacks a payload archive (one of the installer's own resources, or an archive file)
// into a directory while the progress bar moves through the item's start..end range.
#include "actions/action_handlers.h"
#include "actions/action_man.h"
#include "platform/resources.h"
#include "diag/install_log.h"
#include "extract/extract_progress.h"
#include "extract/extractor.h"
#include "script/install_stats.h"
#include "script/script_values.h"

namespace {

// Resource `id` of `type` (empty: RT_RCDATA) of the installer's own image. An id beyond 16 bits
// names no resource (cut to 16 bits it would name another one).
bool FindPayloadResource(HMODULE self, uint32_t id, const std::wstring& type, tz::ResourceBytes& out) {
  if (id == 0 || id > 0xFFFF) return false;
  return tz::FindOwnResource(self, type.empty() ? RT_RCDATA : type.c_str(), MAKEINTRESOURCEW(id), out);
}

std::wstring TargetDirectory(CActionMan& man, const ActionRecord& item) {
  if (!item.path.empty()) return man.Expand(item.path);
  std::wstring dir;
  man.Run().options.GetOptionText(OPT_INSTDIR, dir);
  return dir;
}

void AccountExtractTime(CActionMan& man, DWORD started) {
  DWORD elapsed = 0;
  if (!TicksElapsed(started, GetTickCount(), elapsed)) return;
  PublishExtractCost(man.Run().variables, man.AddExtractTime(elapsed));
}

}  // namespace

int RunExtractAction(CActionMan& man, const ActionRecord& item) {
  if (item.value.empty()) return ACTION_NOTHING;
  CInstallLog& log = GetLog();
  const bool fromResource = item.value[0] >= L'0' && item.value[0] <= L'9';
  const uint32_t id = fromResource ? static_cast<uint32_t>(tz::ParseDecimal(item.value)) : 0;
  const std::wstring archive = fromResource ? std::wstring() : man.Expand(item.value);
  if (fromResource)
    log.Info(L"准备解压一个资源%u", id);
  else
    log.Info(L"准备解压一个压缩包%s", archive.c_str());

  const std::wstring target = TargetDirectory(man, item);
  log.Info(L"解压目的目录: %s", target.c_str());

  ExtractProgress progress;
  SetExtractRange(progress, item.start, item.end);
  CExtractor_Impl extractorImpl;
  IExtractor& extractor = extractorImpl;
  extractor.SetUserCallback(&man, &progress);
  const DWORD started = GetTickCount();

  // An empty target would put the payload into the root of the current drive.
  const bool haveTarget = !target.empty();
  if (fromResource) {
    tz::ResourceBytes payload;
    if (!FindPayloadResource(man.Run().info.Instance(), id, item.name, payload)) {
      log.Error(L"解压错误: 找不到资源%u", id);
      return man.RunFailurePath(item);
    }
    if (!haveTarget || !extractor.ExtractFromMemory(payload.data, payload.size, target.c_str())) {
      log.Error(L"解压资源%u错误: 解压失败", id);
      return man.RunFailurePath(item);
    }
    log.Info(L"动作%u已成功解压", item.id);
  } else {
    if (!haveTarget || !extractor.ExtractFromFile(archive.c_str(), target.c_str())) {
      log.Error(L"解压%s错误: 解压失败", archive.c_str());
      return man.RunFailurePath(item);
    }
    log.Info(L"已成功解压%s", archive.c_str());
  }
  AccountExtractTime(man, started);
  return ACTION_DONE;
}
