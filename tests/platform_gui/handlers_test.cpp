#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/error.h"
#include "platform/gui/activation.h"
#include "platform/gui/application.h"
#include "platform/gui/guarded.h"
#include "platform/gui/services.h"
#include "platform/gui/test_services.h"
#include "tests/support/qt_test_main.h"

namespace platform::gui {
namespace {

// A window of ours: logs its show and activation handlers and counts close handlers.
class LogWindow : public QWidget, public FormActivation {
 public:
  explicit LogWindow(std::vector<std::string>* log) : FormActivation(this), log_(log) {
    resize(200, 100);
    button = new QPushButton("&Next", this);
    edit = new QLineEdit(this);
    edit->move(0, 40);
  }
  void OnText(const QString& text) { log_->push_back("text " + text.toStdString()); }
  void OnClick() { log_->push_back("click"); }

  QPushButton* button;
  QLineEdit* edit;
  int closes = 0;

 protected:
  void FormShow() override { log_->push_back("show"); }
  void FormActivate() override { log_->push_back("activate"); }
  void closeEvent(QCloseEvent* event) override {
    ++closes;
    QWidget::closeEvent(event);
  }

 private:
  std::vector<std::string>* log_;
};

class Handlers : public ::testing::Test {
 protected:
  void SetUp() override { ResetTerminateRequest(); }
  void TearDown() override { ResetTerminateRequest(); }

  // Fails the test and ends the loop when it runs for longer than a test may.
  static void ArmLoopTimeout() {
    QTimer::singleShot(10000, [] {
      ADD_FAILURE() << "the event loop did not end";
      QCoreApplication::exit(1);
    });
  }

  std::vector<std::string> log_;
};

TEST_F(Handlers, ExceptionInAButtonHandlerIsShownAndTheWindowStaysUsable) {
  TestServices services;
  services.AnswerBox(kResultOk, "Invalid question number.");
  services.AnswerBox(kResultOk, "Error # 215");
  LogWindow window(&log_);
  window.show();
  int clicks = 0;
  GuardedConnect(window.button, &QPushButton::clicked, &window, [&] {
    ++clicks;
    if (clicks == 1) throw std::runtime_error("Invalid question number");
    if (clicks == 2) throw engine::EWendalError("Error # 215 (No database in use)");
  });
  GuardedConnect(window.edit, &QLineEdit::textChanged, &window, &LogWindow::OnText);
  GuardedConnect(window.edit, &QLineEdit::returnPressed, &window, &LogWindow::OnClick);

  for (int i = 0; i < 3; ++i) QTest::mouseClick(window.button, Qt::LeftButton);
  QTest::keyClicks(window.edit, "7");
  QTest::keyClick(window.edit, Qt::Key_Return);

  EXPECT_EQ(clicks, 3);
  auto boxes = services.CallsOf("MessageBox");
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].args[1], "Invalid question number.");
  EXPECT_EQ(boxes[0].args[2], QString::number(kIconStop));
  EXPECT_EQ(boxes[1].args[1], "Error # 215 (No database in use)");
  EXPECT_EQ(HandlerDepth(), 0);
  EXPECT_NE(std::find(log_.begin(), log_.end(), "text 7"), log_.end());
  EXPECT_NE(std::find(log_.begin(), log_.end(), "click"), log_.end());
}

TEST_F(Handlers, ExceptionMessagesEndWithAPeriodAsTheClassLibraryShowsThem) {
  const char* cases[][2] = {
      {"'abc' is not a valid integer value", "'abc' is not a valid integer value."},
      {"Already ends.", "Already ends."},
      {"Error # 215 (No database in use)", "Error # 215 (No database in use)"},
      {"Ends with a digit 5", "Ends with a digit 5."},
      {"", ""},
  };
  for (const auto& c : cases) {
    TestServices services;
    services.AnswerBox(kResultOk);
    ShowHandlerException(c[0]);
    ASSERT_EQ(services.calls().size(), 1u);
    EXPECT_EQ(services.calls()[0].args[1], c[1]) << c[0];
  }
}

// A widget whose key handler throws past Qt: the application's notify is the last resort.
class ThrowingWidget : public QWidget {
 protected:
  void keyPressEvent(QKeyEvent*) override { throw std::runtime_error("Key handler failed"); }
};

TEST_F(Handlers, ApplicationNotifyCatchesAnExceptionAsALastResort) {
  TestServices services;
  services.AnswerBox(kResultOk, "Key handler failed.");
  ThrowingWidget widget;
  widget.show();
  QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
  QApplication::sendEvent(&widget, &press);
  EXPECT_TRUE(services.ScriptDone());
}

