#pragma once
// The composition root: the stores of the run and the parts that work on them, built in one place
// and wired together. The entry makes the process's one engine; tests make a fresh one per case.
#include "actions/action_man.h"
#include "actions/stage_runner.h"
#include "conditions/condition_evaluator.h"
#include "extension/module_manager.h"
#include "script/run_context.h"

class CEngine {
 public:
  CEngine() { run.RegisterModules(&modules); }
  ~CEngine() { run.RegisterModules(nullptr); }
  CEngine(const CEngine&) = delete;
  CEngine& operator=(const CEngine&) = delete;

  RunContext run;
  CConditionEvaluator conditions{run};
  CActionMan actions{run, conditions};
  CStageRunner stages{run, conditions, actions};
  CModuleManager modules{run, conditions, actions};
};

// The process's engine, alive until the process ends. Only the entry and the parts whose interface
// gives them no other way in (a crash filter) reach it here; everything else is handed its part.
CEngine& ProcessEngine();
