#include "engine/index_build.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "engine/dbf_file.h"
#include "engine/error.h"
#include "engine/expr_util.h"
#include "engine/hooks.h"
#include "engine/index_common.h"
#include "engine/ndx_format.h"
#include "engine/utils.h"
#include "engine/work_area.h"
#include "platform/core/file.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/ndx_layout.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace engine;
using namespace testing_support::ndx;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

// ---- Fixture ---------------------------------------------------------------------------

class IndexBuildTest : public testing_support::EngineTest {
 protected:
  // Creates `name` (file-form records: each text holds the fields' bytes, padded with blanks)
  // and opens it shared in the current area.
  std::string MakeTable(std::vector<TFieldDef> fields, const std::vector<std::string>& records,
                        const std::set<int>& deleted = {}, const std::string& name = "t.dbf") {
    const std::string path = dir_ / name;
    TDbfFileRec t;
    CreateDBF(t, path, static_cast<uint8_t>(fields.size()), fields);
    EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
    t.FileName = path;
    OpenDbfFile(t);
    EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
    for (size_t i = 0; i < records.size(); ++i) {
      std::string r = (deleted.count(static_cast<int>(i + 1)) ? "*" : " ") + records[i];
      r.resize(t.RecLen, ' ');
      std::memcpy(t.RecBuf.data(), r.data(), t.RecLen);
      PutDbfRecord(t, t.RecCount + 1);
    }
    CloseDbf(t);
    USE(path, nullptr, 0);
    EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
    return path;
  }

  // A table of one C(width) field KEY holding the given texts.
  std::string KeyTable(const std::vector<std::string>& keys, uint8_t width = 100) {
    std::vector<std::string> records;
    for (const std::string& k : keys) records.push_back(Padded(k, width));
    return MakeTable({{"KEY", 'C', width, 0}}, records);
  }

  std::string Build(const std::string& expr, const std::string& name = "t.ndx") {
    MakeExprIndex(expr, dir_ / name);
    EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
    return ReadFileBytes(dir_ / name);
  }

  std::string Tag(const std::string& name = "t.ndx") {
    return " [MakeIndex(<...>," + dir_ / name + ")]";
  }
};

const Layout kC100{'C', 100, 4, 0, 108};
const Layout kC10{'C', 10, 25, 0, 20};

TEST_F(IndexBuildTest, GoldenEmptyTable) {
  KeyTable({}, 10);
  const std::string file = Build("key");
  EXPECT_EQ(file.size(), 1024u);
  EXPECT_EQ(file.substr(0, 512), HeaderPage(1, 2, kC10, 0, "KEY", 0, "t.dbf"));
  EXPECT_EQ(file.substr(512), NodePage({}, 0, kC10));
}

TEST_F(IndexBuildTest, GoldenOnePage) {
  KeyTable({"b", "a", "c", "a"}, 10);
  const std::string file = Build("upper( key )");
  ASSERT_EQ(file.size(), 1024u);
  EXPECT_EQ(file.substr(0, 512), HeaderPage(1, 2, kC10, 0, "UPPER(KEY)", 4, "t.dbf"));
  const std::string a = Padded("A", 10);
  EXPECT_EQ(
      file.substr(512),
      NodePage({{0, 2, a}, {0, 4, a}, {0, 1, Padded("B", 10)}, {0, 3, Padded("C", 10)}}, 0, kC10));
}

