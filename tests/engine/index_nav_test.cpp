#include "engine/index_nav.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/bytes.h"
#include "engine/dates.h"
#include "engine/dbf_file.h"
#include "engine/error.h"
#include "engine/index_common.h"
#include "engine/index_driver.h"
#include "engine/ndx_format.h"
#include "engine/work_area.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/ndx_layout.h"
#include "tests/support/processes.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace engine;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

// A C slot of the native buffer: a length byte, then the characters.
void SetSlotText(uint8_t field, const std::string& s) {
  uint8_t* p = FieldAddress(field);
  p[0] = static_cast<uint8_t>(s.size());
  std::memcpy(p + 1, s.data(), s.size());
}

class IndexNavTest : public testing_support::EngineTest {
 protected:
  // Creates `name` with the given fields and file-form records, and opens it exclusive.
  std::string MakeTable(std::vector<TFieldDef> fields, const std::vector<std::string>& records,
                        const std::string& name = "t.dbf") {
    const std::string path = dir_ / name;
    TDbfFileRec t;
    CreateDBF(t, path, static_cast<uint8_t>(fields.size()), fields);
    EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
    t.FileName = path;
    OpenDbfFile(t);
    for (const std::string& rec : records) {
      std::string r = " " + rec;
      r.resize(t.RecLen, ' ');
      std::memcpy(t.RecBuf.data(), r.data(), t.RecLen);
      PutDbfRecord(t, t.RecCount + 1);
    }
    CloseDbf(t);
    USE(path + " exclusive", nullptr, 0);
    EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
    return path;
  }

  void IndexOn(const std::string& expr, const std::string& name = "t.ndx") {
    Index_On(expr, dir_ / name);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  }

  // The record numbers in index order, forward and backward (bounded walks).
  std::vector<int32_t> Forward() {
    std::vector<int32_t> out;
    GoTop();
    for (int guard = 0; !dEOF() && guard < 5000; ++guard) {
      out.push_back(RecNo());
      SKIP(1);
    }
    return out;
  }
  std::vector<int32_t> Backward() {
    std::vector<int32_t> out;
    GoBottom();
    if (dEOF()) return out;
    for (int guard = 0; guard < 5000; ++guard) {
      out.push_back(RecNo());
      SKIP(-1);
      if (dBOF()) break;
    }
    return out;
  }
};

std::string Pad(const std::string& s, size_t n) { return s + std::string(n - s.size(), ' '); }

// Walks the table in index order and seeks every key of field 1: "" when the walk gives
// exactly `keys` in sorted order and each key is found on a record that holds it, else what
// went wrong first.
std::string WalkAndFindAll(std::vector<std::string> keys) {
  std::sort(keys.begin(), keys.end());
  std::vector<std::string> walked;
  GoTop();
  for (int guard = 0; !dEOF() && guard < 1000; ++guard) {
    if (ErrorCode != 0) return "walk: " + ErrorMsg;
    walked.push_back(Peek(1, RecNo()));
    SKIP(1);
  }
  if (walked != keys) {
    return "walked " + std::to_string(walked.size()) + " keys in an order other than the " +
           std::to_string(keys.size()) + " sorted ones";
  }
  for (const std::string& k : keys) {
    if (!Find(k) || Peek(1, RecNo()) != k) return "not found: " + k + " " + ErrorMsg;
  }
  return "";
}

// ---- The model test ---------------------------------------------------------------------

