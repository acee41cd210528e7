// The semaphore file that coordinates index readers and writers of a shared table: logins and
// logouts, stale files, the read count against the writer's lock, the change counter, and the
// hook procedures. Several processes take part where the behaviour is between programs; the
// children open their tables after the fork, arm an alarm, talk through pipes and end with
// _exit. Two areas of one process on the same table are peers as well (their locks belong to
// their own opens), which keeps the single-process cases short.
#include "engine/index_semaphore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/dbf_file.h"
#include "engine/engine.h"
#include "engine/error.h"
#include "engine/index_common.h"
#include "engine/work_area.h"
#include "platform/core/clock.h"
#include "platform/core/paths.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/processes.h"

namespace {

using namespace engine;

using testing_support::ChildProcesses;
using testing_support::Pipe;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

// Short waits, so that a timeout costs a fraction of a second.
void ShortWaits() {
  SemaphoreLockWaitMs = 100;
  TableLockWaitMs = 100;
  SemaphoreReadRetryMs = 50;
  IndexLockRetryMs = 2;
  ReadWaitTicks = 4;  // about 220 ms
}

// The four bytes as a readable triple "logins/readers/counter"; "missing" when there is no file.
std::string SemState(const std::string& name) {
  if (!platform::PathExists(name)) return "missing";
  const std::string b = ReadFileBytes(name);
  if (b.size() != 4) return "size " + std::to_string(b.size());
  const auto u = [&](size_t i) { return static_cast<unsigned>(static_cast<uint8_t>(b[i])); };
  return std::to_string(u(0)) + "/" + std::to_string(u(1)) + "/" +
         std::to_string(u(2) | (u(3) << 8));
}

// Runs `action` on the current area and returns the error it raised ("" when none).
std::string Raised(uint8_t action) {
  try {
    HandleSemafore(action);
  } catch (const EWendalError& e) {
    EXPECT_EQ(e.what(), ErrorMsg);
    return std::to_string(ErrorCode) + ": " + e.what();
  }
  return "";
}

std::function<int()> InFreshEngine(std::function<int()> body) {
  return [body = std::move(body)] {
    ResetEngine();
    AbortOnError = false;
    ShortWaits();
    return body();
  };
}

class IndexSemaphoreTest : public testing_support::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    ShortWaits();
    table_ = dir_ / "exam.dbf";
    MakeTable(table_);
    sem_ = dir_ / "exam.@S@";
  }

  static void MakeTable(const std::string& path) {
    std::vector<TFieldDef> fields = {{"NAME", 'C', 10, 0}};
    TDbfFileRec t;
    CreateDBF(t, path, 1, fields);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  }

  // One program cannot open a table twice; two tables of one name share the semaphore file
  // in IndexDir, so areas 1 and 2 are peers on sem_ from here on.
  void UsePeerTables() {
    for (const char* sub : {"a", "b", "idx"}) ASSERT_EQ(::mkdir((dir_ / sub).c_str(), 0777), 0);
    MakeTable(dir_ / "a/exam.dbf");
    MakeTable(dir_ / "b/exam.dbf");
    IndexDir = dir_ / "idx";
    sem_ = dir_ / "idx/exam.@S@";
  }

  void LoginPeer(uint8_t area) {
    Select(area);
    USE(dir_ / (area == 1 ? "a/exam.dbf alias a" : "b/exam.dbf alias b"), nullptr, 0);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    ASSERT_EQ(Raised(smLogin), "");
  }
  void TearDown() override {
    platform::SetTickSource({});
    EngineTest::TearDown();
  }

  // Opens the table shared in `area` and logs the area in.
  void LoginArea(uint8_t area) {
    Select(area);
    USE(table_, nullptr, 0);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    ASSERT_EQ(Raised(smLogin), "");
  }

  std::string table_;
  std::string sem_;
};

