#include "extract/extract_progress.h"

void SetExtractRange(ExtractProgress& progress, int32_t start, int32_t end) {
  if (start == -1 || end == -1) return;
  progress.start = start;
  progress.end = end;
}

bool ExtractProgressPosition(const ExtractProgress& progress, int& position) {
  const int64_t span = static_cast<int64_t>(progress.end) - progress.start;
  if (span <= 0 || progress.total == 0) return false;
  const double advanced =
      static_cast<double>(progress.begun) * static_cast<double>(span) / static_cast<double>(progress.total);
  position = progress.start + static_cast<int>(advanced);
  return true;
}
