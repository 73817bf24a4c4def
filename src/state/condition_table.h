#pragma once
// The condition table: every condition item of the install script by id. The loader fills it;
// the evaluator answers from it and keeps each item's cached outcome in it.
#include <cstdint>
#include <map>
#include <string>

#include "state/record_table.h"

// What a condition item tests (`type`).
enum ConditionType : int {
  COND_NONE = 0,       // unknown type: always false
  COND_PATHEXIST = 1,  // also "fileexist"
  COND_EMPTYDIR = 2,
  COND_REGEXIST = 3,
  COND_REGVALUE = 4,
  COND_OSVER = 5,
  COND_FILEVER = 6,
  COND_PROCEXIST = 7,
  COND_INIVALUE = 8,
  COND_DLL = 9,
  COND_LOGIC = 10,
  COND_VAR = 11,
  COND_PE = 12,
};

// How two condition outcomes combine (`logic` of condition items, stage items and groups).
enum LogicOp : int { LOGIC_NONE = 0, LOGIC_NOT = 1, LOGIC_AND = 2, LOGIC_OR = 3, LOGIC_XOR = 4 };

// How a found value is compared with the item's `value` (`method`).
enum CompareMethod : int {
  CMP_EQ = 0,
  CMP_NEQ = 1,
  CMP_LT = 2,
  CMP_LE = 3,
  CMP_GT = 4,
  CMP_GE = 5,
  CMP_HAS = 6,  // left contains right
  CMP_IN = 7,   // right contains left
};

// How `var` and `inivalue` items compare (`valuetype`).
enum CompareValueType : int { VALTYPE_NUMBER = 0, VALTYPE_STRING = 1, VALTYPE_VERSION = 2 };

struct ConditionRecord {
  uint32_t id = 0;
  ConditionType type = COND_NONE;
  LogicOp logic = LOGIC_NONE;
  uint32_t cid1 = 0;
  uint32_t cid2 = 0;
  CompareMethod method = CMP_EQ;
  CompareValueType valuetype = VALTYPE_NUMBER;
  bool not_ = false;          // invert the outcome
  bool cached = false;        // an outcome is stored below
  bool cached_value = false;  // the stored outcome, `not_` already applied
  bool nocache = false;       // evaluate at every request
  bool case_sensitive = false;
  std::wstring path;
  std::wstring name;
  std::wstring param1;
  std::wstring param2;
  std::wstring value;

  bool operator==(const ConditionRecord&) const = default;
};

// Evaluates a condition item as it is loaded (`judge`); the condition evaluator implements it.
class IConditionJudge {
 public:
  // The item's outcome; `ran` is false when it could not be evaluated now (nothing is cached then).
  virtual bool Judge(const ConditionRecord& item, bool& ran) = 0;

 protected:
  ~IConditionJudge() = default;
};

class CConditionTable {
 public:
  CConditionTable() = default;
  CConditionTable(const CConditionTable&) = delete;
  CConditionTable& operator=(const CConditionTable&) = delete;

  // Inserts the item unless its id is already present (the first item of an id wins; a later one
  // is dropped and false returned). With a `judge`, the item is evaluated as it is loaded (unless
  // nocache) and the outcome cached.
  bool Add(const ConditionRecord& record, IConditionJudge* judge = nullptr);
  // Copies the item of `id` into `out`; false (and `out` untouched) when there is none.
  bool Find(uint32_t id, ConditionRecord& out) { return items_.Find(id, out); }
  // Caches an evaluated outcome on the item of `id`.
  void StoreOutcome(uint32_t id, bool outcome);

 private:
  tz::FirstWinsTable<uint32_t, ConditionRecord> items_;
};
