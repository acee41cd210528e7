#include "engine/index_driver.h"

#include <chrono>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "engine/bytes.h"
#include "engine/error.h"
#include "engine/expr.h"
#include "engine/hooks.h"
#include "engine/index_build.h"
#include "engine/index_common.h"
#include "engine/index_nav.h"
#include "engine/index_rec.h"
#include "engine/index_semaphore.h"
#include "engine/utils.h"
#include "engine/work_area.h"
#include "platform/core/clock.h"
#include "platform/core/dos_error.h"
#include "platform/core/file.h"
#include "platform/core/halt.h"
#include "platform/core/paths.h"

namespace engine {

namespace {

constexpr size_t kMaxListLength = 255;
constexpr uint16_t kNoOverride = 65535;
// Areas whose indexes the exit procedure closes.
constexpr uint8_t kLastExitArea = 34;

int g_exit_proc_id = -1;
// The stored form of the KeyMaker text, as an index built by a KeyMaker carries it.
std::string g_keymaker_text;

// The first failure of a routine that works through a list: each step starts with a clear
// error code, a step that fails is noted only when nothing failed before it.
struct TFirstFailure {
  uint16_t Code = 0;
  std::string Msg;
  bool Raised = false;

  template <class Step>
  void Run(Step&& step) {
    ErrorCode = 0;
    try {
      step();
    } catch (const EWendalError& e) {
      if (ErrorCode == 0) ErrorCode = 254;
      Note(true, e.what());
      return;
    } catch (const std::bad_alloc&) {
      ErrorCode = 217;
      ErrorMsg = "Insufficient memory [Index driver]";
    }
    Note(false, ErrorMsg);
  }
  void Note(bool raised, const std::string& msg) {
    if (Code != 0 || ErrorCode == 0) return;
    Code = ErrorCode;
    Msg = msg;
    Raised = raised;
  }
  // Leaves the noted failure as the error state (it was reported when it happened) and
  // raises it again when it raised.
  void Restore() const {
    ErrorCode = Code;
    if (Code == 0) return;
    ErrorMsg = Msg;
    LastReportedError = Code;
    if (Raised && !AbortOnError) RaiseEngineError(Msg);
  }
};

// Holds the current area's read semaphore; released explicitly on the normal path (where a
// failure of the release may raise) or, when an exception leaves first, by the destructor.
class ReadSemaphoreHold {
 public:
  ReadSemaphoreHold() {
    SetReadSemaphoreProc(true);
    held_ = true;
  }
  ~ReadSemaphoreHold() {
    if (!held_) return;
    try {
      SetReadSemaphoreProc(false);
    } catch (...) {
      // Already unwinding from the failure that matters.
    }
  }
  ReadSemaphoreHold(const ReadSemaphoreHold&) = delete;
  ReadSemaphoreHold& operator=(const ReadSemaphoreHold&) = delete;
  void Release() {
    held_ = false;
    SetReadSemaphoreProc(false);
  }

