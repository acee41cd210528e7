#include "engine/index_driver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/dates.h"
#include "engine/dbf_file.h"
#include "engine/error.h"
#include "engine/expr.h"
#include "engine/hooks.h"
#include "engine/index_build.h"
#include "engine/index_common.h"
#include "engine/index_nav.h"
#include "engine/index_rec.h"
#include "engine/index_semaphore.h"
#include "engine/work_area.h"
#include "platform/core/file.h"
#include "platform/core/halt.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/ndx_layout.h"
#include "tests/support/processes.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace engine;
using testing_support::ChildProcesses;
using testing_support::Pipe;
using testing_support::ReadFileBytes;

std::string SlotText(uint8_t field) {
  const uint8_t* p = FieldAddress(field);
  return std::string(reinterpret_cast<const char*>(p + 1), p[0]);
}

void SetSlotText(uint8_t field, const std::string& s) {
  uint8_t* p = FieldAddress(field);
  p[0] = static_cast<uint8_t>(s.size());
  std::memcpy(p + 1, s.data(), s.size());
}

// The KeyMaker of B.NDX: field F2. While g_short_keys is set it yields an empty key, which a
// build refuses (error 266).
bool g_short_keys = false;
std::string KeyF2() { return g_short_keys ? std::string() : SlotText(2); }

// The file name (without folder) of each open slot of the current area, "-" for an empty one,
// up to the last open slot.
std::vector<std::string> SlotNames() {
  std::vector<std::string> names;
  int last = 0;
  for (int s = 1; s <= kMaxIndexSlots; ++s) {
    if (CurrentIndex(s) != nullptr) last = s;
  }
  for (int s = 1; s <= last; ++s) {
    const TIndexRec* ix = CurrentIndex(s);
    names.push_back(ix ? std::filesystem::path(ix->FileName).stem().string() : "-");
  }
  return names;
}

using Names = std::vector<std::string>;

// In a child process: drops the tables, indexes and semaphore state inherited from the parent
// without writing to their files (they are the parent's), then starts the engine afresh.
void ForgetInheritedState() {
  for (uint8_t a = 0; a <= kMaxArea; ++a) {
    for (auto& slot : AreaIndexes[a].Slots) slot.reset();
    AreaIndexes[a].Opened = {};
    AreaIndexes[a].Cache.Free();
    AreaIndexes[a].Scratch.reset();
    ReleaseAreaSemaphore(a);
    WorkAreas[a].reset();
  }
  DescentPath.Reset();
  DescentPath.Owner = nullptr;
  ResetEngine();
  AbortOnError = false;
}

// Record numbers in the current order, first to last.
std::vector<int32_t> Walk() {
  std::vector<int32_t> recs;
  GoTop();
  while (!dEOF() && recs.size() < 100) {
    recs.push_back(RecNo());
    SKIP(1);
  }
  return recs;
}

// Reopens an index's file read-only, so that every write to it fails (tests run as root:
// permissions make no failures).
void MakeReadOnly(TIndexRec& ix) {
  ix.File.Close();
  ASSERT_EQ(ix.File.Open(ix.FileName, platform::kModeRead | platform::kShareDenyNone), 0);
}
void MakeWritable(TIndexRec& ix) {
  ix.File.Close();
  ASSERT_EQ(ix.File.Open(ix.FileName, platform::kModeReadWrite | platform::kShareDenyNone), 0);
}