TEST_F(Handlers, TerminateEndsTheLoopAfterTheHandlerAndRunsNoCloseHandler) {
  TestServices services;
  LogWindow window(&log_);
  window.show();
  GuardedConnect(window.button, &QPushButton::clicked, &window, [&] {
    Services::Current().Quit();
    log_.push_back("after the request");
    Services::Current().Restart();
  });
  QTimer::singleShot(0, window.button, &QPushButton::click);
  ArmLoopTimeout();
  EXPECT_EQ(RunApplication(), 0);
  EXPECT_TRUE(TerminateRequested());
  EXPECT_EQ(log_.back(), "after the request");
  EXPECT_EQ(window.closes, 0);
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(services.CallKinds(), (std::vector<std::string>{"Quit", "Restart"}));
}

TEST_F(Handlers, ATerminateRequestBeforeTheLoopStillEndsTheProgram) {
  RequestTerminate();
  ArmLoopTimeout();
  EXPECT_EQ(RunApplication(), 0);
}

TEST_F(Handlers, ShowingAWindowRunsItsShowHandlerThenOnceExposedItsActivation) {
  LogWindow first(&log_);
  LogWindow second(&log_);
  first.show();
  // The activation waits for the window to be on screen: it never runs inside show().
  EXPECT_EQ(log_, (std::vector<std::string>{"show"}));
  EXPECT_TRUE(ActivationPending(&first));
  ASSERT_TRUE(testing_support::WaitForActivation(&first));
  EXPECT_TRUE(first.windowHandle()->isExposed());
  EXPECT_EQ(log_, (std::vector<std::string>{"show", "activate"}));
  EXPECT_EQ(LastActivatedWindow(), &first);
  ASSERT_TRUE(testing_support::ShowAndActivate(&second));
  EXPECT_EQ(LastActivatedWindow(), &second);
  second.hide();
  EXPECT_EQ(LastActivatedWindow(), &first);

  // Later exposes (a repaint, a resize) activate nothing; each new show activates once, also
  // when the window is hidden and shown again before the loop saw it go.
  first.resize(240, 120);
  first.update();
  QTest::qWait(50);
  first.hide();
  first.show();
  ASSERT_TRUE(testing_support::WaitForActivation(&first));
  QTest::qWait(50);
  first.hide();
  QCoreApplication::processEvents();
  first.show();
  ASSERT_TRUE(testing_support::WaitForActivation(&first));
  QTest::qWait(50);
  EXPECT_EQ(log_, (std::vector<std::string>{"show", "activate", "show", "activate", "show",
                                            "activate", "show", "activate"}));

  // Hidden before it was exposed: no activation for that show.
  log_.clear();
  first.hide();
  QCoreApplication::processEvents();
  first.show();
  first.hide();
  QTest::qWait(50);
  EXPECT_EQ(log_, (std::vector<std::string>{"show"}));
}

// A window that is never put on screen has no expose to wait for.
TEST_F(Handlers, AWindowNotShownOnScreenIsActivatedFromTheLoop) {
  LogWindow window(&log_);
  window.setAttribute(Qt::WA_DontShowOnScreen);
  window.show();
  EXPECT_EQ(log_, (std::vector<std::string>{"show"}));
  ASSERT_TRUE(testing_support::WaitForActivation(&window));
  QTest::qWait(20);
  EXPECT_EQ(log_, (std::vector<std::string>{"show", "activate"}));
}

TEST_F(Handlers, ABoxReactivatesItsWindowOnceAfterTheHandlerReturned) {
  TestServices services;
  services.AnswerBox(kResultOk);
  services.AnswerBox(kResultOk);
  LogWindow window(&log_);
  ASSERT_TRUE(testing_support::ShowAndActivate(&window));
  GuardedConnect(window.button, &QPushButton::clicked, &window, [&] {
    log_.push_back("handler");
    services.ShowMessage("You must select at least one objective to test on.");
    services.ShowMessage("A second box on the same window.");
    log_.push_back("handler end");
  });
  window.button->click();
  EXPECT_EQ(log_.back(), "handler end");  // not yet: control has not reached the loop
  QCoreApplication::processEvents();
  EXPECT_EQ(log_,
            (std::vector<std::string>{"show", "activate", "handler", "handler end", "activate"}));
}

TEST_F(Handlers, NoActivationOnceTerminationWasRequestedOrTheWindowIsHidden) {
  TestServices services;
  services.AnswerBox(kResultOk);
  services.AnswerBox(kResultOk);
  LogWindow window(&log_);
  ASSERT_TRUE(testing_support::ShowAndActivate(&window));
  bool terminate = false;
  GuardedConnect(window.button, &QPushButton::clicked, &window, [&] {
    services.ShowMessage("Required files cannot be found. Quitting application.");
    if (terminate)
      RequestTerminate();
    else
      window.hide();
  });
  window.button->click();  // the box's window is hidden before the loop gets control
  QCoreApplication::processEvents();
  EXPECT_EQ(log_, (std::vector<std::string>{"show", "activate"}));
  ASSERT_TRUE(testing_support::ShowAndActivate(&window));
  log_.clear();
  terminate = true;
  window.button->click();
  QCoreApplication::processEvents();
  EXPECT_TRUE(log_.empty());
}

}  // namespace
}  // namespace platform::gui
