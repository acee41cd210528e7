#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/bytes.h"
#include "engine/dates.h"
#include "engine/dbf_file.h"
#include "engine/error.h"
#include "engine/hooks.h"
#include "engine/work_area.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace engine;

// Text of a C slot (length byte, then the characters).
std::string SlotText(uint8_t field) {
  const uint8_t* p = FieldAddress(field);
  return std::string(reinterpret_cast<const char*>(p + 1), p[0]);
}

void SetSlotText(uint8_t field, const std::string& s) {
  uint8_t* p = FieldAddress(field);
  p[0] = static_cast<uint8_t>(s.size());
  std::memcpy(p + 1, s.data(), s.size());
}

int32_t SlotInt(uint8_t field) { return GetI32LE(FieldAddress(field)); }
void SetSlotInt(uint8_t field, int32_t v) { PutI32LE(FieldAddress(field), v); }

class NavigationTest : public testing_support::EngineTest {
 protected:
  // nav.dbf: NAME C(5), NUM N(4,0); records "R1".."Rn" with NUM 1..n, the given ones deleted.
  std::string MakeTable(int records, const std::set<int>& deleted = {}) {
    const std::string path = dir_ / "nav.dbf";
    std::vector<TFieldDef> fields = {{"NAME", 'C', 5, 0}, {"NUM", 'N', 4, 0}};
    TDbfFileRec t;
    CreateDBF(t, path, 2, fields);
    EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
    USE(path + " exclusive", nullptr, 0);
    EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
    for (int i = 1; i <= records; ++i) {
      ClearRecord();
      SetSlotText(1, "R" + std::to_string(i));
      SetSlotInt(2, i);
      Append();
      EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
    }
    for (int d : deleted) {
      GO(d);
      DeleteRec();
      EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
    }
    CloseArea();
    return path;
  }

  // Runs moves written as "T" (GoTop), "B" (GoBottom), "S<n>" (SKIP), "G<n>" (GO); the
  // error code of the last move is left in ErrorCode.
  static void Moves(const std::string& moves) {
    std::istringstream in(moves);
    std::string m;
    while (in >> m) {
      const int n = m.size() > 1 ? std::stoi(m.substr(1)) : 0;
      switch (m[0]) {
        case 'T':
          GoTop();
          break;
        case 'B':
          GoBottom();
          break;
        case 'S':
          SKIP(n);
          break;
        case 'G':
          GO(n);
          break;
        default:
          FAIL() << "bad move " << m;
      }
    }
  }

  static std::string Quoted() { return "Database \"" + CurrentDbfName() + "\" "; }
};

struct MoveCase {
  const char* name;
  std::set<int> deleted;
  bool hide;
  const char* moves;
  int32_t recno;
  bool eof;
  bool bof;
  uint16_t error;
};

