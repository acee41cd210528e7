// Settings and error raising shared by the index modules (format, build, semaphore file and
// driver): the UNIQUE default, the index folder, the lock and read waits, and the routine
// that reports an index failure through the engine's error state.
#pragma once

#include <cstdint>
#include <string>

namespace engine {

// Start value of the UNIQUE setting for new indexes (start: false).
extern bool UniqueDefault;

// Folder that holds semaphore files (and index files the driver places there); empty means
// beside the table (start: empty). May end with "/" or not.
extern std::string IndexDir;

// Waits of the shared-index locks. All retries are timed on the steady tick clock, one try
// about every IndexLockRetryMs; tests shorten them.
extern uint32_t SemaphoreLockWaitMs;  // lock of the semaphore file's 4-byte region (10000)
extern uint32_t TableLockWaitMs;      // table lock byte for login and logout (10000)
extern uint32_t IndexLockRetryMs;     // pause between two tries (10)
// How long a writer waits for the read count to fall to 0, in ticks of 1/18.2 second
// (1820, about 100 seconds); 0 waits without limit.
extern uint32_t ReadWaitTicks;
// How long a failing read of the semaphore file is retried before it is reported, whatever
// ReadWaitTicks says (10000).
extern uint32_t SemaphoreReadRetryMs;

// Sets ErrorCode and ErrorMsg (reporting at once when AbortOnError is on, as SetError does);
// with AbortOnError off, then raises EWendalError with msg. Returns only when AbortOnError
// is on and a UserErrorProc took the report; callers then abandon the operation.
void SetErrorAndRaise(uint16_t code, const std::string& msg);

// Restores the start values of the settings above.
void InitIndexCommon();

}  // namespace engine
