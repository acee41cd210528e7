// Record navigation and update of the current work area: first, last, skip, go, the end
// tests, the record count, delete and recall, append and replace.
//
// With the index driver present and a controlling index open in the area ("indexed"), moves
// follow the index order and changes keep the indexes up to date, through IndexDriverHooks;
// every indexed move holds the index read semaphore, every indexed change its lock semaphore.
// Otherwise records go in file order. Records marked deleted are skipped by GoTop, GoBottom
// and SKIP while HideDeleted is set; GO reaches every record.
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/error.h"
#include "engine/hooks.h"
#include "engine/utils.h"
#include "engine/work_area.h"

namespace engine {

bool HideDeleted = false;
bool ReplaceUpdatesIndexes = true;
bool ReplaceInProgress = false;

namespace {

TIndexDriverHooks& Ix() { return IndexDriverHooks; }

// The area follows an index: the driver is present, knows the order moves, and reports the
// area's controlling index open.
bool Indexed() {
  const TIndexDriverHooks& h = Ix();
  return h.PrimaryOpen != nullptr && h.NextRec != nullptr && h.PriorRec != nullptr &&
         h.FirstRec != nullptr && h.LastRec != nullptr && h.PrimaryOpen();
}

void ReadSemaphore(bool on) {
  if (Ix().SetReadSemaphore) Ix().SetReadSemaphore(on);
}
void LockSemaphore(bool on) {
  if (Ix().SetLockSemaphore) Ix().SetLockSemaphore(on);
}

// Holds the index lock semaphore of a change from Take until Release or the end of the scope,
// so every path out releases it, an exception of the key routines included (other programs
// would otherwise wait for a lock that nobody holds). Also clears ReplaceInProgress.
class LockSemaphoreHold {
 public:
  LockSemaphoreHold() = default;
  LockSemaphoreHold(const LockSemaphoreHold&) = delete;
  LockSemaphoreHold& operator=(const LockSemaphoreHold&) = delete;
  ~LockSemaphoreHold() {
    ReplaceInProgress = false;
    if (!held_) return;
    held_ = false;
    try {
      LockSemaphore(false);
    } catch (...) {
      // Already unwinding or finishing: the release's own error stays in the error state.
    }
  }
  void Take() {
    LockSemaphore(true);
    held_ = true;
  }
  void Release() {
    if (!held_) return;
    held_ = false;
    LockSemaphore(false);
  }

 private:
  bool held_ = false;
};
// Holds the index read semaphore of a move while `on`, from construction until Release or the
// end of the scope, so that a key routine or a change check that raises does not leave this
// program counted as a reader (other programs' writers would wait for it in vain).
class ReadSemaphoreHold {
 public:
  explicit ReadSemaphoreHold(bool on) {
    if (!on) return;
    ReadSemaphore(true);
    held_ = true;
  }
  ReadSemaphoreHold(const ReadSemaphoreHold&) = delete;
  ReadSemaphoreHold& operator=(const ReadSemaphoreHold&) = delete;
  ~ReadSemaphoreHold() {
    if (!held_) return;
    held_ = false;
    try {
      ReadSemaphore(false);
    } catch (...) {
      // Already unwinding from the failure that matters.
    }
  }
  void Release() {
    if (!held_) return;
    held_ = false;
    ReadSemaphore(false);
  }