TEST_F(NavigationTest, MovesOverFiveRecords) {
  const MoveCase cases[] = {
      {"TopSkipsHiddenDeleted", {1, 2}, true, "T", 3, false, false, 0},
      {"TopShowsDeletedUnlessHidden", {1, 2}, false, "T", 1, false, false, 0},
      {"TopWithAllHiddenGoesToEnd", {1, 2, 3, 4, 5}, true, "T", 6, true, false, 0},
      {"BottomSkipsHiddenDeleted", {4, 5}, true, "B", 3, false, false, 0},
      {"BottomWithAllHiddenGoesToEnd", {1, 2, 3, 4, 5}, true, "B", 6, true, false, 0},
      {"SkipPastLastVisibleGoesToEnd", {5}, true, "B S1", 6, true, false, 0},
      {"SkipAtEndFails", {}, false, "B S1 S1", 6, true, false, 212},
      {"SkipBackOnFirstVisibleSetsBof", {1}, true, "T S-1", 2, false, true, 0},
      {"SkipBackAtBofDoesNothing", {1}, true, "T S-1 S-1", 2, false, true, 0},
      {"SkipCountsVisibleRecordsOnly", {3}, true, "T S3", 5, false, false, 0},
      {"SkipBackCountsVisibleRecordsOnly", {3}, true, "B S-2", 2, false, false, 0},
      {"SkipBackPastStartStopsOnFirstVisible", {1}, true, "B S-10", 2, false, true, 0},
      {"SkipPastEndFromMiddle", {}, false, "G2 S10", 6, true, false, 0},
      {"SkipBackFromEnd", {}, false, "B S1 S-1", 5, false, false, 0},
      {"SkipZeroAtEndStaysAtEnd", {}, false, "B S1 S0", 6, true, false, 0},
      {"SkipZeroRereadsRecord", {}, false, "G4 S0", 4, false, false, 0},
      {"GoZeroFailsAtEnd", {}, false, "G3 G0", 6, true, false, 212},
      {"GoPastCountFailsAtEnd", {}, false, "G6", 6, true, false, 212},
      {"GoReachesHiddenRecord", {2}, true, "G2", 2, false, false, 0},
      {"GoLeavesEndAndBof", {}, false, "T S-1 G4", 4, false, false, 0},
  };
  for (const MoveCase& c : cases) {
    SCOPED_TRACE(c.name);
    HideDeleted = false;
    const std::string path = MakeTable(5, c.deleted);
    HideDeleted = c.hide;
    USE(path, nullptr, 0);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    Moves(c.moves);
    EXPECT_EQ(ErrorCode, c.error) << ErrorMsg;
    EXPECT_EQ(RecNo(), c.recno);
    EXPECT_EQ(dEOF(), c.eof);
    EXPECT_EQ(dBOF(), c.bof);
    if (c.recno <= 5 && !c.eof) {
      EXPECT_EQ(SlotText(1), "R" + std::to_string(c.recno) + std::string(5 - 2, ' '));
      EXPECT_EQ(SlotInt(2), c.recno);
    }
    CloseArea();
    std::filesystem::remove(path);
  }
}

TEST_F(NavigationTest, EndPositionsAndMessages) {
  USE(MakeTable(3, {1, 2, 3}) + " exclusive", nullptr, 0);
  HideDeleted = true;
  GO(2);
  EXPECT_EQ(SlotText(1), "R2   ");
  GoTop();  // every record hidden: end with a blank buffer
  EXPECT_EQ(RecNo(), 4);
  EXPECT_EQ(SlotText(1), "     ");
  EXPECT_EQ(SlotInt(2), 0);
  HideDeleted = false;

  SKIP(1);
  EXPECT_EQ(ErrorCode, 212);
  EXPECT_EQ(ErrorMsg, Quoted() + "is past EOF. [SKIP]");

  GO(3);
  GO(0);  // the buffer keeps the record it held
  EXPECT_EQ(ErrorMsg, "Invalid record number = 0 " + Quoted() + "[GO]");
  EXPECT_EQ(RecNo(), 4);
  EXPECT_EQ(SlotText(1), "R3   ");
  GO(-7);
  EXPECT_EQ(ErrorMsg, "Invalid record number = -7 " + Quoted() + "[GO]");

  Replace();
  EXPECT_EQ(ErrorCode, 212);
  EXPECT_EQ(ErrorMsg, Quoted() + "is at EOF. [REPLACE]");
  DeleteRec();
  EXPECT_EQ(ErrorCode, 1103);
  EXPECT_EQ(ErrorMsg, CurrentDbfName() + " at EOF [DeleteRec]");
  RecallRec();
  EXPECT_EQ(ErrorMsg, CurrentDbfName() + " at EOF [RecallRec]");
}

TEST_F(NavigationTest, EmptyTable) {
  USE(MakeTable(0), nullptr, 0);
  EXPECT_EQ(RecNo(), 0);
  EXPECT_TRUE(dEOF());
  EXPECT_TRUE(dBOF());
  GoTop();
  GoBottom();
  EXPECT_EQ(ErrorCode, 0);
  EXPECT_EQ(RecNo(), 0);
  for (int n : {1, -1}) {
    SKIP(n);
    EXPECT_EQ(ErrorCode, 212);
    EXPECT_EQ(ErrorMsg, Quoted() + "is empty. [SKIP]");
  }
  GO(1);
  EXPECT_EQ(ErrorMsg, "Invalid record number = 1 " + Quoted() + "[GO]");
  EXPECT_EQ(RecNo(), 0);
  EXPECT_TRUE(dEOF());
  EXPECT_TRUE(dBOF());
  Replace();
  EXPECT_EQ(ErrorMsg, Quoted() + "is empty. [REPLACE]");
}