class IndexDriverTest : public testing_support::EngineTest {
 protected:
  // t.dbf: F1..F4 C(1), NUM N(4,0); field k of record r is 'A' + (r - k) mod 4, so the index
  // on Fk starts with record k. NUM of record r is r. Index files A..D.NDX on F1..F4.
  void MakeTable(bool exclusive = true) {
    path_ = dir_ / "t.dbf";
    std::vector<TFieldDef> fields = {{"F1", 'C', 1, 0},
                                     {"F2", 'C', 1, 0},
                                     {"F3", 'C', 1, 0},
                                     {"F4", 'C', 1, 0},
                                     {"NUM", 'N', 4, 0}};
    TDbfFileRec t;
    CreateDBF(t, path_, 5, fields);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    USE(path_ + " exclusive", nullptr, 0);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    for (int r = 1; r <= 4; ++r) {
      ClearRecord();
      for (int k = 1; k <= 4; ++k) {
        SetSlotText(static_cast<uint8_t>(k),
                    std::string(1, static_cast<char>('A' + (r - k + 4) % 4)));
      }
      int32_t num = r;
      std::memcpy(FieldAddress(5), &num, 4);
      Append();
      ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    }
    for (int k = 0; k < 4; ++k) {
      MakeExprIndex("F" + std::to_string(k + 1), dir_ / std::string(1, static_cast<char>('A' + k)));
      ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    }
    if (!exclusive) {
      CloseArea();
      USE(path_, nullptr, 0);
      ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    }
  }
  std::string List(const std::string& names) {
    std::string list;
    for (char c : names) list += (list.empty() ? "" : " ") + (dir_ / std::string(1, c));
    return list;
  }
  void SetRecord(const std::string& f1, const std::string& f2) {
    ClearRecord();
    SetSlotText(1, f1);
    SetSlotText(2, f2);
    SetSlotText(3, "A");
    SetSlotText(4, "A");
    int32_t num = 9;
    std::memcpy(FieldAddress(5), &num, 4);
  }

  std::string path_;
};

TEST(SplitIndexListTest, Cases) {
  const std::string long_name(250, 'x');
  struct Case {
    std::string list;
    std::vector<std::string> expected;
    const char* what;
  } cases[] = {
      {"a.ndx b.ndx", {"a.ndx", "b.ndx"}, "split at blanks"},
      {"  a \t  b\t\tc  ", {"a", "b", "c"}, "runs of blanks and tabs are one separator"},
      {"\"my file.ndx\"  Mixed.Ndx", {"my file.ndx", "Mixed.Ndx"}, "quotes keep blanks; case kept"},
      {"", {}, "empty list"},
      {"   ", {}, "only blanks"},
      {"a =b", {"a=b"}, "no blank is kept before '='"},
      {long_name + " yyyyyyyyyy", {long_name, "yyyy"}, "cut at 255 characters"},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitIndexList(c.list), c.expected) << c.what;
}

TEST_F(IndexDriverTest, OrderSwitchingExchangesSlotOneAndN) {
  MakeTable();
  Set_Index_To(List("ABCD"));
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_EQ(SlotNames(), (Names{"A", "B", "C", "D"}));
  struct Step {
    int order;
    Names slots;
    int32_t top;
  } steps[] = {{3, {"C", "B", "A", "D"}, 3},
               {2, {"B", "A", "C", "D"}, 2},
               {1, {"A", "B", "C", "D"}, 1},
               {4, {"D", "B", "C", "A"}, 4}};
  for (const Step& s : steps) {
    Set_Order_To(s.order);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    EXPECT_EQ(SlotNames(), s.slots) << "order " << s.order;
    EXPECT_EQ(CurrentOrder(), s.order);
    EXPECT_EQ(Walk().front(), s.top) << "order " << s.order;
    EXPECT_TRUE(Find("B")) << "order " << s.order;
    EXPECT_EQ(RecNo(), (s.order % 4) + 1) << "the key B of index " << s.order;
  }
  // Natural order keeps the slots; records go in file order.
  Set_Order_To(0);
  EXPECT_EQ(CurrentOrder(), 0);
  EXPECT_EQ(Walk(), (std::vector<int32_t>{1, 2, 3, 4}));
  Set_Order_To(4);
  EXPECT_EQ(CurrentOrder(), 4);

  // Orders out of range or not open raise and change nothing.
  EXPECT_THROW(Set_Order_To(17), EWendalError);
  EXPECT_EQ(ErrorCode, 220);
  Set_Index_To(List("AB"));
  EXPECT_THROW(Set_Order_To(3), EWendalError);
  EXPECT_EQ(ErrorCode, 221);
  EXPECT_EQ(SlotNames(), (Names{"A", "B"}));
  EXPECT_EQ(CurrentOrder(), 1);
}

