#include "core/stage_runner.h"

CStageRunner& GetStageRunner() {
  static CStageRunner runner;
  return runner;
}

void CStageRunner::AppendItem(int stage, const StageItem& item) { stages_[stage].push_back(item); }

const std::vector<StageItem>* CStageRunner::Items(int stage) const {
  auto it = stages_.find(stage);
  return it == stages_.end() ? nullptr : &it->second;
}

int CStageRunner::RunStage(int stage) {
  // Items are gated and run once the condition evaluator and the action manager exist.
  (void)stage;
  return 0;
}
