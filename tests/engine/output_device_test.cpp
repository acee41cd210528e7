// The engine console: its sinks behind their switches, the alternate file's write errors with
// and without halting, and the printer's print command (a recording script in the test's
// folder) started at the first byte, failing without a signal, and reaped by the reset.
#include "engine/output_device.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "engine/engine.h"
#include "engine/error.h"
#include "platform/core/output_stream.h"
#include "platform/core/paths.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace engine;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

// Standard output sent to a file while the object lives.
class StdoutCapture {
 public:
  explicit StdoutCapture(const std::string& path) : path_(path) {
    std::fflush(stdout);
    saved_ = ::dup(STDOUT_FILENO);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(fd, STDOUT_FILENO);
    ::close(fd);
  }
  ~StdoutCapture() { Restore(); }
  StdoutCapture(const StdoutCapture&) = delete;
  StdoutCapture& operator=(const StdoutCapture&) = delete;

  std::string Text() {
    Restore();
    return ReadFileBytes(path_);
  }

 private:
  void Restore() {
    if (saved_ < 0) return;
    std::fflush(stdout);
    ::dup2(saved_, STDOUT_FILENO);
    ::close(saved_);
    saved_ = -1;
  }
  std::string path_;
  int saved_ = -1;
};

// 300 bytes of every value, line ends and end bytes among them.
std::string AllBytes() {
  std::string s;
  for (int i = 0; i < 300; ++i) s.push_back(static_cast<char>((i * 7) % 256));
  return s;
}

class OutputDeviceTest : public testing_support::EngineTest {
 protected:
  void TearDown() override {
    testing_support::EngineTest::TearDown();
    platform::SetPrintCommand({});
  }

  // An executable script in the test's folder that runs `body` with sh.
  std::string Script(const std::string& name, const std::string& body) {
    const std::string path = dir_ / name;
    WriteFileBytes(path, "#!/bin/sh\n" + body + "\n");
    ::chmod(path.c_str(), 0700);
    return path;
  }

  // A print command that records what it is given into <folder>/printed and then "done".
  std::string RecordingPrinter() {
    const std::string out = dir_ / "printed";
    platform::SetPrintCommand({Script("printer", "cat > \"$1\"; echo done > \"$1.end\""), out});
    return out;
  }

  // True when this process has no child left (running or unreaped).
  static bool NoChildren() { return ::waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD; }
};

TEST_F(OutputDeviceTest, SwitchesOffGiveNoOutputAndNoPrintJob) {
  const std::string printed = RecordingPrinter();
  StdoutCapture out(dir_ / "stdout");
  EXPECT_EQ(Console.Write(AllBytes()), 0);
  EXPECT_EQ(out.Text(), "");
  EXPECT_FALSE(PrinterRunning());
  EXPECT_FALSE(platform::PathExists(printed));
  EXPECT_EQ(ErrorCode, 0);
}

TEST_F(OutputDeviceTest, EverySinkGetsTheBytesWholeInOrderOnce) {
  const std::string printed = RecordingPrinter();
  const std::string alternate = dir_ / "alternate.txt";
  ASSERT_EQ(AlternateFile.Rewrite(alternate), 0);
  AlternateName = alternate;
  ScreenOn = AlternateOn = PrintOn = true;
  EXPECT_FALSE(PrinterRunning());  // nothing printed yet
  const std::string bytes = AllBytes();
  std::string screen;
  {
    StdoutCapture out(dir_ / "stdout");
    EXPECT_EQ(Console.Write(bytes.substr(0, 1)), 0);
    EXPECT_TRUE(PrinterRunning());  // started by the first byte
    EXPECT_EQ(Console.Write(bytes.substr(1)), 0);
    screen = out.Text();
  }
  EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_EQ(screen, bytes);
  // The reset closes every sink and waits for the print command.
  ResetEngine();
  EXPECT_FALSE(PrinterRunning());
  EXPECT_TRUE(NoChildren());
  EXPECT_EQ(ReadFileBytes(alternate), bytes);
  EXPECT_EQ(ReadFileBytes(printed), bytes);
  EXPECT_EQ(ReadFileBytes(printed + ".end"), "done\n");
  EXPECT_FALSE(ScreenOn || AlternateOn || PrintOn);
  EXPECT_EQ(AlternateName, "");
  EXPECT_FALSE(AlternateFile.IsOpen());
}

TEST_F(OutputDeviceTest, AlternateFileErrorIsReportedAndCopyingGoesOn) {
  ASSERT_EQ(AlternateFile.Rewrite("/dev/full"), 0);
  AlternateName = "/dev/full";
  AlternateOn = ScreenOn = true;
  StdoutCapture out(dir_ / "stdout");
  EXPECT_EQ(Console.Write("abc"), 0);
  EXPECT_EQ(ErrorCode, 101);
  EXPECT_EQ(ErrorMsg, "Output error, alternate file: /dev/full");
  EXPECT_EQ(Console.Write("def"), 0);
  EXPECT_EQ(out.Text(), "abcdef");
}

TEST_F(OutputDeviceTest, AlternateFileErrorEndsTheProgramWithHaltingOn) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        AbortOnError = true;
        AlternateFile.Rewrite("/dev/full");
        AlternateName = "/dev/full";
        AlternateOn = true;
        Console.Write("x");
      },
      testing::ExitedWithCode(101), "Output error, alternate file: /dev/full");
}

TEST_F(OutputDeviceTest, PrinterThatCannotStartIsAWriteError) {
  platform::SetPrintCommand({dir_ / "no-such-printer"});
  PrintOn = true;
  EXPECT_EQ(Console.Write("x"), 0);
  EXPECT_EQ(ErrorCode, 2);
  EXPECT_EQ(ErrorMsg, "Output error, alternate file: ");
  EXPECT_FALSE(PrinterRunning());
}

TEST_F(OutputDeviceTest, PrinterThatClosedItsInputFailsWithoutASignal) {
  const std::string fifo = dir_ / "closed";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  platform::SetPrintCommand({Script("closer", "exec 0<&-\necho closed > \"$1\""), fifo});
  PrintOn = true;
  Console.Write("a");  // starts the command, which then closes its input
  ASSERT_TRUE(PrinterRunning());
  const int fd = ::open(fifo.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  char buf[16] = {};
  EXPECT_GT(::read(fd, buf, sizeof buf), 0);
  ::close(fd);
  ErrorCode = 0;
  EXPECT_EQ(Console.Write("b"), 0);
  EXPECT_EQ(ErrorCode, platform::kDeviceWriteFault);
  EXPECT_EQ(ErrorMsg, "Output error, alternate file: ");
  ResetEngine();
  EXPECT_TRUE(NoChildren());
}

TEST_F(OutputDeviceTest, ClosedConsoleRefusesWrites) {
  EXPECT_EQ(Console.Close(), 0);
  EXPECT_EQ(Console.Write("x"), 103);
  EXPECT_EQ(Console.Flush(), 103);
  EXPECT_EQ(Console.Close(), 103);
  EXPECT_EQ(Console.Rewrite(), 0);
  EXPECT_EQ(Console.Write("x"), 0);
}

}  // namespace
