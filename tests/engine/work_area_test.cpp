#include "engine/work_area.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/bytes.h"
#include "engine/dbf_file.h"
#include "engine/engine.h"
#include "engine/error.h"
#include "engine/hooks.h"
#include "engine/index_driver.h"
#include "engine/utils.h"
#include "platform/core/file.h"
#include "platform/core/halt.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/processes.h"
#include "tests/support/temp_dir.h"

namespace {

using engine::CurrentWorkArea;
using engine::ErrorCode;
using engine::ErrorMsg;
using engine::TFieldDef;
using engine::USE;
using testing_support::ReadFileBytes;

// Creates a table with the engine's own writer and appends `records` (file form without the
// deletion flag) as live records.
void MakeTable(const std::string& path, std::vector<TFieldDef> fields,
               const std::vector<std::string>& records = {}) {
  engine::TDbfFileRec t;
  engine::CreateDBF(t, path, static_cast<uint8_t>(fields.size()), fields);
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  std::string bytes = ReadFileBytes(path);
  const uint16_t header_len = engine::GetU16LE(bytes.data() + 8);
  bytes.resize(header_len);
  for (const std::string& r : records) bytes += " " + r;
  bytes += '\x1A';
  engine::PutU32LE(bytes.data() + 4, static_cast<uint32_t>(records.size()));
  testing_support::WriteFileBytes(path, bytes);
}

uint32_t HeaderCount(const std::string& path) {
  return engine::GetU32LE(ReadFileBytes(path).data() + 4);
}

class WorkAreaTest : public testing_support::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    MakeTable(dir_ / "exam.dbf", {{"NAME", 'C', 5, 0}}, {"alpha", "beta "});
  }
};

TEST_F(WorkAreaTest, UseParsesNameAliasAndExclusive) {
  struct Case {
    std::string tail;
    std::string alias;
    bool exclusive;
    const char* what;
  };
  const Case cases[] = {
      {"exam alias q1 exclusive", "Q1", true, "alias and exclusive, lower case"},
      {"EXAM EXCLUSIVE ALIAS Q1", "Q1", true, "upper case, exclusive before alias"},
      {"Exam", "EXAM", false, "no alias: base name, upper case"},
      {"exam.dbf alias abcdefghijklmn", "ABCDEFGHIJ", false, "alias cut to 10"},
      {"exam alias x_exclusive", "X_EXCLUSIV", false, "EXCLUSIVE inside a word is no keyword"},
      {"exam   alias   q2  ", "Q2", false, "blanks around the words"},
  };
  for (const Case& c : cases) {
    USE(dir_.path() + c.tail, nullptr, 0);
    ASSERT_EQ(ErrorCode, 0) << c.what << ": " << ErrorMsg;
    EXPECT_EQ(engine::Alias(), c.alias) << c.what;
    EXPECT_EQ(engine::IsExclusive(), c.exclusive) << c.what;
    EXPECT_EQ(engine::CurrentDbfName(), dir_ / "exam.dbf") << c.what;
    EXPECT_EQ(CurrentWorkArea()->Dbf.RecNo, 1) << c.what;
    engine::CloseArea();
  }
}

TEST_F(WorkAreaTest, NameComesFromTheCallersTextAndIsKeptAsOnDisk) {
  // Two tables that differ only in letter case: each name given exactly opens its own file
  // (an upper-cased name would open one of them twice).
  MakeTable(dir_ / "two.dbf", {{"A", 'C', 1, 0}, {"B", 'C', 1, 0}});
  std::filesystem::rename(dir_ / "two.dbf", dir_ / "EXAM.DBF");
  USE(dir_.path() + "exam.dbf alias one", nullptr, 0);
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_EQ(engine::FieldCount(), 1);
  engine::Select(2);
  USE(dir_.path() + "EXAM.DBF alias two", nullptr, 0);
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_EQ(engine::FieldCount(), 2);
  EXPECT_EQ(engine::CurrentDbfName(), dir_ / "EXAM.DBF");

  // A name that matches only regardless of case is kept as found on disk.
  MakeTable(dir_ / "Other.Dbf", {{"A", 'C', 1, 0}});
  engine::Select(3);
  USE(dir_.path() + "OTHER", nullptr, 0);
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_EQ(engine::CurrentDbfName(), dir_ / "Other.Dbf");
}