 private:
  bool held_ = false;
};

bool SameFile(const std::string& a, const std::string& b) {
  return FullPath(platform::ResolveCase(a)) == FullPath(platform::ResolveCase(b));
}

bool AnySlotOpen(const TAreaIndexes& ai) {
  for (int s = 1; s <= kMaxIndexSlots; ++s) {
    if (ai.Slots[s]) return true;
  }
  return false;
}

bool AnyPrimaryOpen() {
  for (uint8_t a = 1; a <= kMaxArea; ++a) {
    if (AreaIndexes[a].Slots[1]) return true;
  }
  return false;
}

bool SharedArea(const TWorkAreaRec& wa) { return SharedAccess && !wa.Exclusive; }

// Moves the record's current node into its own buffer, so that it survives the area's cache
// or scratch node being cleared or freed.
void DetachNode(TIndexRec& ix) {
  if (ix.CurNode == nullptr || ix.CurNode == ix.NodeBuf.data()) return;
  std::memcpy(ix.NodeBuf.data(), ix.CurNode, kNdxPageSize);
  ix.CurNode = ix.NodeBuf.data();
}

// Takes byte 0 of the index file (shared areas), retrying for TableLockWaitMs.
int LockIndexByte(TIndexRec& ix) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(TableLockWaitMs);
  for (;;) {
    const int rc = ix.File.Lock(0, 1, true);
    if (rc != platform::kDosLockViolation || std::chrono::steady_clock::now() >= deadline) {
      return rc;
    }
    platform::SleepMs(IndexLockRetryMs);
  }
}

// Rewrites a changed header before the slot closes; in a shared area under the lock of the
// index file's byte 0.
void WriteAnchorOnClose(TIndexRec& ix, bool shared) {
  if (!shared) {
    WriteAnchorNode(ix);
    return;
  }
  int rc = LockIndexByte(ix);
  if (rc != 0) {
    SetErrorAndRaise(static_cast<uint16_t>(rc),
                     "Could not lock index for writing anchor node " + ix.FileName);
    return;
  }
  try {
    WriteAnchorNode(ix);
  } catch (...) {
    ix.File.Unlock(0, 1);
    throw;
  }
  rc = ix.File.Unlock(0, 1);
  if (rc != 0) {
    SetErrorAndRaise(static_cast<uint16_t>(rc),
                     "Could not unlock index after writing anchor node " + ix.FileName);
  }
}

// Closes one slot of the current area. The slot is emptied whatever fails; the first failure
// is left in the error state (raised again when it raised).
void CloseSlot(TAreaIndexes& ai, int slot) {
  TIndexRec* ix = ai.Slots[slot].get();
  if (ix == nullptr) return;
  TFirstFailure first;
  const TWorkAreaRec* wa = CurrentWorkArea();
  if (ix->HeaderChanged && ix->File.IsOpen() && wa != nullptr) {
    first.Run([&] { WriteAnchorOnClose(*ix, SharedArea(*wa)); });
  }
  if (slot == 1) {
    for (int s = 1; s <= kMaxIndexSlots; ++s) {
      if (ai.Slots[s]) DetachNode(*ai.Slots[s]);
    }
    ai.Cache.Free();
    ai.Scratch.reset();
    DescentPath.Reset();
  }
  if (DescentPath.Owner == ix) {
    DescentPath.Owner = nullptr;
    DescentPath.Reset();
  }
  ix->CurKey.clear();
  ix->CurNode = nullptr;
  if (ix->Expr != nullptr) {
    if (CurrentKeyBlock == ix->Expr) CurrentKeyBlock = nullptr;
    FreeExpr(ix->Expr);
  }
  const std::string name = ix->FileName;
  const int rc = ix->File.Close();
  if (rc != 0)
    first.Run([&] { SetError(static_cast<uint16_t>(rc), "Error closing index file: " + name); });
  for (int s = 1; s <= kMaxIndexSlots; ++s) {
    if (ai.Opened[s] == ix) ai.Opened[s] = nullptr;
  }
  ai.Slots[slot].reset();
  if (!AnyPrimaryOpen()) DescentPath.Created = false;
  if (!AnySlotOpen(ai)) {
    first.Run([] { HandleSemafore(smLogout); });
    ReleaseAreaSemaphore(CurrentArea);
  }
  first.Restore();
}

// Puts the indexes back where they were opened, then exchanges slots 1 and n.
void ExchangeSlots(TAreaIndexes& ai, int n) {
  std::array<TIndexRec*, kMaxIndexSlots + 1> held{};
  for (int s = 1; s <= kMaxIndexSlots; ++s) held[s] = ai.Slots[s].release();
  std::array<TIndexRec*, kMaxIndexSlots + 1> order = ai.Opened;
  std::swap(order[1], order[n]);
  for (int s = 1; s <= kMaxIndexSlots; ++s) {
    ai.Slots[s].reset(order[s]);
    if (order[s] != nullptr) order[s]->Slot = static_cast<uint8_t>(s);
  }
  // Every record held must have a place in the opened order; one that has none stays open
  // in a free slot rather than being lost.
  for (int s = 1; s <= kMaxIndexSlots; ++s) {
    TIndexRec* r = held[s];
    bool placed = false;
    for (int t = 1; t <= kMaxIndexSlots && !placed; ++t) placed = order[t] == r;
    if (r == nullptr || placed) continue;
    for (int t = 1; t <= kMaxIndexSlots; ++t) {
      if (!ai.Slots[t]) {
        ai.Slots[t].reset(r);
        r->Slot = static_cast<uint8_t>(t);
        break;
      }
    }
  }
}

// Reads the record again without moving the index (the record layer's GO would sync).
void RereadCurrentRecord() {
  RefreshRecCount();
  TDbfFileRec& t = CurrentWorkArea()->Dbf;
  if (t.RecNo >= 1 && t.RecNo <= t.RecCount) GoRecord(t.RecNo);
}

int OpenModeFor(const TWorkAreaRec& wa) {
  if (OpenModeOverride != kNoOverride) return OpenModeOverride;
  return SharedArea(wa) ? (platform::kShareDenyNone | platform::kModeReadWrite)
                        : (platform::kShareExclusive | platform::kModeReadWrite);
}

std::string SlotTag(const std::string& name, int slot) {
  return "," + name + "," + std::to_string(slot) + ")]";
}

// The exit procedure: closes the indexes of every area, before the tables close.
void CloseIndexesAtExit() {
  try {
    const uint8_t current = CurrentArea;
    for (uint8_t a = 1; a <= kLastExitArea; ++a) {
      if (!WorkAreas[a] || !AnySlotOpen(AreaIndexes[a])) continue;
      CurrentArea = a;
      try {
        Close_Indexes();
      } catch (...) {
        // Close_Indexes does not raise; nothing may leave the exit procedure.
      }
    }
    CurrentArea = current;
  } catch (...) {
  }
}

// Logs the area out when no index of it is open (after a failed open), keeping the error
// state of the failure.
void LogoutIfIdle(TAreaIndexes& ai) {
  if (AnySlotOpen(ai)) return;
  const uint16_t code = ErrorCode;
  const std::string msg = ErrorMsg;
  const bool abort = AbortOnError;
  AbortOnError = false;
  try {
    HandleSemafore(smLogout);
  } catch (const EWendalError&) {
  }
  AbortOnError = abort;
  ReleaseAreaSemaphore(CurrentArea);
  ErrorCode = code;
  ErrorMsg = msg;
}

void IndexOnPrepare() {
  ErrorCode = 0;
  Close_Indexes();
  TAreaIndexes* ai = CurrentAreaIndexes();
  if (ai != nullptr && ai->Slots[1]) {
    SetError(254, "Internal error: IND pointer already allocated [Index_On]");
  } else {
    ErrorCode = 0;
  }
}

}  // namespace