TEST(SemaphoreFileNameTest, PlacesTheFileBesideTheTableOrInIndexDir) {
  struct Case {
    const char* table;
    const char* index_dir;
    const char* expected;
    const char* what;
  } cases[] = {
      {"/d/exam.dbf", "", "/d/exam.@S@", "beside the table, extension replaced"},
      {"/d/exam", "", "/d/exam.@S@", "a name without extension gets one"},
      {"/d/exam.dbf", "/idx", "/idx/exam.@S@", "IndexDir without a separator gets one"},
      {"/d/exam.dbf", "/idx/", "/idx/exam.@S@", "IndexDir with its separator keeps it"},
      {"C:\\d\\exam.dbf", "/idx", "/idx/exam.@S@", "backslashes split the table's name"},
  };
  for (const Case& c : cases) {
    IndexDir = c.index_dir;
    EXPECT_EQ(SemaphoreFileName(c.table), c.expected) << c.what;
  }
  IndexDir.clear();
}

TEST_F(IndexSemaphoreTest, NameMatchesAnExistingFileRegardlessOfCase) {
  WriteFileBytes(dir_ / "EXAM.@s@", std::string(4, '\0'));
  EXPECT_EQ(SemaphoreFileName(table_), dir_ / "EXAM.@s@");
}

TEST_F(IndexSemaphoreTest, LoginInIndexDirCreatesTheFileThere) {
  ASSERT_EQ(::mkdir((dir_ / "idx").c_str(), 0777), 0);
  IndexDir = dir_ / "idx";
  LoginArea(1);
  EXPECT_EQ(SemState(dir_ / "idx/exam.@S@"), "1/0/0");
  EXPECT_EQ(SemState(sem_), "missing");
}

TEST_F(IndexSemaphoreTest, FirstLoginCreatesTheFileAndLastLogoutDeletesIt) {
  ChildProcesses kids;
  Pipe to_child, from_child;
  const pid_t child = kids.Start(InFreshEngine([&] {
    to_child.CloseWrite();
    from_child.CloseRead();
    USE(table_, nullptr, 0);
    if (Raised(smLogin) != "") return 10;
    from_child.Put('1');
    if (to_child.Get() != 'o') return 11;
    if (Raised(smLogout) != "") return 12;
    CloseArea();
    return 0;
  }));
  to_child.CloseRead();
  from_child.CloseWrite();

  ASSERT_EQ(from_child.Get(), '1');
  EXPECT_EQ(SemState(sem_), "1/0/0") << "the first login writes 4 bytes with one login";
  EXPECT_TRUE(SemaphoreFileInUse(sem_));
  LoginArea(1);
  EXPECT_EQ(SemState(sem_), "2/0/0");

  to_child.Put('o');
  EXPECT_EQ(kids.Wait(child), 0);
  EXPECT_EQ(SemState(sem_), "1/0/0") << "a logout with a peer left keeps the file";

  EXPECT_EQ(Raised(smLogout), "");
  EXPECT_EQ(SemState(sem_), "missing");
  EXPECT_EQ(AreaSemaphore(1), nullptr);
  EXPECT_FALSE(SemaphoreFileInUse(sem_));
}

TEST_F(IndexSemaphoreTest, FileOfAKilledProgramIsResetAtTheNextLogin) {
  // Leftover bytes of any length from earlier runs are part of what is reset.
  WriteFileBytes(sem_, std::string("\x07\x05\x09\x00junk", 8));
  ChildProcesses kids;
  Pipe from_child;
  const pid_t child = kids.Start(InFreshEngine([&] {
    from_child.CloseRead();
    USE(table_, nullptr, 0);
    if (Raised(smLogin) != "" || Raised(smIncRead) != "") return 10;
    from_child.Put('r');
    for (;;) ::pause();
  }));
  from_child.CloseWrite();
  ASSERT_EQ(from_child.Get(), 'r');
  EXPECT_EQ(SemState(sem_), "1/1/0") << "the child was alone and started afresh";
  EXPECT_TRUE(SemaphoreFileInUse(sem_));

  kids.Kill(child);
  EXPECT_EQ(kids.Wait(child), -1);
  EXPECT_EQ(SemState(sem_), "1/1/0") << "the dead reader's counts stay in the file";
  EXPECT_FALSE(SemaphoreFileInUse(sem_));

  LoginArea(1);
  EXPECT_EQ(SemState(sem_), "1/0/0");
  // The reset really frees writers: the lock is taken at once.
  EXPECT_EQ(Raised(smLockSemaphore), "");
  EXPECT_EQ(Raised(smUnlockSemaphore), "");
  EXPECT_EQ(SemState(sem_), "1/0/1");
}