// 25 keys of 100 bytes, 4 to a page: six full leaves and one of a single key; the first inner
// page fills and gives up its last entry, so the tree has three levels.
TEST_F(IndexBuildTest, GoldenThreeLevels) {
  // Record i holds key number 26 - i, so the sorted order is records 25, 24, ..., 1.
  std::vector<std::string> keys;
  for (int i = 1; i <= 25; ++i) {
    char k[16];
    std::snprintf(k, sizeof k, "K%02d", 26 - i);
    keys.push_back(k);
  }
  KeyTable(keys);
  const std::string file = Build("KEY");
  ASSERT_EQ(file.size(), 11u * 512);
  EXPECT_EQ(file.substr(0, 512), HeaderPage(10, 11, kC100, 0, "KEY", 25, "t.dbf"));
  // The j-th key in sorted order (0-based): in a leaf with its record, in an inner page with
  // its child and record number 0.
  auto e = [&](int j, uint32_t child) {
    char k[16];
    std::snprintf(k, sizeof k, "K%02d", j + 1);
    return Entry{child, child == 0 ? static_cast<uint32_t>(25 - j) : 0u, Padded(k, 100)};
  };
  auto leaf = [&](int first, int n) {
    std::vector<Entry> v;
    for (int j = first; j < first + n; ++j) v.push_back(e(j, 0));
    return NodePage(v, 0, kC100);
  };
  const std::string expected[] = {
      leaf(0, 4),                                        // 1
      leaf(4, 4),                                        // 2
      leaf(8, 4),                                        // 3
      leaf(12, 4),                                       // 4
      leaf(16, 4),                                       // 5
      NodePage({e(3, 1), e(7, 2), e(11, 3)}, 4, kC100),  // 6: gave up (K16 -> 4)
      leaf(20, 4),                                       // 7
      leaf(24, 1),                                       // 8
      NodePage({e(19, 5), e(23, 7)}, 8, kC100),          // 9
      NodePage({e(15, 6)}, 9, kC100),                    // 10: the root
  };
  for (int page = 1; page <= 10; ++page) {
    EXPECT_EQ(file.substr(page * 512, 512), expected[page - 1]) << "page " << page;
  }
}

TEST_F(IndexBuildTest, MultiLevelLeavesWalkInKeyOrderWithEqualKeysInRecordOrder) {
  std::vector<std::string> keys;
  for (int i = 1; i <= 101; ++i) keys.push_back("K" + std::to_string((i * 37) % 13));
  KeyTable(keys);
  GO(5);
  const std::string file = Build("KEY");
  Tree tree{file};
  tree.Walk(Get32(file, 0), 0);
  EXPECT_EQ(tree.leaf_depths.size(), 1u);
  EXPECT_GE(*tree.leaf_depths.begin(), 3);
  ASSERT_EQ(tree.leaves.size(), 101u);
  for (size_t i = 1; i < tree.leaves.size(); ++i) {
    const Entry& a = tree.leaves[i - 1];
    const Entry& b = tree.leaves[i];
    EXPECT_TRUE(a.key < b.key || (a.key == b.key && a.rec < b.rec)) << i;
  }
  EXPECT_EQ(Get32(file, 4) * 512, file.size());
  // The pointer is back where it was and the table is shared again.
  EXPECT_EQ(RecNo(), 5);
  EXPECT_FALSE(CurrentWorkArea()->Exclusive);
  EXPECT_FALSE(Indexing);
}

TEST_F(IndexBuildTest, UniqueKeepsTheFirstRecordOfEachKey) {
  KeyTable({"A", "A", "B"}, 1);
  for (const char* words : {" UNIQUE", " unique nocache"}) {
    MakeExprIndex("KEY", dir_ / "u.ndx" + words);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    const std::string file = ReadFileBytes(dir_ / "u.ndx");
    const Layout l{'C', 1, 42, 0, 12};
    EXPECT_EQ(file.substr(0, 512), HeaderPage(1, 2, l, 1, "KEY", 3, "t.dbf")) << words;
    EXPECT_EQ(file.substr(512), NodePage({{0, 1, "A"}, {0, 3, "B"}}, 0, l)) << words;
  }
  UniqueDefault = true;
  MakeExprIndex("KEY", dir_ / "d.ndx");
  EXPECT_EQ(ReadFileBytes(dir_ / "d.ndx"), ReadFileBytes(dir_ / "u.ndx"));
}

// Every record is keyed, deleted ones too.
TEST_F(IndexBuildTest, DeletedRecordsAreKeyed) {
  MakeTable({{"KEY", 'C', 3, 0}}, {"bbb", "aaa", "ccc"}, {2});
  HideDeleted = true;
  const std::string file = Build("KEY");
  EXPECT_EQ(file.substr(512),
            NodePage({{0, 2, "aaa"}, {0, 1, "bbb"}, {0, 3, "ccc"}}, 0, {'C', 3, 42, 0, 12}));
}