TEST_F(NavigationTest, RoutinesWithoutTableReport215AndReturnDefaults) {
  GoTop();
  EXPECT_EQ(ErrorCode, 215);
  EXPECT_EQ(ErrorMsg, "No database in use [GoTop]  WorkArea = 1");
  SKIP(1);
  EXPECT_EQ(ErrorMsg, "No database in use [SKIP()]  WorkArea = 1");
  GO(1);
  EXPECT_EQ(ErrorMsg, "No database in use [GO()]  WorkArea = 1");
  EXPECT_EQ(RecCount(), 0);
  EXPECT_EQ(RecNo(), 0);
  EXPECT_FALSE(dEOF());
  Replace();
  EXPECT_EQ(ErrorMsg, "No database in use [Replace]  WorkArea = 1");
  GoRecord(1);  // no area check: nothing happens
}

TEST_F(NavigationTest, GoRecordPositionsWithoutChecks) {
  USE(MakeTable(3), nullptr, 0);
  GoRecord(2);
  EXPECT_EQ(RecNo(), 2);
  EXPECT_EQ(SlotText(1), "R2   ");
  GoRecord(9);
  EXPECT_EQ(RecNo(), 4);
  EXPECT_TRUE(dEOF());
  EXPECT_EQ(SlotText(1), "     ");
  GoRecord(0);
  EXPECT_EQ(ErrorCode, 212);
  EXPECT_EQ(RecNo(), 4);
}

TEST_F(NavigationTest, DeleteAndRecallWriteTheFlagByte) {
  const std::string path = MakeTable(3);
  USE(path + " exclusive", nullptr, 0);
  GO(2);
  DeleteRec();
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_TRUE(Deleted());
  EXPECT_EQ(Peek(0, 2), "*");
  const std::string bytes = testing_support::ReadFileBytes(path);
  const size_t header = 32 + 2 * 32 + 1, reclen = 10;
  EXPECT_EQ(bytes[header + reclen], '*');
  RecallRec();
  EXPECT_FALSE(Deleted());
  EXPECT_EQ(Peek(0, 2), " ");
  EXPECT_EQ(SlotText(1), "R2   ");
}

