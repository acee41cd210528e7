// Shared index access through the semaphore file beside a table ("<table>.@S@", or in
// IndexDir). Programs that have indexes of a shared table open coordinate through its four
// bytes:
//   0     1 byte   login count: work areas that have indexes of this table open
//   1     1 byte   read count: active readers, 0..127; a writer sets it to 1 while it writes
//   2     2 bytes  change counter, little-endian, advanced after every completed index write
// Every read-modify-write of the bytes happens under an exclusive lock of bytes 1..4. A reader
// counts itself in while it walks an index; a writer holds that lock while it writes, after
// waiting for the read count to fall to 0. The others see the change counter move and re-read
// their index headers.
//
// Stale files: a program that dies keeps its counts in the file. Each logged-in area therefore
// also holds a shared open-file-description lock on a liveness byte (kSemaphoreAliveOffset,
// apart from the 4-byte region); the kernel drops it with the process. A login that can take
// that byte exclusively, while it holds the table's lock byte, has no live peers and starts
// the file afresh; a logout that can take it has no peers left and deletes the file. The file
// is opened with create but never truncated while anyone may be using it.
//
// Nothing here acts for an area whose table is missing or exclusive (without SharedAccess
// every table is opened exclusive).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/core/file.h"

namespace engine {

// Actions of HandleSemafore.
enum TSemaphoreAction : uint8_t {
  smLogin = 0,
  smLogout = 1,
  smIncRead = 2,
  smDecRead = 3,
  smLockSemaphore = 4,
  smUnlockSemaphore = 5,
};

// Work areas that can use a semaphore file: 1..34.
inline constexpr uint8_t kMaxSemaphoreArea = 34;

// Offset of the liveness byte; the 4-byte lock covers offsets 1..4.
inline constexpr uint64_t kSemaphoreAliveOffset = 8;

// What one work area keeps about its semaphore file between actions.
struct TSemaphoreRec {
  platform::File File;       // open read/write deny-none while logged in
  std::string FileName;      // the semaphore file's name
  uint8_t Bytes[4] = {};     // the last 4 bytes read or written
  uint16_t SeenCounter = 0;  // change counter when this area last synchronised
  bool LockHeld = false;     // this area holds the 4-byte lock (as a writer)
  bool Reading = false;      // this area is counted in the read count
  int ReadDepth = 0;         // nesting of INCREAD/DECREAD
  int LockDepth = 0;         // nesting of LOCKSEMAPHORE/UNLOCKSEMAPHORE
};

// The name of the action as messages show it ("LOGIN", ...); "" for an unknown number.
const char* SemaphoreActionName(uint8_t action);

// The semaphore file of a table: its name with the extension ".@S@"; with IndexDir set, that
// file name inside IndexDir. Existing folders and files are matched regardless of letter
// case, so every program derives the same name.
std::string SemaphoreFileName(const std::string& dbf_name);

// Performs an action on the current work area. An area above 34 is error 254; an area
// without a table or with an exclusive table returns at once, as does any action other than
// LOGIN for an area that is not logged in. Failures go through SetErrorAndRaise (with
// AbortOnError off they raise EWendalError); the locks taken are released before the report.
void HandleSemafore(uint8_t action);

// Hook slots 23 and 24 of IndexDriverHooks: on performs INCREAD (LOCKSEMAPHORE) when the
// area's counter is 0 and then counts up; off counts down and performs DECREAD
// (UNLOCKSEMAPHORE) at 0. Counting below 0 sets error 254 "Non-symmetrical Lock-Unlock [...]"
// through SetError without raising, and leaves the counter at 0.
void SetReadSemaphoreProc(bool on);
void SetLockSemaphoreProc(bool on);

// The change check of the current area: when its semaphore file shows a change counter other
// than the one last seen, calls `reread_headers` (the index driver re-reads the headers of the
// area's open indexes) and notes the counter as seen; true when it did. False when the area is
// not logged in or is exclusive. A read error goes through SetErrorAndRaise.
bool SemaphoreChangeCheck(const std::function<void()>& reread_headers);

// True when some live work area (of this or another program) is logged in to the semaphore
// file `name`: it holds the liveness lock. False when the file is missing or nobody holds it;
// true when the file exists but cannot be opened for writing (nobody could tell).
// Callers that delete the file on a false answer should hold the table's lock byte, as logins
// do, so that no login slips in between.
bool SemaphoreFileInUse(const std::string& name);

// The state of an area (1..34) while it is logged in; nullptr otherwise.
TSemaphoreRec* AreaSemaphore(uint8_t area);

// Drops the area's semaphore state without touching the file's counts: closes the file (which
// releases every lock this area held on it) and resets the counters of SetReadSemaphoreProc
// and SetLockSemaphoreProc. For an area that is closed without a regular LOGOUT.
void ReleaseAreaSemaphore(uint8_t area);

// Closes every area's semaphore file and resets all per-area state.
void InitIndexSemaphore();

}  // namespace engine
