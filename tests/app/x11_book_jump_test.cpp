// Under the Xvfb fixture: the question window with its answers in yellow and its references, and,
// with the fixture's window manager, Goto on the demo book through the real ShellOpen and key
// sender: the viewer comes to the topic's page, and a second Goto reaches the same viewer.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QTest>
#include <filesystem>
#include <string>

#include "app/question_window.h"
#include "components/gui/send_keys.h"
#include "platform/gui/qt_services.h"
#include "tests/app/app_fixture.h"
#include "tests/support/qt_test_main.h"

// After Qt: the X headers define macros that Qt uses as names.
#include "tests/app/book_viewer_support.h"

namespace testing_support {
namespace {

samples::QuestionRecord BookRow() {
  samples::QuestionRecord row = QuestionItemRow(
      {"A red light", "A green light", "A flashing amber light", "No light at all"}, "AC");
  row.memos["QUESTION"] = {"Which lights tell a driver to stop?"};
  row.memos["FEEDBACK"] = {"Red and flashing amber both ask for a stop."};
  row.texts["TOPIC1"] = "Lights at a crossing";
  row.numbers["TOP1ACROPG"] = 3;
  row.texts["TOPIC2"] = "Contents";
  row.numbers["TOP2ACROPG"] = 1;
  row.texts["CHAPTER"] = "Chapter 1: Signals";
  return row;
}

class X11QuestionRefs : public AppTest {};

TEST_F(X11QuestionRefs, ReferencesBesideTheAnswersInYellow) {
  QuestionStart({BookRow()});
  app::TQuestions& w = *context_->Questions;
  w.ShowAnswersBtn->click();
  w.ShowRefsBtn->click();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  QCoreApplication::processEvents();
  const QImage shot = w.grab().toImage();
  EXPECT_TRUE(shot.save(QString::fromStdString(ArtefactDir() + "app_question_references.png")));
  // The colour near the right end of a control, where no text is.
  auto at = [&](QWidget* control) {
    const QPoint p = control->mapTo(&w, QPoint(control->width() - 8, control->height() / 2));
    return shot.pixelColor(p);
  };
  EXPECT_EQ(at(w.RichEdit1), QColor(255, 255, 0)) << "answer A is correct";
  EXPECT_EQ(at(w.RichEdit2), QColor(Qt::white));
  EXPECT_EQ(at(w.RichEdit3), QColor(255, 255, 0)) << "answer C is correct";
  EXPECT_EQ(at(w.RichEdit4), QColor(Qt::white));
  EXPECT_FALSE(w.ListBox2->isHidden());
  EXPECT_TRUE(w.FeedBackEdit->isHidden()) << "the topic list took the explanation's place";
}

// The test services, but ShellOpen opens for real: the book in our viewer.
class ViewerServices : public platform::gui::TestServices {
 public:
  int ShellOpen(const QString& file, const QString& parameters, const QString& folder,
                int show_command) override {
    TestServices::ShellOpen(file, parameters, folder, show_command);  // recorded
    return real_.ShellOpen(file, parameters, folder, show_command);
  }
  qint64 viewer_pid() const { return real_.viewer_pid(); }

 private:
  platform::gui::QtServices real_;
};

class X11DesktopBookJump : public AppTest {};

TEST_F(X11DesktopBookJump, GotoBringsTheViewerToTheTopicsPageAndASecondGotoReachesIt) {
  ASSERT_EQ(QGuiApplication::platformName(), "xcb");
  std::filesystem::copy_file(std::string(PX_DEMO_DIR) + "NF30125.pdf", folder() + "NF30125.pdf");
  std::filesystem::create_symlink(PX_BOOKVIEW, folder() + "bookview");  // beside the program
  PageLog log(folder() + "pages.fifo");
  ScopedEnv page_log("BOOKVIEW_PAGE_LOG", folder() + "pages.fifo");
  ScopedEnv temp("TMPDIR", dir_.path());
  services_.reset();
  auto* services = new ViewerServices;
  services_.reset(services);
  RefsStart("NF30125", {}, {BookRow()});
  app::TQuestions& w = *context_->Questions;
  w.ShowRefsBtn->click();
  ASSERT_EQ(w.ListBox2->count(), 2);

  w.GoToBtn->click();
  const qint64 pid = services->viewer_pid();
  ASSERT_GT(pid, 0) << "the viewer reported";
  EXPECT_TRUE(log.Next("page 1"));
  EXPECT_TRUE(log.Next("page 3")) << "the topic's page";
  components::TSendKeys desktop;
  const char kTitle[] = "Acrobat Reader - [NF30125.pdf]";
  const auto window = desktop.FindWindowByTitle(kTitle);
  EXPECT_NE(window, 0u);
  EXPECT_EQ(NetWmName(window), kTitle);

  w.ListBox2->setCurrentRow(1);
  w.GoToBtn->click();
  EXPECT_EQ(services->viewer_pid(), pid) << "the same viewer took the book";
  EXPECT_TRUE(log.Next("page 1"));
  EXPECT_EQ(services->CallsOf("ShellOpen").size(), 2u);

  EXPECT_TRUE(KillAndWait(pid));
}

}  // namespace
}  // namespace testing_support