std::vector<std::string> SplitIndexList(const std::string& list) {
  const std::string text = list.substr(0, kMaxListLength);
  // Collapse blanks outside quotes: a blank or tab stays (as one blank) only before a
  // character that is not a blank, a tab, a quote, "=" or the end.
  std::string normal;
  char quote = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quote != 0) {
      normal += c;
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '"' || c == '\'') {
      quote = c;
      normal += c;
      continue;
    }
    if (c == ' ' || c == '\t') {
      const char next = i + 1 < text.size() ? text[i + 1] : '\0';
      if (next != '\0' && next != ' ' && next != '\t' && next != '"' && next != '\'' &&
          next != '=') {
        normal += ' ';
      }
      continue;
    }
    normal += c;
  }
  // Split at the blanks outside quotes; a quoted part loses its quotes.
  std::vector<std::string> names;
  std::string name;
  bool any = false;
  quote = 0;
  for (const char c : normal) {
    if (quote != 0) {
      if (c == quote) {
        quote = 0;
      } else {
        name += c;
      }
      continue;
    }
    if (c == '"' || c == '\'') {
      quote = c;
      any = true;
      continue;
    }
    if (c == ' ') {
      if (any || !name.empty()) names.push_back(name);
      name.clear();
      any = false;
      continue;
    }
    name += c;
  }
  if (any || !name.empty()) names.push_back(name);
  return names;
}

