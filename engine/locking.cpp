// Record and file locking for tables shared between programs.
//
// Locks are byte-range locks on the table file, placed in a region far beyond the file's data
// (from LockBase, 1 GiB by default) so that they never stop anyone from reading or writing the
// records themselves:
//   LockBase                                       1 byte    base byte (index unit)
//   LockBase + 1                                   1 byte    append lock
//   LockBase + HeaderLen + (n - 1) x RecLen        RecLen    record n
// Offsets are computed in 64 bits: with large tables the record ranges pass 2^31.
//
// The locks are open-file-description locks (platform::File): they belong to the area's open
// file, as the locks of the original platform belong to the handle, so two areas of one
// program that open the same table lock against each other, and closing another descriptor of
// the file does not drop them (plain POSIX record locks would be lost then). On a table opened
// read-only the lock is a read lock, which still keeps writers out.
//
// Locks are real only while SharedAccess is on and the area is not exclusive; otherwise the
// routines keep only their bookkeeping, so the record routines' lock checks still pass.
#include <cstdint>
#include <string>

#include "engine/error.h"
#include "engine/utils.h"
#include "engine/work_area.h"

namespace engine {

int32_t LockBase = 0x40000000;
uint16_t MaxRecLocks = 0;
uint8_t LockRetries = 0;
bool (*LockRetryProc)() = nullptr;

namespace {

// What one lock-list node costs on the heap: the record number, its tag and the link.
constexpr int64_t kLockNodeSize = 16;

bool RealLocks(const TWorkAreaRec& wa) { return SharedAccess && !wa.Exclusive; }

int64_t AppendLockOffset() { return int64_t{LockBase} + 1; }

int64_t RecordLockOffset(const TDbfFileRec& t, int32_t n) {
  return int64_t{LockBase} + t.HeaderLen + (int64_t{n} - 1) * t.RecLen;
}

// Tries the lock, then retries LockRetries times; when those are used up, a set LockRetryProc
// may start a new round by returning True. The idle procedure runs once afterwards.
bool AttemptLock(platform::File& file, int64_t offset, int64_t length) {
  unsigned attempts = 0;
  bool locked = false;
  do {
    locked = LockRange(false, file, offset, length) == 0;
    if (!locked) {
      ++attempts;
      if (attempts > LockRetries && LockRetryProc != nullptr && LockRetryProc()) attempts = 0;
    }
  } while (!locked && attempts <= LockRetries);
  Idle();
  return locked;
}

// Releases the range of record n when the area's locks are real; returns the system's code.
int ReleaseRecord(TWorkAreaRec& wa, int32_t n) {
  if (!RealLocks(wa)) return 0;
  return LockRange(true, wa.Dbf.DataFile, RecordLockOffset(wa.Dbf, n), wa.Dbf.RecLen);
}

void RemovedNode(TWorkAreaRec& wa) {
  if (wa.LockCount > 0) --wa.LockCount;
  if (wa.LockList.empty()) {
    wa.LockCount = 0;
    wa.LockState = lkNone;
  }
}

void NotLocked(const std::string& msg) {
  // Reported to the caller through the result only: the program goes on even when halting.
  ErrorCode = 220;
  ErrorMsg = msg;
}

}  // namespace

void InitLocking() {
  LockBase = 0x40000000;
  MaxRecLocks = 0;
  LockRetries = 0;
  LockRetryProc = nullptr;
}

int LockRange(bool unlock, platform::File& file, int64_t offset, int64_t length) {
  if (!SharedAccess) return 0;
  // A negative offset (LockBase set below 0) reaches the system as such and is refused there.
  const auto start = static_cast<uint64_t>(offset);
  const auto len = static_cast<uint64_t>(length);
  return unlock ? file.Unlock(start, len) : file.Lock(start, len, true);
}

bool ALock() {
  if (CheckArea("ALock")) return false;
  TWorkAreaRec& wa = *CurrentWorkArea();
  if (wa.LockState == lkAppend) return true;
  if (wa.LockState == lkRecords) return false;
  if (RealLocks(wa) && !AttemptLock(wa.Dbf.DataFile, AppendLockOffset(), 1)) return false;
  wa.LockState = lkAppend;
  return true;
}

bool RLock() {
  if (CheckArea("RLock")) return false;
  TWorkAreaRec& wa = *CurrentWorkArea();
  const int32_t n = wa.Dbf.RecNo;
  // Checked before the limit, so that re-locking a held record at the limit succeeds.
  if (wa.LockState == lkRecords) {
    for (int32_t held : wa.LockList) {
      if (held == n) return true;
    }
  }
  if (MaxRecLocks != 0 && wa.LockCount >= MaxRecLocks) {
    SetError(212, "Wendal record lock limit exceeded [RLOCK]");
    return false;
  }
  if (wa.LockState == lkAppend) return false;
  // No record stands at the empty position: a range for record 0 would reach down over the
  // append and base bytes.
  if (n < 1) return false;
  if (RealLocks(wa) && !AttemptLock(wa.Dbf.DataFile, RecordLockOffset(wa.Dbf, n), wa.Dbf.RecLen)) {
    return false;
  }
  if (!HeapHas(kLockNodeSize)) {
    ReleaseRecord(wa, n);
    SetError(217, "[RLOCK]");
    return false;
  }
  wa.LockList.push_front(n);
  wa.LockState = lkRecords;
  ++wa.LockCount;
  return true;
}

bool IsLocked(int32_t n) {
  if (CheckArea("IsLocked")) return false;
  for (int32_t held : CurrentWorkArea()->LockList) {
    if (held == n) return true;
  }
  return false;
}

bool UnlockRec(int32_t n) {
  if (CheckArea("UnlockRec")) return false;
  TWorkAreaRec& wa = *CurrentWorkArea();
  ErrorCode = 0;
  const std::string tag = "[UnlockRec(" + std::to_string(n) + ")]";
  if (n >= 1) {
    for (auto it = wa.LockList.begin(); it != wa.LockList.end(); ++it) {
      if (*it != n) continue;
      const int rc = ReleaseRecord(wa, n);
      wa.LockList.erase(it);
      RemovedNode(wa);
      if (rc != 0) ErrorCode = static_cast<uint16_t>(rc);
      return rc == 0;
    }
    NotLocked("Record not locked. " + tag);
    return false;
  }
  if (n == -1 || n == -2) {
    if (wa.LockList.empty()) {
      NotLocked("Record not locked. " + tag);
      return false;
    }
    const int32_t rec = n == -1 ? wa.LockList.back() : wa.LockList.front();
    const int rc = ReleaseRecord(wa, rec);
    if (n == -1) {
      wa.LockList.pop_back();
    } else {
      wa.LockList.pop_front();
    }
    RemovedNode(wa);
    if (rc != 0) ErrorCode = static_cast<uint16_t>(rc);
    return rc == 0;
  }
  if (n == -3) {
    int failure = 0;
    while (!wa.LockList.empty()) {
      const int rc = ReleaseRecord(wa, wa.LockList.front());
      if (rc != 0) failure = rc;
      wa.LockList.pop_front();
      RemovedNode(wa);
    }
    wa.LockCount = 0;
    if (wa.LockState == lkRecords) wa.LockState = lkNone;
    if (failure != 0) ErrorCode = static_cast<uint16_t>(failure);
    return failure == 0;
  }
  NotLocked(tag);
  return false;
}

void Unlock() {
  if (CheckArea("Unlock")) return;
  TWorkAreaRec& wa = *CurrentWorkArea();
  ErrorCode = 0;
  if (RealLocks(wa)) {
    if (wa.LockState == lkAppend) {
      ErrorCode = static_cast<uint16_t>(LockRange(true, wa.Dbf.DataFile, AppendLockOffset(), 1));
    } else if (!wa.LockList.empty()) {
      UnlockRec(-3);
    }
  }
  wa.LockList.clear();
  wa.LockCount = 0;
  wa.LockState = lkNone;
}

bool LockBaseByte() {
  if (!SharedAccess) return true;
  if (CheckArea("LockBaseByte")) return false;
  return AttemptLock(CurrentWorkArea()->Dbf.DataFile, LockBase, 1);
}

void UnlockBaseByte() {
  if (CheckArea("UnlockBaseByte")) return;
  TWorkAreaRec& wa = *CurrentWorkArea();
  const int rc = LockRange(true, wa.Dbf.DataFile, LockBase, 1);
  if (rc != 0) {
    SetError(static_cast<uint16_t>(rc), "Error attempting to UNLOCK file " + wa.Dbf.FileName +
                                            " in Workarea " + std::to_string(CurrentArea));
  }
}

}  // namespace engine
