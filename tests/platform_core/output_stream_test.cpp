// Sequential output files and programs on a pipe: results, exit statuses and the signal mask
// around a write to a program that has gone.
#include "platform/core/output_stream.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace {

using testing_support::ReadFileBytes;

TEST(OutputFileTest, RewriteAppendAndClosedResults) {
  testing_support::TempDir dir;
  platform::OutputFile f;
  EXPECT_EQ(f.Write("x", 1), 103);
  EXPECT_EQ(f.Append(dir / "missing"), 2);
  ASSERT_EQ(f.Rewrite(dir / "out"), 0);
  EXPECT_EQ(f.Write("one", 3), 0);
  EXPECT_EQ(f.Close(), 0);
  EXPECT_EQ(f.Close(), 103);
  ASSERT_EQ(f.Append(dir / "out"), 0);
  EXPECT_EQ(f.Write("two", 3), 0);
  f.Close();
  EXPECT_EQ(ReadFileBytes(dir / "out"), "onetwo");
  ASSERT_EQ(f.Rewrite("/dev/full"), 0);
  EXPECT_EQ(f.Write("x", 1), 101);
}

TEST(PipeProcessTest, StartWriteAndExitStatus) {
  testing_support::TempDir dir;
  platform::PipeProcess p;
  EXPECT_EQ(p.Write("x", 1), 103);
  EXPECT_EQ(p.Start({}), 2);
  EXPECT_EQ(p.Start({dir / "missing"}), 2);
  ASSERT_EQ(p.Start({"/bin/sh", "-c", "cat > \"$0\"", dir / "got"}), 0);
  EXPECT_TRUE(p.IsRunning());
  EXPECT_EQ(p.Write("printed", 7), 0);
  EXPECT_EQ(p.Close(), 0);
  EXPECT_FALSE(p.IsRunning());
  EXPECT_EQ(ReadFileBytes(dir / "got"), "printed");
  ASSERT_EQ(p.Start({"/bin/sh", "-c", "exit 3"}), 0);
  EXPECT_EQ(p.Close(), platform::kDeviceWriteFault);
  EXPECT_EQ(platform::PrintCommand(), std::vector<std::string>{"lp"});
}

TEST(PipeProcessTest, WriteToAnEndedProgramLeavesNoSignalBehind) {
  platform::PipeProcess p;
  ASSERT_EQ(p.Start({"/bin/true"}), 0);
  // Wait until the program has ended and its end of the pipe is gone.
  int rc = 0;
  std::string chunk(65536, 'x');
  for (int i = 0; i < 100 && rc == 0; ++i) rc = p.Write(chunk.data(), chunk.size());
  EXPECT_EQ(rc, platform::kDeviceWriteFault);
  sigset_t mask, pending;
  pthread_sigmask(SIG_BLOCK, nullptr, &mask);
  sigpending(&pending);
  EXPECT_FALSE(sigismember(&mask, SIGPIPE));
  EXPECT_FALSE(sigismember(&pending, SIGPIPE));
  p.Close();
}

}  // namespace
