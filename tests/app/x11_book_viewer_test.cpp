// The book viewer as a program. Under the Xvfb fixture with its window manager: the demo book
// opened through the real ShellOpen in our viewer, steered to a page by the key sender as the
// book jump does, and a second open of the same book handed over to the viewer already
// running. Offscreen: a book the viewer cannot read.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <filesystem>
#include <string>

#include "components/gui/send_keys.h"
#include "platform/core/paths.h"
#include "platform/gui/qt_services.h"
#include "tests/support/qt_test_main.h"
#include "tests/support/temp_dir.h"

// After Qt: the X headers define macros that Qt uses as names.
#include "tests/app/book_viewer_support.h"

namespace testing_support {
namespace {

const char kTitle[] = "Acrobat Reader - [NF30125.pdf]";

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
