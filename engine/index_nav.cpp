#include "engine/index_nav.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "engine/bytes.h"
#include "engine/dbf_file.h"
#include "engine/error.h"
#include "engine/expr.h"
#include "engine/expr_util.h"
#include "engine/hooks.h"
#include "engine/index_common.h"
#include "engine/index_semaphore.h"
#include "engine/utils.h"
#include "engine/work_area.h"
#include "platform/core/dos_error.h"

namespace engine {

std::array<TAreaIndexes, kMaxArea + 1> AreaIndexes;
TDescentPath DescentPath;
int NavSlot = 1;
int KeySlot = 1;
bool IndexFound = false;
bool IndexFlush = false;
bool FindSoftSeek = false;
bool FindPadKey = false;

TAreaIndexes* CurrentAreaIndexes() {
  return CurrentArea >= 1 && CurrentArea <= kMaxArea ? &AreaIndexes[CurrentArea] : nullptr;
}

TIndexRec* CurrentIndex(int slot) {
  TAreaIndexes* a = CurrentAreaIndexes();
  if (a == nullptr || slot < 1 || slot > kMaxIndexSlots) return nullptr;
  return a->Slots[slot].get();
}

namespace {

// Deeper than any tree a file of 2^32 pages can hold (at least 4 keys per page); a deeper
// descent means the file's pages form a cycle.
constexpr size_t kMaxDepth = 32;

// Holds the read or lock semaphore of the current area for a scope. Release() gives it back
// on the normal path (its failure is reported as usual); the destructor gives it back quietly
// when an exception leaves the scope first.
class SemaphoreHold {
 public:
  explicit SemaphoreHold(bool lock) : lock_(lock), area_(CurrentArea) {
    Proc()(true);
    held_ = true;
  }
  SemaphoreHold(const SemaphoreHold&) = delete;
  SemaphoreHold& operator=(const SemaphoreHold&) = delete;
  ~SemaphoreHold() {
    if (!held_) return;
    try {
      Release();
    } catch (...) {
    }
  }
  void Release() {
    if (!held_) return;
    held_ = false;
    const uint8_t current = CurrentArea;
    CurrentArea = area_;
    try {
      Proc()(false);
    } catch (...) {
      CurrentArea = current;
      throw;
    }
    CurrentArea = current;
  }

 private:
  void (*Proc())(bool) { return lock_ ? &SetLockSemaphoreProc : &SetReadSemaphoreProc; }
  bool lock_;
  uint8_t area_;
  bool held_ = false;
};

// Keeps ErrorCode and ErrorMsg as they are at construction, restoring them on destruction,
// and switches halting off meanwhile: for clean-up work whose failures must not replace the
// failure being reported.
class KeepError {
 public:
  KeepError() : code_(ErrorCode), msg_(ErrorMsg), abort_(AbortOnError) { AbortOnError = false; }
  KeepError(const KeepError&) = delete;
  KeepError& operator=(const KeepError&) = delete;
  ~KeepError() {
    ErrorCode = code_;
    ErrorMsg = msg_;
    AbortOnError = abort_;
  }

