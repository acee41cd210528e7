#include "platform/core/paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/temp_dir.h"

namespace platform {
namespace {

using testing_support::TempDir;
using testing_support::WriteFileBytes;

TEST(ResolveCaseTest, FindsEntriesRegardlessOfCase) {
  TempDir dir;
  ASSERT_EQ(mkdir((dir / "Data").c_str(), 0755), 0);
  WriteFileBytes(dir / "Data/exam.dbf", "");
  WriteFileBytes(dir / "Data/EXAM.DBT", "");
  struct Case {
    const char* given;
    const char* expected;
  } cases[] = {
      {"Data/exam.dbf", "Data/exam.dbf"},  // exact
      {"DATA/EXAM.DBF", "Data/exam.dbf"},  // every component resolved
      {"data/exam.dbt", "Data/EXAM.DBT"},  // names as found on disk
      {"DATA/new.dbf", "Data/new.dbf"},    // the missing last part is kept
      {"nothere/exam.dbf", "nothere/exam.dbf"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ResolveCase(dir / c.given), dir / c.expected) << c.given;
  }
}

TEST(ResolveCaseTest, ExactNameWinsOverOtherCase) {
  TempDir dir;
  WriteFileBytes(dir / "a.ini", "");
  WriteFileBytes(dir / "A.INI", "");
  EXPECT_EQ(ResolveCase(dir / "A.INI"), dir / "A.INI");
  EXPECT_EQ(ResolveCase(dir / "a.Ini"), dir / "A.INI");  // first in name order
}

TEST(PathsTest, ProgramPathCanBeSetByTests) {
  std::string real = ProgramPath();
  EXPECT_FALSE(real.empty());
  SetProgramPath("/opt/test/Velkorin");
  EXPECT_EQ(ProgramPath(), "/opt/test/Velkorin");
  SetProgramPath("");
  EXPECT_EQ(ProgramPath(), real);
}

TEST(PathsTest, UniqueFilesAreNewAndDistinct) {
  TempDir dir;
  std::string a, b;
  ASSERT_EQ(CreateUniqueFile(dir.path(), "WENP", &a), 0);
  ASSERT_EQ(CreateUniqueFile(dir.path(), "WENP", &b), 0);
  EXPECT_NE(a, b);
  EXPECT_EQ(a.rfind(dir / "WENP", 0), 0u);
  EXPECT_EQ(a.substr(a.size() - 4), ".TMP");
  EXPECT_TRUE(PathExists(a));
  EXPECT_NE(CreateUniqueFile(dir / "missing/", "WENP", &a), 0);
  EXPECT_TRUE(a.empty());
}

TEST(PathsTest, DiskFreeBytes) {
  TempDir dir;
  EXPECT_GT(DiskFreeBytes(dir.path()), 0);
  EXPECT_EQ(DiskFreeBytes(dir / "missing/x"), -1);
  SetTestDiskFreeBytes(1536);
  EXPECT_EQ(DiskFreeBytes(dir.path()), 1536);
  EXPECT_EQ(DiskFreeBytes(dir / "missing/x"), -1);
  ClearTestDiskFreeBytes();
  EXPECT_GT(DiskFreeBytes(dir.path()), 1536);
  EXPECT_EQ(platform::TempDir().back(), '/');
  EXPECT_EQ(CurrentDir().back(), '/');
}

}  // namespace
}  // namespace platform