// The text of the native C slot of field n (length byte, then the characters).
std::string SlotText(uint8_t n) {
  const uint8_t* p = FieldAddress(n);
  return std::string(reinterpret_cast<const char*>(p + 1), p[0]);
}

std::string g_tmpdir;
bool g_saw_run_file = false;

// A KeyMaker that notes whether a run file exists in the temporary folder.
std::string KeyWatchingRuns() {
  DIR* d = opendir(g_tmpdir.c_str());
  if (d != nullptr) {
    while (dirent* e = readdir(d)) {
      if (std::strncmp(e->d_name, "WENP", 4) == 0) g_saw_run_file = true;
    }
    closedir(d);
  }
  return SlotText(1);
}

TEST_F(IndexBuildTest, ExternalSortGivesTheSameFile) {
  std::vector<std::string> keys;
  uint32_t seed = 12345;
  for (int i = 0; i < 3000; ++i) {
    seed = seed * 1103515245 + 12345;
    keys.push_back("K" + std::to_string((seed >> 16) % 700));  // many equal keys
  }
  KeyTable(keys, 10);
  const std::string in_memory = Build("KEY", "a.ndx");
  IndexSortMemory = 1;  // 256 records a run: a dozen runs
  const std::string merged = Build("KEY", "b.ndx");
  EXPECT_TRUE(merged == in_memory);
  Tree tree{in_memory};
  tree.Walk(Get32(in_memory, 0), 0);
  ASSERT_EQ(tree.leaves.size(), keys.size());
  for (size_t i = 1; i < tree.leaves.size(); ++i) {
    const Entry& a = tree.leaves[i - 1];
    const Entry& b = tree.leaves[i];
    ASSERT_TRUE(a.key < b.key || (a.key == b.key && a.rec < b.rec)) << i;
  }

  // The runs go to a temporary file that is removed afterwards.
  g_tmpdir = dir_ / "tmp";
  ASSERT_EQ(mkdir(g_tmpdir.c_str(), 0700), 0);
  const char* old = getenv("TMPDIR");
  const std::string saved = old ? old : "";
  setenv("TMPDIR", g_tmpdir.c_str(), 1);
  MakeKeyMakerIndex(&KeyWatchingRuns, dir_ / "c.ndx");
  const bool saw = g_saw_run_file;
  IndexSortMemory = kDefaultIndexSortMemory;
  g_saw_run_file = false;
  MakeKeyMakerIndex(&KeyWatchingRuns, dir_ / "d.ndx");
  old ? setenv("TMPDIR", saved.c_str(), 1) : unsetenv("TMPDIR");
  EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_TRUE(saw);
  EXPECT_FALSE(g_saw_run_file);
  EXPECT_TRUE(ReadFileBytes(dir_ / "c.ndx") == ReadFileBytes(dir_ / "d.ndx"));
  EXPECT_TRUE(ReadFileBytes(dir_ / "c.ndx").substr(512) == in_memory.substr(512));
  EXPECT_EQ(rmdir(g_tmpdir.c_str()), 0) << "run file left behind";
}

TEST_F(IndexBuildTest, NumericAndDateKeysAreDoublesInNumberOrder) {
  MakeTable({{"NUM", 'N', 6, 2}, {"DAY", 'D', 8, 0}},
            {" 10.00        ", " -5.5019991231", "  2.2520000101"});
  const Layout l{'N', 8, 31, 1, 16};
  auto key = [](double v) {
    std::string k(8, '\0');
    PutKeyNumber(reinterpret_cast<uint8_t*>(k.data()), v);
    return k;
  };
  std::string file = Build("num");
  EXPECT_EQ(file.substr(0, 512), HeaderPage(1, 2, l, 0, "NUM", 3, "t.dbf"));
  EXPECT_EQ(file.substr(512),
            NodePage({{0, 2, key(-5.5)}, {0, 3, key(2.25)}, {0, 1, key(10)}}, 0, l));

  const Layout d{'D', 8, 31, 1, 16};
  file = Build("DAY", "d.ndx");
  EXPECT_EQ(file.substr(0, 512), HeaderPage(1, 2, d, 0, "DAY", 3, "t.dbf"));
  EXPECT_EQ(file.substr(512), NodePage({{0, 1, key(0)},
                                        {0, 2, key(static_cast<double>(DayNumberOf(1999, 12, 31)))},
                                        {0, 3, key(static_cast<double>(DayNumberOf(2000, 1, 1)))}},
                                       0, d));
}