TEST_F(IndexSemaphoreTest, LogoutDeletesTheFileWhenOnlyDeadPeersAreCounted) {
  LoginArea(1);
  ChildProcesses kids;
  Pipe from_child;
  const pid_t child = kids.Start(InFreshEngine([&] {
    from_child.CloseRead();
    USE(table_, nullptr, 0);
    if (Raised(smLogin) != "") return 10;
    from_child.Put('1');
    for (;;) ::pause();
  }));
  from_child.CloseWrite();
  ASSERT_EQ(from_child.Get(), '1');
  kids.Kill(child);
  kids.Wait(child);
  EXPECT_EQ(SemState(sem_), "2/0/0");

  Select(1);
  EXPECT_EQ(Raised(smLogout), "");
  EXPECT_EQ(SemState(sem_), "missing");
}

TEST_F(IndexSemaphoreTest, WriterWaitsForTheReaderOfAnotherProgram) {
  LoginArea(1);
  ChildProcesses kids;
  Pipe to_child, from_child;
  const pid_t child = kids.Start(InFreshEngine([&] {
    to_child.CloseWrite();
    from_child.CloseRead();
    USE(table_, nullptr, 0);
    if (Raised(smLogin) != "") return 10;
    from_child.Put('1');
    if (to_child.Get() != 'w') return 11;
    // The clock is read on every round of the wait: after a few rounds the writer is surely
    // waiting, and the parent lets its reader go.
    int calls = 0;
    platform::SetTickSource([&] {
      if (++calls == 20) from_child.Put('W');
      return uint64_t(calls) * 10;  // 10 ms a call, so the no-limit wait never ends by itself
    });
    ReadWaitTicks = 0;
    if (Raised(smLockSemaphore) != "") return 12;
    platform::SetTickSource({});
    from_child.Put('L');
    if (to_child.Get() != 'u') return 13;
    if (Raised(smUnlockSemaphore) != "") return 14;
    from_child.Put('U');
    to_child.Get();
    return 0;
  }));
  to_child.CloseRead();
  from_child.CloseWrite();

  ASSERT_EQ(from_child.Get(), '1');
  EXPECT_EQ(Raised(smIncRead), "");
  EXPECT_EQ(SemState(sem_), "2/1/0");
  to_child.Put('w');
  EXPECT_EQ(from_child.Get(), 'W') << "the writer went ahead of the reader";
  EXPECT_EQ(Raised(smDecRead), "");
  EXPECT_EQ(from_child.Get(), 'L');
  EXPECT_EQ(SemState(sem_), "2/1/0") << "the writer marks the read count while it holds the lock";

  // A reader cannot come in while the writer holds the lock.
  EXPECT_EQ(Raised(smIncRead), "1202: 10 second timeout: Cannot lock index semaphore file: " +
                                   sem_ + " INCREAD\r\nPossible cause: Network lock limit " +
                                   "exceeded\r\n Lock result code: 33");
  EXPECT_FALSE(AreaSemaphore(1)->Reading);

  // The finished write moves the change counter, which this program sees once.
  int rereads = 0;
  EXPECT_FALSE(SemaphoreChangeCheck([&] { ++rereads; }));
  to_child.Put('u');
  EXPECT_EQ(from_child.Get(), 'U');
  EXPECT_EQ(SemState(sem_), "2/0/1");
  EXPECT_TRUE(SemaphoreChangeCheck([&] { ++rereads; }));
  EXPECT_FALSE(SemaphoreChangeCheck([&] { ++rereads; }));
  EXPECT_EQ(rereads, 1);
  EXPECT_EQ(Raised(smIncRead), "") << "readers come in again after the write";
  to_child.Put('e');
  EXPECT_EQ(kids.Wait(child), 0);
}

