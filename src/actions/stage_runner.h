#pragma once
// Walks one stage of the install script: gates items and groups, hands action ids to the
// action manager and stops the stage on the stop codes.
#include "actions/action_man.h"
#include "conditions/condition_evaluator.h"
#include "script/run_context.h"
#include "state/stage_table.h"

class CStageRunner {
 public:
  CStageRunner(RunContext& run, CConditionEvaluator& conditions, CActionMan& actions)
      : run_(run), conditions_(conditions), actions_(actions) {}
  CStageRunner(const CStageRunner&) = delete;
  CStageRunner& operator=(const CStageRunner&) = delete;

  // Runs one stage of the run's stage table; STAGE_COMPLETED when it ran to its end.
  StageResult RunStage(int stage);

 private:
  StageResult RunActionList(const std::vector<uint32_t>& aids);

  RunContext& run_;
  CConditionEvaluator& conditions_;
  CActionMan& actions_;
};