 private:
  bool held_ = false;
};

void SyncIndex() {
  if (Ix().SyncIndex) Ix().SyncIndex();
}
void BuildCurrentKeys() {
  if (Ix().BuildCurrentKeys) Ix().BuildCurrentKeys();
}
bool IndexEof() { return Ix().IndexEof != nullptr && Ix().IndexEof(); }
bool IndexBof() { return Ix().IndexBof != nullptr && Ix().IndexBof(); }

TDbfFileRec& Table() { return CurrentWorkArea()->Dbf; }

// A record read at a move: the file record, the idle procedure, then the native form.
void ReadRecord(int32_t n) {
  GetDbfRecord(Table(), n);
  Idle();
  if (ErrorCode == 0) DbfToNative();
}

bool Visible(const TDbfFileRec& t) {
  return !(HideDeleted && !t.RecBuf.empty() && t.RecBuf[0] == '*');
}

// The position after the last record: blank buffer, end flag.
void ToEnd(bool indexed) {
  TDbfFileRec& t = Table();
  ClearRecord();
  t.RecNo = t.RecCount + 1;
  t.AtEof = true;
  if (indexed) SyncIndex();
}

bool HoldsRecordLock(const TWorkAreaRec& wa) {
  for (int32_t held : wa.LockList) {
    if (held == wa.Dbf.RecNo) return true;
  }
  return false;
}

std::string Quoted(const TDbfFileRec& t) { return "Database \"" + t.FileName + "\" "; }

}  // namespace

void InitNavigation() {
  HideDeleted = false;
  ReplaceUpdatesIndexes = true;
  ReplaceInProgress = false;
}

bool RecVisible() {
  if (CheckArea("RecVisible")) return false;
  return Visible(Table());
}

void GoTop() {
  if (CheckArea("GoTop")) return;
  ErrorCode = 0;
  TDbfFileRec& t = Table();
  if (t.RecCount < 1) return;
  const bool indexed = Indexed();
  ReadSemaphoreHold read(indexed);
  int32_t n = indexed ? Ix().FirstRec() : 1;
  // An index that holds no entry gives no start record.
  if (n < 1 || n > t.RecCount) {
    ToEnd(indexed);
  } else {
    ReadRecord(n);
    while (ErrorCode == 0 && !t.AtEof && !Visible(t)) {
      const int32_t current = t.RecNo;
      bool past_end = false;
      if (indexed) {
        n = Ix().NextRec();
        past_end = IndexEof() || n == current;
      } else {
        n = current + 1;
      }
      if (past_end || n < 1 || n > t.RecCount) {
        ToEnd(indexed);
        break;
      }
      ReadRecord(n);
    }
  }
  if (indexed) {
    BuildCurrentKeys();
    read.Release();
  }
}

void GoBottom() {
  if (CheckArea("GoBottom")) return;
  ErrorCode = 0;
  RefreshRecCount();
  TDbfFileRec& t = Table();
  if (t.RecCount < 1) return;
  const bool indexed = Indexed();
  ReadSemaphoreHold read(indexed);
  int32_t n = indexed ? Ix().LastRec() : t.RecCount;
  if (n < 1 || n > t.RecCount) {
    ToEnd(indexed);
  } else {
    ReadRecord(n);
    while (ErrorCode == 0 && !Visible(t)) {
      const int32_t current = t.RecNo;
      bool stop = false;
      if (indexed) {
        n = Ix().PriorRec();
        stop = IndexBof() || n == current;
      } else {
        n = current - 1;
        stop = t.AtBof;
      }
      if (stop || n < 1 || n > t.RecCount) {
        ToEnd(indexed);
        break;
      }
      ReadRecord(n);
    }
  }
  if (indexed) {
    BuildCurrentKeys();
    read.Release();
  }
}

void SKIP(int32_t n) {
  if (CheckArea("SKIP()")) return;
  ErrorCode = 0;
  TDbfFileRec& t = Table();
  if (n == 0) {
    if (t.RecCount > 0 && !t.AtEof && t.RecNo >= 1 && t.RecNo <= t.RecCount) {
      ReadRecord(t.RecNo);
    } else {
      ClearRecord();
    }
    return;
  }
  // The empty table is told apart before the end test: an empty table also stands at end.
  if (t.RecCount < 1) {
    t.AtBof = true;
    t.AtEof = true;
    SetError(212, Quoted(t) + "is empty. [SKIP]");
    return;
  }
  if (n > 0 && t.AtEof) {
    SetError(212, Quoted(t) + "is past EOF. [SKIP]");
    return;
  }
  if (n < 0 && t.AtBof) return;

  const bool indexed = Indexed();
  ReadSemaphoreHold read(indexed);
  t.AtBof = false;
  t.AtEof = false;
  int32_t count = 0;
  bool end_reached = false;
  bool begin_reached = false;
  do {
    const int32_t current = t.RecNo;
    int32_t candidate = 0;
    if (n < 0) {
      if (indexed) {
        candidate = Ix().PriorRec();
        begin_reached = candidate == current;
      } else if (current <= 1) {
        candidate = 1;
        begin_reached = true;
      } else {
        candidate = current - 1;
      }
      ReadRecord(candidate);
      if (ErrorCode != 0) {
        read.Release();
        return;
      }
      if (Visible(t)) --count;
    } else {
      if (indexed) {
        candidate = Ix().NextRec();
        end_reached = candidate == current;
      } else {
        RefreshRecCount();
        candidate = current + 1;
        if (candidate > t.RecCount) {
          candidate = t.RecCount;
          end_reached = true;
        }
      }
      ReadRecord(candidate);
      if (ErrorCode != 0) break;
      if (Visible(t)) ++count;
    }
  } while (count != n && !end_reached && !begin_reached);

  if (end_reached) {
    t.RecNo = t.RecCount + 1;
    t.AtEof = true;
    ClearRecord();
    if (indexed) SyncIndex();
  } else if (begin_reached) {
    GoTop();
    t.AtBof = true;
    if (indexed && Ix().SetStartFlag) Ix().SetStartFlag();
  }
  if (indexed) {
    read.Release();
    BuildCurrentKeys();
  }
}

void GO(int32_t n) {
  if (CheckArea("GO()")) return;
  ErrorCode = 0;
  TDbfFileRec& t = Table();
  if (n > t.RecCount) RefreshRecCount();
  const std::string msg = "Invalid record number = " + std::to_string(n) + " " + Quoted(t) + "[GO]";
  if (t.RecCount < 1) {
    t.AtBof = true;
    t.AtEof = true;
    ClearRecord();
    SetError(212, msg);
    return;
  }
  if (n >= 1 && n <= t.RecCount) {
    t.AtBof = false;
    t.AtEof = false;
    const bool indexed = Indexed();
    ReadSemaphoreHold read(indexed);
    // A failed read is reported by the file layer (halting when AbortOnError is on).
    ReadRecord(n);
    if (indexed) {
      if (ErrorCode == 0) {
        SyncIndex();
        BuildCurrentKeys();
      }
      read.Release();
    }
    return;
  }
  t.RecNo = t.RecCount + 1;
  t.AtEof = true;
  SetError(212, msg);
}

void GoRecord(int32_t n) {
  TWorkAreaRec* wa = CurrentWorkArea();
  if (wa == nullptr) return;
  ErrorCode = 0;
  TDbfFileRec& t = wa->Dbf;
  if (n < 1) {
    ErrorCode = 212;
    return;
  }
  if (n > t.RecCount) {
    ClearRecord();
    t.RecNo = t.RecCount + 1;
    t.AtEof = true;
    return;
  }
  ReadRecord(n);
}

bool dEOF() {
  if (CheckArea("dEOF")) return false;
  RefreshRecCount();
  TDbfFileRec& t = Table();
  if (t.RecNo > t.RecCount) t.AtEof = true;
  return Indexed() ? IndexEof() : t.AtEof;
}

bool dBOF() {
  if (CheckArea("dBOF")) return false;
  return Indexed() ? IndexBof() : Table().AtBof;
}

int32_t RecCount() {
  if (CheckArea("RecCount")) return 0;
  RefreshRecCount();
  return Table().RecCount;
}

int32_t RecNo() {
  if (CheckArea("RecNo")) return 0;
  return Table().RecNo;
}

uint16_t RecSize() {
  if (CheckArea("RecSize")) return 0;
  return Table().RecLen;
}

namespace {

// DeleteRec and RecallRec: sets or clears the deletion mark of the current record in the file.
void SetDeleteMark(bool deleted) {
  const char* routine = deleted ? "DeleteRec" : "RecallRec";
  if (CheckArea(routine)) return;
  ErrorCode = 0;
  TWorkAreaRec& wa = *CurrentWorkArea();
  TDbfFileRec& t = wa.Dbf;
  if (!wa.Exclusive && !HoldsRecordLock(wa)) {
    SetError(1200, deleted ? t.FileName + " Record not locked [DeleteRec]"
                           : std::string("Record not locked [RecallRec]"));
    return;
  }
  if (!deleted) RefreshRecCount();
  if (t.RecNo < 1 || t.RecNo > t.RecCount) {
    SetError(1103, t.FileName + " at EOF [" + routine + "]");
    return;
  }
  wa.UserBuf[0] = deleted ? 1 : 0;
  t.RecBuf[0] = deleted ? '*' : ' ';
  PutDbfDeleteFlag(t, t.RecNo);
  if (ErrorCode == 0) RefreshPeekCacheRecord();
}

}  // namespace

void DeleteRec() { SetDeleteMark(true); }

void RecallRec() { SetDeleteMark(false); }

void Append() {
  if (CheckArea("Append")) return;
  ErrorCode = 0;
  TWorkAreaRec& wa = *CurrentWorkArea();
  TDbfFileRec& t = wa.Dbf;
  if (SharedAccess && !wa.Exclusive && wa.LockState != lkAppend) {
    SetError(5, "File must be locked to append: " + t.FileName + " [APPEND]");
    return;
  }
  RefreshRecCount();
  NativeToDbf();
  const bool indexed = Indexed();
  LockSemaphoreHold hold;
  if (indexed) hold.Take();
  // Errors of the file layer are reported where they are set (halting when AbortOnError).
  AppendDbfRecord(t);
  const bool written = ErrorCode == 0;
  if (written) DbfToNative();
  if (indexed) {
    // Keys only for a record that reached the file.
    if (written) {
      if (Ix().AddRecordKeys) Ix().AddRecordKeys();
      BuildCurrentKeys();
    }
    hold.Release();
  }
  if (written) {
    t.AtEof = false;
    t.AtBof = false;
  }
}

void Replace() {
  if (CheckArea("Replace")) return;
  ErrorCode = 0;
  TWorkAreaRec& wa = *CurrentWorkArea();
  TDbfFileRec& t = wa.Dbf;
  if (t.RecNo < 1) {
    SetError(212, Quoted(t) + "is empty. [REPLACE]");
    return;
  }
  if (t.RecNo > t.RecCount) {
    SetError(212, Quoted(t) + "is at EOF. [REPLACE]");
    return;
  }
  const bool upkeep = ReplaceUpdatesIndexes && Indexed();
  if (!wa.Exclusive && !HoldsRecordLock(wa)) {
    SetError(1200, "Record #" + std::to_string(t.RecNo) + " in " + t.FileName + " [REPLACE]");
    return;
  }
  LockSemaphoreHold hold;
  if (upkeep) {
    if (wa.SwapBuf.size() < wa.UserBufSize || wa.UserBuf == nullptr) {
      SetError(254, t.FileName + " Swap-buffer NIL. [REPLACE]");
      return;
    }
    hold.Take();
    std::memcpy(wa.SwapBuf.data(), wa.UserBuf, wa.UserBufSize);
    // The old record from the file, so that the indexes are put on its keys.
    ReadRecord(t.RecNo);
    if (ErrorCode != 0) {
      std::memcpy(wa.UserBuf, wa.SwapBuf.data(), wa.UserBufSize);
      return;
    }
    ReplaceInProgress = true;
    SyncIndex();
    ReplaceInProgress = false;
    BuildCurrentKeys();
    std::memcpy(wa.UserBuf, wa.SwapBuf.data(), wa.UserBufSize);
  }
  NativeToDbfChanged();
  PutDbfRecord(t, t.RecNo);
  const bool written = ErrorCode == 0;
  Idle();
  if (written) {
    DbfToNative();
    RefreshPeekCacheRecord();
  }
  if (upkeep) {
    if (written && Ix().CompareKeys) Ix().CompareKeys();
    hold.Release();
  }
}

}  // namespace engine