TEST_F(IndexSemaphoreTest, WriterReportsTheCureWhenTheReadWaitRunsOut) {
  LoginArea(1);
  ChildProcesses kids;
  Pipe to_child, from_child;
  const pid_t child = kids.Start(InFreshEngine([&] {
    to_child.CloseWrite();
    from_child.CloseRead();
    USE(table_, nullptr, 0);
    if (Raised(smLogin) != "" || Raised(smIncRead) != "") return 10;
    from_child.Put('r');
    to_child.Get();
    return Raised(smDecRead) == "" ? 0 : 11;
  }));
  to_child.CloseRead();
  from_child.CloseWrite();
  ASSERT_EQ(from_child.Get(), 'r');

  Select(1);
  const uint64_t start = platform::TickMs();
  EXPECT_EQ(Raised(smLockSemaphore),
            "1202: 0 second timeout, cannot read: " + sem_ +
                "\r\nPossible cause: Other user's program has terminated abnormally.\r\n"
                "Cure: Log all users of this application off the network,\r\nthen delete " +
                sem_);
  EXPECT_GE(platform::TickMs() - start, 150u) << "4 ticks are about 220 ms";
  EXPECT_FALSE(AreaSemaphore(1)->LockHeld);
  EXPECT_EQ(AreaSemaphore(1)->LockDepth, 0);
  EXPECT_EQ(SemState(sem_), "2/1/0");

  to_child.Put('d');
  EXPECT_EQ(kids.Wait(child), 0) << "the lock was released: the reader got out";
  EXPECT_EQ(Raised(smLockSemaphore), "");
  EXPECT_EQ(Raised(smUnlockSemaphore), "");
}

TEST_F(IndexSemaphoreTest, TimeoutTextCountsTheLimitInSeconds) {
  UsePeerTables();
  LoginPeer(1);
  LoginPeer(2);
  EXPECT_EQ(SemState(sem_), "2/0/0");
  EXPECT_EQ(Raised(smIncRead), "");
  Select(1);
  // A clock that leaps 1000 ticks' worth a call: the limit of 1820 ticks runs out at once.
  uint64_t now = 0;
  platform::SetTickSource([&] { return now += 60000; });
  ReadWaitTicks = 1820;
  const std::string raised = Raised(smLockSemaphore);
  EXPECT_EQ(raised.substr(0, raised.find(',')), "1202: 101 second timeout");
}

TEST_F(IndexSemaphoreTest, TableLockTimeoutReportsTheAction) {
  ChildProcesses kids;
  Pipe to_child, from_child;
  const pid_t child = kids.Start(InFreshEngine([&] {
    to_child.CloseWrite();
    from_child.CloseRead();
    USE(table_, nullptr, 0);
    if (!LockBaseByte()) return 10;
    from_child.Put('l');
    to_child.Get();
    UnlockBaseByte();
    from_child.Put('u');
    to_child.Get();
    return 0;
  }));
  to_child.CloseRead();
  from_child.CloseWrite();
  ASSERT_EQ(from_child.Get(), 'l');

  Select(1);
  USE(table_, nullptr, 0);
  EXPECT_EQ(Raised(smLogin),
            "1202: Cannot lock database for: " + sem_ + " Action=LOGIN [Database Semaphore]");
  EXPECT_EQ(AreaSemaphore(1), nullptr);
  EXPECT_EQ(SemState(sem_), "missing");
  to_child.Put('u');
  ASSERT_EQ(from_child.Get(), 'u');
  EXPECT_EQ(Raised(smLogin), "");
  ASSERT_TRUE(LockBaseByte()) << "the login released the table lock";
  UnlockBaseByte();
  to_child.Put('e');
  EXPECT_EQ(kids.Wait(child), 0);
}

