#include "conditions/condition_table.h"

// Placeholder until the evaluator lands: every condition is false.
bool CConditionTable::Evaluate(uint32_t) { return false; }
bool CConditionTable::EvaluateLogic(uint32_t, uint32_t, int) { return false; }
bool CConditionTable::Judge(const ConditionRecord&, bool& ran) {
  ran = false;
  return false;
}
