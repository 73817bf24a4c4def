#include "core/engine.h"

CEngine& ProcessEngine() {
  static CEngine engine;
  return engine;
}