TEST_F(IndexSemaphoreTest, NestedActionsTouchTheFileOnce) {
  LoginArea(1);
  EXPECT_EQ(Raised(smIncRead), "");
  EXPECT_EQ(Raised(smIncRead), "");
  EXPECT_EQ(SemState(sem_), "1/1/0");
  EXPECT_EQ(Raised(smDecRead), "");
  EXPECT_EQ(SemState(sem_), "1/1/0");
  EXPECT_EQ(Raised(smDecRead), "");
  EXPECT_EQ(SemState(sem_), "1/0/0");

  EXPECT_EQ(Raised(smLockSemaphore), "");
  EXPECT_EQ(Raised(smLockSemaphore), "");
  EXPECT_EQ(Raised(smUnlockSemaphore), "");
  EXPECT_EQ(SemState(sem_), "1/1/0");
  EXPECT_EQ(Raised(smUnlockSemaphore), "");
  EXPECT_EQ(SemState(sem_), "1/0/1");
}

// A write notes only its own change as seen: a peer's earlier change that this area never
// took in is still reported by the next change check.
TEST_F(IndexSemaphoreTest, UnlockDoesNotHideAnEarlierChangeOfAPeer) {
  UsePeerTables();
  LoginPeer(1);
  LoginPeer(2);
  EXPECT_EQ(Raised(smLockSemaphore), "");
  EXPECT_EQ(Raised(smUnlockSemaphore), "");
  Select(1);
  EXPECT_EQ(Raised(smLockSemaphore), "");
  EXPECT_EQ(Raised(smUnlockSemaphore), "");
  EXPECT_EQ(SemState(sem_), "2/0/2");
  int rereads = 0;
  EXPECT_TRUE(SemaphoreChangeCheck([&] { ++rereads; })) << "the peer's change is still due";
  EXPECT_FALSE(SemaphoreChangeCheck([&] { ++rereads; }));
  EXPECT_EQ(rereads, 1);
  // With nothing unseen, the area's own write is not reported back to it.
  EXPECT_EQ(Raised(smLockSemaphore), "");
  EXPECT_EQ(Raised(smUnlockSemaphore), "");
  EXPECT_FALSE(SemaphoreChangeCheck([&] { ++rereads; }));
}

TEST_F(IndexSemaphoreTest, UnbalancedActionsAreError254) {
  LoginArea(1);
  EXPECT_EQ(Raised(smDecRead),
            "254: Unbalanced IncRead/DecRead for semaphore file: " + sem_ + " DECREAD");
  EXPECT_EQ(Raised(smUnlockSemaphore),
            "254: Unbalanced Lock/Unlock for semaphore file: " + sem_ + " UNLOCKSEMAPHORE");
  // The depths stay balanced afterwards.
  EXPECT_EQ(Raised(smIncRead), "");
  EXPECT_EQ(Raised(smDecRead), "");
  EXPECT_EQ(SemState(sem_), "1/0/0");
}

TEST_F(IndexSemaphoreTest, WriterCountedAsReaderDoesNotWaitForItself) {
  LoginArea(1);
  EXPECT_EQ(Raised(smIncRead), "");
  EXPECT_EQ(Raised(smLockSemaphore), "");
  EXPECT_EQ(Raised(smUnlockSemaphore), "");
  EXPECT_EQ(SemState(sem_), "1/1/1") << "still counted as a reader";
  EXPECT_EQ(Raised(smDecRead), "");
  EXPECT_EQ(SemState(sem_), "1/0/1");
}

TEST_F(IndexSemaphoreTest, UnreadableFileEndsTheUnlimitedReadRetry) {
  LoginArea(1);
  ::truncate(sem_.c_str(), 0);
  ReadWaitTicks = 0;
  EXPECT_EQ(Raised(smLockSemaphore), "100: Cannot read: " + sem_ + " LOCKSEMAPHORE");
  EXPECT_EQ(AreaSemaphore(1)->LockDepth, 0);
}