TEST_F(IndexDriverTest, SetIndexToKeepsTheFirstFailureAndTheSlots) {
  MakeTable();
  // A missing name still uses its slot; the first failure is what is reported.
  Set_Index_To(List("A") + " " + (dir_ / "MISS1") + " " + (dir_ / "MISS2") + " " + List("C"));
  EXPECT_EQ(ErrorCode, 2);
  EXPECT_NE(ErrorMsg.find("MISS1"), std::string::npos) << ErrorMsg;
  EXPECT_EQ(ErrorMsg.find("MISS2"), std::string::npos) << ErrorMsg;
  EXPECT_TRUE(ErrorMsg.ends_with(" [SetIndexTo]")) << ErrorMsg;
  EXPECT_EQ(SlotNames(), (Names{"A", "-", "-", "C"}));
  Set_Order_To(4);
  EXPECT_EQ(Walk().front(), 3);

  // Without its controlling index no index is left open.
  Set_Index_To((dir_ / "MISS1") + " " + List("B"));
  EXPECT_EQ(ErrorCode, 2);
  EXPECT_EQ(SlotNames(), Names{});
  EXPECT_EQ(AreaSemaphore(CurrentArea), nullptr);

  // An open that raises makes the whole list raise, after the rest was opened.
  EXPECT_THROW(Set_Index_To(List("AAB")), EWendalError);
  EXPECT_EQ(ErrorCode, 220);
  EXPECT_TRUE(ErrorMsg.starts_with("Index file already open: ")) << ErrorMsg;
  EXPECT_EQ(SlotNames(), (Names{"A", "-", "B"}));

  // The empty list closes everything.
  Set_Index_To("");
  EXPECT_EQ(ErrorCode, 0);
  EXPECT_EQ(CurrentOrder(), 0);
  EXPECT_EQ(SlotNames(), Names{});
}

TEST_F(IndexDriverTest, OpenIndexRefusals) {
  MakeTable();
  MakeKeyMakerIndex(&KeyF2, dir_ / "K");
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  testing_support::WriteFileBytes(dir_ / "SHORT.NDX", std::string(600, '\0'));
  struct Case {
    std::string name;
    TKeyMaker key_maker;
    uint16_t code;
    const char* what;
  } cases[] = {
      {dir_ / "K", nullptr, 223, "KeyMaker index opened without its KeyMaker"},
      {dir_ / "A", &KeyF2, 223, "expression index opened with a KeyMaker"},
      {dir_ / "SHORT", nullptr, 222, "file shorter than two pages"},
  };
  for (const Case& c : cases) {
    EXPECT_THROW(SetIndexTo(c.name, c.key_maker, 1), EWendalError) << c.what;
    EXPECT_EQ(ErrorCode, c.code) << c.what << ": " << ErrorMsg;
    EXPECT_EQ(CurrentIndex(1), nullptr) << c.what;
  }
  // Argument failures only set the error state.
  SetIndexTo(dir_ / "A", nullptr, 17);
  EXPECT_EQ(ErrorCode, 220);
  SetIndexTo(dir_ / "NONE", nullptr, 1);
  EXPECT_EQ(ErrorCode, 2);

  Set_Index_ToCB(&KeyF2, dir_ / "K", 1);
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_TRUE(Find("C"));
  EXPECT_EQ(RecNo(), 4);
}

TEST_F(IndexDriverTest, ReindexKeepsSlotsOptionsAndOrder) {
  MakeTable();
  MakeKeyMakerIndex(&KeyF2, (dir_ / "B") + " DESCENDING");
  MakeExprIndex("F3", (dir_ / "C") + " UNIQUE");
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  // Change the data while the indexes are closed, so that they are stale.
  GO(1);
  SetSlotText(1, "Z");
  SetSlotText(2, "Z");
  Replace();
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  GO(2);  // a record whose keys did not change
  Set_Index_ToLFN(dir_ / "A", 1);
  Set_Index_ToCB(&KeyF2, (dir_ / "B") + " DESCENDING", 2);
  Set_Index_ToLFN(dir_ / "C", 3);
  Set_Index_ToLFN(dir_ / "D", 4);
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  Set_Order_To(2);
  EXPECT_FALSE(Find("Z")) << "B is stale before the rebuild";

  Reindex();
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_EQ(CurrentOrder(), 2);
  EXPECT_EQ(SlotNames(), (Names{"B", "A", "C", "D"}));
  EXPECT_TRUE(CurrentIndex(1)->Descending);
  EXPECT_FALSE(CurrentIndex(1)->FromExpression);
  EXPECT_EQ(CurrentIndex(3)->Header.Unique, 1);
  EXPECT_EQ(CurrentIndex(2)->Header.Unique, 0);
  EXPECT_TRUE(Find("Z"));
  EXPECT_EQ(RecNo(), 1);
  // B descending on F2: Z (1), C (4), B (3), A (2); A on F1: B (2), C (3), D (4), Z (1).
  EXPECT_EQ(Walk(), (std::vector<int32_t>{1, 4, 3, 2}));
  Set_Order_To(1);
  EXPECT_EQ(Walk(), (std::vector<int32_t>{2, 3, 4, 1}));
}

