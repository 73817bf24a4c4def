#pragma once
// The action table: every action item of the install script by id. The loader fills it; the
// action manager looks items up by id when a stage hands it one.
#include <cstdint>
#include <string>
#include <vector>

#include "state/record_table.h"

// Which handler runs an action item (`type`).
enum ActionType : int {
  ACT_NONE = 0,  // unknown type: runs nothing
  ACT_MSGBOX = 1,
  ACT_DELETE = 2,     // also "del"
  ACT_COPY = 3,
  ACT_REGWRITE = 4,
  ACT_REGDELETE = 5,  // also "regdel"
  ACT_KILL = 6,
  ACT_SHORTCUT = 7,   // also "link"
  ACT_EXTRACT = 8,
  ACT_RUN = 9,        // also "exe"
  ACT_SHELL = 10,     // also "open"
  ACT_REGDLL = 11,
  ACT_INI = 12,
  ACT_RUNDLL = 13,
  ACT_SERVICE = 14,   // also "svr"
  ACT_SETPATH = 15,
  ACT_UNLOAD = 16,
  ACT_LIST = 17,
  ACT_VAR = 18,
  ACT_SETINSTDIR = 19,
};

struct ActionRecord {
  uint32_t id = 0;
  ActionType type = ACT_NONE;
  int32_t start = -1;  // progress position before the handler; -1 reports nothing
  int32_t end = -1;    // progress position after the handler; -1 reports nothing
  std::vector<int32_t> retlist;     // codes to match ...
  std::vector<int32_t> actionlist;  // ... and the action run for each, by position
  std::vector<int32_t> onerror;     // actions run when the handler fails
  std::wstring method;
  std::wstring param1;
  std::wstring path;
  std::wstring name;
  std::wstring value;
  std::wstring display;

  bool operator==(const ActionRecord&) const = default;
};

class CActionTable {
 public:
  CActionTable() = default;
  CActionTable(const CActionTable&) = delete;
  CActionTable& operator=(const CActionTable&) = delete;

  // Inserts the item unless its id is already present (the first item of an id wins; a later one
  // is dropped and false returned).
  bool Add(const ActionRecord& record) { return items_.Insert(record.id, record); }
  // Copies the item of `id` into `out`; false (and `out` untouched) when there is none.
  bool Find(uint32_t id, ActionRecord& out) { return items_.Find(id, out); }

 private:
  tz::FirstWinsTable<uint32_t, ActionRecord> items_;
};