void Set_Index_To(const std::string& list) {
  const std::vector<std::string> names = SplitIndexList(list);
  if (!names.empty() && !CheckParserLinked("Set_Index_To")) return;
  TFirstFailure first;
  first.Run([] { Close_Indexes(); });
  for (size_t i = 0; i < names.size(); ++i) {
    first.Run([&] { SetIndexTo(names[i], nullptr, static_cast<int>(i) + 1); });
  }
  TAreaIndexes* ai = CurrentAreaIndexes();
  if (ai != nullptr && ai->Slots[1]) {
    first.Run([] { Set_Order_To(1); });
  } else if (ai != nullptr && AnySlotOpen(*ai)) {
    // Without its controlling index no move or change of the area would keep the others in
    // step with the table, so they are not left open.
    first.Run([] { Close_Indexes(); });
  }
  if (first.Code == 0) {
    ErrorCode = 0;
    return;
  }
  const std::string msg = first.Msg + " [SetIndexTo]";
  SetError(first.Code, msg);
  if (first.Raised && !AbortOnError) RaiseEngineError(msg);
}

void SetIndexTo(const std::string& name_with_options, TKeyMaker key_maker, int slot) {
  ErrorCode = 0;
  if (slot < 1 || slot > kMaxIndexSlots) {
    SetError(220, "Index Order parameter out of range [SetIndexTo(<>" +
                      SlotTag(name_with_options, slot));
    return;
  }
  TAreaIndexes* ai = CurrentAreaIndexes();
  if (ai != nullptr && ai->Slots[slot]) {
    CloseSlot(*ai, slot);
    if (ErrorCode != 0) return;
  }
  TIndexOptions options;
  const std::string name = AddDefaultExt(StripIndexOptions(name_with_options, options), "NDX");
  TWorkAreaRec* wa = CurrentWorkArea();
  if (wa == nullptr) {
    SetError(215, "Attempt to open " + name + " index file with no DBF file open. [SetIndexTo(<>" +
                      SlotTag(name, slot));
    return;
  }
  const std::string file = platform::ResolveCase(name);
  if (!FileFound(file)) {
    SetError(2, "Attempt to open " + name + " [SetIndexTo(..." + "," + std::to_string(slot) + ")]");
    return;
  }
  const bool no_cache = options.NoCache || SharedAccess;
  HandleSemafore(smLogin);
  if (ErrorCode != 0) return;
  if (slot == 1) ai->Controlling = 1;
  try {
    OpenIndex(file, key_maker, no_cache, slot, options.Soundex, options.Descending);
  } catch (...) {
    LogoutIfIdle(*ai);
    throw;
  }
  if (ErrorCode != 0) {
    LogoutIfIdle(*ai);
    return;
  }
  BuildCurrentKeys();
  Set_Order_To(1);
  NavSlot = 1;
}

void Set_Index_ToCB(TKeyMaker key_maker, const std::string& name_with_options, int slot) {
  SetIndexTo(name_with_options, key_maker, slot);
  NavSlot = 1;
}

void Set_Index_ToLFN(const std::string& name_with_options, int slot) {
  SetIndexTo(name_with_options, nullptr, slot);
  NavSlot = 1;
}

