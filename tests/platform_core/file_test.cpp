#include "platform/core/file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/core/dos_error.h"
#include "tests/support/processes.h"
#include "tests/support/temp_dir.h"

namespace platform {
namespace {

using testing_support::TempDir;
using testing_support::WriteFileBytes;

TEST(FileTest, ReadsAndWritesAtPositions) {
  TempDir dir;
  File f;
  ASSERT_EQ(f.Create(dir / "a.bin", kModeReadWrite), 0);
  ASSERT_EQ(f.WriteAt(10, "xyz", 3), 0);
  uint64_t size = 0;
  ASSERT_EQ(f.Size(&size), 0);
  EXPECT_EQ(size, 13u);
  char buf[8] = {};
  size_t got = 0;
  ASSERT_EQ(f.ReadAt(11, buf, 8, &got), 0);
  EXPECT_EQ(got, 2u);  // short read at the end of the file
  EXPECT_EQ(std::string(buf, got), "yz");
  EXPECT_EQ(f.Flush(), 0);
  EXPECT_EQ(f.Close(), 0);
}

TEST(FileTest, OpenErrorsMapToDosCodes) {
  TempDir dir;
  File f;
  EXPECT_EQ(f.Open(dir / "missing.dbf", kModeReadWrite), kDosFileNotFound);
  EXPECT_EQ(f.Open(dir / "nodir/x.dbf", kModeReadWrite), kDosFileNotFound);
  WriteFileBytes(dir / "plain", "x");
  EXPECT_EQ(f.Open(dir / "plain/x.dbf", kModeReadWrite), kDosPathNotFound);
  EXPECT_EQ(f.Open(dir.path(), kModeRead), kDosAccessDenied);
}

TEST(FileTest, ReadOnlyModeRefusesWrites) {
  TempDir dir;
  WriteFileBytes(dir / "r.bin", "abc");
  File f;
  ASSERT_EQ(f.Open(dir / "r.bin", kModeRead), 0);
  EXPECT_TRUE(f.IsReadOnly());
  EXPECT_EQ(f.WriteAt(0, "z", 1), kDosAccessDenied);
}

struct ShareCase {
  const char* name;
  int first;
  int second;
  int expected;
};

class ShareModeTest : public ::testing::TestWithParam<ShareCase> {};

TEST_P(ShareModeTest, SecondOpenInSameProcess) {
  const ShareCase& c = GetParam();
  TempDir dir;
  WriteFileBytes(dir / "t.dbf", "data");
  File a, b;
  ASSERT_EQ(a.Open(dir / "t.dbf", c.first), 0);
  EXPECT_EQ(b.Open(dir / "t.dbf", c.second), c.expected);
  EXPECT_EQ(b.IsOpen(), c.expected == 0);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ShareModeTest,
    ::testing::Values(ShareCase{"CompatWithCompat", kModeReadWrite, kModeReadWrite, 0},
                      ShareCase{"DenyNoneWithCompat", kModeReadWrite | kShareDenyNone, kModeRead,
                                0},
                      ShareCase{"ExclusiveBlocksCompat", kModeReadWrite | kShareExclusive,
                                kModeRead, kDosShareViolation},
                      ShareCase{"CompatBlocksExclusive", kModeRead,
                                kModeReadWrite | kShareExclusive, kDosShareViolation},
                      ShareCase{"ExclusiveBlocksExclusive", kModeReadWrite | kShareExclusive,
                                kModeReadWrite | kShareExclusive, kDosShareViolation}),
    [](const ::testing::TestParamInfo<ShareCase>& info) { return info.param.name; });

TEST(FileTest, ShareLockGoesWithClose) {
  TempDir dir;
  WriteFileBytes(dir / "t.dbf", "data");
  File a, b;
  ASSERT_EQ(a.Open(dir / "t.dbf", kModeReadWrite | kShareExclusive), 0);
  a.Close();
  EXPECT_EQ(b.Open(dir / "t.dbf", kModeReadWrite), 0);
}

TEST(FileTest, ByteRangeLocksConflictBetweenOpensAndSurviveOtherCloses) {
  TempDir dir;
  WriteFileBytes(dir / "t.dbf", "data");
  File a, b, c;
  ASSERT_EQ(a.Open(dir / "t.dbf", kModeReadWrite), 0);
  ASSERT_EQ(b.Open(dir / "t.dbf", kModeReadWrite), 0);
  ASSERT_EQ(c.Open(dir / "t.dbf", kModeReadWrite), 0);
  ASSERT_EQ(a.Lock(1000000000, 1), 0);
  c.Close();  // a process-owned lock would be dropped here
  EXPECT_EQ(b.Lock(1000000000, 1), kDosLockViolation);
  EXPECT_EQ(b.Lock(1000000001, 1), 0);  // the neighbouring byte is free
  ASSERT_EQ(a.Unlock(1000000000, 1), 0);
  EXPECT_EQ(b.Lock(1000000000, 1), 0);
}

TEST(FileTest, ReadOnlyDescriptorTakesReadLocks) {
  TempDir dir;
  WriteFileBytes(dir / "t.dbf", "data");
  File r1, r2, w;
  ASSERT_EQ(r1.Open(dir / "t.dbf", kModeRead), 0);
  ASSERT_EQ(r2.Open(dir / "t.dbf", kModeRead), 0);
  ASSERT_EQ(w.Open(dir / "t.dbf", kModeReadWrite), 0);
  ASSERT_EQ(r1.Lock(5, 10), 0);
  EXPECT_EQ(r2.Lock(5, 10), 0);                 // readers share
  EXPECT_EQ(w.Lock(5, 10), kDosLockViolation);  // writers are kept out
}

// Share modes against each other between two processes: a child opens the file and holds it,
// the parent tries each opener in turn. A mode that denies others anything keeps every other
// open out, whatever the access either side asks for.
TEST(FileTest, ShareModesAcrossTwoProcesses) {
  constexpr int R = kModeRead;
  constexpr int RW = kModeReadWrite;
  constexpr int kShare = kDosShareViolation;
  struct Opener {
    const char* name;
    int mode;
  };
  const Opener openers[] = {{"read deny-none", R | kShareDenyNone},
                            {"read/write deny-none", RW | kShareDenyNone},
                            {"read deny-write", R | kShareDenyWrite},
                            {"read/write exclusive", RW | kShareExclusive}};
  struct Holder {
    const char* name;
    int mode;
    std::vector<int> expected;  // one result per opener
  };
  const std::vector<Holder> holders = {
      {"read compat", R | kShareCompat, {0, 0, kShare, kShare}},
      {"read deny-none", R | kShareDenyNone, {0, 0, kShare, kShare}},
      {"read deny-write", R | kShareDenyWrite, {kShare, kShare, kShare, kShare}},
      {"read deny-read", R | kShareDenyRead, {kShare, kShare, kShare, kShare}},
      {"read exclusive", R | kShareExclusive, {kShare, kShare, kShare, kShare}},
      {"read/write compat", RW | kShareCompat, {0, 0, kShare, kShare}},
      {"read/write deny-none", RW | kShareDenyNone, {0, 0, kShare, kShare}},
      {"read/write deny-write", RW | kShareDenyWrite, {kShare, kShare, kShare, kShare}},
      {"read/write exclusive", RW | kShareExclusive, {kShare, kShare, kShare, kShare}},
  };
  TempDir dir;
  const std::string path = dir / "t.dbf";
  WriteFileBytes(path, "data");
  for (const Holder& h : holders) {
    SCOPED_TRACE(h.name);
    testing_support::Pipe to_child, to_parent;
    testing_support::ChildProcesses kids;
    const pid_t pid = kids.Start([&] {
      to_child.CloseWrite();
      to_parent.CloseRead();
      File held;
      const int rc = held.Open(path, h.mode);
      if (!to_parent.Put(static_cast<char>(rc))) return 2;
      to_child.WaitClosed();  // hold the file until the parent is done
      return 0;
    });
    ASSERT_GT(pid, 0);
    to_child.CloseRead();
    to_parent.CloseWrite();
    ASSERT_EQ(to_parent.Get(), 0) << "the holder's own open";
    for (size_t i = 0; i < std::size(openers); ++i) {
      File f;
      EXPECT_EQ(f.Open(path, openers[i].mode), h.expected[i]) << openers[i].name;
    }
    to_child.CloseWrite();
    EXPECT_EQ(kids.Wait(pid), 0);
  }
}

TEST(FileTest, ShareModeChangesOnAReadOnlyFile) {
  TempDir dir;
  const std::string path = dir / "t.dbf";
  WriteFileBytes(path, "data");
  File ro, other;
  ASSERT_EQ(ro.Open(path, kModeRead | kShareDenyNone), 0);
  ASSERT_EQ(other.Open(path, kModeRead | kShareDenyNone), 0);
  EXPECT_EQ(ro.ChangeShareMode(kShareExclusive), kDosShareViolation);  // another reader is in
  other.Close();

  ASSERT_EQ(ro.ChangeShareMode(kShareExclusive), 0);
  EXPECT_EQ(other.Open(path, kModeReadWrite | kShareDenyNone), kDosShareViolation);
  EXPECT_EQ(other.Open(path, kModeRead | kShareDenyNone), kDosShareViolation);
  EXPECT_TRUE(ro.IsReadOnly());
  EXPECT_EQ(ro.WriteAt(0, "z", 1), kDosAccessDenied);
  char buf[4] = {};
  size_t got = 0;
  ASSERT_EQ(ro.ReadAt(0, buf, 4, &got), 0);
  EXPECT_EQ(std::string(buf, got), "data");

  ASSERT_EQ(ro.ChangeShareMode(kShareDenyNone), 0);
  ASSERT_EQ(other.Open(path, kModeReadWrite | kShareDenyNone), 0);
  other.Close();

  // A renamed file keeps the descriptor that holds its share lock.
  ASSERT_EQ(std::rename(path.c_str(), (dir / "moved.dbf").c_str()), 0);
  ASSERT_EQ(ro.ChangeShareMode(kShareExclusive), 0);
  EXPECT_EQ(other.Open(dir / "moved.dbf", kModeRead | kShareDenyNone), kDosShareViolation);
  EXPECT_EQ(ro.Close(), 0);

  // Without one, once the name leads elsewhere a denying mode cannot be had; the old one stays.
  ASSERT_EQ(ro.Open(dir / "moved.dbf", kModeRead | kShareDenyNone), 0);
  ASSERT_EQ(std::rename((dir / "moved.dbf").c_str(), (dir / "again.dbf").c_str()), 0);
  WriteFileBytes(dir / "moved.dbf", "another file");
  EXPECT_EQ(ro.ChangeShareMode(kShareExclusive), kDosFileNotFound);
  ASSERT_EQ(other.Open(dir / "again.dbf", kModeReadWrite | kShareDenyNone), 0);
  EXPECT_EQ(other.Close(), 0);
  EXPECT_EQ(ro.Close(), 0);
  EXPECT_EQ(other.Open(dir / "again.dbf", kModeReadWrite | kShareExclusive), 0);
}

// The folder's entries, sorted.
std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ReplaceFileTest, ReplacesTheContentWholeKeepingModeAndLinks) {
  TempDir dir;
  WriteFileBytes(dir / "notes.txt", "old text, longer than the new one");
  ASSERT_EQ(::chmod((dir / "notes.txt").c_str(), 0640), 0);
  ASSERT_EQ(::symlink("notes.txt", (dir / "link.txt").c_str()), 0);
  // A leftover of a writer that was killed does not stand in the way.
  WriteFileBytes(dir / "notes.txt.tmp", "stale");
  ASSERT_EQ(ReplaceFile(dir / "link.txt", "a\r\nb"), 0);
  EXPECT_EQ(testing_support::ReadFileBytes(dir / "notes.txt"), "a\r\nb");
  struct stat st {};
  ASSERT_EQ(::lstat((dir / "link.txt").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays a link";
  ASSERT_EQ(::stat((dir / "notes.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  ASSERT_EQ(ReplaceFile(dir / "new.txt", ""), 0);
  EXPECT_EQ(Entries(dir.path()),
            (std::vector<std::string>{"link.txt", "new.txt", "notes.txt", "notes.txt.tmp"}));
}

TEST(ReplaceFileTest, AFailureLeavesTheTargetAndNoTemporaryFile) {
  TempDir dir;
  WriteFileBytes(dir / "plain", "x");
  ASSERT_TRUE(std::filesystem::create_directory(dir / "folder"));
  EXPECT_EQ(ReplaceFile(dir / "plain/notes.txt", "a"), kDosPathNotFound);
  EXPECT_EQ(ReplaceFile(dir / "missing/notes.txt", "a"), kDosFileNotFound);
  EXPECT_EQ(ReplaceFile(dir / "folder", "a"), kDosAccessDenied);
  if (::geteuid() != 0) {
    WriteFileBytes(dir / "folder/kept.txt", "kept");
    ASSERT_EQ(::chmod((dir / "folder").c_str(), 0500), 0);
    EXPECT_EQ(ReplaceFile(dir / "folder/kept.txt", "new"), kDosAccessDenied);
    ASSERT_EQ(::chmod((dir / "folder").c_str(), 0700), 0);
    EXPECT_EQ(testing_support::ReadFileBytes(dir / "folder/kept.txt"), "kept");
  }
  EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"folder", "plain"}));
  EXPECT_EQ(testing_support::ReadFileBytes(dir / "plain"), "x");
}

}  // namespace
}  // namespace platform
