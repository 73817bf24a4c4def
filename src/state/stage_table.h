#pragma once
// The stages of the install script: their items and groups in script order. The loader fills the
// table; the stage runner walks it.
#include <cstdint>
#include <map>
#include <vector>

enum Stage { STAGE_ONINIT = 0, STAGE_PREINSTALL = 1, STAGE_INSTALL = 2, STAGE_ONEXIT = 3 };

// How a stage (or the window's install) ended.
enum StageResult : int {
  STAGE_COMPLETED = 0,  // ran to its end
  STAGE_RETURNED = 1,   // an action sent it back (or failed it)
  STAGE_ABORTED = 2,
  STAGE_EXITED = 3,
};

struct StageGroup {
  int id = 0;
  int cid1 = 0;
  int cid2 = 0;
  int logic = 0;  // 0 none, 1 not, 2 and, 3 or, 4 xor
  std::vector<uint32_t> aids;
};

struct StageItem {
  int id = 0;
  int silent = 0;     // 0 none, 1 must be silent, 2 must be interactive
  int overwrite = 0;  // 0 none, 1 must be an overwrite install, 2 must be a new install
  int cid1 = 0;
  int cid2 = 0;
  int logic = 0;
  std::vector<StageGroup> groups;
};

class CStageTable {
 public:
  CStageTable() = default;
  CStageTable(const CStageTable&) = delete;
  CStageTable& operator=(const CStageTable&) = delete;

  void AppendItem(int stage, const StageItem& item) { stages_[stage].push_back(item); }
  // Null when the stage has no items.
  const std::vector<StageItem>* Items(int stage) const {
    auto it = stages_.find(stage);
    return it == stages_.end() ? nullptr : &it->second;
  }

 private:
  std::map<int, std::vector<StageItem>> stages_;
};
