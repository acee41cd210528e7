// The book viewer as a program. Under the Xvfb fixture with its window manager: the demo book
// opened through the real ShellOpen in our viewer, steered to a page by the key sender as the
// book jump does, and a second open of the same book handed over to the viewer already
// running. Offscreen: a book the viewer cannot read.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <filesystem>
#include <optional>
#include <string>

#include "components/gui/send_keys.h"
#include "platform/core/paths.h"
#include "platform/gui/qt_services.h"
#include "tests/support/qt_test_main.h"
#include "tests/support/temp_dir.h"

// After Qt: the X headers define macros that Qt uses as names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace testing_support {
namespace {

const char kTitle[] = "Acrobat Reader - [NF30125.pdf]";

// The viewer's page log, read from a fifo: the test holds a writer of its own too, so the fifo
// never reports an end while viewers come and go.
class PageLog {
 public:
  explicit PageLog(const std::string& path) {
    EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
    read_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    write_ = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_GE(read_, 0);
    EXPECT_GE(write_, 0);
  }
  ~PageLog() {
    ::close(read_);
    ::close(write_);
  }
  PageLog(const PageLog&) = delete;
  PageLog& operator=(const PageLog&) = delete;

  // Waits, at most `ms`, for the next line of the log to come; true when it is `line`.
  bool Next(const std::string& line, int ms = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (buffer_.find('\n') == std::string::npos) {
      const qint64 left = ms - timer.elapsed();
      if (left <= 0) break;
      struct pollfd p = {read_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      char chunk[256];
      const ssize_t n = ::read(read_, chunk, sizeof chunk);
      if (n > 0) buffer_.append(chunk, static_cast<size_t>(n));
    }
    const size_t end = buffer_.find('\n');
    if (end == std::string::npos) {
      ADD_FAILURE() << "no line \"" << line << "\" in the page log, only \"" << buffer_ << "\"";
      return false;
    }
    const std::string got = buffer_.substr(0, end);
    buffer_.erase(0, end + 1);
    EXPECT_EQ(got, line);
    return got == line;
  }

 private:
  int read_ = -1;
  int write_ = -1;
  std::string buffer_;
};

// _NET_WM_NAME of `window`, as the window manager and the key sender read it.
std::string NetWmName(XID window) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return {};
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::string name;
  if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), 0, 1024,
                         False, XInternAtom(display, "UTF8_STRING", False), &type, &format, &count,
                         &after, &data) == Success &&
      data) {
    name.assign(reinterpret_cast<char*>(data), count);
  }
  if (data) XFree(data);
  XCloseDisplay(display);
  return name;
}

// The book jump's keys: Ctrl+5 to the viewer, then the page and Enter to its Go To Page
// dialog, once that exists (looked for at most 5 s).
bool JumpTo(components::TSendKeys& sender, const std::string& page) {
  if (!sender.SendKeysTo(kTitle,
                         "\xFC"
                         "5\xFD"))
    return false;
  QElapsedTimer timer;
  timer.start();
  while (sender.FindWindowByTitle("Go To Page") == 0) {
    if (timer.elapsed() > 5000) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return sender.SendKeysTo("Go To Page", page + "\r");
}

// Sets an environment variable for the viewers started while it lives: the page log, and the
// temporary folder (where a viewer keeps its socket, which one that is killed leaves behind).
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = ::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Ends the viewer `pid` (nobody's child of ours) and waits, at most 10 s, until it is gone.
bool KillAndWait(qint64 pid) {
  const int fd = static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
  if (fd < 0) return false;
  ::kill(static_cast<pid_t>(pid), SIGTERM);
  struct pollfd p = {fd, POLLIN, 0};
  bool ended = ::poll(&p, 1, 10000) == 1;
  if (!ended) {
    ::kill(static_cast<pid_t>(pid), SIGKILL);
    ended = ::poll(&p, 1, 10000) == 1;
  }
  ::close(fd);
  return ended;
}

TEST(X11DesktopBookViewer, TheBookJumpBringsTheViewerToThePageAndASecondOpenReachesIt) {
  ASSERT_EQ(QGuiApplication::platformName(), "xcb");
  TempDir dir;
  const std::string book = dir / "NF30125.pdf";
  std::filesystem::copy_file(std::string(PX_DEMO_DIR) + "NF30125.pdf", book);
  std::filesystem::create_symlink(PX_BOOKVIEW, dir / "bookview");
  PageLog log(dir / "pages.fifo");
  ScopedEnv page_log("BOOKVIEW_PAGE_LOG", dir / "pages.fifo");
  ScopedEnv temp("TMPDIR", dir.path());
  platform::SetProgramPath(dir / "Velkorin");
  platform::gui::QtServices services;
  components::TSendKeys sender;

  const int first = services.ShellOpen(QString::fromStdString(book), "", "", 5);
  const qint64 pid = services.viewer_pid();
  platform::SetProgramPath("");
  ASSERT_EQ(first, platform::gui::kShellOk);
  ASSERT_GT(pid, 0);
  EXPECT_TRUE(log.Next("page 1"));
  const XID window = sender.FindWindowByTitle(kTitle);
  EXPECT_NE(window, 0u);
  EXPECT_EQ(NetWmName(window), kTitle) << "the title exactly, nothing appended";

  EXPECT_TRUE(JumpTo(sender, "3"));
  EXPECT_TRUE(log.Next("page 3"));
  // The screenshot once the dialog is gone and the viewer has drawn the page.
  QElapsedTimer drawn;
  drawn.start();
  while (sender.FindWindowByTitle("Go To Page") != 0 && drawn.elapsed() < 5000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  QTest::qWait(300);
  const QImage shot = QGuiApplication::primaryScreen()->grabWindow(window).toImage();
  EXPECT_TRUE(shot.save(QString::fromStdString(ArtefactDir() + "bookview_page3.png")));

  // A page outside the book changes nothing; the dialog closes.
  EXPECT_TRUE(JumpTo(sender, "999"));
  // The second open of the book reaches the same viewer, which takes the next jump.
  platform::SetProgramPath(dir / "Velkorin");
  EXPECT_EQ(services.ShellOpen(QString::fromStdString(book), "", "", 5), platform::gui::kShellOk);
  platform::SetProgramPath("");
  EXPECT_EQ(services.viewer_pid(), pid);
  EXPECT_TRUE(JumpTo(sender, "1"));
  EXPECT_TRUE(log.Next("page 1")) << "page 999 was not shown, page 1 was";

  EXPECT_TRUE(KillAndWait(pid));
}

// Offscreen: a book the viewer cannot read is reported, and a box says so (the viewer waits
// on it until it is ended).
TEST(BookViewerProgram, ABookItCannotReadIsReported) {
  TempDir dir;
  const std::string book = dir / "Damaged.pdf";
  WriteFileBytes(book, "%PDF-1.4\nnot a document\n");
  std::filesystem::create_symlink(PX_BOOKVIEW, dir / "bookview");
  ScopedEnv temp("TMPDIR", dir.path());
  platform::SetProgramPath(dir / "Velkorin");
  platform::gui::QtServices services;
  const int code = services.ShellOpen(QString::fromStdString(book), "", "", 5);
  platform::SetProgramPath("");
  EXPECT_EQ(code, platform::gui::kShellBadFormat);
  ASSERT_GT(services.viewer_pid(), 0);
  EXPECT_EQ(::kill(static_cast<pid_t>(services.viewer_pid()), 0), 0) << "the box stands";
  EXPECT_TRUE(KillAndWait(services.viewer_pid()));
}

}  // namespace
}  // namespace testing_support
