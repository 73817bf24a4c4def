// The dispatcher as the extractor's user callback: byte counts into the action's ExtractProgress,
// one log line and one progress step per finished item, and the locked-file replacement.
#include "actions/action_man.h"
#include "diag/install_log.h"
#include "extract/extract_progress.h"
#include "extract/pending_file.h"
#include "state/ui_host.h"

uint32_t CActionMan::AddExtractTime(uint32_t milliseconds) { return extract_ms_ += milliseconds; }

void CActionMan::SetTotal(void* context, uint64_t total) {
  if (context) static_cast<ExtractProgress*>(context)->total = total;
}

void CActionMan::OnBegin(void*) {}

// An item's bytes count as soon as it begins, so the position sent when it is done covers it.
int CActionMan::OnItemBegin(void* context, const wchar_t*, uint64_t size, bool) {
  if (context) static_cast<ExtractProgress*>(context)->begun += size;
  return kItemContinue;
}

int CActionMan::OnCreateFailed(void*, wchar_t* pathBuffer, unsigned bufferChars) {
  const int decision = ResolveCreateFailure(pathBuffer, bufferChars);
  // A file moved aside or written under a pending name is only finished by the reboot.
  if (decision != kCreateGiveUp) run_.options.SetBool(OPT_NEEDREBOOT, true);
  return decision;
}

void CActionMan::OnItemDone(void* context, const wchar_t* path, int operationResult) {
  int position = 0;
  if (context && ExtractProgressPosition(*static_cast<ExtractProgress*>(context), position)) ReportProgress(position);
  if (!path) return;
  GetLog().Info(L"解压文件(%d) %s", operationResult, path);
  if (operationResult == 0) ReportExtractedFile(path);
}

void CActionMan::OnEnd(void*) {}