void OpenIndex(const std::string& file_name, TKeyMaker key_maker, bool no_cache, int slot,
               bool soundex, bool descending) {
  TWorkAreaRec* wa = CurrentWorkArea();
  TAreaIndexes* ai = CurrentAreaIndexes();
  if (wa == nullptr || ai == nullptr || slot < 1 || slot > kMaxIndexSlots) {
    SetErrorAndRaise(
        215, "Attempt to open " + file_name + " index file with no DBF file open. [OpenIndex]");
    return;
  }
  const std::string name = platform::ResolveCase(file_name);
  const std::string table = wa->Dbf.FileName;

  // 1. The same file may be open once per area, and in other areas only over the same table.
  for (uint8_t a = 1; a <= kMaxArea; ++a) {
    if (!WorkAreas[a]) continue;
    for (int s = 1; s <= kMaxIndexSlots; ++s) {
      const TIndexRec* other = AreaIndexes[a].Slots[s].get();
      if (other == nullptr || !SameFile(other->FileName, name)) continue;
      if (a != CurrentArea && SameFile(WorkAreas[a]->Dbf.FileName, table)) continue;
      SetErrorAndRaise(220, "Index file already open: " + other->FileName + " for " +
                                WorkAreas[a]->Dbf.FileName + "\n\r" +
                                "Attempting to set index of same name for " + table +
                                ". [OpenIndex/Set_Index_To]");
      return;
    }
  }
  if (ai->Slots[slot]) {
    SetErrorAndRaise(254, "Internal error: IND pointer already allocated");
    return;
  }

  // 2. The file, in the area's share mode.
  std::unique_ptr<TIndexRec> ix;
  try {
    ix = std::make_unique<TIndexRec>();
  } catch (const std::bad_alloc&) {
    SetErrorAndRaise(217, "Insufficient memory to open index: " + name + " [SetIndexTo/OpenIndex]");
    return;
  }
  int rc = ix->File.Open(name, OpenModeFor(*wa));
  if (rc != 0) {
    SetErrorAndRaise(static_cast<uint16_t>(rc), "Error opening index file: " + name);
    return;
  }
  ix->FileName = name;
  ix->Slot = static_cast<uint8_t>(slot);
  ix->Area = CurrentArea;

  // 3. Header and expression, read under the read semaphore.
  uint8_t head[kNdxPageSize] = {};
  uint64_t size = 0;
  size_t got = 0;
  {
    ReadSemaphoreHold hold;
    rc = ix->File.Size(&size);
    if (rc == 0) rc = ix->File.ReadAt(0, head, sizeof head, &got);
    hold.Release();
  }
  if (rc != 0 || size < kNdxMinFileSize || got != sizeof head ||
      !DecodeNdxHeader(head, ix->Header)) {
    SetErrorAndRaise(222, "Unable to open index: " + name);
    return;
  }
  const char* stored = reinterpret_cast<const char*>(head + kNdxExprOffset);
  ix->Expression.assign(stored, strnlen(stored, kNdxExprSize - 1));
  // An index marked out of date keeps the mark through every later header write.
  const uint32_t stored_count = GetU32LE(head + kNdxCountOffset);
  ix->OutOfDate = GetU32LE(head + kNdxCheckOffset) == ~stored_count &&
                  stored_count == static_cast<uint32_t>(kNdxOutOfDateCount);

  // 4. The key: a KeyMaker or the stored expression, compiled.
  const bool made_by_key_maker = NormalizeKeyExpression(ix->Expression) == g_keymaker_text;
  if (key_maker != nullptr) {
    if (!made_by_key_maker) {
      SetErrorAndRaise(223,
                       "Attempted use of Key Maker function with index file created with a dBASE "
                       "key expression [OpenIndex/Set_Index_ToCB(" +
                           name + ")]");
      return;
    }
    ix->FromExpression = false;
    ix->KeyMaker = key_maker;
    ix->Compare = &CompareCharKeys;
  } else {
    if (made_by_key_maker) {
      SetErrorAndRaise(223, "Key maker function required, \"" + name +
                                "\" was created using KeyMaker function. [OpenIndex/Set_Index_To]");
      return;
    }
    // The compiler's own report is replaced by the one naming the index file.
    const bool abort = AbortOnError;
    AbortOnError = false;
    ix->Expr = AssignExpr(NormalizeKeyExpression(ix->Expression));
    AbortOnError = abort;
    if (ix->Expr == nullptr) {
      const uint16_t code = ErrorCode != 0 ? ErrorCode : 351;
      SetErrorAndRaise(code, "Invalid dBASE key expression or corrupted index file " + name);
      return;
    }
    ix->FromExpression = true;
    // A file without the key-type letter (as other tools write it): a numeric key takes the
    // expression's type, as the build would have chosen it.
    if (ix->Header.NoTypeLetter && ix->Header.KeyType != 'C') {
      ix->Header.KeyType = ix->Expr->ResultType == 'D' ? 'D' : 'N';
    }
    ix->Compare = KeyCompareFor(ix->Header.KeyType);
  }
  ix->CharKey = ix->Header.KeyType == 'C';
  ix->Soundex = soundex;
  ix->Descending = descending;
  ix->NoCache = no_cache;
  // From here the record owns a compiled block; a failure frees it with the record.
  struct ExprOwner {
    std::unique_ptr<TIndexRec>& ix;
    ~ExprOwner() {
      if (ix && ix->Expr != nullptr) {
        if (CurrentKeyBlock == ix->Expr) CurrentKeyBlock = nullptr;
        FreeExpr(ix->Expr);
      }
    }
  } expr_owner{ix};

  // 6. Slot 1: the scratch node, the descent path and the node cache.
  try {
    ix->CurKey.assign(ix->Header.KeyLen + 1u, 0);
    if (slot == 1) {
      if (ai->Cache.Active()) {
        SetErrorAndRaise(254, "Internal error: Cache already allocated " + name);
        return;
      }
      EnsureScratchNode(*ai);
      DescentPath.Created = true;
      DescentPath.Reset();
      DescentPath.Owner = nullptr;
    }
  } catch (const std::bad_alloc&) {
    SetErrorAndRaise(217, "Insufficient memory to open index: " + name + " [SetIndexTo/OpenIndex]");
    return;
  }

  // 7. Enter the record in its slot and in the opened order.
  TIndexRec* rec = ix.release();
  ai->Slots[slot].reset(rec);
  ai->Opened[slot] = rec;
  if (slot == 1) SetNodeCache(*ai, *rec, no_cache ? 0 : kDefaultNodeCacheSize);

  // 8. The file size against the header, then the current record's key.
  auto undo = [&] {
    const uint16_t code = ErrorCode;
    const std::string msg = ErrorMsg;
    const bool abort = AbortOnError;
    AbortOnError = false;
    try {
      CloseSlot(*ai, slot);
    } catch (const EWendalError&) {
    }
    AbortOnError = abort;
    ErrorCode = code;
    ErrorMsg = msg;
  };
  ErrorCode = 0;
  bool ok = false;
  try {
    ok = CheckIndexFileSize(*rec);
  } catch (...) {
    undo();
    throw;
  }
  if (!ok) {
    const uint16_t code = ErrorCode != 0 ? ErrorCode : 222;
    const std::string msg = ErrorMsg;
    undo();
    SetErrorAndRaise(code, msg);
    return;
  }
  RefreshRecCount();
  const TDbfFileRec& t = wa->Dbf;
  if (t.RecCount < 1 || t.RecNo < 1 || t.RecNo > t.RecCount) {
    if (t.RecCount < 1) {
      rec->AtStart = true;
      rec->AtEnd = true;
    }
    std::fill(rec->CurKey.begin(), rec->CurKey.end(), 0);
    if (rec->CharKey) std::fill(rec->CurKey.begin(), rec->CurKey.end() - 1, ' ');
  } else {
    ErrorCode = 0;
    try {
      ok = MakeRecordKey(*rec, rec->CurKey.data(), " [SetIndexTo/OpenIndex]");
    } catch (...) {
      undo();
      throw;
    }
    if (!ok) {
      const uint16_t code = ErrorCode != 0 ? ErrorCode : 266;
      const std::string msg = ErrorMsg;
      undo();
      SetErrorAndRaise(code, msg);
      return;
    }
  }
  ErrorCode = 0;
}