TEST_F(WorkAreaTest, UseErrorsHaveExactTexts) {
  const std::string exam = dir_ / "exam.dbf";
  USE(dir_.path() + "exam", nullptr, 0);
  ASSERT_EQ(ErrorCode, 0);

  // Another spelling of the same file is the same file.
  engine::Select(2);
  USE(dir_.path() + "EXAM.DBF alias other", nullptr, 0);
  EXPECT_EQ(ErrorCode, 214);
  EXPECT_EQ(ErrorMsg, "File: " + exam + " is already in use. [USE]");
  EXPECT_EQ(CurrentWorkArea(), nullptr);

  MakeTable(dir_ / "b.dbf", {{"NAME", 'C', 5, 0}});
  USE(dir_.path() + "b alias exam", nullptr, 0);
  EXPECT_EQ(ErrorCode, 220);
  EXPECT_EQ(ErrorMsg, "Alias name \"EXAM\" already in use. [USE]");
  EXPECT_EQ(CurrentWorkArea(), nullptr);

  uint8_t buf[6];
  USE(dir_.path() + "b", nullptr, 6);
  EXPECT_EQ(ErrorCode, 220);
  EXPECT_EQ(ErrorMsg, "Buffer is NIL or size is zero, attempting to open " +
                          engine::UpperCopy(dir_.path()) + "B  [USE]");
  USE(dir_.path() + "b", buf, 0);
  EXPECT_EQ(ErrorCode, 220);

  USE(dir_.path() + "b", buf, 5);
  EXPECT_EQ(ErrorCode, 266);
  EXPECT_EQ(ErrorMsg, "Database record/buffer size mismatch: " + (dir_ / "b.dbf") +
                          " [USE()]\n\rRecord Size=7, Buffer Size=5");
  EXPECT_EQ(CurrentWorkArea(), nullptr);
  USE(dir_.path() + "b", buf, 7 - 1);
  EXPECT_EQ(ErrorCode, 266);
  uint8_t exact[7];
  USE(dir_.path() + "b", exact, 7);
  EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
  engine::CloseArea();

  USE("b linked list", nullptr, 0);
  EXPECT_EQ(ErrorCode, 1101);
  EXPECT_EQ(ErrorMsg, "[USE(B LINKED LIST ,<@Buffer>,<size>)]");

  USE(dir_.path() + "missing", nullptr, 0);
  EXPECT_EQ(ErrorCode, 2);
  EXPECT_EQ(CurrentWorkArea(), nullptr);

  EXPECT_EQ(engine::FieldCount(), 0);
  EXPECT_EQ(ErrorCode, 215);
  EXPECT_EQ(ErrorMsg, "No database in use [FieldCount()]  WorkArea = 2");
}

TEST_F(WorkAreaTest, BlankUseClosesTheArea) {
  USE(dir_.path() + "exam", nullptr, 0);
  USE("   ", nullptr, 0);
  EXPECT_EQ(ErrorCode, 0);
  EXPECT_EQ(CurrentWorkArea(), nullptr);
}

TEST_F(WorkAreaTest, OpenModeOverrideZeroOpensReadOnlyEvenWhenExclusive) {
  engine::OpenModeOverride = 0;
  USE(dir_.path() + "exam exclusive", nullptr, 0);
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_TRUE(CurrentWorkArea()->Dbf.DataFile.IsReadOnly());
  EXPECT_TRUE(engine::IsExclusive());
  EXPECT_EQ(CurrentWorkArea()->Dbf.OpenMode, 0);
  engine::Poke("X", 1, 1);
  EXPECT_EQ(ErrorCode, 5);
  EXPECT_EQ(engine::Peek(1, 1), "alpha");
}