TEST_F(IndexDriverTest, ReindexFailureReopensTheOldIndexAndLeavesTheOthers) {
  MakeTable();
  MakeKeyMakerIndex(&KeyF2, dir_ / "B");
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  GO(2);
  SetSlotText(1, "Z");
  Replace();
  GO(1);
  Set_Index_ToLFN(dir_ / "A", 1);
  Set_Index_ToCB(&KeyF2, dir_ / "B", 2);
  Set_Index_ToLFN(dir_ / "C", 3);
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  Set_Order_To(3);
  const std::string b_before = ReadFileBytes(dir_ / "B.NDX");

  g_short_keys = true;
  Reindex();
  g_short_keys = false;
  EXPECT_EQ(ErrorCode, 266) << ErrorMsg;
  EXPECT_EQ(CurrentOrder(), 3);
  EXPECT_EQ(SlotNames(), (Names{"C", "B", "A"}));
  EXPECT_EQ(ReadFileBytes(dir_ / "B.NDX"), b_before) << "the old index stays intact";
  Set_Order_To(2);
  EXPECT_EQ(Walk(), (std::vector<int32_t>{2, 3, 4, 1})) << "B reopened as it was";
  Set_Order_To(1);
  EXPECT_EQ(Walk(), (std::vector<int32_t>{1, 3, 4, 2})) << "A rebuilt";
}

TEST_F(IndexDriverTest, IndexOnWhoseBuildFailsOpensNothing) {
  MakeTable();
  const std::string before = ReadFileBytes(dir_ / "A.NDX");
  Index_On("NOSUCHFIELD", dir_ / "A");
  EXPECT_NE(ErrorCode, 0);
  EXPECT_EQ(CurrentIndex(1), nullptr);
  EXPECT_EQ(ReadFileBytes(dir_ / "A.NDX"), before);

  Index_On("F4+F1", dir_ / "E");
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_EQ(SlotNames(), Names{"E"});
  EXPECT_TRUE(Find("AD"));
  EXPECT_EQ(RecNo(), 4);
}

TEST_F(IndexDriverTest, AppendWhoseSecondInsertFailsRollsBackTheFirst) {
  MakeTable();
  Set_Index_To(List("AB"));
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  const std::vector<int32_t> a_before = Walk();
  Set_Order_To(2);
  const std::vector<int32_t> b_before = Walk();
  Set_Order_To(1);
  MakeReadOnly(*CurrentIndex(2));
  SetRecord("0", "0");
  try {
    Append();
  } catch (const EWendalError&) {
  }
  EXPECT_EQ(ErrorCode, 5) << ErrorMsg;
  MakeWritable(*CurrentIndex(2));
  EXPECT_EQ(Walk(), a_before);
  EXPECT_FALSE(Find("0"));
  Set_Order_To(2);
  EXPECT_EQ(Walk(), b_before);
  EXPECT_FALSE(Find("0"));
}

TEST_F(IndexDriverTest, CloseIndexesClosesEverySlotWhateverFails) {
  MakeTable(/*exclusive=*/false);
  Set_Index_To(List("ABC"));
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  ASSERT_NE(AreaSemaphore(CurrentArea), nullptr);
  const std::string semaphore = AreaSemaphore(CurrentArea)->FileName;
  for (int s : {1, 3}) {
    CurrentIndex(s)->HeaderChanged = true;
    MakeReadOnly(*CurrentIndex(s));
  }
  static int reports = 0;
  reports = 0;
  UserErrorProc = [] { ++reports; };
  AbortOnError = true;
  Close_Indexes();
  EXPECT_TRUE(AbortOnError);
  AbortOnError = false;
  UserErrorProc = nullptr;
  EXPECT_EQ(reports, 0);
  EXPECT_EQ(ErrorCode, 5);
  EXPECT_NE(ErrorMsg.find("A.NDX"), std::string::npos) << "the first failure: " << ErrorMsg;
  EXPECT_EQ(SlotNames(), Names{});
  EXPECT_EQ(AreaSemaphore(CurrentArea), nullptr);
  EXPECT_FALSE(std::filesystem::exists(semaphore));
}