void Index_On(const std::string& expression, const std::string& name_with_options) {
  if (!CheckParserLinked("Index_On")) return;
  IndexOnPrepare();
  if (ErrorCode != 0) return;
  MakeExprIndex(expression, name_with_options);
  if (ErrorCode != 0) return;
  Set_Index_ToLFN(name_with_options, 1);
}

void Index_OnCB(TKeyMaker key_maker, const std::string& name_with_options) {
  IndexOnPrepare();
  if (ErrorCode != 0) return;
  MakeKeyMakerIndex(key_maker, name_with_options);
  if (ErrorCode != 0) return;
  Set_Index_ToCB(key_maker, name_with_options, 1);
}

void Close_Indexes() {
  TAreaIndexes* ai = CurrentAreaIndexes();
  if (ai == nullptr) return;
  ai->NaturalOrder = false;
  struct AbortRestore {
    bool saved = AbortOnError;
    ~AbortRestore() { AbortOnError = saved; }
  } restore;
  AbortOnError = false;
  TFirstFailure first;
  for (int slot = 1; slot <= kMaxIndexSlots; ++slot) {
    first.Run([&] { CloseSlot(*ai, slot); });
  }
  // Logged out even when a slot's close failed before the logout.
  if (AreaSemaphore(CurrentArea) != nullptr && CurrentWorkArea() != nullptr) {
    first.Run([] { HandleSemafore(smLogout); });
  }
  ReleaseAreaSemaphore(CurrentArea);
  ai->Controlling = 1;
  ErrorCode = first.Code;
  if (first.Code != 0) {
    ErrorMsg = first.Msg;
    LastReportedError = first.Code;
  }
}