TEST_F(WorkAreaTest, EmptyTableStandsAtRecordZeroWithABlankBuffer) {
  MakeTable(dir_ / "empty.dbf", {{"NAME", 'C', 3, 0}, {"QTY", 'N', 4, 0}});
  uint8_t buf[9];
  std::fill(std::begin(buf), std::end(buf), uint8_t{0xEE});
  USE(dir_.path() + "empty", buf, sizeof(buf));
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  const engine::TDbfFileRec& t = CurrentWorkArea()->Dbf;
  EXPECT_EQ(t.RecNo, 0);
  EXPECT_TRUE(t.AtBof);
  EXPECT_TRUE(t.AtEof);
  const std::vector<uint8_t> blank = {0, 3, ' ', ' ', ' ', 0, 0, 0, 0};
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + 9), blank);
  EXPECT_EQ(CurrentWorkArea()->SwapBuf.size(), 9u);
}

TEST_F(WorkAreaTest, SelectAndCloseAll) {
  struct Case {
    uint8_t n;
    uint16_t code;
    uint8_t area;
    const char* msg;
  };
  engine::WorkAreas[1] = std::make_unique<engine::TWorkAreaRec>();
  engine::WorkAreas[2] = std::make_unique<engine::TWorkAreaRec>();
  const Case cases[] = {
      {7, 0, 7, ""},
      {0, 0, 3, ""},  // first free area
      {34, 220, 3, "Invalid workarea selected = [Select(34)]"},
      {255, 220, 3, "Invalid workarea selected = [Select(255)]"},
  };
  for (const Case& c : cases) {
    engine::Select(c.n);
    EXPECT_EQ(ErrorCode, c.code) << int{c.n};
    EXPECT_EQ(engine::SelectedArea(), c.area) << int{c.n};
    if (c.code != 0) {
      EXPECT_EQ(ErrorMsg, c.msg);
    }
  }
  for (auto& wa : engine::WorkAreas) wa.reset();

  for (uint8_t i = 1; i <= 33; ++i) engine::WorkAreas[i] = std::make_unique<engine::TWorkAreaRec>();
  engine::Select(0);
  EXPECT_EQ(ErrorCode, 220);
  EXPECT_EQ(ErrorMsg, "No free workarea available [Select(0)]");
  EXPECT_EQ(engine::SelectedArea(), 3);

  engine::Select(5);
  engine::CloseAll();
  EXPECT_EQ(engine::SelectedArea(), 1);
  for (uint8_t i = 1; i <= 33; ++i) EXPECT_EQ(engine::WorkAreas[i], nullptr);
}

TEST_F(WorkAreaTest, ExclusiveCloseWritesCountAndEndByte) {
  const std::string path = dir_ / "exam.dbf";
  USE(dir_.path() + "exam exclusive", nullptr, 0);
  engine::TDbfFileRec& t = CurrentWorkArea()->Dbf;
  std::fill(t.RecBuf.begin(), t.RecBuf.end(), uint8_t{'z'});
  t.RecBuf[0] = ' ';
  engine::AppendDbfRecord(t);
  ASSERT_EQ(ErrorCode, 0);
  engine::CloseArea();
  EXPECT_EQ(HeaderCount(path), 3u);
  const std::string bytes = ReadFileBytes(path);
  EXPECT_EQ(bytes.back(), '\x1A');
  EXPECT_EQ(bytes.substr(bytes.size() - 7, 6), " zzzzz");
}