TEST_F(IndexDriverTest, ClosingTheTableClosesIndexesOutsideSlotOne) {
  MakeTable();
  Set_Index_To("");
  // Opened into slot 2, then refused as the order: slot 1 stays empty.
  EXPECT_THROW(Set_Index_ToLFN(dir_ / "B", 2), EWendalError);
  ASSERT_EQ(SlotNames(), (Names{"-", "B"}));
  CloseArea();
  USE(path_, nullptr, 0);
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_EQ(SlotNames(), Names{}) << "an index of the closed table carried over";
}

TEST_F(IndexDriverTest, ExitProcedureClosesIndexesBeforeTables) {
  MakeTable();
  CloseAll();
  ChildProcesses children;
  const std::string table = path_;
  const std::string list = List("AB");
  // In a child: the exit procedures are taken off the list as they run. The fixture's reset
  // has started the engine a second time, so the registration order after a restart counts.
  const pid_t child = children.Start([table, list] {
    USE(table, nullptr, 0);
    Set_Index_To(list);
    if (ErrorCode != 0) return 2;
    static bool hook_called = false;
    IndexDriverHooks.CloseIndexes = [] {
      hook_called = true;
      Close_Indexes();
    };
    platform::RunExitProcs();
    // Run after the tables closed, the table's close would have called the hook.
    const bool closed = AreaIndexes[1].Slots[1] == nullptr && AreaIndexes[1].Slots[2] == nullptr;
    return closed && !hook_called && !WorkAreas[1] ? 0 : 1;
  });
  EXPECT_EQ(children.Wait(child), 0);
}

TEST_F(IndexDriverTest, FailedAppendLeavesTheSemaphoreFree) {
  MakeTable(/*exclusive=*/false);
  Set_Index_To(List("A"));
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  ASSERT_TRUE(ALock());
  MakeReadOnly(*CurrentIndex(1));
  SetRecord("0", "0");
  try {
    Append();
  } catch (const EWendalError&) {
  }
  EXPECT_NE(ErrorCode, 0);
  const TSemaphoreRec* s = AreaSemaphore(CurrentArea);
  ASSERT_NE(s, nullptr);
  EXPECT_FALSE(s->LockHeld);
  EXPECT_EQ(s->LockDepth, 0);
  MakeWritable(*CurrentIndex(1));
  Unlock();

  ChildProcesses children;
  const std::string table = path_;
  const std::string a = dir_ / "A";
  const pid_t child = children.Start([table, a] {
    ForgetInheritedState();
    SemaphoreLockWaitMs = 500;
    TableLockWaitMs = 500;
    USE(table, nullptr, 0);
    Set_Index_To(a);
    if (ErrorCode != 0 || !ALock()) return 1;
    ClearRecord();
    SetSlotText(1, "1");
    Append();
    return ErrorCode == 0 ? 0 : 2;
  });
  EXPECT_EQ(children.Wait(child), 0);
}

TEST_F(IndexDriverTest, TwoProcessesSeeEachOthersChanges) {
  MakeTable(/*exclusive=*/false);
  Set_Index_To(List("A"));
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  Pipe to_parent, to_child;
  ChildProcesses children;
  const std::string table = path_;
  const std::string a = dir_ / "A";
  const pid_t child = children.Start([&, table, a] {
    to_parent.CloseRead();
    to_child.CloseWrite();
    ForgetInheritedState();
    USE(table, nullptr, 0);
    Set_Index_To(a);
    if (ErrorCode != 0 || !ALock()) return 1;
    ClearRecord();
    SetSlotText(1, "N");
    Append();
    Unlock();
    if (ErrorCode != 0) return 2;
    to_parent.Put('a');
    if (to_child.Get() != 'r') return 3;
    if (!Find("P") || RecNo() != 5) return 4;
    if (Find("N")) return 5;
    return 0;
  });
  to_parent.CloseWrite();
  to_child.CloseRead();
  ASSERT_EQ(to_parent.Get(), 'a');
  EXPECT_TRUE(Find("N"));
  EXPECT_EQ(RecNo(), 5);
  ASSERT_TRUE(RLock());
  SetSlotText(1, "P");
  Replace();
  EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
  Unlock();
  to_child.Put('r');
  EXPECT_EQ(children.Wait(child), 0);
}