// Appends and key-changing replaces on a C(100) index (4 keys per page, so splits happen at
// every level) agree with a multimap after each step, walking forward and back. Equal keys:
// the build puts them in record order; an insert goes before the existing ones.
TEST_F(IndexNavTest, AppendsAndReplacesAgreeWithMultimapModel) {
  std::mt19937 rng(20240607);
  auto random_key = [&rng] { return Pad("K" + std::to_string(rng() % 23), 100); };
  std::vector<std::string> initial;
  std::multimap<std::string, int32_t> model;
  std::vector<std::string> key_of(1);
  for (int i = 1; i <= 12; ++i) {
    initial.push_back(random_key());
    model.emplace(initial.back(), i);  // equal keys in record order, as the build makes them
    key_of.push_back(initial.back());
  }
  MakeTable({{"KEY", 'C', 100, 0}}, initial);
  IndexOn("KEY");

  auto expected_forward = [&model] {
    std::vector<int32_t> v;
    for (const auto& [k, r] : model) v.push_back(r);
    return v;
  };
  for (int step = 0; step < 160; ++step) {
    const std::string key = random_key();
    if (rng() % 3 != 0) {
      ClearRecord();
      SetSlotText(1, key);
      Append();
      ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
      model.emplace_hint(model.lower_bound(key), key, RecNo());
      key_of.push_back(key);
    } else {
      const int32_t rec = static_cast<int32_t>(1 + rng() % (key_of.size() - 1));
      GO(rec);
      ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
      SetSlotText(1, key);
      Replace();
      ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
      if (key != key_of[rec]) {
        auto range = model.equal_range(key_of[rec]);
        for (auto it = range.first; it != range.second; ++it) {
          if (it->second == rec) {
            model.erase(it);
            break;
          }
        }
        model.emplace_hint(model.lower_bound(key), key, rec);
        key_of[rec] = key;
      }
    }
    const std::vector<int32_t> want = expected_forward();
    ASSERT_EQ(Forward(), want) << "step " << step;
    ASSERT_EQ(Backward(), std::vector<int32_t>(want.rbegin(), want.rend())) << "step " << step;
  }
  // The tree written by the inserts reads the same after reopening.
  Set_Index_To(dir_ / "t.ndx");
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_EQ(Forward(), expected_forward());
}

// Deletes and inserts on a C(100) index against a multimap: leaves emptied in the middle of
// the tree and right-most children removed first, then random deletes down to three keys,
// then the keys inserted again. After every step the index walks both ways as the model
// does, Find reaches every key through the separators, and the file's tree keeps every leaf
// at one depth with inner entries holding the greatest key of their subtree and no record.
TEST_F(IndexNavTest, DeletesAndInsertsKeepOneLeafDepthAndAgreeWithMultimapModel) {
  constexpr int kRecords = 120;
  std::mt19937 rng(20240611);
  std::vector<std::string> key_of(1);
  std::vector<std::string> initial;
  std::multimap<std::string, int32_t> model;
  for (int i = 1; i <= kRecords; ++i) {
    key_of.push_back(Pad("K" + std::to_string(100 + rng() % 70), 100));
    initial.push_back(key_of.back());
    model.emplace(key_of.back(), i);
  }
  MakeTable({{"KEY", 'C', 100, 0}}, initial);
  IndexOn("KEY");
  const std::string file = dir_ / "t.ndx";

  auto tree = [&] {
    testing_support::ndx::Tree t{ReadFileBytes(file)};
    t.Walk(GetU32LE(t.bytes.data()), 0);
    return t;
  };
  auto check = [&](const std::string& step) {
    SCOPED_TRACE(step);
    std::vector<int32_t> want;
    for (const auto& [k, r] : model) want.push_back(r);
    ASSERT_EQ(Forward(), want);
    ASSERT_EQ(Backward(), std::vector<int32_t>(want.rbegin(), want.rend()));
    const testing_support::ndx::Tree t = tree();
    ASSERT_FALSE(HasFailure());
    ASSERT_LE(t.leaf_depths.size(), 1u) << "leaves at different depths";
    ASSERT_EQ(t.leaves.size(), model.size());
    for (auto it = model.begin(); it != model.end(); it = model.upper_bound(it->first)) {
      ASSERT_TRUE(Find(it->first)) << it->first;
      ASSERT_EQ(RecNo(), it->second) << it->first;
    }
  };
  auto remove = [&](int32_t rec) {
    GoRecord(rec);
    ASSERT_EQ(DeleteIndexKey(reinterpret_cast<const uint8_t*>(key_of[rec].data()), 1), 0)
        << ErrorMsg;
    for (auto it = model.begin(); it != model.end(); ++it) {
      if (it->second == rec) {
        model.erase(it);
        break;
      }
    }
  };
  check("built");
  const int depth = *tree().leaf_depths.begin();
  ASSERT_GE(depth, 3);

  // Whole leaves: one in the middle of its parent, then the right-most child of a parent that
  // is not the last one, a few times each.
  for (int round = 0; round < 6; ++round) {
    const testing_support::ndx::Tree t = tree();
    const bool middle = round % 2 == 0;
    const testing_support::ndx::Tree::Leaf* pick = nullptr;
    for (size_t i = 0; i + 1 < t.leaf_pages.size() && pick == nullptr; ++i) {
      const auto& l = t.leaf_pages[i];
      const bool fits = middle ? l.child_pos > 0 && l.child_pos + 1 < l.siblings
                               : l.child_pos + 1 == l.siblings && l.siblings > 1;
      if (fits && i > 0) pick = &l;
    }
    ASSERT_NE(pick, nullptr) << "round " << round;
    for (const auto& e : pick->entries)
      ASSERT_NO_FATAL_FAILURE(remove(static_cast<int32_t>(e.rec)));
    ASSERT_NO_FATAL_FAILURE(check("emptied leaf, round " + std::to_string(round)));
  }

  // Random deletes down to three keys.
  std::vector<int32_t> present;
  for (const auto& [k, r] : model) present.push_back(r);
  std::shuffle(present.begin(), present.end(), rng);
  while (present.size() > 3) {
    ASSERT_NO_FATAL_FAILURE(remove(present.back()));
    present.pop_back();
    ASSERT_NO_FATAL_FAILURE(check("deleted down to " + std::to_string(present.size())));
  }

  // Insert every record's key again, in random order.
  std::vector<int32_t> missing;
  for (int32_t r = 1; r <= kRecords; ++r) {
    if (std::find(present.begin(), present.end(), r) == present.end()) missing.push_back(r);
  }
  std::shuffle(missing.begin(), missing.end(), rng);
  for (int32_t rec : missing) {
    GoRecord(rec);
    ASSERT_EQ(AppendIndex(reinterpret_cast<const uint8_t*>(key_of[rec].data()), 1), 1) << ErrorMsg;
    model.emplace_hint(model.lower_bound(key_of[rec]), key_of[rec], rec);
    if (model.size() % 10 == 0 || model.size() == kRecords) {
      ASSERT_NO_FATAL_FAILURE(check("inserted up to " + std::to_string(model.size())));
    }
  }
  EXPECT_LE(*tree().leaf_depths.begin(), depth + 1);
}

