#include "engine/index_common.h"

#include "engine/error.h"

namespace engine {

bool UniqueDefault = false;
std::string IndexDir;
uint32_t SemaphoreLockWaitMs = 10000;
uint32_t TableLockWaitMs = 10000;
uint32_t IndexLockRetryMs = 10;
uint32_t ReadWaitTicks = 1820;
uint32_t SemaphoreReadRetryMs = 10000;

void SetErrorAndRaise(uint16_t code, const std::string& msg) {
  SetError(code, msg);
  if (!AbortOnError) RaiseEngineError(msg);
}

void InitIndexCommon() {
  UniqueDefault = false;
  IndexDir.clear();
  SemaphoreLockWaitMs = 10000;
  TableLockWaitMs = 10000;
  IndexLockRetryMs = 10;
  ReadWaitTicks = 1820;
  SemaphoreReadRetryMs = 10000;
}

}  // namespace engine
