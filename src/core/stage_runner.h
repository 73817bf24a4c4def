#pragma once
// Walks one stage of the install script: gates items and groups, hands action ids to the
// action manager and stops the stage on the stop codes.
#include <cstdint>
#include <map>
#include <vector>

enum Stage { STAGE_ONINIT = 0, STAGE_PREINSTALL = 1, STAGE_INSTALL = 2, STAGE_ONEXIT = 3 };

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

class CStageRunner {
 public:
  void AppendItem(int stage, const StageItem& item);
  const std::vector<StageItem>* Items(int stage) const;
  // Runs one stage; returns 0 when it ran to its end, or 1, 2, 3 when an action stopped it.
  int RunStage(int stage);

 private:
  std::map<int, std::vector<StageItem>> stages_;
};

CStageRunner& GetStageRunner();