TEST_F(IndexSemaphoreTest, AreasOutsideSharedUseReturnAtOnce) {
  Select(1);
  USE(table_ + " exclusive", nullptr, 0);
  ASSERT_EQ(ErrorCode, 0);
  Select(2);  // no table
  for (uint8_t area : {1, 2}) {
    Select(area);
    for (uint8_t action = smLogin; action <= smUnlockSemaphore; ++action) {
      EXPECT_EQ(Raised(action), "") << "area " << int(area) << " action " << int(action);
    }
    EXPECT_FALSE(SemaphoreChangeCheck([] {}));
  }
  EXPECT_EQ(SemState(sem_), "missing");
  EXPECT_EQ(ErrorCode, 0);

  CurrentArea = 35;  // an internal area: Select does not reach it
  EXPECT_EQ(Raised(smIncRead), "254: Work area [35 ] out of range. [HandleSemafore]");
  CurrentArea = 1;
}

TEST_F(IndexSemaphoreTest, HookProceduresCountAndReportImbalance) {
  struct Case {
    void (*proc)(bool);
    const char* after_first;  // the file after the first "on"
    const char* at_end;       // the file after the last "off"
    const char* error;
  } cases[] = {
      {&SetReadSemaphoreProc, "1/1/0", "1/0/0",
       "Non-symmetrical Lock-Unlock [SetReadSemaphoreProc]"},
      {&SetLockSemaphoreProc, "1/1/0", "1/0/1",
       "Non-symmetrical Lock-Unlock [SetLockSemaphoreProc]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    LoginArea(1);
    c.proc(true);
    EXPECT_EQ(SemState(sem_), c.after_first);
    c.proc(true);
    c.proc(false);
    EXPECT_EQ(SemState(sem_), c.after_first) << "the inner pair does not act";
    c.proc(false);
    EXPECT_EQ(SemState(sem_), c.at_end);
    EXPECT_EQ(ErrorCode, 0);
    c.proc(false);  // the plain error state, no exception
    EXPECT_EQ(ErrorCode, 254);
    EXPECT_EQ(ErrorMsg, c.error);
    ErrorCode = 0;
    c.proc(true);  // counting starts again from 0
    c.proc(false);
    EXPECT_EQ(ErrorCode, 0);
    EXPECT_EQ(Raised(smLogout), "");
    CloseArea();
  }
}

TEST_F(IndexSemaphoreTest, EngineStartClosesEveryAreasFile) {
  UsePeerTables();
  LoginPeer(1);
  LoginPeer(2);
  SetReadSemaphoreProc(true);
  EXPECT_TRUE(SemaphoreFileInUse(sem_));
  StartEngine();
  AbortOnError = false;
  EXPECT_EQ(AreaSemaphore(1), nullptr);
  EXPECT_EQ(AreaSemaphore(2), nullptr);
  EXPECT_FALSE(SemaphoreFileInUse(sem_));
  SetReadSemaphoreProc(false);
  EXPECT_EQ(ErrorCode, 254) << "the hook counters start again from 0";
  EXPECT_EQ(SemaphoreLockWaitMs, 10000u);
  EXPECT_EQ(TableLockWaitMs, 10000u);
  EXPECT_EQ(ReadWaitTicks, 1820u);
  EXPECT_EQ(IndexLockRetryMs, 10u);
  EXPECT_TRUE(IndexDir.empty());
  EXPECT_FALSE(UniqueDefault);
}

TEST_F(IndexSemaphoreTest, ErrorsHaltWhenHaltingIsOn) {
  // With halting on, the error goes to the report path instead of an exception.
  LoginArea(1);
  static int reports = 0;
  reports = 0;
  UserErrorProc = [] { ++reports; };
  AbortOnError = true;
  HandleSemafore(smDecRead);
  AbortOnError = false;
  UserErrorProc = nullptr;
  EXPECT_EQ(reports, 1);
  EXPECT_EQ(ErrorCode, 254);
}

}  // namespace
