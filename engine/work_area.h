// Work areas: the engine's procedural interface works on numbered areas, one open table per
// area, one area current at a time. Areas 1..33 serve callers; 34 and 35 are internal.
#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "engine/dbf_file.h"

namespace engine {

enum TLockState : uint8_t { lkNone = 0, lkAppend = 1, lkRecords = 2 };

struct TWorkAreaRec {
  TDbfFileRec Dbf;             // the open table
  uint8_t* UserBuf = nullptr;  // native record buffer bound to the area
  uint16_t UserBufSize = 0;
  bool OwnsUserBuf = false;  // UserBuf points into OwnedBuf
  std::vector<uint8_t> OwnedBuf;
  std::string Alias;  // at most 10 characters, upper case
  TLockState LockState = lkNone;
  uint16_t LockCount = 0;
  std::list<int32_t> LockList;  // locked record numbers, newest first
  bool Exclusive = false;
  bool LastReopenExclusive = false;
  std::vector<uint8_t> SwapBuf;  // UserBufSize bytes, used by Replace
};

inline constexpr uint8_t kMaxUserArea = 33;
inline constexpr uint8_t kMaxArea = 35;

extern std::array<std::unique_ptr<TWorkAreaRec>, kMaxArea + 1> WorkAreas;  // [1..35]
extern uint8_t CurrentArea;

// Settings.
extern bool SharedAccess;           // tables opened shared and locked record by record
extern uint16_t DefaultShareMode;   // 66: deny none + read/write
extern uint16_t OpenModeOverride;   // 65535 = none
extern bool HideDeleted;            // navigation skips records marked deleted
extern bool ReplaceUpdatesIndexes;  // Replace keeps the open indexes up to date
extern bool ReplaceInProgress;      // set while Replace puts the indexes on the old keys
extern int32_t LockBase;            // 0x40000000
extern uint16_t MaxRecLocks;        // 0 = no limit
extern uint8_t LockRetries;
extern bool (*LockRetryProc)();
extern uint16_t PeekCacheSize;  // 0 = no cache

// The current area's record, or nullptr when it holds no table.
TWorkAreaRec* CurrentWorkArea();

// ---- Work areas ------------------------------------------------------------------------
void USE(const std::string& spec, uint8_t* buffer, uint16_t size);
void Select(uint8_t n);
uint8_t SelectedArea();
void CloseArea();
void CloseAll();
std::string Alias();
std::string CurrentDbfName();
bool CheckArea(const std::string& routine);
void RefreshRecCount();
// Changes the current table's share mode to exclusive or to DefaultShareMode's, keeping the
// access it was opened with and its open file (and so its locks). Returns 0 or the DOS code
// (5 for an area that USE opened exclusively); on failure the area is as it was.
int ReopenDbf(bool want_exclusive);
bool IsExclusive();

// ---- Field access ----------------------------------------------------------------------
uint16_t NativeRecSize(const TDbfFileRec& table);
void DbfToNative();
void NativeToDbf();
// NativeToDbf for Replace: a field whose slot still holds what DbfToNative makes of its stored
// bytes in RecBuf keeps those bytes; only changed fields are converted.
void NativeToDbfChanged();
// Copies RecBuf of the current area into the Peek cache when the cache belongs to this area's
// alias and holds the current record (after a record write).
void RefreshPeekCacheRecord();
// Releases the Peek cache; with a non-empty alias only when the cache belongs to that alias.
void ReleasePeekCache(const std::string& alias);
void ClearRecord();
char FieldType(uint8_t n);
uint8_t FieldLen(uint8_t n);
uint8_t FieldDec(uint8_t n);
uint8_t* FieldAddress(uint8_t n);
bool Deleted();
std::string Field(uint8_t n);
uint8_t FieldNo(const std::string& name);
uint8_t FieldCount();
std::string Peek(uint8_t n, int32_t rec);
void Poke(const std::string& value, uint8_t n, int32_t rec);

// ---- Locking ---------------------------------------------------------------------------
int LockRange(bool unlock, platform::File& file, int64_t offset, int64_t length);
bool ALock();
bool RLock();
bool IsLocked(int32_t n);
bool UnlockRec(int32_t n);
void Unlock();
bool LockBaseByte();
void UnlockBaseByte();

// ---- Navigation and update -------------------------------------------------------------
void GoTop();
void GoBottom();
void SKIP(int32_t n);
void GO(int32_t n);
void GoRecord(int32_t n);
bool dEOF();
bool dBOF();
int32_t RecCount();
int32_t RecNo();
uint16_t RecSize();
void DeleteRec();
void RecallRec();
void Append();
void Replace();
bool RecVisible();

// Restore the start values of the locking and the navigation settings.
void InitLocking();
void InitNavigation();

// Initialises the work-area module: empties the areas, fills the service hooks, sets the
// start values and chains the exit procedure that closes every area.
void InitWorkAreas();

}  // namespace engine
