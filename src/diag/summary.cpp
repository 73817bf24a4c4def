#include "diag/summary.h"

#include "diag/install_log.h"

void WriteSummary() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  GetLog().SetEndTime(now);
}