// ---- Find ------------------------------------------------------------------------------

class FindTest : public IndexNavTest {
 protected:
  void SetUp() override {
    IndexNavTest::SetUp();
    // NAME C(6), NUM N(6,1), DAY D.
    MakeTable({{"NAME", 'C', 6, 0}, {"NUM", 'N', 6, 1}, {"DAY", 'D', 8, 0}},
              {"DELTA   12.520240315", "ALPHA    3.020231201", "ABBEY  100.019991231",
               "ABACUS  12.520240101", "ZULU     0.520250704"});
  }
};

TEST_F(FindTest, FindsPrefixNumberAndDate) {
  struct Case {
    const char* expr;
    const char* key;
    bool found;
    int32_t rec;
    const char* name;
  };
  const Case cases[] = {
      {"NAME", "AB", true, 4, "prefix finds the first key that begins with it"},
      {"NAME", "ALPHA", true, 2, "whole key"},
      {"NAME", "ALPHAX", false, 6, "longer than any match"},
      {"NAME", "B", false, 6, "between keys: not found, at count + 1"},
      {"NAME", "ZZ", false, 6, "past the last key"},
      {"NUM", "12.5", true, 1, "number: the first of equal keys in record order"},
      {"NUM", " 100", true, 3, "number text with a leading blank"},
      {"NUM", "7", false, 6, "number not present"},
      {"DAY", "03/15/2024", true, 1, "date text in the current date mode"},
      {"DAY", "07/04/2025", true, 5, "the last key"},
      {"DAY", "01/02/2024", false, 6, "date not present"},
  };
  Century = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IndexOn(c.expr, std::string(c.expr) + ".ndx");
    EXPECT_EQ(Find(c.key), c.found);
    EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
    EXPECT_EQ(RecNo(), c.rec);
    EXPECT_EQ(dEOF(), !c.found);
    if (c.found) {
      // The walk goes on from the found record in key order.
      SKIP(1);
      EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
    }
  }
}

