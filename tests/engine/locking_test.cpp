#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/dbf_file.h"
#include "engine/error.h"
#include "engine/work_area.h"
#include "tests/support/engine_fixture.h"

namespace {

using namespace engine;

// A second open of the table file, apart from the engine's: open-file-description locks of
// the engine's open conflict with it even inside this process, so it sees exactly which
// ranges the engine holds.
class Probe {
 public:
  explicit Probe(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_CLOEXEC)) {
    EXPECT_GE(fd_, 0);
  }
  ~Probe() { ::close(fd_); }
  Probe(const Probe&) = delete;
  Probe& operator=(const Probe&) = delete;

  // The engine holds a lock on a byte of [offset, offset + length) that stops `type`.
  bool Blocked(int64_t offset, int64_t length, short type = F_WRLCK) const {
    struct flock fl = {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = offset;
    fl.l_len = length;
    EXPECT_EQ(::fcntl(fd_, F_OFD_GETLK, &fl), 0);
    return fl.l_type != F_UNLCK;
  }
  bool Take(int64_t offset, int64_t length) {
    struct flock fl = {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = offset;
    fl.l_len = length;
    return ::fcntl(fd_, F_OFD_SETLK, &fl) == 0;
  }
  void Release(int64_t offset, int64_t length) {
    struct flock fl = {};
    fl.l_type = F_UNLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = offset;
    fl.l_len = length;
    EXPECT_EQ(::fcntl(fd_, F_OFD_SETLK, &fl), 0);
  }

 private:
  int fd_;
};

constexpr int64_t kHeaderLen = 32 + 32 + 1;  // one field
constexpr int64_t kRecLen = 1 + 20;

class LockingTest : public testing_support::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    path_ = dir_ / "locks.dbf";
    std::vector<TFieldDef> fields = {{"NAME", 'C', 20, 0}};
    TDbfFileRec t;
    CreateDBF(t, path_, 1, fields);
    USE(path_ + " exclusive", nullptr, 0);
    for (int i = 0; i < 10; ++i) {
      ClearRecord();
      Append();
    }
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    CloseArea();
  }

  void OpenShared() {
    USE(path_, nullptr, 0);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  }

  static int64_t RecordOffset(int32_t n) {
    return int64_t{LockBase} + kHeaderLen + (int64_t{n} - 1) * kRecLen;
  }
  bool RecordBlocked(const Probe& p, int32_t n) const {
    return p.Blocked(RecordOffset(n), kRecLen);
  }
  static bool LockRecord(int32_t n) {
    GO(n);
    return RLock();
  }

  std::string path_;
};

TEST_F(LockingTest, LocksLieExactlyOnTheirRanges) {
  OpenShared();
  Probe probe(path_);
  ASSERT_TRUE(ALock());
  EXPECT_TRUE(probe.Blocked(LockBase + 1, 1));
  EXPECT_FALSE(probe.Blocked(LockBase, 1));
  EXPECT_FALSE(probe.Blocked(LockBase + 2, 1 << 20));
  EXPECT_FALSE(probe.Blocked(0, 1 << 20));  // the data itself is never locked
  Unlock();
  EXPECT_FALSE(probe.Blocked(LockBase + 1, 1));

  ASSERT_TRUE(LockRecord(3));
  EXPECT_TRUE(probe.Blocked(RecordOffset(3), kRecLen));
  EXPECT_TRUE(probe.Blocked(RecordOffset(3), 1));
  EXPECT_TRUE(probe.Blocked(RecordOffset(4) - 1, 1));
  EXPECT_FALSE(probe.Blocked(RecordOffset(3) - 1, 1));
  EXPECT_FALSE(probe.Blocked(RecordOffset(4), 1));
  EXPECT_FALSE(probe.Blocked(LockBase, 2));
  Unlock();

  ASSERT_TRUE(LockBaseByte());
  EXPECT_TRUE(probe.Blocked(LockBase, 1));
  EXPECT_FALSE(probe.Blocked(LockBase + 1, 1));
  UnlockBaseByte();
  EXPECT_EQ(ErrorCode, 0);
  EXPECT_FALSE(probe.Blocked(LockBase, 1));
}

TEST_F(LockingTest, RecordRangesPastTwoGigabytesUseFullOffsets) {
  LockBase = 0x7FFFFFF0;  // record 2 lies above 2^31
  OpenShared();
  Probe probe(path_);
  ASSERT_TRUE(LockRecord(2));
  EXPECT_GT(RecordOffset(2), int64_t{1} << 31);
  EXPECT_TRUE(RecordBlocked(probe, 2));
  EXPECT_FALSE(probe.Blocked(RecordOffset(2) - 1, 1));
  EXPECT_FALSE(probe.Blocked(RecordOffset(3), 1));
  EXPECT_TRUE(UnlockRec(2));
  EXPECT_FALSE(RecordBlocked(probe, 2));
}

