#pragma once
// The context of one `extract` action: where on the 0-100 install bar its items move the progress.
#include <cstdint>

struct ExtractProgress {
  int32_t start = 0;
  int32_t end = 0;
  uint64_t total = 0;  // bytes to extract, from SetTotal
  uint64_t begun = 0;  // bytes of the items begun so far
};

// Takes the action's range only when both ends are given (the loader's -1 means absent); otherwise
// the range stays 0..0 and the extraction reports no progress.
void SetExtractRange(ExtractProgress& progress, int32_t start, int32_t end);

// The bar position once the items begun so far are done: start + (begun * (end - start) / total),
// truncated. False when the range is empty or the total is 0 (nothing to report).
bool ExtractProgressPosition(const ExtractProgress& progress, int& position);