std::string KeyField() { return RTrim(SlotText(1)); }

TEST_F(IndexBuildTest, SoundexAndDescendingChangeKeyMakerKeys) {
  KeyTable({"Robert", "Ashcraft", "Rupert", "Tymczak", "Rob"}, 10);
  MakeKeyMakerIndex(&KeyField, dir_ / "s.ndx SOUNDEX");
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  std::string file = ReadFileBytes(dir_ / "s.ndx");
  const Layout s{'C', 4, 42, 0, 12};
  EXPECT_EQ(file.substr(0, 512), HeaderPage(1, 2, s, 0, kKeyMakerText, 5, "t.dbf"));
  EXPECT_EQ(file.substr(512), NodePage({{0, 2, Soundex("Ashcraft", 4)},
                                        {0, 5, Soundex("Rob", 4)},
                                        {0, 1, Soundex("Robert", 4)},
                                        {0, 3, Soundex("Rupert", 4)},
                                        {0, 4, Soundex("Tymczak", 4)}},
                                       0, s));

  GO(2);  // the key length comes from the current record: "Ashcraft"
  MakeKeyMakerIndex(&KeyField, dir_ / "d.ndx descending");
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  file = ReadFileBytes(dir_ / "d.ndx");
  // Texts are padded with blanks (or cut) to the key length, then complemented, so "Rob"
  // comes after "Robert".
  auto stored = [&](const std::string& t) {
    std::string k = Padded(t.substr(0, 8), 8);
    for (char& c : k) c = static_cast<char>(c ^ 0xFF);
    return k;
  };
  const Layout dl{'C', 8, 31, 0, 16};
  EXPECT_EQ(file.substr(512), NodePage({{0, 4, stored("Tymczak")},
                                        {0, 3, stored("Rupert")},
                                        {0, 1, stored("Robert")},
                                        {0, 5, stored("Rob")},
                                        {0, 2, stored("Ashcraft")}},
                                       0, dl));

  // The two words mean nothing to an expression index.
  MakeExprIndex("KEY", dir_ / "e.ndx SOUNDEX DESCENDING");
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_EQ(ReadFileBytes(dir_ / "e.ndx"), Build("KEY", "plain.ndx"));
}

TEST_F(IndexBuildTest, ExpressionOf100CharactersIsAccepted) {
  KeyTable({"x"}, 10);
  const std::string expr = "KEY" + std::string(97, ' ');
  MakeExprIndex(expr, dir_ / "t.ndx");
  EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
  MakeExprIndex(expr + " ", dir_ / "t.ndx");
  EXPECT_EQ(ErrorCode, 300);
}

std::string EmptyKey() { return ""; }
std::string LongKey() { return std::string(101, 'x'); }
std::string g_open_index;
std::string OpenIndexName(int slot) { return slot == 3 ? g_open_index : std::string(); }