TEST_F(LockingTest, WithoutSharingLocksAreBookkeepingOnly) {
  for (const bool sharing : {false, true}) {
    SCOPED_TRACE(sharing ? "exclusive area" : "sharing off");
    SharedAccess = sharing;
    USE(path_ + (sharing ? " exclusive" : ""), nullptr, 0);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    EXPECT_TRUE(IsExclusive());
    Probe probe(path_);
    ASSERT_TRUE(LockRecord(2));
    EXPECT_TRUE(IsLocked(2));
    EXPECT_FALSE(RecordBlocked(probe, 2));
    Replace();
    EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
    EXPECT_TRUE(UnlockRec(2));
    ASSERT_TRUE(ALock());
    EXPECT_FALSE(probe.Blocked(LockBase + 1, 1));
    ClearRecord();
    Append();
    EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
    Unlock();
    EXPECT_EQ(CurrentWorkArea()->LockState, lkNone);
    CloseArea();
  }
}

TEST_F(LockingTest, LockStatesNeverMix) {
  OpenShared();
  ASSERT_TRUE(LockRecord(1));
  EXPECT_FALSE(ALock());
  EXPECT_EQ(ErrorCode, 0);
  Unlock();
  ASSERT_TRUE(ALock());
  EXPECT_TRUE(ALock());
  EXPECT_FALSE(LockRecord(1));
  EXPECT_EQ(ErrorCode, 0);
  EXPECT_FALSE(IsLocked(1));
  Unlock();
  EXPECT_TRUE(LockRecord(1));
}

// An empty table stands on no record: there is nothing to lock, and a range for record 0
// would cover the append and base bytes.
TEST_F(LockingTest, NoRecordLockOnTheEmptyPosition) {
  const std::string empty = dir_ / "empty.dbf";
  std::vector<TFieldDef> fields = {{"NAME", 'C', 20, 0}};
  TDbfFileRec t;
  CreateDBF(t, empty, 1, fields);
  USE(empty, nullptr, 0);
  ASSERT_EQ(RecNo(), 0);
  Probe probe(empty);
  EXPECT_FALSE(RLock());
  EXPECT_EQ(CurrentWorkArea()->LockState, lkNone);
  EXPECT_FALSE(probe.Blocked(LockBase - kRecLen, 2 * kRecLen + kHeaderLen));
  EXPECT_TRUE(ALock());
}

TEST_F(LockingTest, RecordLockListAndLimit) {
  OpenShared();
  ASSERT_TRUE(LockRecord(4));
  ASSERT_TRUE(LockRecord(4));  // a second lock of a held record keeps one node
  EXPECT_EQ(CurrentWorkArea()->LockCount, 1);
  EXPECT_EQ(CurrentWorkArea()->LockList.size(), 1u);
  Unlock();

  MaxRecLocks = 2;
  ASSERT_TRUE(LockRecord(1));
  ASSERT_TRUE(LockRecord(2));
  EXPECT_FALSE(LockRecord(3));
  EXPECT_EQ(ErrorCode, 212);
  EXPECT_EQ(ErrorMsg, "Wendal record lock limit exceeded [RLOCK]");
  Probe probe(path_);
  EXPECT_FALSE(RecordBlocked(probe, 3));
  ErrorCode = 0;
  EXPECT_TRUE(LockRecord(1));  // re-locking a held record at the limit succeeds
  EXPECT_EQ(ErrorCode, 0);
  EXPECT_EQ(CurrentWorkArea()->LockCount, 2);
}

TEST_F(LockingTest, UnlockRecReleasesOldestNewestOrAll) {
  OpenShared();
  Probe probe(path_);
  for (int32_t n : {3, 7, 9}) ASSERT_TRUE(LockRecord(n));
  EXPECT_TRUE(UnlockRec(-1));  // the oldest
  EXPECT_FALSE(IsLocked(3));
  EXPECT_FALSE(RecordBlocked(probe, 3));
  EXPECT_TRUE(UnlockRec(-2));  // the newest
  EXPECT_FALSE(IsLocked(9));
  EXPECT_FALSE(RecordBlocked(probe, 9));
  EXPECT_TRUE(IsLocked(7));
  EXPECT_TRUE(RecordBlocked(probe, 7));
  EXPECT_EQ(CurrentWorkArea()->LockState, lkRecords);
  EXPECT_TRUE(UnlockRec(7));  // the last one
  EXPECT_EQ(CurrentWorkArea()->LockState, lkNone);
  EXPECT_EQ(CurrentWorkArea()->LockCount, 0);
  EXPECT_FALSE(RecordBlocked(probe, 7));

  for (int32_t n : {2, 5, 6}) ASSERT_TRUE(LockRecord(n));
  EXPECT_TRUE(UnlockRec(-3));
  for (int32_t n : {2, 5, 6}) EXPECT_FALSE(RecordBlocked(probe, n));
  EXPECT_EQ(CurrentWorkArea()->LockState, lkNone);
  EXPECT_TRUE(UnlockRec(-3));  // nothing left: nothing fails
}