TEST_F(WorkAreaTest, SharedCloseWritesCountOnlyUnderTheAppendLock) {
  const std::string path = dir_ / "exam.dbf";
  const std::string base = ReadFileBytes(path);
  const size_t records_end = base.size() - 1;  // before the end-of-file byte

  // Another program appended a record; the close counts it from the file size.
  USE(dir_.path() + "exam", nullptr, 0);
  ASSERT_EQ(ErrorCode, 0);
  testing_support::WriteFileBytes(path, base.substr(0, records_end) + " other");
  engine::TDbfFileRec& t = CurrentWorkArea()->Dbf;
  engine::PutDbfRecord(t, 1);  // a changed record: the header is out of date
  engine::CloseArea();
  EXPECT_EQ(HeaderCount(path), 3u);

  // Another open holds the append lock and is appending: our close writes neither the count
  // nor the end-of-file byte over its record.
  testing_support::WriteFileBytes(path, base);
  USE(dir_.path() + "exam", nullptr, 0);
  ASSERT_EQ(ErrorCode, 0);
  platform::File other;
  ASSERT_EQ(other.Open(path, 0x42), 0);
  ASSERT_EQ(other.Lock(uint64_t{0x40000000} + 1, 1), 0);
  engine::TDbfFileRec& u = CurrentWorkArea()->Dbf;
  std::fill(u.RecBuf.begin(), u.RecBuf.end(), uint8_t{'m'});
  engine::AppendDbfRecord(u);  // stands for a record appended in the middle of the other's
  ASSERT_EQ(ErrorCode, 0);
  const std::string before_close = ReadFileBytes(path);
  engine::CloseArea();
  EXPECT_EQ(ReadFileBytes(path), before_close);
  EXPECT_EQ(HeaderCount(path), 2u);

  // With the append lock held by us the count and end byte are written.
  other.Close();
  USE(dir_.path() + "exam", nullptr, 0);
  ASSERT_TRUE(engine::ALock());
  engine::TDbfFileRec& v = CurrentWorkArea()->Dbf;
  engine::AppendDbfRecord(v);
  engine::CloseArea();
  EXPECT_EQ(HeaderCount(path), 4u);
  EXPECT_EQ(ReadFileBytes(path).back(), '\x1A');
}

TEST_F(WorkAreaTest, ReopenChangesTheShareModeInPlace) {
  const std::string path = dir_ / "exam.dbf";
  USE(dir_.path() + "exam", nullptr, 0);
  ASSERT_TRUE(engine::RLock());
  const int fd = CurrentWorkArea()->Dbf.DataFile.fd();

  platform::File other;
  ASSERT_EQ(other.Open(path, 0x42), 0);
  EXPECT_EQ(engine::ReopenDbf(true), 32);
  EXPECT_FALSE(engine::IsExclusive());
  other.Close();

  EXPECT_EQ(engine::ReopenDbf(true), 0);
  EXPECT_TRUE(engine::IsExclusive());
  EXPECT_EQ(CurrentWorkArea()->Dbf.DataFile.fd(), fd);
  EXPECT_EQ(other.Open(path, 0x42), 32);

  EXPECT_EQ(engine::ReopenDbf(false), 0);
  EXPECT_FALSE(engine::IsExclusive());
  ASSERT_EQ(other.Open(path, 0x42), 0);
  // The record lock taken before the reopens is still ours.
  EXPECT_TRUE(engine::IsLocked(1));
  EXPECT_EQ(other.Lock(uint64_t{0x40000000} + CurrentWorkArea()->Dbf.HeaderLen, 1), 33);
  engine::CloseArea();

  // An area opened exclusively by USE is not made shared.
  other.Close();
  USE(dir_.path() + "exam exclusive", nullptr, 0);
  EXPECT_EQ(engine::ReopenDbf(false), 5);
  EXPECT_TRUE(engine::IsExclusive());
}