TEST_F(IndexBuildTest, ErrorTexts) {
  KeyTable({"x", ""}, 10);
  Build("KEY");  // t.ndx exists from here on
  const std::string name = dir_ / "t.ndx";
  const std::string tag = Tag();
  platform::File holder;
  struct Case {
    std::function<void()> run;
    uint16_t code;
    std::string msg;
  };
  const Case cases[] = {
      {[] { MakeIndex("", nullptr, "KEY", false, false, false); }, 220,
       "index filename not specified [MakeIndex()]"},
      {[&] { MakeExprIndex("  ", name); }, 254, "Neither Expression nor KeyMaker defined" + tag},
      {[&] { MakeExprIndex("KEY" + std::string(98, ' '), name); }, 300,
       "Expression length exceeds 100 bytes" + tag},
      {[&] { MakeExprIndex("DELETED()", name); }, 254, "Wrong parser return type" + tag},
      {[&] { MakeKeyMakerIndex(&EmptyKey, name); }, 266,
       "Incorrect key length: Must be 1 to 100." + tag},
      {[&] { MakeKeyMakerIndex(&LongKey, name); }, 266,
       "Incorrect key length: Must be 1 to 100." + tag},
      {[&] {
         GO(2);  // a blank record: TRIM gives an empty key
         MakeExprIndex("TRIM(KEY)", name);
       },
       266, "Incorrect key length: Must be 1 to 100." + tag},
      {[&] {
         g_open_index = dir_ / "T.NDX";  // the same file, named in another case
         IndexDriverHooks.IndexFileName = &OpenIndexName;
         MakeExprIndex("KEY", name);
         IndexDriverHooks.IndexFileName = nullptr;
       },
       214, name + tag},
      {[&] {
         CurrentArea = 2;  // an area without a table
         MakeExprIndex("KEY", name);
         CurrentArea = 1;
       },
       215, "database not open attempting to index to" + name + "." + tag},
      {[&] {
         // Another program has the table open: it cannot be had exclusively.
         ASSERT_EQ(holder.Open(dir_ / "t.dbf", platform::kModeRead | platform::kShareDenyNone), 0);
         MakeExprIndex("KEY", name);
         holder.Close();
       },
       225, tag},
      {[&] {
         ParserHooks.Present = false;
         MakeExprIndex("KEY", name);
         ParserHooks.Present = true;
       },
       221, "WENParser unit not linked in. [MakeIndex]" + tag},
      {[&] {
         SetFreeHeapForTest(1000);
         MakeExprIndex("KEY", name);
         SetFreeHeapForTest(-1);
       },
       217, " for allocating reindex stack [MakeIndex]" + tag},
      {[&] { MakeExprIndex("KEY+", name); }, 0, ""},  // the compiler's own error, checked below
  };
  const std::string old_index = ReadFileBytes(name);
  for (const Case& c : cases) {
    GO(1);
    c.run();
    if (c.code == 0) {
      EXPECT_NE(ErrorCode, 0);
      EXPECT_NE(ErrorMsg.find(tag), std::string::npos) << ErrorMsg;
    } else {
      EXPECT_EQ(ErrorCode, c.code) << c.msg;
      EXPECT_EQ(ErrorMsg, c.msg);
    }
    // A failed build leaves the old index, no temporary file, and the table as it was.
    EXPECT_EQ(ReadFileBytes(name), old_index) << c.msg;
    EXPECT_FALSE(Indexing);
    EXPECT_FALSE(CurrentWorkArea()->Exclusive) << c.msg;
    EXPECT_EQ(RecNo(), &c == &cases[6] ? 2 : 1) << c.msg;
  }
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir_.path())) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 2);  // t.dbf and t.ndx
}

TEST_F(IndexBuildTest, ShortMemoryNamesWhatIsMissing) {
  KeyTable({"x", "y"}, 10);
  SetFreeHeapForTest(3000);
  MakeExprIndex("KEY", dir_ / "t.ndx");
  EXPECT_EQ(ErrorCode, 217);
  EXPECT_EQ(ErrorMsg.rfind("Additional ", 0), 0u) << ErrorMsg;
  EXPECT_NE(ErrorMsg.find(" bytes of memory are needed. [MakeIndex]" + Tag()), std::string::npos)
      << ErrorMsg;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "t.ndx"));
}