int CurrentOrder() {
  if (CurrentWorkArea() == nullptr) {
    SetError(215, "No database open in current work area [CurrentOrder]");
    return 0;
  }
  const TAreaIndexes* ai = CurrentAreaIndexes();
  if (ai == nullptr || ai->NaturalOrder || !AnySlotOpen(*ai)) return 0;
  return ai->Controlling;
}

void Set_Order_To(int n) {
  const std::string tag = " [Set_Order_To(" + std::to_string(n) + ")]";
  TWorkAreaRec* wa = CurrentWorkArea();
  if (wa == nullptr) {
    SetErrorAndRaise(215, "No database open in current work area" + tag);
    return;
  }
  const std::string table = wa->Dbf.FileName;
  if (n < 0 || n > kMaxIndexSlots) {
    SetErrorAndRaise(220, "Invalid Index Order Specified: SET_ORDER_TO. (DBF=" + table + ")" + tag);
    return;
  }
  TAreaIndexes& ai = *CurrentAreaIndexes();
  if (n == 0) {
    ai.NaturalOrder = true;
    return;
  }
  ReadSemaphoreHold hold;
  const bool found = IndexFound;
  ai.NaturalOrder = false;
  if (!ai.Slots[1]) {
    SetErrorAndRaise(221, "No primary index active. (DBF=" + table + ")" + tag);
    return;
  }
  RereadCurrentRecord();
  if (n != ai.Controlling) {
    if (ai.Opened[n] == nullptr) {
      SetErrorAndRaise(221, "Index not open.. (DBF=" + table + ")" + tag);
      return;
    }
    TIndexRec* old = ai.Slots[1].get();
    const bool old_at_end = old->AtEnd;
    ExchangeSlots(ai, n);
    // The path and the cache hold pages of the old controlling index.
    DescentPath.Reset();
    DescentPath.Owner = nullptr;
    DetachNode(*old);
    for (int s = 1; s <= kMaxIndexSlots; ++s) {
      if (ai.Slots[s]) DetachNode(*ai.Slots[s]);
    }
    ai.Cache.Clear();
    NavSlot = 1;
    KeySlot = 1;
    RefreshRecCount();
    const TDbfFileRec& t = wa->Dbf;
    if (t.RecCount < 1) BuildCurrentKeys();
    if (old_at_end && t.RecCount > 0) {
      _FindLastRec();
      GoRecord(t.RecCount + 1);
      ai.Slots[1]->AtEnd = true;
      GetNode(kScratchPage, 1);
    }
  }
  SyncIndex();
  BuildCurrentKeys();
  IndexFound = found;
  hold.Release();
  ai.Controlling = n;
}

