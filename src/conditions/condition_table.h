#pragma once
// The condition table: every condition item of the install script by id. The loader fills it;
// the evaluator answers from it and keeps each item's cached outcome in it.
#include <cstdint>
#include <map>
#include <string>

#include "platform/sync.h"

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

class CConditionTable {
 public:
  CConditionTable() = default;
  CConditionTable(const CConditionTable&) = delete;
  CConditionTable& operator=(const CConditionTable&) = delete;

  // Inserts the item unless its id is already present (the first item of an id wins; a later one
  // is dropped and false returned). `judge` asks for the item to be evaluated as it is loaded.
  bool Add(const ConditionRecord& record, bool judge);
  // Copies the item of `id` into `out`; false (and `out` untouched) when there is none.
  bool Find(uint32_t id, ConditionRecord& out);

  // The outcome of condition `id`: built-ins 1 to 10, script items by type (false for an unknown
  // id). Script outcomes are cached unless the item is nocache.
  bool Evaluate(uint32_t id);
  // Two conditions combined by `logic` (0 none, 1 not, 2 and, 3 or, 4 xor); both are evaluated.
  bool EvaluateLogic(uint32_t cid1, uint32_t cid2, int logic);

  // Empties the table; unit tests only.
  void ResetForTests();

 private:
  // Evaluates a script item by its type, applies `not` and logs the outcome. `ran` is false (and the
  // result false, nothing logged) when the item is already being evaluated on this thread, i.e. a
  // logic item reaches itself, or logic items nest too deeply.
  bool Judge(const ConditionRecord& item, bool& ran);

  tz::CriticalSection lock_;
  std::map<uint32_t, ConditionRecord> items_;
};

CConditionTable& GetConditionTable();