// A table far larger than the free disk space (a sparse file): the build stops before it
// writes anything.
TEST_F(IndexBuildTest, ShortDiskSpaceIsReportedFirst) {
  const std::string path = KeyTable({"x"}, 100);
  CloseArea();
  const uint64_t records = INT32_MAX;
  ASSERT_EQ(::truncate(path.c_str(), 32 + 32 + 1 + static_cast<off_t>(records * 101)), 0);
  const int64_t free_kb = DiskFreeKBOf(path);
  if (free_kb < 0 || static_cast<uint64_t>(free_kb) > records * 104 / 1024) {
    GTEST_SKIP() << "the disk has room for the index";
  }
  USE(path, nullptr, 0);
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  ASSERT_EQ(RecCount(), kMaxRecCount);  // the position past it must be a record number
  MakeExprIndex("KEY", dir_ / "t.ndx");
  EXPECT_EQ(ErrorCode, 227);
  // The free space itself moves with whatever else writes to the disk meanwhile.
  EXPECT_EQ(ErrorMsg.rfind("Available disk space: ", 0), 0u) << ErrorMsg;
  EXPECT_NE(ErrorMsg.find(" KBytes;needed: "), std::string::npos) << ErrorMsg;
  EXPECT_NE(ErrorMsg.find(" KBytes [MakeIndex]" + Tag()), std::string::npos) << ErrorMsg;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "t.ndx"));
}

TEST_F(IndexBuildTest, RebuildKeepsTheNameOnDiskAndItsPermissions) {
  KeyTable({"b", "a"}, 10);
  const std::string upper = dir_ / "NAMES.NDX";
  WriteFileBytes(upper, "old");
  ASSERT_EQ(::chmod(upper.c_str(), 0640), 0);
  MakeExprIndex("KEY", dir_ / "names.ndx");
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "names.ndx"));
  EXPECT_EQ(ReadFileBytes(upper).size(), 1024u);
  struct stat st {};
  ASSERT_EQ(::stat(upper.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(IndexBuildTest, ExclusiveTableStaysExclusiveAndPointerOffTheRecordsIsKept) {
  const std::string path = KeyTable({"b", "a"}, 10);
  CloseArea();
  USE(path + " exclusive", nullptr, 0);
  GoBottom();
  SKIP(1);  // past the end
  ASSERT_TRUE(dEOF());
  Build("KEY");
  EXPECT_TRUE(CurrentWorkArea()->Exclusive);
  EXPECT_TRUE(dEOF());
  EXPECT_EQ(RecNo(), 3);
}

TEST_F(IndexBuildTest, IndexInfoOfABuiltIndex) {
  KeyTable({"b", "a", "c"}, 10);
  MakeExprIndex("upper(key) + 'x y'", dir_ / "t.ndx UNIQUE");
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  TIndexInfo info;
  IndexInfo(info, dir_ / "t");
  EXPECT_EQ(info.Expression, "UPPER(KEY)+\"x y\"");
  EXPECT_EQ(info.KeyLen, 13);
  EXPECT_EQ(info.KeyType, 'C');
  EXPECT_EQ(info.Unique, 1);
  EXPECT_EQ(info.Stamp, "t.dbf");
  EXPECT_EQ(info.RecCount, 3);
}

TEST(IndexOptionsTest, OptionWordsAreRemovedAndTheNameKeepsItsCase) {
  struct Case {
    const char* text;
    const char* name;
    bool unique, soundex, descending, nocache;
  };
  const Case cases[] = {
      {"Dir/Names.ndx", "Dir/Names.ndx", false, false, false, false},
      {"Dir/Names.ndx unique", "Dir/Names.ndx", true, false, false, false},
      {"a.ndx SOUNDEX  Descending NOCACHE", "a.ndx", false, true, true, true},
      {"a.ndx UNIQUEX", "a.ndx UNIQUEX", false, false, false, false},
      {"my unique/a.ndx", "my/a.ndx", true, false, false, false},
  };
  for (const Case& c : cases) {
    TIndexOptions o;
    EXPECT_EQ(StripIndexOptions(c.text, o), c.name) << c.text;
    EXPECT_EQ(o.Unique, c.unique) << c.text;
    EXPECT_EQ(o.Soundex, c.soundex) << c.text;
    EXPECT_EQ(o.Descending, c.descending) << c.text;
    EXPECT_EQ(o.NoCache, c.nocache) << c.text;
  }
}

}  // namespace
