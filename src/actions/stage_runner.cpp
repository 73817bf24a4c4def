#include "actions/stage_runner.h"

#include "diag/install_log.h"

namespace {

// A run requirement (0 none, 1 must hold, 2 must not hold) against the current state.
bool RequirementMet(int requirement, bool state) {
  if (requirement == 1) return state;
  if (requirement == 2) return !state;
  return true;
}

void LogItemSkipped(int item_id, const wchar_t* reason_word) {
  GetLog().Info(L"执行组%d被跳过, 原因: 要求%s", item_id, reason_word);
}

// An action result that ends the stage, as the stage result; STAGE_COMPLETED when the list goes on.
StageResult StageResultOf(int action_result) {
  switch (action_result) {
    case ACTION_STOP_ABORT:
      return STAGE_ABORTED;
    case ACTION_STOP_EXIT:
      return STAGE_EXITED;
    case ACTION_STOP_RETURN:
      return STAGE_RETURNED;
    default:
      return STAGE_COMPLETED;
  }
}

}  // namespace

StageResult CStageRunner::RunActionList(const std::vector<uint32_t>& aids) {
  for (uint32_t id : aids) {
    const int r = actions_.Execute(id);
    GetLog().Info(L"执行动作%u, 结果是%d", id, r);
    if (const StageResult stop = StageResultOf(r)) return stop;
  }
  return STAGE_COMPLETED;
}

StageResult CStageRunner::RunStage(int stage) {
  const std::vector<StageItem>* items = run_.stages.Items(stage);
  if (!items) return STAGE_COMPLETED;
  CConditionEvaluator& conditions = conditions_;
  for (const StageItem& item : *items) {
    // Read afresh for every item: an earlier action of this stage may have switched the mode.
    const bool silent = conditions.Evaluate(BUILTIN_COND_SILENT);
    const bool overwrite = conditions.Evaluate(BUILTIN_COND_OVERWRITE);
    if (!RequirementMet(item.silent, silent)) {
      LogItemSkipped(item.id, item.silent == 1 ? L"静默" : L"非静默");
      continue;
    }
    if (!RequirementMet(item.overwrite, overwrite)) {
      LogItemSkipped(item.id, item.overwrite == 1 ? L"覆盖安装" : L"新安装");
      continue;
    }
    const auto cid1 = static_cast<uint32_t>(item.cid1);
    const auto cid2 = static_cast<uint32_t>(item.cid2);
    if (!conditions.EvaluateLogic(cid1, cid2, item.logic)) {
      GetLog().Info(L"执行组%d被跳过, 原因: 逻辑条件%u-%u假", item.id, cid1, cid2);
      continue;
    }
    for (const StageGroup& group : item.groups) {
      const auto gcid1 = static_cast<uint32_t>(group.cid1);
      const auto gcid2 = static_cast<uint32_t>(group.cid2);
      if (!conditions.EvaluateLogic(gcid1, gcid2, group.logic)) {
        GetLog().Info(L"执行子组被跳过, 原因: 逻辑条件%u-%u假", gcid1, gcid2);
        continue;
      }
      if (const StageResult result = RunActionList(group.aids)) return result;
    }
  }
  return STAGE_COMPLETED;
}
