#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
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

// Restarts in an application object of its own, started with two arguments, and ends the
// process: 0 when the program was started by its path with no arguments.
[[noreturn]] void RestartWithArguments() {
  static int argc = 3;
  static char name[] = "Velkorin", first[] = "2", second[] = "3";
  static char* argv[] = {name, first, second, nullptr};
  QCoreApplication application(argc, argv);
  TempDir dir;
  platform::SetProgramPath(dir / "test folder/Velkorin");
  RecordingQtServices services;
  const bool ok = services.Restart().ok && services.started.size() == 1 &&
                  services.started[0].program == Q(dir / "test folder/Velkorin") &&
                  services.started[0].arguments.isEmpty() &&
                  QDir(services.started[0].folder) == QDir::current();
  std::fprintf(stderr, ok ? "restarted\n" : "restarted wrongly\n");
  std::_Exit(ok ? 0 : 1);
}

// Start Over starts a fresh program: the objectives the running one was given do not go on.
TEST(ShellOpenDeathTest, RestartStartsTheProgramByItsPathWithNoArguments) {
  EXPECT_EXIT(RestartWithArguments(), ::testing::ExitedWithCode(0), "restarted\n");
}

TEST(ShellOpen, ARestartThatCannotStartSaysWhy) {
  TempDir dir;
  platform::SetProgramPath(dir / "Velkorin");
  QtServices services;
  const ServiceResult result = services.Restart();
  platform::SetProgramPath("");
  EXPECT_FALSE(result.ok);
  EXPECT_FALSE(result.error.isEmpty());
}

// Help files have no engine here: the help call fails with a text that names the file.
TEST(ShellOpen, HelpFailsNamingTheFile) {
  TempDir dir;
  WriteFileBytes(dir / "BOOK.HLP", "?_\x03");
  // Not even a desktop that would open the file takes it: no program here shows its context.
  WriteExecutable(dir / "opener", "#!/bin/sh\nexit 0\n");
  QtServices services;
  services.set_opener(Q(dir / "opener"));
  const ServiceResult result = services.ShowHelp(Q(dir / "BOOK.HLP"), 12);
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(result.error.contains(Q(dir / "BOOK.HLP"))) << result.error.toStdString();
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

// The book viewer: a PDF book goes to the program's own viewer, whose report ShellOpen returns
// on. Recorded starts here; a script as the viewer below.
TEST(BookViewer, APdfBookGoesToTheViewerBesideTheProgram) {
  TempDir dir;
  const std::string book = dir / "Practice Book.PDF";
  WriteExecutable(book, "%PDF-1.4\n");  // an execute bit, as books copied from Windows have
  RecordingQtServices services;
  struct PipeStart {
    QString program;
    QStringList arguments;
    QString folder;
  };
  std::vector<PipeStart> pipe_starts;
  int reports[2];
  ASSERT_EQ(::pipe(reports), 0);
  services.set_pipe_starter(
      [&](const QString& program, const QStringList& arguments, const QString& folder, QString*) {
        pipe_starts.push_back({program, arguments, folder});
        return reports[0];
      });
  platform::SetProgramPath(dir / "Velkorin");
  // Without the viewer the desktop's opener takes the book.
  EXPECT_EQ(services.ShellOpen(Q(book), "", "", 5), kShellOk);
  ASSERT_EQ(services.started.size(), 1u);
  EXPECT_EQ(services.started[0].program, "xdg-open");
  EXPECT_TRUE(pipe_starts.empty());

  WriteExecutable(dir / "bookview", "#!/bin/sh\n");
  ASSERT_EQ(::write(reports[1], "taken over 4242\n", 16), 16);
  ::close(reports[1]);
  EXPECT_EQ(services.ShellOpen(Q(dir.path() + "./Practice Book.PDF"), "", "", 5), kShellOk);
  platform::SetProgramPath("");
  EXPECT_EQ(services.started.size(), 1u) << "neither the opener nor the book itself started";
  ASSERT_EQ(pipe_starts.size(), 1u);
  EXPECT_EQ(pipe_starts[0].program, Q(dir / "bookview"));
  EXPECT_EQ(pipe_starts[0].arguments,
            (QStringList{"--report-fd", "3", Q(book), "Practice Book.PDF"}));
  EXPECT_EQ(services.viewer_pid(), 4242);

  services.set_pipe_starter(
      [](const QString&, const QStringList&, const QString&, QString*) { return -1; });
  platform::SetProgramPath(dir / "Velkorin");
  EXPECT_EQ(services.ShellOpen(Q(book), "", "", 5), kShellAccessDenied);
  platform::SetProgramPath("");
}

TEST(BookViewer, AScriptViewerIsAnsweredByItsReport) {
  TempDir dir;
  const std::string book = dir / "practice.pdf";
  WriteFileBytes(book, "%PDF-1.4\n");
  const std::string release = dir / "release.fifo";
  ASSERT_EQ(::mkfifo(release.c_str(), 0600), 0);
  struct Case {
    const char* script;
    int code;
    const char* name;
  } cases[] = {
      {"echo \"shown $$\" >&3", kShellOk, "shown"},
      {"printf 'sho'; sleep 0.1; echo \"wn $$\" >&3", kShellOk, "shown in two writes"},
      {"echo \"cannot open $$\" >&3", kShellBadFormat, "cannot open"},
      {"exit 0", kShellNoAssociation, "ends without a report"},
      {"echo 'what?' >&3", kShellNoAssociation, "an unknown report"},
      {"read line < 'RELEASE'", kShellTimeout, "says nothing"},
  };
  platform::SetProgramPath(dir / "Velkorin");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string script = c.script;
    const size_t at = script.find("RELEASE");
    if (at != std::string::npos) script.replace(at, 7, release);
    if (script.rfind("printf", 0) == 0) script = "exec >&3\n" + script;
    WriteExecutable(dir / "bookview", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + dir.path() +
                                          "args.txt'\n" + script + "\n");
    QtServices services;
    services.set_viewer_wait_ms(1000);
    EXPECT_EQ(services.ShellOpen(Q(book), "", "", 5), c.code);
    EXPECT_EQ(testing_support::ReadFileBytes(dir / "args.txt"),
              "--report-fd\n3\n" + book + "\npractice.pdf\n");
    if (c.code == kShellOk || c.code == kShellBadFormat) {
      EXPECT_GT(services.viewer_pid(), 0);
    }
    if (at != std::string::npos) {
      ::alarm(20);
      const int fd = ::open(release.c_str(), O_WRONLY);
      ::alarm(0);
      ASSERT_GE(fd, 0);
      ASSERT_EQ(::write(fd, "x\n", 2), 2);
      ::close(fd);
    }
  }
  platform::SetProgramPath("");
}

}  // namespace
}  // namespace platform::gui