TEST_F(FindTest, NaturalOrderAndEmptyKeyText) {
  IndexOn("NAME");
  EXPECT_FALSE(Find(""));
  EXPECT_EQ(ErrorCode, 0);
  Set_Order_To(0);
  EXPECT_FALSE(Find("ALPHA"));
  EXPECT_EQ(ErrorCode, 254);
  EXPECT_EQ(ErrorMsg, "Cannot use Find() with index order 0 (natural order) [Find]");
  Set_Order_To(1);
  EXPECT_TRUE(Find("ZULU"));
  EXPECT_EQ(RecNo(), 5);
}

// ---- Deleting keys ----------------------------------------------------------------------

TEST_F(IndexNavTest, DeletingTheLastKeyLeavesAnEmptyIndexThatStaysEmpty) {
  MakeTable({{"NAME", 'C', 4, 0}}, {"BBBB", "AAAA", "CCCC"});
  IndexOn("NAME");
  for (int32_t rec = 1; rec <= 3; ++rec) {
    GoRecord(rec);
    std::vector<uint8_t> key(4);
    ASSERT_TRUE(MakeRecordKey(*CurrentIndex(1), key.data(), ""));
    EXPECT_EQ(DeleteIndexKey(key.data(), 1), 0) << ErrorMsg;
    EXPECT_EQ(DeleteIndexKey(key.data(), 1), -1) << "a deleted key is gone";
  }
  const std::string bytes = ReadFileBytes(dir_ / "t.ndx");
  EXPECT_EQ(GetU32LE(bytes.data()), 1u) << "root";
  EXPECT_EQ(GetU32LE(bytes.data() + 4), 2u) << "next free";
  EXPECT_EQ(GetU32LE(bytes.data() + 512), 0u) << "page 1 is an empty leaf";
  EXPECT_EQ(_FindFirstRec(), 0);
  EXPECT_TRUE(IndexEndFlag());
  GoRecord(4);  // no record stands in the index any more
  Set_Index_To(dir_ / "t.ndx");
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_EQ(_FindFirstRec(), 0);
  EXPECT_EQ(_FindLastRec(), 0);
}

// Deleting every key of a deep tree one by one keeps the rest in order.
TEST_F(IndexNavTest, DeletingKeysOfADeepTreeKeepsTheOrder) {
  std::vector<std::string> recs;
  std::multimap<std::string, int32_t> model;
  for (int i = 1; i <= 60; ++i) {
    recs.push_back(Pad("N" + std::to_string((i * 37) % 41), 100));
    model.emplace(recs.back(), i);
  }
  MakeTable({{"KEY", 'C', 100, 0}}, recs);
  IndexOn("KEY");
  std::mt19937 rng(7);
  std::vector<int32_t> order;
  for (int32_t r = 1; r <= 60; ++r) order.push_back(r);
  std::shuffle(order.begin(), order.end(), rng);
  for (int32_t rec : order) {
    GoRecord(rec);
    ASSERT_EQ(DeleteIndexKey(reinterpret_cast<const uint8_t*>(recs[rec - 1].data()), 1), 0)
        << ErrorMsg;
    for (auto it = model.begin(); it != model.end(); ++it) {
      if (it->second == rec) {
        model.erase(it);
        break;
      }
    }
    std::vector<int32_t> want, got;
    for (const auto& [k, r] : model) want.push_back(r);
    int32_t n = _FindFirstRec();
    for (size_t i = 0; i < want.size() && n > 0; ++i) {
      got.push_back(n);
      GoRecord(n);
      n = _FindNextRec();
      if (IndexEndFlag()) break;
    }
    ASSERT_EQ(got, want) << "after deleting record " << rec;
  }
}

// ---- Damaged files ------------------------------------------------------------------------

