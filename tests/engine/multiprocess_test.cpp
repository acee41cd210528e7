// Locks and appends between processes. Children open their tables after the fork, arm an
// alarm, talk to the parent through pipes only and end with _exit; the parent kills and reaps
// every child whatever happens.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/bytes.h"
#include "engine/dbf_file.h"
#include "engine/engine.h"
#include "engine/error.h"
#include "engine/work_area.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/processes.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace engine;

using testing_support::ChildProcesses;
using testing_support::ReadFileBytes;

// A pipe that carries 32-bit values.
class Pipe : public testing_support::Pipe {
 public:
  bool Put(int32_t v) {
    uint8_t b[4];
    PutI32LE(b, v);
    return Write(b, 4);
  }
  // Reads one value; false at end of file (every writer gone) or on error.
  bool Get(int32_t* v) {
    uint8_t b[4];
    if (!Read(b, 4)) return false;
    *v = GetI32LE(b);
    return true;
  }
  int32_t Get() {
    int32_t v = -1;
    EXPECT_TRUE(Get(&v)) << "a child ended early";
    return v;
  }
};

// The body of a child that starts from a fresh engine, with halting switched off.
std::function<int()> InFreshEngine(std::function<int()> body) {
  return [body = std::move(body)] {
    ResetEngine();
    AbortOnError = false;
    return body();
  };
}

// In a child: retries a busy lock (bounded; the alarm stops a hang anyway).
template <typename F>
bool Retry(F lock) {
  for (int i = 0; i < 1000000; ++i) {
    if (lock()) return true;
    ::sched_yield();
  }
  return false;
}

int32_t NumSlot(uint8_t field) { return GetI32LE(FieldAddress(field)); }

class MultiProcessTest : public testing_support::EngineTest {
 protected:
  // shared.dbf: TAG N(4,0), COUNTER N(10,0), with `records` records numbered in TAG.
  std::string MakeTable(int records) {
    const std::string path = dir_ / "shared.dbf";
    std::vector<TFieldDef> fields = {{"TAG", 'N', 4, 0}, {"COUNTER", 'N', 10, 0}};
    TDbfFileRec t;
    CreateDBF(t, path, 2, fields);
    USE(path + " exclusive", nullptr, 0);
    for (int i = 1; i <= records; ++i) {
      ClearRecord();
      PutI32LE(FieldAddress(1), i);
      Append();
    }
    EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
    CloseArea();
    return path;
  }
};

// Commands from the parent to a lock-holding child.
enum Command : int32_t { kALock = 1, kRLock = 2, kUnlock = 3, kCloseOtherFd = 4, kEnd = 5 };

// A child that opens the table shared and runs the parent's commands, answering each with
// the result (1 or 0).
pid_t StartLockServer(ChildProcesses& kids, const std::string& path, Pipe& commands,
                      Pipe& answers) {
  return kids.Start(InFreshEngine([&] {
    commands.CloseWrite();
    answers.CloseRead();
    USE(path, nullptr, 0);
    if (ErrorCode != 0) return 10;
    int32_t cmd = 0;
    while (commands.Get(&cmd)) {
      int32_t result = 1;
      switch (cmd & 0xFF) {
        case kALock:
          result = ALock();
          break;
        case kRLock:
          GO(cmd >> 8);
          result = RLock();
          break;
        case kUnlock:
          Unlock();
          break;
        case kCloseOtherFd: {
          // A second descriptor of the same file, opened and closed: our locks must stay.
          const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
          result = fd >= 0 && ::close(fd) == 0;
          break;
        }
        case kEnd:
          CloseArea();
          return 0;
      }
      answers.Put(result);
    }
    return 11;
  }));
}

TEST_F(MultiProcessTest, LocksExcludeEachOtherAcrossProcesses) {
  const std::string path = MakeTable(5);
  ChildProcesses kids;
  Pipe commands, answers;
  const pid_t child = StartLockServer(kids, path, commands, answers);
  commands.CloseRead();
  answers.CloseWrite();
  auto ask = [&](int32_t cmd) {
    commands.Put(cmd);
    return answers.Get();
  };
  USE(path, nullptr, 0);
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;

  // Append lock against append lock.
  ASSERT_EQ(ask(kALock), 1);
  EXPECT_FALSE(ALock());
  // The other program's append lock does not block a record lock.
  GO(2);
  EXPECT_TRUE(RLock());
  Unlock();
  ask(kUnlock);
  EXPECT_TRUE(ALock());
  EXPECT_EQ(ask(kALock), 0);
  Unlock();

  // Record lock against record lock; another record stays free.
  ASSERT_EQ(ask(kRLock | (3 << 8)), 1);
  GO(3);
  EXPECT_FALSE(RLock());
  GO(4);
  EXPECT_TRUE(RLock());
  EXPECT_EQ(ask(kRLock | (4 << 8)), 0);
  Unlock();

  // A held lock makes RLock fail after all its retries.
  static int asked;
  asked = 0;
  LockRetries = 5;
  LockRetryProc = [] { return ++asked < 4; };
  GO(3);
  EXPECT_FALSE(RLock());
  EXPECT_EQ(asked, 4);
  LockRetryProc = nullptr;
  LockRetries = 0;

  // Closing another descriptor of the file in the holder keeps its lock.
  ASSERT_EQ(ask(kCloseOtherFd), 1);
  EXPECT_FALSE(RLock());
  ask(kUnlock);
  EXPECT_TRUE(RLock());
  EXPECT_EQ(ask(kRLock | (3 << 8)), 0);
  Unlock();

  commands.Put(kEnd);
  EXPECT_EQ(kids.Wait(child), 0);
  CloseArea();
}