 private:
  uint16_t code_;
  std::string msg_;
  bool abort_;
};

bool Fail(uint16_t code, const std::string& msg) {
  SetError(code, msg);
  return false;
}

TDbfFileRec* CurrentTable() {
  TWorkAreaRec* wa = CurrentWorkArea();
  return wa == nullptr ? nullptr : &wa->Dbf;
}

std::string Right(const std::string& s, size_t width) {
  return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

uint16_t Count(const uint8_t* node) { return NodeKeyCount(node); }

// ---- Node checks -----------------------------------------------------------------------

bool ValidPage(const TIndexRec& ix, uint32_t page) {
  return page >= 1 && page < ix.Header.NextFree;
}

std::string NodeMessage(const TIndexRec& ix, uint32_t page) {
  return "Damaged index node (" + std::to_string(page) + ") in DBF Area " +
         std::to_string(ix.Area) + ", Order " + std::to_string(ix.Slot) + " " + ix.FileName +
         " [GetNode]";
}

// A node read from the file: a key count within the keys per page, a leaf whose entries have
// no children or an inner node whose children all lie inside the file.
bool CheckNode(const TIndexRec& ix, uint32_t page, const uint8_t* node) {
  const uint16_t k = Count(node);
  bool ok = k <= ix.Header.KeysPerPage;
  if (ok && !NodeIsLeaf(node)) {
    for (uint32_t i = 0; ok && i < k; ++i)
      ok = ValidPage(ix, EntryChild(NodeEntry(node, ix.Header, i)));
    ok = ok && ValidPage(ix, NodeRightChild(node, ix.Header));
  } else if (ok) {
    for (uint32_t i = 1; ok && i < k; ++i) ok = EntryChild(NodeEntry(node, ix.Header, i)) == 0;
  }
  if (!ok) return Fail(254, NodeMessage(ix, page));
  return true;
}

bool IsLeaf(const uint8_t* node) { return NodeIsLeaf(node); }

// Child i (0..count) of an inner node: entry i's child, or the right-most child at count.
uint32_t ChildAt(const TIndexRec& ix, const uint8_t* node, int i) {
  return i < Count(node) ? EntryChild(NodeEntry(node, ix.Header, static_cast<uint32_t>(i)))
                         : NodeRightChild(node, ix.Header);
}
void SetChildAt(const TIndexRec& ix, uint8_t* node, int i, uint32_t child) {
  if (i < Count(node)) {
    PutU32LE(NodeEntry(node, ix.Header, static_cast<uint32_t>(i)), child);
  } else {
    SetNodeRightChild(node, ix.Header, child);
  }
}

TAreaIndexes& AreaOf(const TIndexRec& ix) { return AreaIndexes[ix.Area <= kMaxArea ? ix.Area : 0]; }

bool CacheOn(const TIndexRec& ix) {
  const TAreaIndexes& a = AreaOf(ix);
  return ix.Slot == 1 && a.Slots[1].get() == &ix && a.Cache.Active();
}

// Reads a page through the cache of slot 1, or SeekAndRead otherwise, and checks it.
bool LoadNode(TIndexRec& ix, uint32_t page, uint8_t* out) {
  if (!ValidPage(ix, page)) {
    if (page == 0) {
      return Fail(254, "Invalid Node Number (0) in DBF Area " + std::to_string(ix.Area) +
                           ", Order " + std::to_string(ix.Slot) + " " + ix.FileName + "\n" +
                           " [GetNode]");
    }
    return Fail(254, NodeMessage(ix, page));
  }
  if (CacheOn(ix)) {
    TNodeCache& c = AreaOf(ix).Cache;
    for (size_t i = 0; i < c.Table.size(); ++i) {
      if (c.Table[i].Page != page) continue;
      if (i > 0) std::swap(c.Table[i], c.Table[i - 1]);
      std::memcpy(out, c.Table[i > 0 ? i - 1 : 0].Data, kNdxPageSize);
      return true;
    }
    size_t slot = c.Table.size() - 1;
    for (size_t i = 0; i < c.Table.size(); ++i) {
      if (c.Table[i].Page == 0) {
        slot = i;
        break;
      }
    }
    // Pages are written through, so an evicted page never needs writing back.
    c.Table[slot].Page = 0;
    if (!SeekAndRead(ix, page, c.Table[slot].Data)) return false;
    if (!CheckNode(ix, page, c.Table[slot].Data)) return false;
    c.Table[slot].Page = page;
    std::memcpy(out, c.Table[slot].Data, kNdxPageSize);
    return true;
  }
  if (!SeekAndRead(ix, page, out)) return false;
  return CheckNode(ix, page, out);
}

// ---- Searching inside a node and the descent path --------------------------------------

// The first entry whose key is at least `key` over `len` bytes (equal keys: the first).
int SearchNode(const TIndexRec& ix, const uint8_t* node, const uint8_t* key, uint16_t len) {
  int lo = 0, hi = Count(node);
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (ix.Compare(EntryKey(NodeEntry(node, ix.Header, static_cast<uint32_t>(mid))), key, len) <
        0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

bool PushPath(TPathNode&& n) {
  if (DescentPath.Nodes.size() >= kMaxDepth) return false;
  if (DescentPath.Nodes.size() % TDescentPath::kBlockNodes == 0 &&
      !HeapHas(static_cast<int64_t>(sizeof(TPathNode)) * TDescentPath::kBlockNodes)) {
    SetError(217, " [add_path (InternalIndexFunction)]");
    return false;
  }
  DescentPath.Nodes.push_back(std::move(n));
  return true;
}

bool TooDeep(const TIndexRec& ix) {
  return Fail(254, "Index tree too deep in " + ix.FileName + " [GetNode]");
}

// Copies the path's leaf into the record's current node.
void TakeLeaf(TIndexRec& ix) {
  const TPathNode& leaf = DescentPath.Nodes.back();
  ix.NodeBuf = leaf.Data;
  ix.CurNode = ix.NodeBuf.data();
  ix.CurPage = leaf.Page;
  ix.Pos = leaf.Pos;
}

void StandOnScratch(TIndexRec& ix) {
  TAreaIndexes& a = AreaOf(ix);
  EnsureScratchNode(a);
  ix.CurNode = a.Scratch->data();
  ix.CurPage = kScratchPage;
  ix.Pos = 0;
}

bool OnScratch(const TIndexRec& ix) { return ix.CurPage == kScratchPage; }

// Descends from `page` along the first (left) or the last (right) children to a leaf,
// pushing each node; the leaf stands on its first or last entry.
bool DescendEdge(TIndexRec& ix, uint32_t page, bool left) {
  for (;;) {
    if (DescentPath.Nodes.size() >= kMaxDepth) return TooDeep(ix);
    TPathNode n;
    n.Page = page;
    if (!LoadNode(ix, page, n.Data.data())) return false;
    const int k = Count(n.Data.data());
    const bool leaf = IsLeaf(n.Data.data());
    n.Pos = left ? 0 : (leaf ? std::max(k - 1, 0) : k);
    if (!leaf) page = ChildAt(ix, n.Data.data(), n.Pos);
    if (!PushPath(std::move(n))) return DescentPath.Nodes.size() >= kMaxDepth ? TooDeep(ix) : false;
    if (leaf) return true;
  }
}

// Descends from the root for `key` (compared over `len` bytes): each inner node follows the
// child of its first entry not below the key; the leaf stands on the first entry not below
// it (its key count when every key is less).
bool DescendKey(TIndexRec& ix, const uint8_t* key, uint16_t len) {
  DescentPath.Reset();
  DescentPath.Owner = &ix;
  uint32_t page = ix.Header.Root;
  for (;;) {
    if (DescentPath.Nodes.size() >= kMaxDepth) return TooDeep(ix);
    TPathNode n;
    n.Page = page;
    if (!LoadNode(ix, page, n.Data.data())) return false;
    n.Pos = SearchNode(ix, n.Data.data(), key, len);
    const bool leaf = IsLeaf(n.Data.data());
    if (!leaf) page = ChildAt(ix, n.Data.data(), n.Pos);
    if (!PushPath(std::move(n))) return DescentPath.Nodes.size() >= kMaxDepth ? TooDeep(ix) : false;
    if (leaf) return true;
  }
}

bool AtValidEntry() {
  const TPathNode& leaf = DescentPath.Nodes.back();
  return leaf.Pos >= 0 && leaf.Pos < Count(leaf.Data.data());
}

// Moves the path to the next entry in key order. `moved` is false when the path stands on
// the last entry (the path is then unchanged). Empty leaves on the way are passed over.
bool StepNext(TIndexRec& ix, bool& moved) {
  moved = false;
  for (int guard = 0; guard < 1 << 20; ++guard) {
    TPathNode& leaf = DescentPath.Nodes.back();
    if (leaf.Pos + 1 < Count(leaf.Data.data())) {
      ++leaf.Pos;
      moved = true;
      return true;
    }
    size_t d = DescentPath.Nodes.size() - 1;
    while (d > 0 && DescentPath.Nodes[d - 1].Pos >= Count(DescentPath.Nodes[d - 1].Data.data()))
      --d;
    if (d == 0) return true;
    DescentPath.Nodes.resize(d);
    TPathNode& parent = DescentPath.Nodes.back();
    ++parent.Pos;
    if (!DescendEdge(ix, ChildAt(ix, parent.Data.data(), parent.Pos), true)) return false;
    if (AtValidEntry()) {
      moved = true;
      return true;
    }
  }
  return Fail(254, "Index walk does not end in " + ix.FileName + " [GetNode]");
}

bool StepPrior(TIndexRec& ix, bool& moved) {
  moved = false;
  for (int guard = 0; guard < 1 << 20; ++guard) {
    TPathNode& leaf = DescentPath.Nodes.back();
    if (leaf.Pos > 0 && Count(leaf.Data.data()) > 0) {
      leaf.Pos = std::min<int>(leaf.Pos, Count(leaf.Data.data())) - 1;
      moved = true;
      return true;
    }
    size_t d = DescentPath.Nodes.size() - 1;
    while (d > 0 && DescentPath.Nodes[d - 1].Pos == 0) --d;
    if (d == 0) return true;
    DescentPath.Nodes.resize(d);
    TPathNode& parent = DescentPath.Nodes.back();
    --parent.Pos;
    if (!DescendEdge(ix, ChildAt(ix, parent.Data.data(), parent.Pos), false)) return false;
    if (AtValidEntry()) {
      moved = true;
      return true;
    }
  }
  return Fail(254, "Index walk does not end in " + ix.FileName + " [GetNode]");
}

const uint8_t* PathEntry(const TIndexRec& ix) {
  const TPathNode& leaf = DescentPath.Nodes.back();
  return NodeEntry(leaf.Data.data(), ix.Header, static_cast<uint32_t>(leaf.Pos));
}

// The path's entry becomes the record's current entry and key.
uint32_t TakeEntry(TIndexRec& ix) {
  TakeLeaf(ix);
  const uint8_t* e = PathEntry(ix);
  std::memcpy(ix.CurKey.data(), EntryKey(e), ix.Header.KeyLen);
  ix.CurKey[ix.Header.KeyLen] = 0;
  return EntryRecNo(e);
}

// After a search descent: a leaf position past its last key steps on to the next entry in
// key order; false in `found_entry` when the index has none (end of index).
bool SettleAfterSearch(TIndexRec& ix, bool& found_entry) {
  found_entry = true;
  if (AtValidEntry()) return true;
  TPathNode& leaf = DescentPath.Nodes.back();
  if (Count(leaf.Data.data()) == 0 && DescentPath.Nodes.size() == 1) {
    found_entry = false;
    return true;
  }
  leaf.Pos = std::max<int>(Count(leaf.Data.data()) - 1, 0);
  bool moved = false;
  if (!StepNext(ix, moved)) return false;
  found_entry = moved;
  return true;
}

bool KeysEqual(const TIndexRec& ix, const uint8_t* a, const uint8_t* b, uint16_t len) {
  return ix.Compare(a, b, len) == 0;
}

std::string KeyString(const TIndexRec& ix, const uint8_t* key) {
  if (!ix.CharKey) return std::to_string(GetKeyNumber(key));
  return std::string(reinterpret_cast<const char*>(key), ix.Header.KeyLen);
}

// Stands `ix` on the entry of `key` for record `rec` (or, unless `exact`, on the first entry
// not below the key when the record's entry is missing). Result: 1 on the record's entry,
// 0 when the key is present but not for the record, -1 when the key is missing, -2 after a
// reported failure. A unique index stands on its entry of the key whatever its record.
int Position(TIndexRec& ix, const uint8_t* key, uint32_t rec) {
  if (!DescendKey(ix, key, ix.Header.KeyLen)) return -2;
  bool entry = false;
  if (!SettleAfterSearch(ix, entry)) return -2;
  if (!entry) {
    StandOnScratch(ix);
    ix.AtEnd = true;
    return -1;
  }
  if (!KeysEqual(ix, EntryKey(PathEntry(ix)), key, ix.Header.KeyLen)) {
    TakeEntry(ix);
    return -1;
  }
  if (ix.Header.Unique) {
    TakeEntry(ix);
    return 1;
  }
  // Remember the first equal entry, then walk to the record's own entry.
  const std::vector<TPathNode> first = DescentPath.Nodes;
  for (;;) {
    if (EntryRecNo(PathEntry(ix)) == rec) {
      TakeEntry(ix);
      return 1;
    }
    bool moved = false;
    if (!StepNext(ix, moved)) return -2;
    if (!moved || !KeysEqual(ix, EntryKey(PathEntry(ix)), key, ix.Header.KeyLen)) break;
  }
  DescentPath.Nodes = first;
  TakeEntry(ix);
  return 0;
}

// ---- Change check ----------------------------------------------------------------------

// Re-reads the anchors of the area's open indexes when the semaphore shows another
// program's change; the path's and the cache's page copies go with them. True when it did.
bool ForeignChange() {
  TAreaIndexes* a = CurrentAreaIndexes();
  if (a == nullptr) return false;
  return SemaphoreChangeCheck([a]() {
    // Another program's appends: the record count its new keys point up to.
    RefreshRecCount();
    DropIndexPages(*a);
    for (int s = 1; s <= kMaxIndexSlots; ++s) {
      if (a->Slots[s]) ReadAnchor(*a->Slots[s]);
    }
  });
}

TIndexRec* Primary() { return CurrentIndex(NavSlot); }

bool Natural() {
  const TAreaIndexes* a = CurrentAreaIndexes();
  return a != nullptr && a->NaturalOrder;
}

void SetFlags(TIndexRec& ix, bool start, bool end) {
  ix.AtStart = start;
  ix.AtEnd = end;
}

// Blank current key: blanks for a character key, zeros otherwise.
void BlankKey(TIndexRec& ix) {
  std::fill(ix.CurKey.begin(), ix.CurKey.end(), static_cast<uint8_t>(ix.CharKey ? ' ' : 0));
  ix.CurKey[ix.Header.KeyLen] = 0;
}

// Stands on the first or last entry of the whole index; 0 for an empty index.
int32_t EdgeRec(TIndexRec& ix, bool first) {
  DescentPath.Reset();
  DescentPath.Owner = &ix;
  if (!DescendEdge(ix, ix.Header.Root, first)) return 0;
  if (!AtValidEntry()) {
    SetFlags(ix, true, true);
    StandOnScratch(ix);
    return 0;
  }
  SetFlags(ix, false, false);
  IndexFound = true;
  return static_cast<int32_t>(TakeEntry(ix));
}

// Re-establishes the path of slot 1 on the current record after another index used it.
bool Reestablish(TIndexRec& ix, const char* routine) {
  const TDbfFileRec* t = CurrentTable();
  const int r = Position(ix, ix.CurKey.data(), static_cast<uint32_t>(t->RecNo));
  if (r == -2) return false;
  if (r != 1) {
    SetError(254, std::string(" [") + routine + "]");
    // Searched once more: the index then stands on the first entry not below the key.
    if (Position(ix, ix.CurKey.data(), static_cast<uint32_t>(t->RecNo)) == -2) return false;
  }
  return true;
}

// Before a walk: the current position of slot 1 as a path. After a change by another program
// the table re-reads its record and the index stands on it again.
bool PrepareWalk(TIndexRec& ix, const char* routine) {
  TDbfFileRec* t = CurrentTable();
  if (ForeignChange() || ix.CurNode == nullptr) {
    GoRecord(t->RecNo);
    SoftSyncIndex();
    return ErrorCode == 0;
  }
  if (OnScratch(ix)) return true;
  if (DescentPath.Owner != &ix || DescentPath.Nodes.empty()) return Reestablish(ix, routine);
  return true;
}

// ---- Keys of records -------------------------------------------------------------------

std::string LengthMessage(const TIndexRec& ix, const std::string& key, const std::string& tag) {
  return "Incorrect key length: Must be 1 to 100.\n\rExpected Length= " +
         Right(std::to_string(ix.Header.KeyLen), 3) + "\n\rKey= [" + key + "] " + ix.FileName + tag;
}

// The sync of one index on the current record, with SyncIndex's messages.
void SyncOne(TIndexRec& ix) {
  TDbfFileRec* t = CurrentTable();
  if (t->RecCount < 1 || t->RecNo < 1 || t->RecNo > t->RecCount) {
    StandOnScratch(ix);
    SetFlags(ix, t->RecCount < 1, true);
    if (t->RecCount < 1) BlankKey(ix);
    return;
  }
  std::vector<uint8_t> key(ix.Header.KeyLen);
  if (!MakeRecordKey(ix, key.data(), " [SyncIndex-0]")) return;
  const uint32_t rec = static_cast<uint32_t>(t->RecNo);
  int r = Position(ix, key.data(), rec);
  if (r == 0 || r == -1) {
    if (!ReadAnchor(ix)) return;
    r = Position(ix, key.data(), rec);
  }
  if (r == -2) return;
  const std::string quoted = "\"" + KeyString(ix, key.data()) + "\"";
  if (r == -1) {
    SetError(212, "Key: " + quoted + " not in index: " + ix.FileName +
                      ". [SyncIndex-1] Record: " + std::to_string(rec));
    return;
  }
  if (r == 0) {
    SetError(212,
             "Record with key: " + quoted + " not in index: " + ix.FileName + ". [SyncIndex-2]");
    return;
  }
  SetFlags(ix, false, false);
}

void SyncSlot1AfterChange(TIndexRec& ix) {
  // Slot 1 stands on the current record's entry again; a record without one is left at the
  // first greater key (the caller reports its own failure).
  TDbfFileRec* t = CurrentTable();
  if (t == nullptr || t->RecNo < 1 || t->RecNo > t->RecCount) return;
  std::vector<uint8_t> key(ix.Header.KeyLen);
  {
    KeepError keep;
    if (!MakeRecordKey(ix, key.data(), "")) return;
    if (Position(ix, key.data(), static_cast<uint32_t>(t->RecNo)) >= 0) SetFlags(ix, false, false);
  }
}

// ---- Header page -----------------------------------------------------------------------

// Writes page 0 from the record (the header, the expression and the table's record count and
// name, or the out-of-date mark) and flushes it when IndexFlush is set. Returns 0 or the
// system's code; `flushing` tells that the flush failed.
int PutHeaderPage(TIndexRec& ix, bool& flushing) {
  flushing = false;
  std::array<uint8_t, kNdxPageSize> page{};
  const TDbfFileRec* t = CurrentTable();
  TWorkAreaRec* wa = ix.Area >= 1 && ix.Area <= kMaxArea ? WorkAreas[ix.Area].get() : nullptr;
  if (wa != nullptr) t = &wa->Dbf;
  const int32_t count = ix.OutOfDate ? kNdxOutOfDateCount : (t != nullptr ? t->RecCount : 0);
  BuildNdxHeaderPage(ix.Header, ix.Expression, count, t != nullptr ? t->FileName : std::string(),
                     page.data());
  int rc = ix.File.WriteAt(0, page.data(), page.size());
  if (rc == 0 && IndexFlush) {
    rc = ix.File.Flush();
    flushing = rc != 0;
  }
  if (rc == 0) ix.HeaderChanged = false;
  return rc;
}

// PutHeaderPage inside a change: false after reporting through the plain error state.
bool WriteHeaderPage(TIndexRec& ix) {
  bool flushing = false;
  const int rc = PutHeaderPage(ix, flushing);
  if (rc == 0) return true;
  return Fail(static_cast<uint16_t>(rc),
              flushing ? std::string("Unable to flush file  [WENNDX.FlushFile]")
                       : "Error writing index file:  " + ix.FileName + " [WriteAnchorNode]");
}

// After a write failed in the middle of a change the file may lack the key being inserted or
// hold some keys twice: its header is marked out of date, and stays so until a rebuild. The
// mark is written as far as the file takes it; the failure being reported stays the error.
void MarkOutOfDate(TIndexRec& ix) {
  KeepError keep;
  ix.OutOfDate = true;
  ix.HeaderChanged = true;
  bool flushing = false;
  PutHeaderPage(ix, flushing);
}

// ---- Insertion -------------------------------------------------------------------------

struct EntryBytes {
  std::array<uint8_t, 8 + kNdxMaxKeyLen> b{};
};

EntryBytes MakeEntry(const TIndexRec& ix, uint32_t child, uint32_t rec, const uint8_t* key) {
  EntryBytes e;
  PutU32LE(e.b.data(), child);
  PutU32LE(e.b.data() + 4, rec);
  std::memcpy(e.b.data() + 8, key, ix.Header.KeyLen);
  return e;
}

bool NewPage(TIndexRec& ix, uint32_t& page) {
  if (ix.Header.NextFree >= 0x7FFFFFFFu)
    return Fail(254, "Index file full: " + ix.FileName + " [AppendIndex]");
  if (!HeapHas(4 * kNdxPageSize)) return Fail(217, " [AppendIndex]");
  page = ix.Header.NextFree++;
  ix.HeaderChanged = true;
  return true;
}

// Inserts entry `e` at position `p` of the path's node at `level`, splitting it when full.
bool InsertAt(TIndexRec& ix, size_t level, const EntryBytes& e, int p) {
  const TNdxHeader& h = ix.Header;
  const uint16_t es = h.EntrySize;
  TPathNode& n = DescentPath.Nodes[level];
  uint8_t* node = n.Data.data();
  const bool leaf = level + 1 == DescentPath.Nodes.size();
  const int k = Count(node);
  const uint32_t right = leaf ? 0 : NodeRightChild(node, h);
  if (k < h.KeysPerPage) {
    std::memmove(NodeEntry(node, h, p + 1u), NodeEntry(node, h, p),
                 static_cast<size_t>(k - p) * es);
    std::memset(NodeEntry(node, h, p), 0, es);
    std::memcpy(NodeEntry(node, h, p), e.b.data(), 8u + h.KeyLen);
    SetNodeKeyCount(node, static_cast<uint16_t>(k + 1));
    if (!leaf) SetNodeRightChild(node, h, right);
    return SeekAndWrite(ix, n.Page, node);
  }
  // Split: the k + 1 entries in order, the upper half to a new page.
  std::vector<EntryBytes> all(static_cast<size_t>(k) + 1);
  for (int i = 0, j = 0; i <= k; ++i) {
    if (i == p) {
      all[i] = e;
    } else {
      std::memcpy(all[i].b.data(), NodeEntry(node, h, static_cast<uint32_t>(j++)), 8u + h.KeyLen);
    }
  }
  const int lower = k - k / 2;
  const int left_count = lower + (p < lower ? 1 : 0);
  uint32_t new_page = 0;
  if (!NewPage(ix, new_page)) return false;
  std::array<uint8_t, kNdxPageSize> left{}, upper{};
  for (int i = left_count; i <= k; ++i) {
    std::memcpy(NodeEntry(upper.data(), h, static_cast<uint32_t>(i - left_count)), all[i].b.data(),
                8u + h.KeyLen);
  }
  SetNodeKeyCount(upper.data(), static_cast<uint16_t>(k + 1 - left_count));
  if (!leaf) SetNodeRightChild(upper.data(), h, right);
  int kept = left_count;
  EntryBytes sep = all[left_count - 1];
  if (!leaf) {
    // The lower inner page gives up its last entry: its child becomes the right-most child.
    --kept;
  }
  for (int i = 0; i < kept; ++i) {
    std::memcpy(NodeEntry(left.data(), h, static_cast<uint32_t>(i)), all[i].b.data(),
                8u + h.KeyLen);
  }
  SetNodeKeyCount(left.data(), static_cast<uint16_t>(kept));
  if (!leaf) SetNodeRightChild(left.data(), h, GetU32LE(sep.b.data()));
  // The writes go so that a failure at any of them leaves a tree that reaches every key it
  // held: first the new page (nothing refers to it yet), then the parent or the new root
  // (from then on both pages are reached, the old one still whole), the old page's lower
  // half last.
  const uint32_t old_page = n.Page;
  if (!SeekAndWrite(ix, new_page, upper.data())) return false;
  // The separator: the greatest key under the lower page, pointing at it; inner entries
  // carry no record number.
  PutU32LE(sep.b.data(), old_page);
  PutU32LE(sep.b.data() + 4, 0);
  if (level == 0) {
    uint32_t root = 0;
    if (!NewPage(ix, root)) return false;
    std::array<uint8_t, kNdxPageSize> r{};
    std::memcpy(NodeEntry(r.data(), h, 0), sep.b.data(), 8u + h.KeyLen);
    SetNodeKeyCount(r.data(), 1);
    SetNodeRightChild(r.data(), h, new_page);
    if (!SeekAndWrite(ix, root, r.data())) return false;
    // The header names the new root before the old root loses its upper half.
    const uint32_t old_root = ix.Header.Root;
    ix.Header.Root = root;
    if (!WriteHeaderPage(ix)) {
      ix.Header.Root = old_root;
      return false;
    }
  } else {
    TPathNode& parent = DescentPath.Nodes[level - 1];
    SetChildAt(ix, parent.Data.data(), parent.Pos, new_page);
    if (!InsertAt(ix, level - 1, sep, parent.Pos)) return false;
  }
  TPathNode& old = DescentPath.Nodes[level];
  old.Data = left;
  return SeekAndWrite(ix, old_page, old.Data.data());
}

// ---- Deletion --------------------------------------------------------------------------

// The greatest entry under `page`.
bool GreatestUnder(TIndexRec& ix, uint32_t page, EntryBytes& out) {
  std::array<uint8_t, kNdxPageSize> node{};
  for (size_t depth = 0; depth < kMaxDepth; ++depth) {
    if (!LoadNode(ix, page, node.data())) return false;
    const int k = Count(node.data());
    if (!IsLeaf(node.data())) {
      page = NodeRightChild(node.data(), ix.Header);
      continue;
    }
    if (k == 0) return Fail(254, NodeMessage(ix, page));
    std::memcpy(out.b.data(), NodeEntry(node.data(), ix.Header, k - 1u), 8u + ix.Header.KeyLen);
    return true;
  }
  return TooDeep(ix);
}

// The greatest key under the path's node at `level` changed: the first ancestor that holds
// it as a separator takes the new one.
bool UpdateSeparator(TIndexRec& ix, size_t level, uint32_t page) {
  EntryBytes top;
  if (!GreatestUnder(ix, page, top)) return false;
  for (size_t l = level; l > 0; --l) {
    TPathNode& parent = DescentPath.Nodes[l - 1];
    if (parent.Pos < Count(parent.Data.data())) {
      uint8_t* entry = NodeEntry(parent.Data.data(), ix.Header, static_cast<uint32_t>(parent.Pos));
      PutU32LE(entry + 4, 0);
      std::memcpy(EntryKey(entry), top.b.data() + 8, ix.Header.KeyLen);
      return SeekAndWrite(ix, parent.Page, parent.Data.data());
    }
  }
  return true;
}

// The index has no key left: page 1 becomes an empty leaf, root 1, next free 2.
bool ResetEmpty(TIndexRec& ix) {
  std::array<uint8_t, kNdxPageSize> empty{};
  ix.Header.Root = 1;
  ix.Header.NextFree = 2;
  ix.HeaderChanged = true;
  return SeekAndWrite(ix, 1, empty.data());
}

// Removes child `pos` of the path's inner node at `level`. A node whose only child goes is
// removed from its parent in turn; a node left with one child keeps it as its right-most
// child, so every leaf stays at one depth. Only the root gives way to its single child (every
// leaf then moves up one level).
bool RemoveChild(TIndexRec& ix, size_t level, int pos) {
  const TNdxHeader& h = ix.Header;
  TPathNode& n = DescentPath.Nodes[level];
  uint8_t* node = n.Data.data();
  const int k = Count(node);
  if (k == 0) {
    if (level == 0) return ResetEmpty(ix);
    return RemoveChild(ix, level - 1, DescentPath.Nodes[level - 1].Pos);
  }
  bool greatest_changed = false;
  uint32_t right = NodeRightChild(node, h);
  if (pos < k) {
    std::memmove(NodeEntry(node, h, pos), NodeEntry(node, h, pos + 1u),
                 static_cast<size_t>(k - pos - 1) * h.EntrySize);
  } else {
    right = EntryChild(NodeEntry(node, h, k - 1u));
    greatest_changed = true;
  }
  std::memset(NodeEntry(node, h, k - 1u), 0, h.EntrySize + 4u);
  SetNodeKeyCount(node, static_cast<uint16_t>(k - 1));
  SetNodeRightChild(node, h, right);
  if (k - 1 == 0 && level == 0) {
    ix.Header.Root = right;
    ix.HeaderChanged = true;
    return true;
  }
  if (!SeekAndWrite(ix, n.Page, node)) return false;
  return !greatest_changed || UpdateSeparator(ix, level, n.Page);
}

// ---- Key texts -------------------------------------------------------------------------

std::string EvaluateText(const std::string& text) {
  TExprBlock* block = AssignExpr(text);
  if (block == nullptr) return {};
  const void* r = EvaluateExpr(block);
  std::string out =
      r != nullptr && block->ResultType == 'C' ? ExprResultText(block) : std::string();
  FreeExpr(block);
  return out;
}

double DateKeyOf(const std::string& text) {
  std::string t = LTrim(text);
  const char q = t.find('"') == std::string::npos ? '"' : '\'';
  TExprBlock* block = AssignExpr(std::string("CTOD(") + q + t + q + ")");
  if (block == nullptr) return 0;
  const void* r = EvaluateExpr(block);
  const double v = r != nullptr && block->ResultType == 'D' ? *static_cast<const double*>(r) : 0;
  FreeExpr(block);
  return v;
}

std::string KeyTextOf(TIndexRec& ix) {
  if (ix.KeyMaker != nullptr) return ix.KeyMaker();
  if (ix.Expr == nullptr) return {};
  if (ix.CharKey) {
    const void* r = EvaluateExpr(ix.Expr);
    return r == nullptr ? std::string() : ExprResultText(ix.Expr);
  }
  if (ix.Header.KeyType == 'D') return EvaluateText("DTOC(" + ix.Expression + ")");
  EvaluateExpr(ix.Expr);
  return EvaluateText("STR(" + ix.Expression + "," + std::to_string(ix.Expr->Width) + "," +
                      std::to_string(ix.Expr->Decimals) + ")");
}

}  // namespace

// ---- Node input and output -------------------------------------------------------------

bool GetNode(uint32_t page, int slot) {
  TIndexRec* ix = CurrentIndex(slot);
  if (ix == nullptr) return Fail(221, "Index not open. [GetNode]");
  if (page == kScratchPage) {
    StandOnScratch(*ix);
    return true;
  }
  if (!LoadNode(*ix, page, ix->NodeBuf.data())) return false;
  ix->CurNode = ix->NodeBuf.data();
  ix->CurPage = page;
  ix->Pos = 0;
  return true;
}

bool SeekAndRead(TIndexRec& ix, uint32_t page, uint8_t* buf) {
  if (DescentPath.Owner == &ix) {
    for (const TPathNode& n : DescentPath.Nodes) {
      if (n.Page != page) continue;
      std::memcpy(buf, n.Data.data(), kNdxPageSize);
      SetNodeKeyCount(buf, NodeKeyCount(buf));
      return true;
    }
  }
  size_t got = 0;
  int rc = ix.File.ReadAt(static_cast<uint64_t>(page) * kNdxPageSize, buf, kNdxPageSize, &got);
  if (rc == 0 && got != kNdxPageSize) rc = platform::kDosReadError;
  if (rc != 0) {
    return Fail(static_cast<uint16_t>(rc),
                "Error reading index file: " + ix.FileName + " [SeekAndRead]");
  }
  SetNodeKeyCount(buf, NodeKeyCount(buf));
  return true;
}

bool SeekAndWrite(TIndexRec& ix, uint32_t page, uint8_t* buf) {
  SetNodeKeyCount(buf, NodeKeyCount(buf));
  if (DescentPath.Owner == &ix) {
    for (TPathNode& n : DescentPath.Nodes) {
      if (n.Page == page && n.Data.data() != buf) std::memcpy(n.Data.data(), buf, kNdxPageSize);
    }
  }
  if (CacheOn(ix)) {
    for (TNodeCache::TEntry& e : AreaOf(ix).Cache.Table) {
      if (e.Page == page && e.Data != buf) std::memcpy(e.Data, buf, kNdxPageSize);
    }
  }
  const int rc = ix.File.WriteAt(static_cast<uint64_t>(page) * kNdxPageSize, buf, kNdxPageSize);
  if (rc != 0) {
    return Fail(static_cast<uint16_t>(rc),
                "Error writing index file: " + ix.FileName + " [SeekAndWrite]");
  }
  return true;
}

bool ReadAnchor(TIndexRec& ix) {
  std::array<uint8_t, kNdxHeaderSize> bytes{};
  size_t got = 0;
  int rc = ix.File.ReadAt(0, bytes.data(), bytes.size(), &got);
  if (rc == 0 && got != bytes.size()) rc = platform::kDosReadError;
  if (rc != 0) {
    return Fail(static_cast<uint16_t>(rc),
                "Error reading index file:  " + ix.FileName + "\r [ReadAnchor]");
  }
  TNdxHeader h;
  if (!DecodeNdxHeader(bytes.data(), h)) {
    return Fail(222, "Unable to open index: " + ix.FileName + " [ReadAnchor]");
  }
  // The key layout is fixed when the index opens; only the tree's pages may move. A file
  // without the key-type letter keeps the type chosen at the open.
  if (!ix.CurKey.empty() && h.NoTypeLetter && ix.Header.NoTypeLetter &&
      IsNumericKeyType(h.KeyType) == IsNumericKeyType(ix.Header.KeyType)) {
    h.KeyType = ix.Header.KeyType;
  }
  if (!ix.CurKey.empty() && (h.KeyType != ix.Header.KeyType || h.KeyLen != ix.Header.KeyLen)) {
    return Fail(222, "Unable to open index: " + ix.FileName + " [ReadAnchor]");
  }
  ix.Header = h;
  return true;
}

void WriteAnchorNode(TIndexRec& ix) {
  bool flushing = false;
  const int rc = PutHeaderPage(ix, flushing);
  if (rc == 0) return;
  if (flushing) {
    SetErrorAndRaise(static_cast<uint16_t>(rc), "Unable to flush file  [WENNDX.FlushFile]");
  } else {
    SetErrorAndRaise(static_cast<uint16_t>(rc),
                     "Error writing index file:  " + ix.FileName + " [WriteAnchorNode]");
  }
}

bool CheckIndexFileSize(TIndexRec& ix) {
  uint64_t size = 0;
  if (const int rc = ix.File.Size(&size); rc != 0) {
    return Fail(static_cast<uint16_t>(rc),
                "Error reading index file: " + ix.FileName + " [SeekAndRead]");
  }
  const uint64_t pages = size / kNdxPageSize;
  if (pages == ix.Header.NextFree) return true;
  if (pages > 0xFFFFFFF0u) return Fail(222, "Unable to open index: " + ix.FileName);
  TNdxHeader h = ix.Header;
  h.NextFree = static_cast<uint32_t>(pages);
  if (!CheckNdxHeader(h)) return Fail(222, "Unable to open index: " + ix.FileName);
  ix.Header = h;
  // A read-only file keeps the corrected value in memory only.
  if (ix.File.IsReadOnly()) return true;
  const uint8_t current = CurrentArea;
  if (ix.Area >= 1 && ix.Area <= kMaxArea) CurrentArea = ix.Area;
  struct RestoreArea {
    uint8_t area;
    ~RestoreArea() { CurrentArea = area; }
  } restore{current};
  SemaphoreHold lock(true);
  ix.HeaderChanged = true;
  WriteAnchorNode(ix);
  lock.Release();
  return ErrorCode == 0 || !ix.HeaderChanged;
}

void SetNodeCache(TAreaIndexes& area, TIndexRec& ix, uint32_t bytes) {
  area.Cache.Free();
  if (bytes == 0 || SharedAccess || ix.NoCache) return;
  bytes = std::max(bytes, kMinNodeCacheSize) / kNdxPageSize * kNdxPageSize;
  const uint32_t n = bytes / kNdxPageSize;
  const int64_t table = static_cast<int64_t>(n) * static_cast<int64_t>(sizeof(TNodeCache::TEntry));
  if (!HeapHas(table) || FreeHeap() <= static_cast<int64_t>(bytes) + table) return;
  area.Cache.Pages.assign(bytes, 0);
  area.Cache.Table.resize(n);
  for (uint32_t i = 0; i < n; ++i) {
    area.Cache.Table[i].Page = 0;
    area.Cache.Table[i].Data = area.Cache.Pages.data() + static_cast<size_t>(i) * kNdxPageSize;
  }
}

void EnsureScratchNode(TAreaIndexes& area) {
  if (area.Scratch) return;
  area.Scratch = std::make_unique<std::array<uint8_t, kNdxPageSize>>();
  area.Scratch->fill(0);
  SetNodeKeyCount(area.Scratch->data(), 1);
  PutU32LE(area.Scratch->data() + 8, kScratchRecNo);
}

void DropIndexPages(TAreaIndexes& area) {
  for (int s = 1; s <= kMaxIndexSlots; ++s) {
    TIndexRec* ix = area.Slots[s].get();
    if (ix == nullptr) continue;
    if (DescentPath.Owner == ix) {
      DescentPath.Reset();
      DescentPath.Owner = nullptr;
    }
    ix->CurNode = nullptr;
    ix->CurPage = 0;
    ix->Pos = 0;
  }
  area.Cache.Clear();
}

// ---- Navigation ------------------------------------------------------------------------

int32_t _FindFirstRec() {
  IndexFound = false;
  TDbfFileRec* t = CurrentTable();
  if (t == nullptr) return 0;
  if (Natural()) {
    IndexFound = t->RecCount > 0;
    return t->RecCount > 0 ? 1 : 0;
  }
  TIndexRec* ix = Primary();
  if (ix == nullptr) return Fail(221, "Index not open. [_FindFirstRec]"), 0;
  ForeignChange();
  return EdgeRec(*ix, true);
}

int32_t _FindLastRec() {
  IndexFound = false;
  TDbfFileRec* t = CurrentTable();
  if (t == nullptr) return 0;
  if (Natural()) {
    IndexFound = t->RecCount > 0;
    return t->RecCount;
  }
  TIndexRec* ix = Primary();
  if (ix == nullptr) return Fail(221, "Index not open. [_FindLastRec]"), 0;
  ForeignChange();
  return EdgeRec(*ix, false);
}

int32_t _FindNextRec() {
  IndexFound = false;
  TDbfFileRec* t = CurrentTable();
  if (t == nullptr) return 0;
  TIndexRec* ix = Primary();
  if (t->RecCount < 1) {
    if (ix != nullptr) SetFlags(*ix, true, true);
    return 0;
  }
  if (Natural() || ix == nullptr) {
    IndexFound = true;
    return std::min(t->RecNo + 1, t->RecCount);
  }
  if (!PrepareWalk(*ix, "_FindNextRec")) return t->RecNo;
  if (ix->AtEnd || OnScratch(*ix)) {
    const int32_t last = EdgeRec(*ix, false);
    StandOnScratch(*ix);
    SetFlags(*ix, false, true);
    IndexFound = false;
    return last;
  }
  const int32_t start = t->RecNo;
  bool moved = false;
  if (!StepNext(*ix, moved)) return start;
  const int32_t rec = static_cast<int32_t>(TakeEntry(*ix));
  ix->AtStart = false;
  ix->AtEnd = !moved && rec == start;
  IndexFound = !ix->AtEnd;
  return rec;
}

int32_t _FindPriorRec() {
  IndexFound = false;
  TDbfFileRec* t = CurrentTable();
  if (t == nullptr) return 0;
  TIndexRec* ix = Primary();
  if (t->RecCount < 1) {
    if (ix != nullptr) SetFlags(*ix, true, true);
    return 0;
  }
  if (Natural() || ix == nullptr) {
    IndexFound = true;
    return std::max(t->RecNo - 1, 1);
  }
  if (ix->AtStart && !OnScratch(*ix)) {
    IndexFound = true;
    return t->RecNo;
  }
  if (!PrepareWalk(*ix, "_FindPriorRec")) return t->RecNo;
  if (OnScratch(*ix)) return EdgeRec(*ix, false);
  const int32_t start = t->RecNo;
  bool moved = false;
  if (!StepPrior(*ix, moved)) return start;
  const int32_t rec = static_cast<int32_t>(TakeEntry(*ix));
  ix->AtEnd = false;
  ix->AtStart = !moved && rec == start;
  IndexFound = true;
  return rec;
}

bool IndexEndFlag() {
  TDbfFileRec* t = CurrentTable();
  if (t == nullptr) return false;
  TIndexRec* ix = Primary();
  if (Natural() || ix == nullptr) return t->AtEof;
  return ix->AtEnd;
}

bool IndexStartFlag() {
  TDbfFileRec* t = CurrentTable();
  if (t == nullptr) return false;
  TIndexRec* ix = Primary();
  if (Natural() || ix == nullptr) return t->AtBof;
  return ix->AtStart;
}

void SetIndexStartFlag() {
  if (TIndexRec* ix = Primary()) ix->AtStart = true;
}

void SetIndexEndFlag() {
  if (TIndexRec* ix = Primary()) ix->AtEnd = true;
}

bool Find(const std::string& key_text) {
  IndexFound = false;
  TDbfFileRec* t = CurrentTable();
  if (t == nullptr) return Fail(215, " [Find]");
  if (Natural()) return Fail(254, "Cannot use Find() with index order 0 (natural order) [Find]");
  TIndexRec* ix = Primary();
  if (ix == nullptr) {
    return Fail(
        221, "Index not open. while searching for " + key_text + " in " + t->FileName + " [Find]");
  }
  const std::string text = key_text.substr(0, 100);
  if (ix->CharKey && text.empty()) return false;
  if (t->RecCount < 1) return false;

  // The sought key, cut at the key length.
  const uint16_t key_len = ix->Header.KeyLen;
  std::vector<uint8_t> key(key_len, ix->CharKey ? ' ' : 0);
  uint16_t len = key_len;
  if (!ix->CharKey) {
    const double v = ix->Header.KeyType == 'D' ? DateKeyOf(text) : LeadingNumber(text);
    PutKeyNumber(key.data(), v);
  } else {
    std::string s = text;
    if (ix->KeyMaker != nullptr && ix->Soundex) s = Soundex(s, SoundexLength);
    if (s.size() > key_len) s.resize(key_len);
    if (ix->KeyMaker != nullptr && ix->Descending) {
      for (char& c : s) c = static_cast<char>(~static_cast<uint8_t>(c));
    }
    std::memcpy(key.data(), s.data(), s.size());
    len = FindPadKey ? key_len : static_cast<uint16_t>(s.size());
    if (len == 0) return false;
  }

  SemaphoreHold read(false);
  ForeignChange();
  RefreshRecCount();
  if (!DescendKey(*ix, key.data(), len)) return false;
  bool entry = false;
  if (!SettleAfterSearch(*ix, entry)) return false;
  bool found = false;
  // Stands the table on the entry's record; false when the entry names no record of it.
  auto go_entry = [&]() {
    const uint32_t rec = TakeEntry(*ix);
    GoRecord(rec <= static_cast<uint32_t>(t->RecCount) ? static_cast<int32_t>(rec) : 0);
    return ErrorCode == 0 && t->RecNo == static_cast<int32_t>(rec);
  };
  if (entry) {
    entry = go_entry();
    SetFlags(*ix, false, false);
    while (entry && !RecVisible()) {
      bool moved = false;
      if (!StepNext(*ix, moved)) return false;
      entry = moved && go_entry();
    }
    if (entry) found = KeysEqual(*ix, ix->CurKey.data(), key.data(), len);
  }
  if (found || (FindSoftSeek && entry)) {
    BuildCurrentKeys();
  } else {
    GoRecord(t->RecCount + 1);
    StandOnScratch(*ix);
    SetFlags(*ix, false, true);
  }
  IndexFound = found;
  read.Release();
  return found;
}

void SoftSyncIndex() {
  TDbfFileRec* t = CurrentTable();
  TIndexRec* ix = Primary();
  if (t == nullptr || ix == nullptr) return;
  if (t->RecNo > t->RecCount || t->RecCount < 1 || t->RecNo < 1) {
    StandOnScratch(*ix);
    SetFlags(*ix, t->RecCount < 1, true);
    return;
  }
  std::vector<uint8_t> key(ix->Header.KeyLen);
  if (!MakeRecordKey(*ix, key.data(), " [SoftSyncIndex]")) return;
  const int r = Position(*ix, key.data(), static_cast<uint32_t>(t->RecNo));
  if (r == -2) return;
  if (r == -1 && OnScratch(*ix)) {
    SetError(212, "Record with key: \"" + KeyString(*ix, key.data()) +
                      "\" not in index: " + ix->FileName + ". [SoftSyncIndex]");
    return;
  }
  SetFlags(*ix, false, false);
}

void SyncIndex() {
  TAreaIndexes* a = CurrentAreaIndexes();
  if (a == nullptr || CurrentTable() == nullptr) return;
  if (!ReplaceInProgress) {
    if (TIndexRec* ix = Primary()) SyncOne(*ix);
    return;
  }
  // Before a change of the record: another program's writes since the last look are taken in
  // first, so that the change starts from the anchors and pages the file holds now.
  ForeignChange();
  for (int s = 1; s <= kMaxIndexSlots; ++s) {
    if (!a->Slots[s]) continue;
    ErrorCode = 0;
    SyncOne(*a->Slots[s]);
    if (ErrorCode != 0) return;
  }
}

// ---- Key maintenance -------------------------------------------------------------------

bool MakeRecordKey(TIndexRec& ix, uint8_t* key, const std::string& tag) {
  const uint16_t len = ix.Header.KeyLen;
  if (ix.KeyMaker != nullptr) {
    // As the build makes it: padded with blanks or cut, SOUNDEX first, complemented last.
    std::string text = ix.KeyMaker();
    if (ix.Soundex) text = Soundex(text, SoundexLength);
    const size_t n = std::min<size_t>(text.size(), len);
    std::memcpy(key, text.data(), n);
    std::memset(key + n, ' ', len - n);
    if (ix.Descending) {
      for (uint16_t i = 0; i < len; ++i) key[i] = static_cast<uint8_t>(~key[i]);
    }
    return true;
  }
  if (ix.Expr == nullptr) return Fail(254, "No key expression for " + ix.FileName + tag);
  // The evaluator's own failure is told apart from an error already pending.
  const uint16_t pending = ErrorCode;
  ErrorCode = 0;
  const void* r = EvaluateExpr(ix.Expr);
  if (ErrorCode != 0) return false;
  ErrorCode = pending;
  if (r == nullptr) return Fail(254, "Wrong parser return type " + ix.FileName + tag);
  if (ix.CharKey) {
    if (ix.Expr->ResultType != 'C')
      return Fail(254, "Wrong parser return type " + ix.FileName + tag);
    const std::string text = ExprResultText(ix.Expr);
    if (text.size() != len) return Fail(266, LengthMessage(ix, text, tag));
    std::memcpy(key, text.data(), len);
    return true;
  }
  if (ix.Expr->ResultType != 'N' && ix.Expr->ResultType != 'D' && ix.Expr->ResultType != 'F') {
    return Fail(254, "Wrong parser return type " + ix.FileName + tag);
  }
  PutKeyNumber(key, *static_cast<const double*>(r));
  return true;
}

int AppendIndex(const uint8_t* key, int slot) {
  TIndexRec* ix = CurrentIndex(slot);
  TDbfFileRec* t = CurrentTable();
  if (ix == nullptr || t == nullptr) return Fail(221, "Index not open. [AppendIndex]") ? 0 : -1;
  if (!DescendKey(*ix, key, ix->Header.KeyLen)) return -1;
  TPathNode& leaf = DescentPath.Nodes.back();
  if (ix->Header.Unique && leaf.Pos < Count(leaf.Data.data()) &&
      KeysEqual(*ix, EntryKey(PathEntry(*ix)), key, ix->Header.KeyLen)) {
    return 0;
  }
  const EntryBytes e = MakeEntry(*ix, 0, static_cast<uint32_t>(t->RecNo), key);
  const bool ok = InsertAt(*ix, DescentPath.Nodes.size() - 1, e, leaf.Pos);
  // The pages changed under the path: nobody walks it again.
  DescentPath.Reset();
  DescentPath.Owner = nullptr;
  ix->CurNode = nullptr;
  if (!ok) {
    // The pages taken stay taken: a parent written before the failure may refer to them.
    MarkOutOfDate(*ix);
    return -1;
  }
  ix->HeaderChanged = true;
  WriteAnchorNode(*ix);
  if (ErrorCode != 0 && ix->HeaderChanged) return -1;
  if (slot == NavSlot) SyncSlot1AfterChange(*ix);
  return 1;
}

int DeleteIndexKey(const uint8_t* key, int slot) {
  TIndexRec* ix = CurrentIndex(slot);
  TDbfFileRec* t = CurrentTable();
  if (ix == nullptr || t == nullptr) return -1;
  const int r = Position(*ix, key, static_cast<uint32_t>(t->RecNo));
  if (r == -2) return -2;
  if (r != 1 || OnScratch(*ix) || EntryRecNo(PathEntry(*ix)) != static_cast<uint32_t>(t->RecNo)) {
    return -1;
  }
  const TNdxHeader& h = ix->Header;
  const size_t level = DescentPath.Nodes.size() - 1;
  TPathNode& leaf = DescentPath.Nodes[level];
  uint8_t* node = leaf.Data.data();
  const int k = Count(node);
  const int pos = leaf.Pos;
  std::memmove(NodeEntry(node, h, pos), NodeEntry(node, h, pos + 1u),
               static_cast<size_t>(k - pos - 1) * h.EntrySize);
  std::memset(NodeEntry(node, h, k - 1u), 0, h.EntrySize);
  SetNodeKeyCount(node, static_cast<uint16_t>(k - 1));
  bool ok = true;
  if (k - 1 == 0) {
    ok = level == 0 ? ResetEmpty(*ix)
                    : RemoveChild(*ix, level - 1, DescentPath.Nodes[level - 1].Pos);
  } else {
    ok = SeekAndWrite(*ix, leaf.Page, node) &&
         (pos < k - 1 || UpdateSeparator(*ix, level, leaf.Page));
  }
  DescentPath.Reset();
  DescentPath.Owner = nullptr;
  ix->CurNode = nullptr;
  if (!ok) {
    MarkOutOfDate(*ix);
    return -2;
  }
  if (ix->HeaderChanged) {
    WriteAnchorNode(*ix);
    if (ErrorCode != 0 && ix->HeaderChanged) return -2;
  }
  return 0;
}

void BuildCurrentKeys() {
  TAreaIndexes* a = CurrentAreaIndexes();
  TDbfFileRec* t = CurrentTable();
  if (a == nullptr || t == nullptr) return;
  const std::string tag =
      "\nRecCount: " + std::to_string(t->RecCount) + " " + std::to_string(t->RecNo);
  for (int s = 1; s <= kMaxIndexSlots; ++s) {
    TIndexRec* ix = a->Slots[s].get();
    if (ix == nullptr) continue;
    if (t->RecNo < 1 || t->RecCount < 1) {
      BlankKey(*ix);
      continue;
    }
    std::vector<uint8_t> key(ix->Header.KeyLen);
    if (!MakeRecordKey(*ix, key.data(), tag)) return;
    std::memcpy(ix->CurKey.data(), key.data(), key.size());
    ix->CurKey[key.size()] = 0;
  }
}

void AddRecordKeys() {
  TAreaIndexes* a = CurrentAreaIndexes();
  if (a == nullptr || CurrentTable() == nullptr) return;
  std::array<std::vector<uint8_t>, kMaxIndexSlots + 1> inserted;
  int failed_slot = 0;
  uint16_t code = 0;
  std::string msg;
  std::exception_ptr raised;
  try {
    // Another program's writes since the last look are taken in before the inserts.
    ForeignChange();
    for (int s = 1; s <= kMaxIndexSlots && failed_slot == 0; ++s) {
      TIndexRec* ix = a->Slots[s].get();
      if (ix == nullptr) continue;
      ErrorCode = 0;
      std::vector<uint8_t> key(ix->Header.KeyLen);
      int r = -1;
      if (ReadAnchor(*ix) && MakeRecordKey(*ix, key.data(), "")) r = AppendIndex(key.data(), s);
      if (r == 1) inserted[s] = std::move(key);
      if (r < 0) failed_slot = s;
    }
  } catch (...) {
    raised = std::current_exception();
    failed_slot = failed_slot == 0 ? 1 : failed_slot;
  }
  if (failed_slot != 0) {
    code = ErrorCode;
    msg = ErrorMsg;
    {
      // Take the keys out of the indexes that received them; their failures do not replace
      // the insert's own error.
      KeepError keep;
      for (int s = 1; s <= kMaxIndexSlots; ++s) {
        if (inserted[s].empty() || !a->Slots[s]) continue;
        try {
          DeleteIndexKey(inserted[s].data(), s);
        } catch (...) {
        }
      }
      try {
        const bool replace = ReplaceInProgress;
        ReplaceInProgress = true;
        SyncIndex();
        ReplaceInProgress = replace;
      } catch (...) {
      }
    }
    ErrorCode = code;
    ErrorMsg = msg;
    if (raised) std::rethrow_exception(raised);
    return;
  }
  const bool replace = ReplaceInProgress;
  ReplaceInProgress = true;
  try {
    SyncIndex();
  } catch (...) {
    ReplaceInProgress = replace;
    throw;
  }
  ReplaceInProgress = replace;
}

void CompareKeys() {
  TAreaIndexes* a = CurrentAreaIndexes();
  TDbfFileRec* t = CurrentTable();
  if (a == nullptr || t == nullptr) return;
  const uint32_t rec = static_cast<uint32_t>(t->RecNo);
  for (int s = 1; s <= kMaxIndexSlots; ++s) {
    TIndexRec* ix = a->Slots[s].get();
    if (ix == nullptr) continue;
    ErrorCode = 0;
    std::vector<uint8_t> key(ix->Header.KeyLen);
    if (!MakeRecordKey(*ix, key.data(), " [CompareKeys]")) return;
    uint8_t* entry = ix->CurEntry();
    const bool on_entry = entry != nullptr && !OnScratch(*ix) && ix->Pos < Count(ix->CurNode);
    const bool own = on_entry && EntryRecNo(entry) == rec;
    if (!own && !ix->Header.Unique) {
      SetError(254, "Record number " + std::to_string(rec) + " not found in index. " +
                        ix->FileName + " [CompareKeys]");
      return;
    }
    if (own && KeysEqual(*ix, EntryKey(entry), key.data(), ix->Header.KeyLen)) continue;
    if (own && t->RecCount == 1 && ix->CurPage == ix->Header.Root && Count(ix->CurNode) == 1) {
      // The only key: overwritten in place.
      std::memcpy(EntryKey(entry), key.data(), ix->Header.KeyLen);
      if (!SeekAndWrite(*ix, ix->CurPage, ix->CurNode)) return;
    } else {
      if (own) {
        std::vector<uint8_t> old(EntryKey(entry), EntryKey(entry) + ix->Header.KeyLen);
        if (DeleteIndexKey(old.data(), s) != 0) {
          // Stops the update without halting, as the failure always did; the message says
          // which index lost its old entry.
          if (ErrorCode == 0 || ErrorCode == 1) {
            ErrorCode = 1;
            ErrorMsg = "Old key of record " + std::to_string(rec) +
                       " not found in index: " + ix->FileName + " [CompareKeys]";
          }
          return;
        }
      }
      if (AppendIndex(key.data(), s) < 0) return;
    }
    std::memcpy(ix->CurKey.data(), key.data(), key.size());
  }
}

// ---- Key texts and flags ---------------------------------------------------------------

std::string IndexKeyText(int slot) {
  TIndexRec* ix = CurrentIndex(slot);
  return ix == nullptr ? std::string() : KeyTextOf(*ix);
}

std::string OrderKeyText() {
  TDbfFileRec* t = CurrentTable();
  if (t == nullptr || Primary() == nullptr) return {};
  if (Natural()) return "Rec:" + IntToStrW(t->RecNo, 10);
  return KeyTextOf(*Primary());
}

bool PrimaryIndexOpen() { return CurrentTable() != nullptr && Primary() != nullptr; }

std::string IndexFileNameOf(int slot) {
  TIndexRec* ix = CurrentIndex(slot);
  return ix == nullptr ? std::string() : ix->FileName;
}

bool IndexNotDescending(int slot) {
  TIndexRec* ix = CurrentIndex(slot);
  return ix != nullptr && !ix->Descending;
}

bool IndexIsSoundex(int slot) {
  TIndexRec* ix = CurrentIndex(slot);
  return ix != nullptr && ix->Soundex;
}

void FillIndexNavHooks() {
  TIndexDriverHooks& h = IndexDriverHooks;
  h.Find = &Find;
  h.PrimaryOpen = &PrimaryIndexOpen;
  h.SyncIndex = &SyncIndex;
  h.NextRec = &_FindNextRec;
  h.PriorRec = &_FindPriorRec;
  h.FirstRec = &_FindFirstRec;
  h.LastRec = &_FindLastRec;
  h.IndexEof = &IndexEndFlag;
  h.IndexBof = &IndexStartFlag;
  h.AddRecordKeys = &AddRecordKeys;
  h.IndexFileName = &IndexFileNameOf;
  h.BuildCurrentKeys = &BuildCurrentKeys;
  h.CompareKeys = &CompareKeys;
  h.KeyText = &IndexKeyText;
  h.OrderKeyText = &OrderKeyText;
  h.SetStartFlag = &SetIndexStartFlag;
  h.SetEndFlag = &SetIndexEndFlag;
  h.FoundFlag = &IndexFound;
  h.NotDescending = &IndexNotDescending;
  h.IsSoundex = &IndexIsSoundex;
  h.SetReadSemaphore = &SetReadSemaphoreProc;
  h.SetLockSemaphore = &SetLockSemaphoreProc;
}

void InitIndexNav() {
  for (TAreaIndexes& a : AreaIndexes) {
    for (int s = 1; s <= kMaxIndexSlots; ++s) {
      if (a.Slots[s] && a.Slots[s]->Expr != nullptr) FreeExpr(a.Slots[s]->Expr);
      a.Slots[s].reset();
      a.Opened[s] = nullptr;
    }
    a.Controlling = 1;
    a.NaturalOrder = false;
    a.Cache.Free();
    a.Scratch.reset();
  }
  DescentPath = TDescentPath{};
  NavSlot = 1;
  KeySlot = 1;
  IndexFound = false;
  IndexFlush = false;
  FindSoftSeek = false;
  FindPadKey = false;
}

}  // namespace engine
