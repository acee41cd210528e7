#include "platform/core/file.h"

#include <gtest/gtest.h>

#include "platform/core/dos_error.h"
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
    ::testing::Values(
        ShareCase{"CompatWithCompat", kModeReadWrite, kModeReadWrite, 0},
        ShareCase{"DenyNoneWithCompat", kModeReadWrite | kShareDenyNone, kModeRead, 0},
        ShareCase{"ExclusiveBlocksCompat", kModeReadWrite | kShareExclusive, kModeRead,
                  kDosShareViolation},
        ShareCase{"CompatBlocksExclusive", kModeRead, kModeReadWrite | kShareExclusive,
                  kDosShareViolation},
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
  EXPECT_EQ(r2.Lock(5, 10), 0);                  // readers share
  EXPECT_EQ(w.Lock(5, 10), kDosLockViolation);  // writers are kept out
}

}  // namespace
}  // namespace platform