// Our own locks survive the closing of another descriptor of the same file in this process.
TEST_F(MultiProcessTest, ClosingAnotherDescriptorKeepsOurLocks) {
  const std::string path = MakeTable(3);
  ChildProcesses kids;
  Pipe commands, answers;
  const pid_t child = StartLockServer(kids, path, commands, answers);
  commands.CloseRead();
  answers.CloseWrite();
  USE(path, nullptr, 0);
  GO(2);
  ASSERT_TRUE(RLock());
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ::close(fd);
  commands.Put(kRLock | (2 << 8));
  EXPECT_EQ(answers.Get(), 0);
  commands.Put(kEnd);
  EXPECT_EQ(kids.Wait(child), 0);
}

// N processes at once each append M records and, under the record lock, increment a counter;
// nothing is lost and every process counts every appended record.
TEST_F(MultiProcessTest, ConcurrentAppendsAndIncrementsLoseNothing) {
  constexpr int kProcs = 4;
  constexpr int kEach = 40;
  const std::string path = MakeTable(1);
  const int32_t first_count = 1;
  ChildProcesses kids;
  Pipe ready, go, done, release;
  std::vector<pid_t> pids;
  for (int p = 0; p < kProcs; ++p) {
    pids.push_back(kids.Start(InFreshEngine([&, p] {
      ready.CloseRead();
      go.CloseWrite();
      done.CloseRead();
      release.CloseWrite();
      USE(path, nullptr, 0);
      if (ErrorCode != 0) return 10;
      ready.Put(p);
      int32_t start = 0;
      if (!go.Get(&start)) return 11;
      for (int i = 0; i < kEach; ++i) {
        if (!Retry([] { return ALock(); })) return 12;
        ClearRecord();
        PutI32LE(FieldAddress(1), 100 + p);
        Append();
        if (ErrorCode != 0) return 13;
        Unlock();
        GO(1);
        if (!Retry([] { return RLock(); })) return 14;
        SKIP(0);  // the counter as it stands now, under the lock
        PutI32LE(FieldAddress(2), NumSlot(2) + 1);
        Replace();
        if (ErrorCode != 0) return 15;
        Unlock();
      }
      done.Put(p);
      int32_t next = 0;
      if (!release.Get(&next)) return 16;
      done.Put(RecCount());
      CloseArea();
      return ErrorCode == 0 ? 0 : 17;
    })));
  }
  ready.CloseWrite();
  go.CloseRead();
  done.CloseWrite();
  release.CloseRead();
  for (int p = 0; p < kProcs; ++p) ready.Get();
  for (int p = 0; p < kProcs; ++p) go.Put(1);
  for (int p = 0; p < kProcs; ++p) done.Get();
  // Barrier passed: every child has finished and none has closed yet.
  for (int p = 0; p < kProcs; ++p) release.Put(1);
  for (int p = 0; p < kProcs; ++p) {
    EXPECT_EQ(done.Get(), first_count + kProcs * kEach) << "child count";
  }
  for (pid_t pid : pids) EXPECT_EQ(kids.Wait(pid), 0);

  USE(path, nullptr, 0);
  ASSERT_EQ(RecCount(), first_count + kProcs * kEach);
  GO(1);
  EXPECT_EQ(NumSlot(2), kProcs * kEach);
  std::map<int32_t, int> per_child;
  for (int32_t n = 2; n <= RecCount(); ++n) {
    GO(n);
    ++per_child[NumSlot(1)];
  }
  for (int p = 0; p < kProcs; ++p) EXPECT_EQ(per_child[100 + p], kEach) << p;
  CloseArea();
}