// The checks of the changing routines come in a fixed order: position before lock for
// Replace, lock before position for DeleteRec and RecallRec.
TEST_F(NavigationTest, ChangesInSharedAreaCheckInOrder) {
  const std::string path = MakeTable(3);
  struct Case {
    const char* name;
    std::function<void()> setup;
    void (*change)();
    uint16_t code;
    std::function<std::string()> msg;
  };
  auto file = [] { return CurrentDbfName(); };
  const Case cases[] = {
      {"ReplaceAtEndBeforeLock",
       [] {
         GoBottom();
         SKIP(1);
       },
       Replace, 212, [] { return Quoted() + "is at EOF. [REPLACE]"; }},
      {"ReplaceWithoutRecordLock", [] { GO(2); }, Replace, 1200,
       [&] { return "Record #2 in " + file() + " [REPLACE]"; }},
      {"ReplaceWithAppendLockOnly",
       [] {
         GO(2);
         ALock();
       },
       Replace, 1200, [&] { return "Record #2 in " + file() + " [REPLACE]"; }},
      {"ReplaceWithOtherRecordLocked",
       [] {
         GO(1);
         RLock();
         GO(2);
       },
       Replace, 1200, [&] { return "Record #2 in " + file() + " [REPLACE]"; }},
      {"DeleteAtEndLockBeforePosition",
       [] {
         GoBottom();
         SKIP(1);
       },
       DeleteRec, 1200, [&] { return file() + " Record not locked [DeleteRec]"; }},
      {"DeleteWithAppendLockOnly",
       [] {
         GO(2);
         ALock();
       },
       DeleteRec, 1200, [&] { return file() + " Record not locked [DeleteRec]"; }},
      {"RecallWithoutLock", [] { GO(2); }, RecallRec, 1200,
       [] { return std::string("Record not locked [RecallRec]"); }},
      {"DeleteLockedAtEnd",
       [] {
         GoBottom();
         SKIP(1);
         RLock();
       },
       DeleteRec, 1103, [&] { return file() + " at EOF [DeleteRec]"; }},
      {"AppendWithoutLock", [] {}, Append, 5,
       [&] { return "File must be locked to append: " + file() + " [APPEND]"; }},
      {"AppendWithRecordLock",
       [] {
         GO(1);
         RLock();
       },
       Append, 5, [&] { return "File must be locked to append: " + file() + " [APPEND]"; }},
      {"ReplaceLocked",
       [] {
         GO(2);
         RLock();
       },
       Replace, 0, [] { return std::string(); }},
      {"DeleteLocked",
       [] {
         GO(2);
         RLock();
       },
       DeleteRec, 0, [] { return std::string(); }},
      {"AppendLocked", [] { ALock(); }, Append, 0, [] { return std::string(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    USE(path, nullptr, 0);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    c.setup();
    ErrorMsg.clear();
    c.change();
    EXPECT_EQ(ErrorCode, c.code);
    if (c.code != 0) {
      EXPECT_EQ(ErrorMsg, c.msg());
    }
    Unlock();
    if (c.change == DeleteRec && c.code == 0) {
      RLock();
      RecallRec();
      EXPECT_EQ(ErrorCode, 0);
    }
    CloseArea();
  }
}

TEST_F(NavigationTest, AppendInSharedAreaGrowsFileByOneRecordAndEndByte) {
  const std::string path = MakeTable(2);
  const size_t header = 32 + 2 * 32 + 1, reclen = 10;
  USE(path, nullptr, 0);
  ASSERT_TRUE(ALock());
  ClearRecord();
  SetSlotText(1, "NEW");
  SetSlotInt(2, 77);
  Append();
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_EQ(RecNo(), 3);
  EXPECT_EQ(RecCount(), 3);
  EXPECT_FALSE(dEOF());
  EXPECT_EQ(SlotText(1), "NEW  ");
  EXPECT_EQ(std::filesystem::file_size(path), header + 3 * reclen);
  CloseArea();
  const std::string bytes = testing_support::ReadFileBytes(path);
  ASSERT_EQ(bytes.size(), header + 3 * reclen + 1);
  EXPECT_EQ(bytes.back(), '\x1A');
  EXPECT_EQ(bytes.substr(header + 2 * reclen, reclen), " NEW    77");
  EXPECT_EQ(GetU32LE(bytes.data() + 4), 3u);
}

TEST_F(NavigationTest, SharedCountFollowsTheFileSize) {
  const std::string path = MakeTable(2);
  USE(path, nullptr, 0);
  EXPECT_EQ(RecCount(), 2);
  GoBottom();
  SKIP(1);
  EXPECT_TRUE(dEOF());
  // Another program appends two records.
  {
    std::string bytes = testing_support::ReadFileBytes(path);
    bytes.resize(32 + 2 * 32 + 1 + 2 * 10);
    bytes += std::string(" R3      3") + " R4      4";
    testing_support::WriteFileBytes(path, bytes);
  }
  EXPECT_TRUE(dEOF());  // standing at the old end
  EXPECT_EQ(RecCount(), 4);
  GoBottom();
  EXPECT_EQ(RecNo(), 4);
  EXPECT_EQ(SlotText(1), "R4   ");
  CloseArea();
}

// Replace writes the stored form of changed fields only: an untouched date stays in its
// century and an untouched number wider than its slot stays whole.
TEST_F(NavigationTest, ReplaceRewritesOnlyChangedFields) {
  const std::string path = dir_ / "dates.dbf";
  std::vector<TFieldDef> fields = {
      {"NAME", 'C', 5, 0}, {"BORN", 'D', 8, 0}, {"BIG", 'N', 12, 0}, {"AMT", 'N', 8, 2}};
  TDbfFileRec t;
  CreateDBF(t, path, 4, fields);
  Century = false;
  EpochYear = 2000;  // a two-digit year 99 would go to 2099
  USE(path + " exclusive", nullptr, 0);
  ClearRecord();
  Append();
  Append();
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  Poke("19990315", 2, 1);
  Poke("123456789012", 3, 1);
  Poke("19990315", 2, 2);

  GO(1);
  EXPECT_EQ(SlotText(2), "03/15/99");
  SetSlotText(1, "ZED");
  Replace();
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_EQ(Peek(1, 1), "ZED  ");
  EXPECT_EQ(Peek(2, 1), "19990315");
  EXPECT_EQ(Peek(3, 1), "123456789012");
  EXPECT_EQ(Peek(4, 1), "    0.00");
  EXPECT_EQ(SlotText(1), "ZED  ");  // the buffer shows the stored form

  GO(2);
  SetSlotText(2, "04/01/98");  // a changed date is converted
  Replace();
  EXPECT_EQ(Peek(2, 2), "20980401");
  CloseArea();
}

// A controlling index stood in for by a fixed order of record numbers, with the flags and
// position an index driver keeps; it logs the calls that matter to the tests.
struct FakeIndex {
  static inline std::vector<int32_t> order;
  static inline size_t pos = 0;
  static inline bool eof = false, bof = false;
  static inline int read_depth = 0, lock_depth = 0, read_calls = 0;
  static inline std::vector<std::string> log;

  static void Install(std::vector<int32_t> o) {
    order = std::move(o);
    pos = 0;
    eof = bof = false;
    read_depth = lock_depth = read_calls = 0;
    log.clear();
    TIndexDriverHooks& h = IndexDriverHooks;
    h.PrimaryOpen = [] { return true; };
    h.FirstRec = [] {
      if (order.empty()) return eof = bof = true, int32_t{0};
      pos = 0;
      eof = bof = false;
      return order[pos];
    };
    h.LastRec = [] {
      if (order.empty()) return eof = bof = true, int32_t{0};
      pos = order.size() - 1;
      eof = bof = false;
      return order[pos];
    };
    h.NextRec = [] {
      if (pos + 1 < order.size()) {
        ++pos;
        eof = bof = false;
      } else {
        eof = true;
      }
      return order[pos];
    };
    h.PriorRec = [] {
      if (pos > 0) {
        --pos;
        eof = bof = false;
      } else {
        bof = true;
      }
      return order[pos];
    };
    h.IndexEof = [] { return eof; };
    h.IndexBof = [] { return bof; };
    h.SyncIndex = [] {
      const int32_t rec = CurrentWorkArea()->Dbf.RecNo;
      pos = order.size();
      for (size_t i = 0; i < order.size(); ++i) {
        if (order[i] == rec) pos = i;
      }
      eof = pos == order.size();
      bof = false;
      log.push_back(std::string(ReplaceInProgress ? "sync-replace " : "sync ") +
                    (eof ? "end" : SlotText(1)));
    };
    h.BuildCurrentKeys = [] { log.push_back("keys"); };
    h.SetStartFlag = [] { bof = true; };
    h.AddRecordKeys = [] { log.push_back("add " + std::to_string(CurrentWorkArea()->Dbf.RecNo)); };
    h.CompareKeys = [] { log.push_back("compare " + SlotText(1)); };
    h.SetReadSemaphore = [](bool on) {
      read_depth += on ? 1 : -1;
      if (on) ++read_calls;
      EXPECT_GE(read_depth, 0);
    };
    h.SetLockSemaphore = [](bool on) {
      lock_depth += on ? 1 : -1;
      log.push_back(on ? "lock on" : "lock off");
    };
  }
};

TEST_F(NavigationTest, IndexedMovesFollowTheOrder) {
  const std::string path = MakeTable(5, {1});
  USE(path, nullptr, 0);
  FakeIndex::Install({5, 3, 1, 4, 2});
  struct Case {
    const char* name;
    bool hide;
    const char* moves;
    int32_t recno;
    bool eof;
    bool bof;
  };
  const Case cases[] = {
      {"TopIsFirstInOrder", false, "T", 5, false, false},
      {"SkipFollowsOrder", false, "T S1", 3, false, false},
      {"SkipSeveral", false, "T S3", 4, false, false},
      {"BottomIsLastInOrder", false, "B", 2, false, false},
      {"SkipPastLastGoesToEnd", false, "B S1", 6, true, false},
      {"SkipBackFromEnd", false, "B S1 S-1", 2, false, false},
      {"SkipBackBeforeFirstSetsBof", false, "T S-1", 5, false, true},
      {"GoSyncsTheIndex", false, "G1 S1", 4, false, false},
      {"GoThenSkipBack", false, "G4 S-2", 3, false, false},
      {"HiddenRecordSkippedInOrder", true, "T S2", 4, false, false},
      {"HiddenBackwardInOrder", true, "G4 S-1", 3, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HideDeleted = c.hide;
    Moves(c.moves);
    EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
    EXPECT_EQ(RecNo(), c.recno);
    EXPECT_EQ(dEOF(), c.eof);
    EXPECT_EQ(dBOF(), c.bof);
    EXPECT_EQ(FakeIndex::read_depth, 0);
    EXPECT_GT(FakeIndex::read_calls, 0);
  }
  HideDeleted = true;
  FakeIndex::order = {1, 3};  // the first is hidden: GoTop passes it
  GoTop();
  EXPECT_EQ(RecNo(), 3);
  FakeIndex::order = {3, 1};  // the last is hidden: GoBottom passes it
  GoBottom();
  EXPECT_EQ(RecNo(), 3);
  FakeIndex::order = {1};  // nothing visible: end, with the index synchronised
  FakeIndex::log.clear();
  GoTop();
  EXPECT_EQ(RecNo(), 6);
  EXPECT_TRUE(dEOF());
  EXPECT_EQ(FakeIndex::log, (std::vector<std::string>{"sync end", "keys"}));
  FakeIndex::order = {};  // an empty index
  GoTop();
  EXPECT_EQ(RecNo(), 6);
  EXPECT_EQ(FakeIndex::read_depth, 0);
}

TEST_F(NavigationTest, IndexedChangesKeepTheKeys) {
  const std::string path = MakeTable(2);
  USE(path + " exclusive", nullptr, 0);
  FakeIndex::Install({2, 1});
  GO(1);
  FakeIndex::log.clear();
  SetSlotText(1, "NEW");
  Replace();
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  // The indexes are put on the old keys before the write, and compared after it.
  EXPECT_EQ(FakeIndex::log, (std::vector<std::string>{"lock on", "sync-replace R1   ", "keys",
                                                      "compare NEW  ", "lock off"}));
  EXPECT_EQ(Peek(1, 1), "NEW  ");
  EXPECT_FALSE(ReplaceInProgress);

  ReplaceUpdatesIndexes = false;
  FakeIndex::log.clear();
  SetSlotText(1, "NEWER");
  Replace();
  EXPECT_TRUE(FakeIndex::log.empty());
  EXPECT_EQ(Peek(1, 1), "NEWER");
  ReplaceUpdatesIndexes = true;

  FakeIndex::log.clear();
  ClearRecord();
  SetSlotText(1, "ADD");
  Append();
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_EQ(FakeIndex::log, (std::vector<std::string>{"lock on", "add 3", "keys", "lock off"}));

  CurrentWorkArea()->SwapBuf.clear();
  Replace();
  EXPECT_EQ(ErrorCode, 254);
  EXPECT_EQ(ErrorMsg, CurrentDbfName() + " Swap-buffer NIL. [REPLACE]");
  EXPECT_EQ(FakeIndex::lock_depth, 0);
  CloseArea();
}

}  // namespace
