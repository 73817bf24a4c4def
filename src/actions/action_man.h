#pragma once
// The action manager: runs one action id at a time for the stage runner, the action handlers that
// chain further actions and the extension module's host services. Execute never fails towards its
// caller: everything it has to say is in the result code.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "conditions/condition_evaluator.h"
#include "extract/extractor.h"
#include "platform/sync.h"
#include "script/run_context.h"
#include "state/action_table.h"
#include "state/builtin_ids.h"


// Result codes of Execute.
enum ActionResult : int {
  ACTION_NOTHING = 0,         // missing item, unrecognised type, or a negative answer
  ACTION_DONE = 1,
  ACTION_BUILTIN_FAILED = 2,  // a built-in action could not do its work
  ACTION_FAILED = 3,          // the handler failed and its onerror list did not stop
  ACTION_STOP_ABORT = 4,      // ends the stage with stage result 2
  ACTION_STOP_EXIT = 5,       // ends the stage with stage result 3
  ACTION_STOP_RETURN = 6,     // ends the stage with stage result 1
};

// Execute calls nested deeper than this on one thread (a `list` naming itself, an onerror list that
// fails again) stop: the excess call fails with ACTION_FAILED, and so does every call still nested
// under the outermost one, so a runaway script cannot exhaust the stack or loop for ever.
constexpr int kMaxActionNesting = 64;

// Also the extractor's user callback: the `extract` action hands it over with the action's
// ExtractProgress as the context (action_man_extract.cpp), so every item reaches the log and the
// progress bar, and files that cannot be created go to the locked-file replacement.
class CActionMan final : public IExtracUserCallback {
 public:
  // The items come from the run's action table (the loader fills it; Execute copies one item out
  // per call); handlers reach the run and the conditions through the manager.
  CActionMan(RunContext& run, CConditionEvaluator& conditions) : run_(run), conditions_(conditions) {}
  CActionMan(const CActionMan&) = delete;
  CActionMan& operator=(const CActionMan&) = delete;

  RunContext& Run() { return run_; }
  CConditionEvaluator& Conditions() { return conditions_; }
  std::wstring Expand(const std::wstring& text) { return run_.Expand(text); }

  // Runs a built-in action (id < 100) or the script item of `id`, reporting the item's display text
  // and its start/end progress through the UI host. Safe to call again from inside a handler.
  int Execute(uint32_t id);

  // The failure path of a handler that failed: runs `item`'s onerror ids in order and returns the
  // first 4 or 5 among their results, else ACTION_FAILED.
  int RunFailurePath(const ActionRecord& item);

  // Adds the milliseconds of one successful extraction and returns the run's total.
  uint32_t AddExtractTime(uint32_t milliseconds);

  // IExtracUserCallback; `context` is the action's ExtractProgress (may be null).
  void SetTotal(void* context, uint64_t total) override;
  void OnBegin(void* context) override;
  int OnItemBegin(void* context, const wchar_t* path, uint64_t size, bool isDirectory) override;
  int OnCreateFailed(void* context, wchar_t* pathBuffer, unsigned bufferChars) override;
  void OnItemDone(void* context, const wchar_t* path, int operationResult) override;
  void OnEnd(void* context) override;

 private:
  int RunBuiltin(uint32_t id);
  void SetInstallMode(int option, bool value, const wchar_t* word);

  RunContext& run_;
  CConditionEvaluator& conditions_;

  int DisableRedirection();
  int RevertRedirection();

  // WOW64 redirection is a per-thread setting in Windows, but the mark is process-wide: one disable
  // waits for one revert, whichever thread runs them.
  tz::CriticalSection redirection_lock_;
  bool redirection_disabled_ = false;
  PVOID redirection_saved_ = nullptr;

  std::atomic<uint32_t> extract_ms_{0};
};