void Reindex() {
  TWorkAreaRec* wa = CurrentWorkArea();
  if (wa == nullptr) {
    SetError(215, "No database open in current work area [Reindex]");
    return;
  }
  TAreaIndexes& ai = *CurrentAreaIndexes();
  if (!AnySlotOpen(ai)) {
    SetError(221, "No open indexes with " + wa->Dbf.FileName + " [Reindex]");
    return;
  }
  const int order = ai.Controlling;
  const bool natural = ai.NaturalOrder;
  TFirstFailure first;
  if (ai.Slots[1]) first.Run([] { Set_Order_To(1); });
  for (int slot = 1; slot <= kMaxIndexSlots; ++slot) {
    TIndexRec* ix = ai.Slots[slot].get();
    if (ix == nullptr) continue;
    const bool had_cache = slot == 1 && ai.Cache.Active();
    const bool soundex = ix->Soundex;
    const bool descending = ix->Descending;
    const bool unique = ix->Header.Unique != 0;
    const bool from_expression = ix->FromExpression;
    const TKeyMaker key_maker = ix->KeyMaker;
    const std::string name = ix->FileName;
    std::string expression;
    if (from_expression) {
      char stored[kNdxExprSize - 1] = {};
      size_t got = 0;
      const int rc = ix->File.ReadAt(kNdxExprOffset, stored, sizeof stored, &got);
      if (rc != 0) {
        first.Run(
            [&] { SetError(static_cast<uint16_t>(rc), "Error reading index file:  [Reindex]"); });
        continue;
      }
      expression.assign(stored, strnlen(stored, got));
    }
    first.Run([&] { CloseSlot(ai, slot); });
    std::string reopen_name = name;
    if (soundex) reopen_name += " SOUNDEX";
    if (descending) reopen_name += " DESCENDING";
    if (unique) reopen_name += " UNIQUE";
    first.Run([&] {
      if (from_expression) {
        MakeExprIndex(expression, reopen_name);
      } else {
        MakeKeyMakerIndex(key_maker, reopen_name);
      }
    });
    if (!had_cache) reopen_name += " NOCACHE";
    // Reopened whether the build succeeded or not: a failed build leaves the old file.
    first.Run([&] {
      if (from_expression) {
        Set_Index_ToLFN(reopen_name, slot);
      } else {
        Set_Index_ToCB(key_maker, reopen_name, slot);
      }
    });
  }
  if (ai.Slots[1] && ai.Opened[order] != nullptr) first.Run([&] { Set_Order_To(order); });
  if (natural) first.Run([] { Set_Order_To(0); });
  first.Restore();
}

void IndexInit() {
  if (IndexDriverHooks.CloseIndexes != nullptr && IndexDriverHooks.CloseIndexes != &Close_Indexes) {
    SetError(254, "ERROR: BOTH INDEX4 and WENNDX units linked in. [IndexInit]");
    return;
  }
  // One exit procedure however often the engine starts; registered after the work areas'
  // so that it runs before it (newest first): indexes close before their tables.
  if (g_exit_proc_id >= 0) platform::RemoveExitProc(g_exit_proc_id);
  g_exit_proc_id = platform::AddExitProc(&CloseIndexesAtExit);
  InitIndexNav();
  IndexFlush = false;
  FillIndexNavHooks();
  IndexDriverHooks.Reindex = &Reindex;
  IndexDriverHooks.CloseIndexes = &Close_Indexes;
  IndexDriverHooks.Slot21 = nullptr;
  IndexDriverHooks.SetReadSemaphore = &SetReadSemaphoreProc;
  IndexDriverHooks.SetLockSemaphore = &SetLockSemaphoreProc;
  g_keymaker_text = NormalizeKeyExpression(kKeyMakerText);
}

}  // namespace engine
