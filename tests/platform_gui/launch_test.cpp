#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <string>
#include <vector>

#include "platform/core/paths.h"
#include "platform/gui/qt_services.h"
#include "tests/support/temp_dir.h"

namespace platform::gui {
namespace {

using testing_support::TempDir;
using testing_support::WriteFileBytes;

struct Started {
  QString program;
  QStringList arguments;
  QString folder;
  int wait_ms;
};

// QtServices whose programs are recorded instead of started.
class RecordingQtServices : public QtServices {
 public:
  RecordingQtServices() {
    set_process_starter([this](const QString& program, const QStringList& arguments,
                               const QString& folder, int wait_ms, QString*) {
      started.push_back({program, arguments, folder, wait_ms});
      return start_result;
    });
  }
  std::vector<Started> started;
  bool start_result = true;
};

QString Q(const std::string& s) { return QString::fromStdString(s); }

void WriteExecutable(const std::string& path, const std::string& text) {
  WriteFileBytes(path, text);
  ::chmod(path.c_str(), 0755);
}

// An odd name: blanks, double and single quotes, a semicolon and a dollar sign.
const char kOddName[] = "my \"odd\" file; it's $HOME";

TEST(ShellOpen, ADocumentGoesWholeToTheOpenerAndAProgramStartsDirectly) {
  TempDir dir;
  std::string document = dir / (std::string(kOddName) + ".pdf");
  std::string program = dir / (std::string(kOddName) + ".sh");
  WriteFileBytes(document, "%PDF-1.4\n");
  WriteExecutable(program, "#!/bin/sh\n");
  RecordingQtServices services;

  EXPECT_EQ(services.ShellOpen(Q(document), "", "", 5), kShellOk);
  EXPECT_EQ(services.ShellOpen(Q(program), "-page \"two words\" a;b", Q(dir.path()), 5), kShellOk);
  ASSERT_EQ(services.started.size(), 2u);
  EXPECT_EQ(services.started[0].program, "xdg-open");
  EXPECT_EQ(services.started[0].arguments, QStringList{Q(document)});
  EXPECT_EQ(services.started[0].wait_ms, QtServices::kOpenerWaitMs) << "the opener is watched";
  EXPECT_EQ(services.started[1].program, Q(program));
  EXPECT_EQ(services.started[1].wait_ms, 0);
  EXPECT_EQ(services.started[1].arguments, (QStringList{"-page", "two words", "a;b"}));
  EXPECT_EQ(services.started[1].folder, Q(dir.path()));
}

TEST(ShellOpen, FailuresAreReportedInTheResult) {
  TempDir dir;
  std::string document = dir / "book.pdf";
  WriteFileBytes(document, "%PDF-1.4\n");
  RecordingQtServices services;
  EXPECT_EQ(services.ShellOpen(Q(dir / "missing.pdf"), "", "", 5), kShellFileNotFound);
  EXPECT_EQ(services.ShellOpen(Q(dir / "no folder/missing.pdf"), "", "", 5), kShellPathNotFound);
  EXPECT_TRUE(services.started.empty());
  services.start_result = false;
  EXPECT_EQ(services.ShellOpen(Q(document), "", "", 5), kShellNoAssociation);

  QtServices real;
  real.set_opener(Q(dir / "no such opener"));
  EXPECT_EQ(real.ShellOpen(Q(document), "", "", 5), kShellNoAssociation);
}

TEST(ShellOpen, RestartStartsTheProgramByItsPathWithItsArguments) {
  TempDir dir;
  platform::SetProgramPath(dir / "test folder/Velkorin");
  RecordingQtServices services;
  EXPECT_TRUE(services.Restart().ok);
  platform::SetProgramPath("");
  ASSERT_EQ(services.started.size(), 1u);
  EXPECT_EQ(services.started[0].program, Q(dir / "test folder/Velkorin"));
  EXPECT_EQ(services.started[0].arguments, QCoreApplication::arguments().mid(1));
  EXPECT_EQ(QDir(services.started[0].folder), QDir::current());
}

// The real opener is watched for a short while: one that fails by then is reported; one that
// ends well, or still runs when the wait is over, has opened the file.
TEST(ShellOpen, AnOpenerThatFailsWithinTheWaitIsReported) {
  TempDir dir;
  const std::string document = dir / "book.pdf";
  WriteFileBytes(document, "%PDF-1.4\n");
  const std::string release = dir / "release.fifo";
  ASSERT_EQ(::mkfifo(release.c_str(), 0600), 0);
  struct Case {
    const char* script;
    int code;
    const char* name;
  } cases[] = {
      {"exit 3", kShellNoAssociation, "ends with a failure"},
      {"kill -9 $$", kShellNoAssociation, "is killed"},
      {"exit 0", kShellOk, "ends well"},
      {"read line < 'RELEASE'", kShellOk, "still runs after the wait"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string script = c.script;
    const size_t at = script.find("RELEASE");
    if (at != std::string::npos) script.replace(at, 7, release);
    const std::string opener = dir / "opener";
    WriteExecutable(opener, "#!/bin/sh\n" + script + "\n");
    QtServices services;
    services.set_opener(Q(opener));
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(services.ShellOpen(Q(document), "", "", 5), c.code);
    const qint64 elapsed = timer.elapsed();
    if (at != std::string::npos) {
      EXPECT_GE(elapsed, QtServices::kOpenerWaitMs - 100);
      // Lets the opener end; it is nobody's child of ours any more.
      ::alarm(20);
      const int fd = ::open(release.c_str(), O_WRONLY);
      ::alarm(0);
      ASSERT_GE(fd, 0);
      ASSERT_EQ(::write(fd, "x\n", 2), 2);
      ::close(fd);
    } else {
      EXPECT_LT(elapsed, QtServices::kOpenerWaitMs) << "an opener that ends is not waited for";
    }
  }
}

// Real programs: a script that writes its name, its working folder and its arguments one a
// line to a file, then reports through a fifo that it is done.
class RealStart : public ::testing::Test {
 protected:
  void SetUp() override {
    fifo_ = dir_ / "done.fifo";
    ASSERT_EQ(::mkfifo(fifo_.c_str(), 0600), 0);
    script_text_ =
        "#!/bin/sh\n{ printf '%s\\n' \"$0\"; pwd; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; "
        "done; } > '" +
        dir_.path() + "args.txt'\necho done > '" + fifo_ + "'\n";
  }

  // Waits for the script's report and returns what it wrote.
  std::string WaitForScript() {
    ::alarm(20);
    int fd = ::open(fifo_.c_str(), O_RDONLY);
    char buffer[16];
    if (fd >= 0) {
      while (::read(fd, buffer, sizeof buffer) > 0) {
      }
      ::close(fd);
    }
    ::alarm(0);
    return testing_support::ReadFileBytes(dir_ / "args.txt");
  }

  TempDir dir_;
  std::string fifo_;
  std::string script_text_;
};

TEST_F(RealStart, AProgramWithAnOddNameGetsItsParametersAndFolder) {
  std::string program = dir_ / (std::string(kOddName) + ".sh");
  WriteExecutable(program, script_text_);
  std::string folder = dir_ / "work folder";
  ASSERT_TRUE(QDir().mkdir(Q(folder)));
  QtServices services;
  ASSERT_EQ(services.ShellOpen(Q(program), "one \"two words\" 'x;y'", Q(folder), 5), kShellOk);
  // Parameters split like a command line of the platform the callers come from: blanks
  // separate, double quotes group, single quotes are ordinary characters.
  EXPECT_EQ(WaitForScript(), program + "\n" + folder + "\n[one]\n[two words]\n['x;y']\n");
}

TEST_F(RealStart, ADocumentWithAnOddNameReachesTheOpenerAsOneArgument) {
  std::string opener = dir_ / "opener";
  WriteExecutable(opener, script_text_);
  std::string document = dir_ / (std::string(kOddName) + ".txt");
  WriteFileBytes(document, "notes\n");
  QtServices services;
  services.set_opener(Q(opener));
  ASSERT_EQ(services.ShellOpen(Q(document), "", Q(dir_.path()), 5), kShellOk);
  std::string folder = dir_.path().substr(0, dir_.path().size() - 1);
  EXPECT_EQ(WaitForScript(), opener + "\n" + folder + "\n[" + document + "]\n");
}

}  // namespace
}  // namespace platform::gui