// 60 keys of C(10): leaves on pages 1..3 (25, 25, 10 keys), the root on page 4 (two entries
// and the right-most child), next free 5.
TEST_F(IndexNavTest, DamagedIndexGivesAnErrorAndNoCrash) {
  struct Case {
    uint32_t offset;
    std::vector<uint8_t> bytes;
    uint16_t code;
    const char* name;
  };
  auto u32 = [](uint32_t v) {
    return std::vector<uint8_t>{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                                static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
  };
  const uint32_t root = 4 * 512;
  const Case cases[] = {
      {0, u32(0), 222, "root 0"},
      {0, u32(9), 222, "root past next free"},
      {12, {0, 0}, 222, "key length 0"},
      {14, {99, 0}, 222, "keys per page not the key length's"},
      {9, {'X'}, 222, "unknown key type"},
      {root, u32(200), 254, "root key count above keys per page"},
      {root + 4, u32(77), 254, "child page past the end of the file"},
      {root + 4, u32(4), 254, "child is the root itself: a cycle"},
      {root + 4 + 2 * 20, u32(0), 254, "right-most child 0"},
      {512, u32(26), 254, "leaf key count above keys per page"},
      {512 + 4 + 20, u32(3), 254, "a leaf entry with a child"},
  };
  std::vector<std::string> recs;
  for (int i = 0; i < 60; ++i) recs.push_back("KEY" + std::to_string(100 + i));
  MakeTable({{"NAME", 'C', 10, 0}}, recs);
  IndexOn("NAME", "good.ndx");
  Close_Indexes();
  const std::string good = ReadFileBytes(dir_ / "good.ndx");
  ASSERT_EQ(good.size(), 5u * 512);
  ASSERT_EQ(GetU32LE(good.data()), 4u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bad = good;
    std::memcpy(bad.data() + c.offset, c.bytes.data(), c.bytes.size());
    WriteFileBytes(dir_ / "bad.ndx", bad);
    uint16_t first = 0;
    auto note = [&first] {
      if (first == 0) first = ErrorCode;
    };
    try {
      Set_Index_To(dir_ / "bad.ndx");
      note();
      GoTop();
      note();
      for (int i = 0; i < 100 && !dEOF(); ++i) {
        SKIP(1);
        note();
      }
      GoBottom();
      note();
      for (int i = 0; i < 100 && !dBOF(); ++i) {
        SKIP(-1);
        note();
      }
      Find("KEY13");
      note();
      ClearRecord();
      SetSlotText(1, "KEY000");
      Append();
      note();
    } catch (const EWendalError&) {
      note();
    }
    EXPECT_EQ(first, c.code) << ErrorMsg;
    Close_Indexes();
  }
}

// ---- Another program's change -----------------------------------------------------------

// This program stands inside the first leaf; another program then inserts keys in front of
// it, splitting that leaf and the root. The next steps must walk the new pages, not the
// copies this program's descent path still held.
TEST_F(IndexNavTest, AnotherProgramsSplitsAreNotWalkedFromStalePages) {
  std::vector<std::string> recs;
  for (int i = 0; i < 40; ++i) recs.push_back(Pad("B" + std::to_string(100 + i), 100));
  const std::string path = MakeTable({{"KEY", 'C', 100, 0}}, recs);
  IndexOn("KEY");
  CloseAll();
  ASSERT_TRUE(SharedAccess);

  // The child starts before this program opens anything, so it inherits no open file.
  testing_support::Pipe go, done;
  testing_support::ChildProcesses kids;
  const pid_t child = kids.Start([&] {
    go.CloseWrite();
    done.CloseRead();
    ResetEngine();
    AbortOnError = false;
    if (go.Get() != 'g') return 9;
    USE(path, nullptr, 0);
    Set_Index_To(dir_ / "t.ndx");
    if (ErrorCode != 0 || !ALock()) return 10;
    for (int i = 0; i < 30; ++i) {
      ClearRecord();
      SetSlotText(1, "B1" + std::to_string(i % 3) + "0" + std::to_string(i));
      Append();
      if (ErrorCode != 0) return 11;
    }
    Unlock();
    done.Put('d');
    // Stays logged in until this program has walked.
    go.Get();
    CloseAll();
    return 0;
  });
  go.CloseRead();
  done.CloseWrite();

  USE(path, nullptr, 0);
  Set_Index_To(dir_ / "t.ndx");
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  GoTop();
  SKIP(2);
  ASSERT_EQ(RecNo(), 3);
  ASSERT_TRUE(go.Put('g'));
  ASSERT_EQ(done.Get(), 'd');

  // Every key after B102 in order, the other program's among them.
  RecCount();
  std::vector<std::string> rest;
  for (int guard = 0; guard < 200; ++guard) {
    SKIP(1);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    if (dEOF()) break;
    rest.push_back(Peek(1, RecNo()));
  }
  EXPECT_TRUE(std::is_sorted(rest.begin(), rest.end()));
  std::vector<std::string> all = recs;
  for (int i = 0; i < 30; ++i) {
    all.push_back(Pad("B1" + std::to_string(i % 3) + "0" + std::to_string(i), 100));
  }
  EXPECT_EQ(rest.size(),
            static_cast<size_t>(std::count_if(all.begin(), all.end(), [](const std::string& k) {
              return k > Pad("B102", 100);
            })));
  GoTop();
  EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_EQ(RecCount(), 70);
  EXPECT_EQ(Forward().size(), 70u) << ErrorMsg;
  go.Put('x');
  EXPECT_EQ(kids.Wait(child), 0);
}

// This program stands on record 1 (no search since); another program then appends keys above
// it, enough to split the index and move its root, so that record 1's key stays on the old
// root page; this program changes record 1's key. The change must start from the file's
// current anchor, and both programs then find every key.
TEST_F(IndexNavTest, ReplaceAfterAnotherProgramsSplitStartsFromTheCurrentAnchor) {
  std::vector<std::string> keys;
  for (const char* k : {"M1", "M2", "M3", "M4"}) keys.push_back(Pad(k, 100));
  const std::string path = MakeTable({{"KEY", 'C', 100, 0}}, keys);
  IndexOn("KEY");
  CloseAll();
  std::vector<std::string> added;
  for (int i = 0; i < 12; ++i) {
    added.push_back(Pad("Z" + std::to_string(10 + i), 100));
  }
  std::vector<std::string> all = keys;
  all.insert(all.end(), added.begin(), added.end());
  all[0] = Pad("N1", 100);

  testing_support::Pipe to_child, from_child;
  testing_support::ChildProcesses kids;
  const pid_t child = kids.Start([&] {
    to_child.CloseWrite();
    from_child.CloseRead();
    ResetEngine();
    AbortOnError = false;
    if (to_child.Get() != 'a') return 9;
    USE(path, nullptr, 0);
    Set_Index_To(dir_ / "t.ndx");
    if (ErrorCode != 0 || !ALock()) return 10;
    for (const std::string& k : added) {
      ClearRecord();
      SetSlotText(1, k);
      Append();
      if (ErrorCode != 0) return 11;
    }
    Unlock();
    from_child.Put('d');
    if (to_child.Get() != 'w') return 12;
    const std::string walk = WalkAndFindAll(all);
    from_child.Write(walk.data(), walk.size());
    CloseAll();
    return walk.empty() ? 0 : 13;
  });
  to_child.CloseRead();
  from_child.CloseWrite();

  USE(path, nullptr, 0);
  Set_Index_To(dir_ / "t.ndx");
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  GO(1);
  ASSERT_TRUE(to_child.Put('a'));
  ASSERT_EQ(from_child.Get(), 'd');
  ASSERT_NE(GetU32LE(ReadFileBytes(dir_ / "t.ndx").data()), 1u) << "the root moved";
  ASSERT_TRUE(RLock());
  SetSlotText(1, "N1");
  Replace();
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  Unlock();
  EXPECT_EQ(WalkAndFindAll(all), "");
  to_child.Put('w');
  to_child.CloseWrite();
  EXPECT_TRUE(from_child.WaitClosed()) << "the other program's walk went wrong";
  EXPECT_EQ(kids.Wait(child), 0);
}

// A key routine that raises when asked to.
bool g_key_routine_raises = false;
std::string RaisingKey() {
  if (g_key_routine_raises) throw EWendalError("key routine failed");
  std::string key = Field(1);
  key.resize(4, ' ');
  return key;
}

// A key routine that raises in the middle of a move leaves this program counted as a reader
// no longer: another program's append right after it goes through.
TEST_F(IndexNavTest, MoveThatRaisesReleasesTheReadSemaphore) {
  const std::string path = MakeTable({{"NAME", 'C', 4, 0}}, {"CCCC", "AAAA", "BBBB"});
  Index_OnCB(&RaisingKey, dir_ / "t.ndx");
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  CloseAll();

  testing_support::Pipe to_child, from_child;
  testing_support::ChildProcesses kids;
  const pid_t child = kids.Start([&] {
    to_child.CloseWrite();
    from_child.CloseRead();
    ResetEngine();
    AbortOnError = false;
    ReadWaitTicks = 4;  // a writer that waits for a reader gives up after about 220 ms
    IndexLockRetryMs = 2;
    USE(path, nullptr, 0);
    Set_Index_ToCB(&RaisingKey, dir_ / "t.ndx", 1);
    if (ErrorCode != 0) return 10;
    from_child.Put('r');
    while (to_child.Get() == 'a') {
      bool ok = false;
      try {
        ClearRecord();
        SetSlotText(1, "DDDD");
        if (ALock()) {
          Append();
          ok = ErrorCode == 0;
        }
      } catch (const EWendalError&) {
        ok = false;
      }
      Unlock();
      from_child.Put(ok ? '1' : '0');
    }
    CloseAll();
    return 0;
  });
  to_child.CloseRead();
  from_child.CloseWrite();
  ASSERT_EQ(from_child.Get(), 'r');

  USE(path, nullptr, 0);
  Set_Index_ToCB(&RaisingKey, dir_ / "t.ndx", 1);
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  struct Case {
    const char* name;
    void (*prepare)();
    void (*move)();
  };
  const Case cases[] = {
      {"GoTop", [] {}, [] { GoTop(); }},
      {"GoBottom", [] {}, [] { GoBottom(); }},
      {"SKIP back from the first record", [] { GoTop(); }, [] { SKIP(-1); }},
      {"GO", [] {}, [] { GO(2); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.prepare();
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    g_key_routine_raises = true;
    EXPECT_THROW(c.move(), EWendalError);
    g_key_routine_raises = false;
    ASSERT_TRUE(to_child.Put('a'));
    EXPECT_EQ(from_child.Get(), '1') << "the other program's append failed";
  }
  to_child.Put('e');
  EXPECT_EQ(kids.Wait(child), 0);
}

// A key change whose index writes hit the file-size limit, at each write in turn: 20 keys of
// C(100) fill five leaves and the root, and record 1's new key lands in a full leaf, so the
// leaf, the root and a new root are written. Afterwards every key the change did not touch is
// found, and an index whose header still matches the table holds exactly the table's keys.
TEST_F(IndexNavTest, WriteFailuresInASplitLoseNoKeyOrMarkTheIndexOutOfDate) {
  std::vector<std::string> keys;
  for (int i = 101; i <= 120; ++i) keys.push_back(Pad("K" + std::to_string(i), 100));
  const std::string path = MakeTable({{"KEY", 'C', 100, 0}}, keys);
  IndexOn("KEY");
  CloseAll();
  const std::string index = dir_ / "t.ndx";
  const std::string table_bytes = ReadFileBytes(path);
  const std::string index_bytes = ReadFileBytes(index);
  ASSERT_EQ(GetU32LE(index_bytes.data()), 6u) << "the root";
  ASSERT_EQ(GetU32LE(index_bytes.data() + 6 * 512), 4u) << "a full root";

  for (uint32_t pages = 0; pages <= 10; ++pages) {
    SCOPED_TRACE("file-size limit of " + std::to_string(pages) + " pages");
    WriteFileBytes(path, table_bytes);
    WriteFileBytes(index, index_bytes);
    testing_support::ChildProcesses kids;
    const pid_t child = kids.Start([&] {
      ResetEngine();
      AbortOnError = false;
      // Over the limit a write fails with EFBIG instead of ending the program.
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{pages * 512ull, pages * 512ull};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;
      USE(path + " exclusive", nullptr, 0);
      Set_Index_To(index);
      if (ErrorCode != 0) return 11;
      GO(1);
      SetSlotText(1, "K1155");
      try {
        Replace();
      } catch (const EWendalError&) {
      }
      CloseAll();
      return 0;
    });
    ASSERT_EQ(kids.Wait(child), 0);

    USE(path + " exclusive", nullptr, 0);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    const bool out_of_date = IndexHeaderRecCount(index) != RecCount();
    GO(2);  // a record the change did not touch
    Set_Index_To(index);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    for (size_t i = 1; i < keys.size(); ++i) {
      EXPECT_TRUE(Find(keys[i]) && Peek(1, RecNo()) == keys[i]) << keys[i];
    }
    if (!out_of_date) {
      std::vector<std::string> now;
      for (int32_t r = 1; r <= RecCount(); ++r) now.push_back(Peek(1, r));
      EXPECT_EQ(WalkAndFindAll(now), "");
    }
    CloseAll();
  }
}

}  // namespace
