#pragma once
// The condition evaluator: answers condition ids from the run's condition table (built-ins 1 to 10,
// script items by type), caching outcomes in the table unless an item is nocache.
#include <cstdint>

#include "script/run_context.h"
#include "state/condition_table.h"

class CConditionEvaluator final : public IConditionJudge {
 public:
  explicit CConditionEvaluator(RunContext& run) : run_(run) {}
  CConditionEvaluator(const CConditionEvaluator&) = delete;
  CConditionEvaluator& operator=(const CConditionEvaluator&) = delete;

  // The outcome of condition `id`: built-ins 1 to 10, script items by type (false for an unknown
  // id). Script outcomes are cached unless the item is nocache.
  bool Evaluate(uint32_t id);
  // Two conditions combined by `logic` (0 none, 1 not, 2 and, 3 or, 4 xor); both are evaluated.
  bool EvaluateLogic(uint32_t cid1, uint32_t cid2, int logic);

  // Evaluates a script item by its type, applies `not` and logs the outcome. `ran` is false (and the
  // result false, nothing logged) when the item is already being evaluated on this thread, i.e. a
  // logic item reaches itself, or logic items nest too deeply.
  bool Judge(const ConditionRecord& item, bool& ran) override;

 private:
  RunContext& run_;
};