TEST_F(WorkAreaTest, ReopenKeepsTheAccessTheTableWasOpenedWith) {
  const std::string path = dir_ / "exam.dbf";
  engine::OpenModeOverride = 0;
  USE(dir_.path() + "exam", nullptr, 0);
  ASSERT_EQ(ErrorCode, 0);
  platform::File other;
  ASSERT_EQ(other.Open(path, 0x40), 0);
  EXPECT_EQ(engine::ReopenDbf(true), 32);
  EXPECT_EQ(engine::Peek(1, 2), "beta ");
  other.Close();

  // Exclusive while read-only: nobody else opens the file, and it stays read-only.
  ASSERT_EQ(engine::ReopenDbf(true), 0);
  EXPECT_TRUE(engine::IsExclusive());
  EXPECT_EQ(other.Open(path, 0x40), 32);
  ASSERT_EQ(engine::ReopenDbf(false), 0);
  EXPECT_FALSE(engine::IsExclusive());
  EXPECT_TRUE(CurrentWorkArea()->Dbf.DataFile.IsReadOnly());
  ASSERT_EQ(other.Open(path, 0x42), 0);
  other.Close();

  // An index build reopens the table exclusively and shared again; writes still fail.
  engine::Index_On("NAME", dir_ / "byname");
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_TRUE(CurrentWorkArea()->Dbf.DataFile.IsReadOnly());
  engine::GO(1);
  ASSERT_TRUE(engine::RLock());
  uint8_t* name = engine::FieldAddress(1);
  std::fill(name + 1, name + 1 + name[0], uint8_t{'z'});
  engine::Replace();
  EXPECT_EQ(ErrorCode, 5);
  EXPECT_EQ(engine::Peek(1, 1), "alpha");
  engine::CloseArea();

  // A reopen that cannot be had leaves the area on its open file.
  USE(dir_.path() + "exam", nullptr, 0);
  ASSERT_EQ(ErrorCode, 0);
  ASSERT_EQ(std::rename(path.c_str(), (dir_ / "gone.dbf").c_str()), 0);
  EXPECT_EQ(engine::ReopenDbf(true), 2);
  EXPECT_FALSE(engine::IsExclusive());
  EXPECT_TRUE(CurrentWorkArea()->Dbf.DataFile.IsOpen());
  EXPECT_EQ(engine::Peek(1, 2), "beta ");
  engine::GO(2);
  EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
  engine::CloseArea();
  EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
}

TEST_F(WorkAreaTest, ServiceHooksAndExitProcedure) {
  // The exit procedure survives a second start of the engine.
  engine::StartEngine();
  engine::AbortOnError = false;
  EXPECT_EQ(engine::EngineServiceHooks.CurrentDbfName, &engine::CurrentDbfName);
  EXPECT_EQ(engine::EngineServiceHooks.ReopenDbf, &engine::ReopenDbf);
  EXPECT_EQ(engine::EngineServiceHooks.IsExclusive, &engine::IsExclusive);
  EXPECT_NE(engine::EngineServiceHooks.LockBaseByte, nullptr);
  EXPECT_NE(engine::EngineServiceHooks.UnlockBaseByte, nullptr);

  const std::string path = dir_ / "exam.dbf";
  engine::CurrentArea = 34;  // internal areas are reached directly
  USE(dir_.path() + "exam exclusive", nullptr, 0);
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  engine::AppendDbfRecord(CurrentWorkArea()->Dbf);
  MakeTable(dir_ / "b.dbf", {{"NAME", 'C', 5, 0}});
  engine::CurrentArea = 7;
  USE(dir_.path() + "b exclusive", nullptr, 0);
  engine::AppendDbfRecord(CurrentWorkArea()->Dbf);
  platform::RunExitProcs();
  EXPECT_EQ(engine::WorkAreas[34], nullptr);
  EXPECT_EQ(engine::WorkAreas[7], nullptr);
  EXPECT_EQ(HeaderCount(path), 3u);
  EXPECT_EQ(HeaderCount(dir_ / "b.dbf"), 1u);
  EXPECT_EQ(engine::CurrentArea, 1);
}

// ---- Share modes between two processes ---------------------------------------------------

struct ShareCase {
  const char* holder;
  uint16_t holder_override;
  const char* opener;
  uint16_t opener_override;
  bool holder_is_child;
  uint16_t expected;
  const char* what;
  const char* name;
};

