// The state the index modules share: one record per open index file, the per-area tables of
// the index driver (16 slots, the opened order, the controlling number, the natural-order
// flag, the node cache and the scratch node of slot 1), and the one descent path of the
// program. The driver (index_driver) opens, orders and closes; the navigation (index_nav)
// walks, searches and maintains keys. The globals declared here are defined in index_nav.cpp;
// InitIndexNav (index_nav.h) restores them.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/ndx_format.h"
#include "engine/work_area.h"
#include "platform/core/file.h"

namespace engine {

struct TExprBlock;

inline constexpr int kMaxIndexSlots = 16;
// Record number of the scratch node's only entry: "past the last key".
inline constexpr uint32_t kScratchRecNo = 0xFFFFFFFFu;
// Page number that selects the scratch node.
inline constexpr uint32_t kScratchPage = 0xFFFFFFFFu;
// Node cache sizes in bytes.
inline constexpr uint32_t kDefaultNodeCacheSize = 4096;
inline constexpr uint32_t kMinNodeCacheSize = 2048;

// One open index file.
struct TIndexRec {
  std::string FileName;        // the index file's name as opened (resolved on disk)
  platform::File File;         // open read/write, in the area's share mode
  bool FromExpression = true;  // clear for a KeyMaker index
  TNdxHeader Header;           // the 24 header bytes, decoded
  std::string Expression;      // the expression text as stored in the header
  TKeyCompare Compare = nullptr;
  bool HeaderChanged = false;  // the anchor must be rewritten
  // A write failed in the middle of a change: the file may lack a key or hold one twice. Every
  // header write then stores kNdxOutOfDateCount, so that the index is rebuilt.
  bool OutOfDate = false;
  bool CharKey = true;   // key type 'C'
  bool AtStart = false;  // start-of-index flag
  bool AtEnd = false;    // end-of-index flag
  bool Soundex = false;
  bool Descending = false;
  bool NoCache = false;  // opened with NOCACHE (or forced by SharedAccess)
  TKeyMaker KeyMaker = nullptr;
  TExprBlock* Expr = nullptr;  // compiled key expression (expression indexes)
  // Current key: KeyLen + 1 bytes; a character key is NUL-terminated.
  std::vector<uint8_t> CurKey;
  std::array<uint8_t, kNdxPageSize> NodeBuf{};  // this record's own node buffer
  // Current node: NodeBuf, a page of the area's cache, or the area's scratch node.
  uint8_t* CurNode = nullptr;
  uint32_t CurPage = 0;  // page number of the current node (kScratchPage for the scratch)
  int Pos = 0;           // 0-based entry index in the current node
  uint8_t Slot = 0;      // slot number it occupies (1..16)
  uint8_t Area = 0;      // work area it belongs to

  // The current entry, or nullptr when there is no current node.
  uint8_t* CurEntry() {
    return CurNode == nullptr ? nullptr : NodeEntry(CurNode, Header, static_cast<uint32_t>(Pos));
  }
};

// The node cache of slot 1: Count pages of 512 bytes and a table of (page, pointer) pairs in
// use order (a hit moves one place toward the front; a miss replaces the last entry).
struct TNodeCache {
  struct TEntry {
    uint32_t Page = 0;  // 0: unused
    uint8_t* Data = nullptr;
  };
  std::vector<uint8_t> Pages;  // Count * 512 bytes
  std::vector<TEntry> Table;
  bool Active() const { return !Table.empty(); }
  void Clear() {
    for (TEntry& e : Table) e.Page = 0;
  }
  void Free() {
    Pages.clear();
    Pages.shrink_to_fit();
    Table.clear();
    Table.shrink_to_fit();
  }
};

// The index tables of one work area.
struct TAreaIndexes {
  std::array<std::unique_ptr<TIndexRec>, kMaxIndexSlots + 1> Slots;  // [1..16]
  std::array<TIndexRec*, kMaxIndexSlots + 1> Opened{};               // [1..16], opened order
  int Controlling = 1;        // the order number that stands in slot 1
  bool NaturalOrder = false;  // records go in file order although indexes are open
  TNodeCache Cache;           // slot 1 only
  // Scratch node (created when slot 1 opens): one entry with record number kScratchRecNo.
  std::unique_ptr<std::array<uint8_t, kNdxPageSize>> Scratch;
};

extern std::array<TAreaIndexes, kMaxArea + 1> AreaIndexes;  // [1..35]

// One node on the descent path: its page number, a copy of the page and the position taken.
struct TPathNode {
  uint32_t Page = 0;
  int Pos = 0;
  std::array<uint8_t, kNdxPageSize> Data{};
};

// The descent path shared by every index of the program. Nodes are kept in blocks of 9 (as
// the path grows, a further block is taken; error 217 when memory is short). Owner is the
// index that built it; a walk that finds another owner first re-establishes its own path.
struct TDescentPath {
  static constexpr int kBlockNodes = 9;
  bool Created = false;  // taken by the first slot-1 index, freed with the last
  const TIndexRec* Owner = nullptr;
  std::vector<TPathNode> Nodes;  // bottom first
  void Reset() { Nodes.clear(); }
};

extern TDescentPath DescentPath;

// Unit variables of the index driver used by the navigation.
extern int NavSlot;        // normally 1
extern int KeySlot;        // slot used by the key routines
extern bool IndexFound;    // the found flag (hook slot 17)
extern bool IndexFlush;    // flush the index file after an anchor write (start: off)
extern bool FindSoftSeek;  // Find stays on the first greater key (start: off)
extern bool FindPadKey;    // Find pads a character key with blanks (start: off)

// The current area's tables, or nullptr for an area outside 1..35.
TAreaIndexes* CurrentAreaIndexes();
// Slot `slot` (1..16) of the current area; nullptr when empty or out of range.
TIndexRec* CurrentIndex(int slot);

}  // namespace engine