// A program killed in the middle of its appends leaves every append that returned readable
// by a shared open, which counts by the file size.
TEST_F(MultiProcessTest, AppendsBeforeAKillSurviveIt) {
  const std::string path = MakeTable(0);
  ChildProcesses kids;
  Pipe acks;
  const pid_t child = kids.Start(InFreshEngine([&] {
    acks.CloseRead();
    USE(path, nullptr, 0);
    if (ErrorCode != 0 || !ALock()) return 10;
    for (int32_t i = 1; i < 1000000; ++i) {
      ClearRecord();
      PutI32LE(FieldAddress(1), i % 10000);
      PutI32LE(FieldAddress(2), i);
      Append();
      if (ErrorCode != 0) return 11;
      acks.Put(i);
    }
    return 12;
  }));
  acks.CloseWrite();
  int32_t acked = 0;
  for (int i = 0; i < 300; ++i) acked = acks.Get();
  kids.Kill(child);
  EXPECT_EQ(kids.Wait(child), -1);
  for (int32_t v = 0; acks.Get(&v);) acked = v;  // acknowledgements written before the kill
  ASSERT_GE(acked, 300);

  USE(path, nullptr, 0);
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  const int32_t count = RecCount();
  EXPECT_GE(count, acked);
  EXPECT_LE(count, acked + 1);  // one more may have been written before its acknowledgement
  for (int32_t n = 1; n <= acked; ++n) {
    GO(n);
    ASSERT_EQ(NumSlot(2), n);
  }
  CloseArea();
}

// The header count and the end-of-file bytes of shared.dbf (header 97 bytes, records 15).
void ExpectSettledFile(const std::string& path, uint32_t count) {
  const std::string bytes = ReadFileBytes(path);
  EXPECT_EQ(GetU32LE(bytes.data() + 4), count);
  ASSERT_EQ(bytes.size(), 97u + count * 15 + 1);
  const std::string records = bytes.substr(97);
  EXPECT_EQ(std::count(records.begin(), records.end(), '\x1A'), 1);
  EXPECT_EQ(bytes.back(), '\x1A');
}

// A program that appended while another held nothing cannot write the count when it closes
// (the other has the append lock by then); the other writes it at its close, though it changed
// nothing itself.
TEST_F(MultiProcessTest, CloseUnderTheAppendLockWritesTheCountOfAnotherProgramsAppend) {
  const std::string path = MakeTable(2);
  ChildProcesses kids;
  Pipe to_child, to_parent;
  const pid_t child = kids.Start(InFreshEngine([&] {
    to_child.CloseWrite();
    to_parent.CloseRead();
    USE(path, nullptr, 0);
    if (ErrorCode != 0) return 10;
    int32_t step = 0;
    if (!to_child.Get(&step)) return 11;  // the parent has appended and unlocked
    to_parent.Put(ALock() ? 1 : 0);
    if (!to_child.Get(&step)) return 12;  // the parent has closed
    Unlock();
    CloseArea();
    return ErrorCode == 0 ? 0 : 13;
  }));
  to_child.CloseRead();
  to_parent.CloseWrite();
  USE(path, nullptr, 0);
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  ASSERT_TRUE(ALock());
  ClearRecord();
  PutI32LE(FieldAddress(1), 3);
  Append();
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  Unlock();
  to_child.Put(1);
  ASSERT_EQ(to_parent.Get(), 1);
  CloseArea();
  EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
  to_child.Put(2);
  EXPECT_EQ(kids.Wait(child), 0);
  ExpectSettledFile(path, 3);
}

// The records of a shared appender that was killed before it could write the count are kept by
// an exclusive open, which appends after them.
TEST_F(MultiProcessTest, ExclusiveOpenAfterAKilledAppenderKeepsItsRecords) {
  const std::string path = MakeTable(2);
  ChildProcesses kids;
  Pipe acks, hold;
  const pid_t child = kids.Start(InFreshEngine([&] {
    acks.CloseRead();
    hold.CloseWrite();
    USE(path, nullptr, 0);
    if (ErrorCode != 0 || !ALock()) return 10;
    for (int32_t tag = 3; tag <= 5; ++tag) {
      ClearRecord();
      PutI32LE(FieldAddress(1), tag);
      Append();
      if (ErrorCode != 0) return 11;
    }
    acks.Put(RecCount());
    hold.WaitClosed();  // killed before it gets past here
    return 12;
  }));
  acks.CloseWrite();
  hold.CloseRead();
  ASSERT_EQ(acks.Get(), 5);
  kids.Kill(child);
  EXPECT_EQ(kids.Wait(child), -1);

  USE(path + " exclusive", nullptr, 0);
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_EQ(RecCount(), 5);
  ClearRecord();
  PutI32LE(FieldAddress(1), 6);
  Append();
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  CloseArea();
  ExpectSettledFile(path, 6);

  USE(path, nullptr, 0);
  ASSERT_EQ(RecCount(), 6);
  for (int32_t n = 1; n <= 6; ++n) {
    GO(n);
    EXPECT_EQ(NumSlot(1), n);
  }
  CloseArea();
}

}  // namespace
