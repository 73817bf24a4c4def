#pragma once
// The variable store: the script's variable items and the variables the installer sets while it
// runs, by name. Names are case-sensitive ("INSTDIR" and "instdir" differ).
#include <cstdint>
#include <string>

#include "state/record_table.h"

// Where a variable item's value comes from (`type`).
enum VariableType : int {
  VARIABLE_NONE = 0,
  VARIABLE_CONST = 1,
  VARIABLE_VERSION = 2,  // also "ver"
  VARIABLE_REG = 3,
  VARIABLE_INI = 4,
  VARIABLE_CMD = 5,      // also "param"
  VARIABLE_DLL = 6,
  VARIABLE_RET = 7,      // also "exe"
};

struct VariableRecord {
  int32_t id = 0;
  VariableType type = VARIABLE_NONE;
  bool evaluated = false;  // `value` holds the evaluated result
  bool nocache = false;    // evaluate at every request
  std::wstring varname;
  std::wstring value;  // initial value, and the result when evaluation fails
  std::wstring path;
  std::wstring name;
  std::wstring param1;
  std::wstring param2;

  bool operator==(const VariableRecord&) const = default;
};

class RunContext;

class CVariableStore {
 public:
  // Evaluation and the built-ins read the run's other stores and expand through it.
  explicit CVariableStore(RunContext& run) : run_(run) {}
  CVariableStore(const CVariableStore&) = delete;
  CVariableStore& operator=(const CVariableStore&) = delete;

  // Inserts a copy of the record under its varname; false, and nothing changed, when the name exists.
  bool AddVariable(const VariableRecord& record) { return records_.Insert(record.varname, record); }
  // Copies the record of `name` (exact match) into `out`; false (and `out` untouched) when absent.
  bool FindRecord(const std::wstring& name, VariableRecord& out) { return records_.Find(name, out); }

  // Sets a variable's value. A new name becomes a const variable; a nocache variable cannot be
  // overwritten (false); otherwise the value is replaced and the record counts as evaluated.
  bool SetVariable(const std::wstring& name, const std::wstring& text);
  // The value of a script or installer-set variable (evaluated on first use, or at every use when
  // nocache), else of a built-in; false when neither exists.
  bool GetVariable(const std::wstring& name, std::wstring& out);
  // The built-in variables (INSTDIR, APPNAME, CURDATE, ...); false for any other name.
  bool GetBuiltin(const std::wstring& name, std::wstring& out);

  // For the crash handler: true when reading would not wait for another thread.
  bool LockIsFree() { return records_.LockIsFree(); }

 private:
  bool Evaluate(const VariableRecord& r, std::wstring& out);

  RunContext& run_;
  // std::wstring's ordering compares UTF-16 code units, which is exactly the order we want.
  tz::FirstWinsTable<std::wstring, VariableRecord> records_;
};
