#include "platform/gui/services.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>

#include "engine/error.h"
#include "platform/core/halt.h"
#include "platform/gui/application.h"
#include "platform/gui/guarded.h"
#include "platform/gui/qt_services.h"
#include "platform/gui/test_services.h"
#include "tests/platform_gui/gui_test_util.h"
#include "tests/support/qt_test_main.h"
#include "tests/support/temp_dir.h"

namespace platform::gui {
namespace {

using testing_support::CollectServiceFailures;

TEST(ServicesScript, ScriptedAnswersReachTheCodeThatAsked) {
  TestServices services;
  services.AnswerBox(kResultNo, "Save your notes");
  services.AnswerSaveDialog(QString("/data/notes12345.txt"));
  services.AnswerOpenDialog(std::nullopt);

  QWidget window;
  QPushButton button(&window);
  int answer = 0;
  std::optional<QString> saved, opened = QString("not asked");
  GuardedConnect(&button, &QPushButton::clicked, &window, [&] {
    answer =
        Services::Current().MessageBox("Save your notes?", "Notes", kIconQuestion, kButtonsYesNo);
    saved = Services::Current().SaveFileDialog(
        {"Velkor Notes", "text files|*.txt", ".txt", "c:\\", "notes12345.txt"});
    opened = Services::Current().OpenFileDialog({"", "text files|*.txt", "", "", ""});
  });
  button.click();

  EXPECT_EQ(answer, kResultNo);
  EXPECT_EQ(saved, QString("/data/notes12345.txt"));
  EXPECT_EQ(opened, std::nullopt);
  EXPECT_EQ(services.CallKinds(),
            (std::vector<std::string>{"MessageBox", "SaveDialog", "OpenDialog"}));
  const auto& box = services.calls()[0];
  EXPECT_EQ(box.args, (QStringList{"Notes", "Save your notes?", QString::number(kIconQuestion),
                                   QString::number(kButtonsYesNo)}));
  EXPECT_EQ(services.calls()[1].args,
            (QStringList{"Velkor Notes", "text files|*.txt", ".txt", "c:\\", "notes12345.txt"}));
  EXPECT_TRUE(services.ScriptDone());
}

TEST(ServicesScript, ViolationsFailAtOnceAndUnscriptedBoxesAnswerCancel) {
  CollectServiceFailures failures;
  {
    TestServices services;
    EXPECT_EQ(services.MessageBox("Really quit?", "", kIconQuestion, kButtonsYesNo), kResultCancel);
    ASSERT_EQ(failures.messages().size(), 1u);
    EXPECT_NE(failures.messages()[0].find("Really quit?"), std::string::npos);

    EXPECT_EQ(services.SaveFileDialog({"Velkor Notes", "", "", "", ""}), std::nullopt);
    ASSERT_EQ(failures.messages().size(), 2u);
    EXPECT_NE(failures.messages()[1].find("Velkor Notes"), std::string::npos);

    services.AnswerBox(kResultOk, "expected text");
    EXPECT_EQ(services.MessageBox("another text", "", kIconNone, kButtonsOk), kResultOk);
    ASSERT_EQ(failures.messages().size(), 3u);
    EXPECT_NE(failures.messages()[2].find("expected text"), std::string::npos);

    services.AnswerBox(kResultOk);  // never used
  }
  ASSERT_EQ(failures.messages().size(), 4u);
  EXPECT_NE(failures.messages()[3].find("never used"), std::string::npos);
}

TEST(ServicesScript, BoxWithoutCaptionCarriesTheApplicationTitle) {
  TestServices services;
  services.AnswerBox(kResultOk);
  services.ShowMessage("You must select at least one objective to test on.");
  ASSERT_EQ(services.calls().size(), 1u);
  EXPECT_EQ(services.calls()[0].args[0], QGuiApplication::applicationDisplayName());
  EXPECT_FALSE(services.calls()[0].args[0].isEmpty());
}

TEST(ServicesCurrent, TestServicesStackAndRestore) {
  Services* outer = &Services::Current();
  {
    TestServices inner;
    EXPECT_EQ(&Services::Current(), &inner);
  }
  EXPECT_EQ(&Services::Current(), outer);
}

TEST(GuiMessageHook, EngineMessagesGoThroughTheServicesConverted) {
  TestServices services;
  services.AnswerBox(kResultCancel);
  // ANSI bytes: 0xC4 is a capital A with diaeresis, 0x80 the euro sign.
  int answer =
      platform::ShowMessage("Lock failed [\xC4\x80]\r\nRetry?", "", kIconWarning, kButtonsOkCancel);
  EXPECT_EQ(answer, kResultCancel);
  ASSERT_EQ(services.calls().size(), 1u);
  EXPECT_EQ(services.calls()[0].args[0], ApplicationTitle());
  EXPECT_EQ(services.calls()[0].args[1], QString::fromUtf8("Lock failed [Ä€]\r\nRetry?"));
}

TEST(GuiMessageHookDeathTest, EngineHaltShowsItsBoxThroughTheServicesAndExitsWithItsCode) {
  EXPECT_EXIT(
      {
        testing_support::QtApp();
        // Left alive on purpose: the halt ends the process.
        auto* services = new TestServices;
        services->AnswerBox(kResultOk);
        platform::AddExitProc([services] {
          for (const auto& call : services->calls()) {
            QString line = QString::fromStdString(call.kind) + "|" + call.args.join('|');
            line.replace("\r\n", "<CRLF>");
            std::fprintf(stderr, "%s\n", line.toUtf8().constData());
          }
        });
        engine::AbortOnError = true;
        engine::SetError(215, "No database in use [GO()]  WorkArea = 3");
        std::fprintf(stderr, "the engine went on after the halt\n");
      },
      ::testing::ExitedWithCode(215),
      "MessageBox\\|Program halted\\.\\|Error # 215 \\(No database in use\\)<CRLF>No database "
      "in use \\[GO\\(\\)\\]  WorkArea = 3\\|1\\|0");
}

TEST(QtServicesBox, RealBoxShowsTheTextAndReturnsTheButtonClicked) {
  QtServices real;
  QString caption, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  testing_support::WithModalWidget([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    caption = box->windowTitle();
    text = box->text();
    icon = box->icon();
    box->button(QMessageBox::No)->click();
  });
  int answer = real.MessageBox("Line one\r\nLine two", "Velkorin", kIconWarning, kButtonsYesNo);
  EXPECT_EQ(answer, kResultNo);
  EXPECT_EQ(caption, "Velkorin");
  EXPECT_EQ(text, "Line one\nLine two");
  EXPECT_EQ(icon, QMessageBox::Warning);
}

TEST(QtServicesDialog, SaveDialogAddsTheDefaultExtensionAndIgnoresAMissingFolder) {
  testing_support::TempDir dir;
  QDir::setCurrent(QString::fromStdString(dir.path()));
  QtServices real;
  QString title, shown_dir;
  testing_support::WithModalWidget([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    title = dialog->windowTitle();
    shown_dir = dialog->directory().absolutePath();
    QMetaObject::invokeMethod(dialog, "accept");
  });
  auto name =
      real.SaveFileDialog({"Velkor Notes", "text files|*.txt", ".txt", "c:\\", "notes12345"});
  ASSERT_TRUE(name.has_value());
  EXPECT_EQ(title, "Velkor Notes");
  EXPECT_EQ(QDir(shown_dir), QDir(QString::fromStdString(dir.path())));
  EXPECT_EQ(*name, QString::fromStdString(dir / "notes12345.txt"));
}

TEST(QtServicesDialog, FiltersInQtForm) {
  const char* cases[][2] = {
      {"text files|*.txt", "text files (*.txt)"},
      {"text files|*.txt|all files|*.*", "text files (*.txt);;all files (*.*)"},
      {"pictures|*.bmp;*.png", "pictures (*.bmp *.png)"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(QtServices::QtFilter(c[0]), c[1]) << c[0];
}

TEST(RandomSeed, ClockSeedIsTheMillisecondOfTheDay) {
  uint32_t seed = ClockRandomSeed();
  EXPECT_LT(seed, 24u * 60 * 60 * 1000);
  TestServices services;
  services.set_random_seed(12345);
  EXPECT_EQ(Services::Current().RandomSeed(), 12345u);
}

}  // namespace
}  // namespace platform::gui