TEST_F(LockingTest, UnlockRecOfWhatIsNotHeldFailsWithoutHalting) {
  OpenShared();
  AbortOnError = true;  // the program must go on: these are results, not reports
  struct Case {
    int32_t n;
    const char* msg;
  };
  const Case cases[] = {
      {5, "Record not locked. [UnlockRec(5)]"},
      {-1, "Record not locked. [UnlockRec(-1)]"},
      {-2, "Record not locked. [UnlockRec(-2)]"},
      {0, "[UnlockRec(0)]"},
      {-4, "[UnlockRec(-4)]"},
  };
  ASSERT_TRUE(LockRecord(2));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    if (c.n == -1) UnlockRec(2);
    EXPECT_FALSE(UnlockRec(c.n));
    EXPECT_EQ(ErrorCode, 220);
    EXPECT_EQ(ErrorMsg, c.msg);
  }
  AbortOnError = false;
}

TEST_F(LockingTest, BusyLockFailsAfterItsRetries) {
  OpenShared();
  Probe probe(path_);
  ASSERT_TRUE(probe.Take(RecordOffset(4), kRecLen));
  ASSERT_TRUE(probe.Take(LockBase + 1, 1));
  EXPECT_FALSE(LockRecord(4));
  EXPECT_EQ(ErrorCode, 0);  // a lock that cannot be had is a result, not an error
  EXPECT_FALSE(IsLocked(4));
  EXPECT_FALSE(ALock());
  EXPECT_EQ(CurrentWorkArea()->LockState, lkNone);
  EXPECT_TRUE(LockRecord(5));  // other records are free
  Unlock();

  // The retry procedure is asked each time LockRetries further attempts have failed; True
  // starts a new round.
  static int asked;
  static Probe* holder;
  asked = 0;
  holder = &probe;
  LockRetries = 2;
  LockRetryProc = [] { return ++asked < 3; };
  EXPECT_FALSE(LockRecord(4));
  EXPECT_EQ(asked, 3);
  LockRetryProc = [] {
    holder->Release(RecordOffset(4), kRecLen);
    return true;
  };
  EXPECT_TRUE(LockRecord(4));
  EXPECT_TRUE(RecordBlocked(probe, 4));
  EXPECT_TRUE(IsLocked(4));
  LockRetryProc = nullptr;
}

TEST_F(LockingTest, ReadOnlyTableTakesReadLocks) {
  OpenModeOverride = 0;
  OpenShared();
  Probe probe(path_);
  ASSERT_TRUE(LockRecord(2));
  EXPECT_TRUE(probe.Blocked(RecordOffset(2), kRecLen, F_WRLCK));
  EXPECT_FALSE(probe.Blocked(RecordOffset(2), kRecLen, F_RDLCK));
  Unlock();
  EXPECT_FALSE(probe.Blocked(RecordOffset(2), kRecLen, F_WRLCK));
}

TEST_F(LockingTest, CloseReleasesTheLocksAndLocksNeedATable) {
  OpenShared();
  Probe probe(path_);
  ASSERT_TRUE(LockRecord(2));
  ASSERT_TRUE(LockRecord(3));
  CloseArea();
  EXPECT_FALSE(RecordBlocked(probe, 2));
  EXPECT_FALSE(RecordBlocked(probe, 3));

  EXPECT_FALSE(ALock());
  EXPECT_EQ(ErrorCode, 215);
  EXPECT_EQ(ErrorMsg, "No database in use [ALock]  WorkArea = 1");
  EXPECT_FALSE(RLock());
  EXPECT_EQ(ErrorMsg, "No database in use [RLock]  WorkArea = 1");
  EXPECT_FALSE(UnlockRec(1));
  EXPECT_EQ(ErrorMsg, "No database in use [UnlockRec]  WorkArea = 1");
}

}  // namespace