// Index files as other dBASE tools write them, from the public layout: byte 9 (the key-type
// letter) 0 and no record count or table name at the end of the header. The key type then
// follows the numeric flag and the expression; the files open, walk in key order, seek, take
// a new key, and keep their 0 at byte 9.
TEST_F(IndexDriverTest, IndexWithoutKeyTypeLetterOpensWalksAndSeeks) {
  namespace ndx = testing_support::ndx;
  const std::string table = dir_ / "f.dbf";
  {
    std::vector<TFieldDef> fields = {{"NAME", 'C', 5, 0}, {"NUM", 'N', 5, 0}, {"DAY", 'D', 8, 0}};
    TDbfFileRec t;
    CreateDBF(t, table, 3, fields);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    t.FileName = table;
    OpenDbfFile(t);
    for (const char* r : {" DELTA   3020240315", " ALPHA   1020231201", " CHARL   2020250704"}) {
      std::memcpy(t.RecBuf.data(), r, t.RecLen);
      PutDbfRecord(t, t.RecCount + 1);
    }
    CloseDbf(t);
  }
  Century = true;
  USE(table + " exclusive", nullptr, 0);
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  // The key of record r under `expr`, as the file stores it.
  auto key_of = [](const std::string& expr, int32_t r) {
    GO(r);
    TExprBlock* b = AssignExpr(expr);
    const void* v = EvaluateExpr(b);
    std::string key;
    if (b->ResultType == 'C') {
      key = ExprResultText(b);
    } else {
      key.assign(8, '\0');
      PutKeyNumber(reinterpret_cast<uint8_t*>(key.data()), *static_cast<const double*>(v));
    }
    FreeExpr(b);
    return key;
  };
  struct Case {
    const char* expr;
    uint16_t key_len;
    uint16_t numeric;
    std::vector<int32_t> order;  // records in key order
    const char* seek;
    int32_t found;
  };
  const Case cases[] = {
      {"NAME", 5, 0, {2, 3, 1}, "CHARL", 3},
      {"NUM", 8, 1, {2, 3, 1}, "20", 3},
      {"DAY", 8, 1, {2, 1, 3}, "03/15/2024", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expr);
    const uint16_t entry = static_cast<uint16_t>((8 + c.key_len + 3) & ~3);
    const ndx::Layout l{'\0', c.key_len, static_cast<uint16_t>(504 / entry), c.numeric, entry};
    std::string file = ndx::HeaderPage(1, 2, l, 0, c.expr, 0, "");
    std::fill(file.begin() + 488, file.end(), '\0');
    std::vector<ndx::Entry> entries;
    for (int32_t r : c.order) entries.push_back({0, static_cast<uint32_t>(r), key_of(c.expr, r)});
    file += ndx::NodePage(entries, 0, l);
    const std::string name = dir_ / (std::string(c.expr) + ".ndx");
    testing_support::WriteFileBytes(name, file);

    Set_Index_To(name);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    EXPECT_EQ(Walk(), c.order);
    EXPECT_TRUE(Find(c.seek));
    EXPECT_EQ(RecNo(), c.found);
    // A new record's key goes in at its place; the file keeps its 0 at byte 9.
    ClearRecord();
    Append();
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    std::vector<int32_t> with_blank = c.order;
    // The blank key (blanks, 0, the blank date) comes first.
    with_blank.insert(with_blank.begin(), RecNo());
    EXPECT_EQ(Walk(), with_blank);
    Close_Indexes();
    EXPECT_EQ(ReadFileBytes(name)[9], '\0');
  }
}

}  // namespace