class ShareModeTest : public WorkAreaTest, public ::testing::WithParamInterface<ShareCase> {};

// Opens `tail` in the current process and returns the error code.
uint16_t OpenHere(const std::string& dir, const char* tail, uint16_t override_mode) {
  engine::OpenModeOverride = override_mode;
  USE(dir + tail, nullptr, 0);
  return ErrorCode;
}

TEST_P(ShareModeTest, SecondOpenAgainstTheFirst) {
  const ShareCase& c = GetParam();
  testing_support::Pipe to_child, to_parent;
  testing_support::ChildProcesses kids;
  const pid_t pid = kids.Start(
      [&] {
        to_child.CloseWrite();
        to_parent.CloseRead();
        const uint16_t rc =
            c.holder_is_child ? OpenHere(dir_.path(), c.holder, c.holder_override) : 0xFFFF;
        char go = 0;
        if (!c.holder_is_child) {
          // Wait until the parent holds the file, then open it here.
          if (!to_child.Get(&go)) return 3;
          const uint16_t got = OpenHere(dir_.path(), c.opener, c.opener_override);
          return to_parent.Write(&got, sizeof(got)) ? 0 : 4;
        }
        if (!to_parent.Write(&rc, sizeof(rc))) return 4;
        if (!to_child.Get(&go)) return 3;  // hold the file until the parent is done
        return 0;
      },
      20);
  ASSERT_GE(pid, 0);
  to_child.CloseRead();
  to_parent.CloseWrite();
  uint16_t result = 0xFFFF;
  if (c.holder_is_child) {
    uint16_t held = 0xFFFF;
    ASSERT_TRUE(to_parent.Read(&held, sizeof(held)));
    EXPECT_EQ(held, 0) << c.what;
    result = OpenHere(dir_.path(), c.opener, c.opener_override);
  } else {
    EXPECT_EQ(OpenHere(dir_.path(), c.holder, c.holder_override), 0) << c.what;
  }
  EXPECT_TRUE(to_child.Put(1));
  if (!c.holder_is_child) {
    EXPECT_TRUE(to_parent.Read(&result, sizeof(result)));
  }
  EXPECT_EQ(kids.Wait(pid), 0) << c.what;
  EXPECT_EQ(result, c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    TwoProcesses, ShareModeTest,
    ::testing::Values(ShareCase{"exam exclusive", 65535, "exam", 65535, true, 32,
                                "exclusive child, shared", "ExclusiveChildRefusesShared"},
                      ShareCase{"exam exclusive", 65535, "exam", 65535, false, 32,
                                "exclusive parent, shared", "ExclusiveParentRefusesShared"},
                      ShareCase{"exam exclusive", 65535, "exam exclusive", 65535, false, 32,
                                "exclusive against exclusive", "ExclusiveRefusesExclusive"},
                      ShareCase{"exam", 65535, "exam exclusive", 65535, true, 32,
                                "shared child, exclusive", "SharedRefusesExclusive"},
                      ShareCase{"exam", 65535, "exam", 65535, true, 0, "two shared opens coexist",
                                "SharedOpensCoexist"},
                      ShareCase{"exam exclusive", 65535, "exam", 0, false, 32,
                                "read-only against exclusive", "ExclusiveParentRefusesReadOnly"},
                      ShareCase{"exam exclusive", 65535, "exam", 0, true, 32,
                                "read-only against child", "ExclusiveChildRefusesReadOnly"},
                      ShareCase{"exam", 0x10, "exam", 65535, true, 32,
                                "read-only exclusive child, shared writer",
                                "ReadOnlyExclusiveRefusesShared"},
                      ShareCase{"exam", 0x20, "exam", 65535, false, 32,
                                "read-only deny-write parent, shared writer",
                                "ReadOnlyDenyWriteRefusesShared"}),
    [](const ::testing::TestParamInfo<ShareCase>& info) { return std::string(info.param.name); });

}  // namespace
