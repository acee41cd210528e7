// The exhibit window: where it finds the current question's exhibit, how it shows a text, a
// picture and a program, and what it says about an exhibit it cannot show.
#include "app/exhibit_window.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <filesystem>
#include <optional>

#include "app/question_window.h"
#include "app/window_support.h"
#include "tests/app/app_fixture.h"
#include "tests/support/qt_test_main.h"
#include "tests/support/temp_dir.h"

namespace testing_support {
namespace {

namespace fs = std::filesystem;
using app::TExhibitWnd;

TEST(ExhibitNamesTest, FolderKindAndTheNamesThatLeaveTheFolder) {
  struct Folder {
    const char* dbf;
    const char* folder;
  };
  for (const Folder& c : {Folder{"AB12345.dbf", "EX12345"}, Folder{"NF30125.dbf", "EX30125"},
                          Folder{"ABC.dbf", "EXC"}, Folder{"AB.dbf", "EX"}, Folder{"a.dbf", "EX"},
                          Folder{"", "EX"}}) {
    EXPECT_EQ(TExhibitWnd::ExhibitFolderName(c.dbf), c.folder) << c.dbf;
  }
  struct Kind {
    const char* name;
    const char* kind;
  };
  for (const Kind& c : {Kind{"Fig1.BMP", ".bmp"}, Kind{"SETUP.Exe", ".exe"}, Kind{"a.txt", ".txt"},
                        Kind{"exe", "exe"}, Kind{"", ""}, Kind{"X.\xC4XE", ".\xC4xe"}}) {
    EXPECT_EQ(TExhibitWnd::ExhibitKind(c.name), c.kind) << c.name;
  }
  struct Leaves {
    const char* name;
    bool leaves;
  };
  for (const Leaves& c :
       {Leaves{"..\\x.txt", true}, Leaves{"/etc/passwd", true}, Leaves{"\\x.txt", true},
        Leaves{"C:x.txt", true}, Leaves{"sub\\..\\..\\x.txt", true}, Leaves{"sub/..", true},
        Leaves{"sub\\fig.bmp", false}, Leaves{"..x.txt", false}, Leaves{"x..txt", false},
        Leaves{"x.txt", false}, Leaves{"", false}}) {
    EXPECT_EQ(TExhibitWnd::LeavesFolder(c.name), c.leaves) << c.name;
  }
}

class ExhibitWindowTest : public AppTest {
 protected:
  // The exhibit folder as it lies on disk: its name in other letter case than the one derived.
  std::string Exhibits() const { return folder() + "ex12345/"; }

  void Open(const std::vector<std::string>& names) {
    ExhibitOpenTest(names);
    fs::create_directories(Exhibits());
  }

  void WritePicture(const std::string& name, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::blue);
    ASSERT_TRUE(image.save(QString::fromStdString(Exhibits() + name), "BMP"));
  }

  // Whether the window shows nothing of an exhibit.
  void ExpectEmptyPanel() {
    TExhibitWnd* w = context_->ExhibitWnd;
    EXPECT_TRUE(w->Memo1->isHidden());
    EXPECT_TRUE(w->Memo1->toPlainText().isEmpty());
    EXPECT_TRUE(w->Image1->isHidden());
    EXPECT_TRUE(w->Image1->pixmap().isNull());
  }
};

TEST_F(ExhibitWindowTest, IsTheCentredExhibitWindowThatItsButtonCloses) {
  Open({""});
  TExhibitWnd* w = context_->ExhibitWnd;
  ASSERT_TRUE(ExhibitShow(1));
  EXPECT_EQ(w->windowTitle(), "Exhibit");
  EXPECT_EQ(w->size(), QSize(628, 429));
  EXPECT_EQ(w->Panel1->size(), QSize(612, 387));
  EXPECT_EQ(w->Memo1->geometry(), w->ScrollBox1->geometry()) << "both viewers fill the panel";
  EXPECT_TRUE(w->DirectoryListBox1->isHidden());
  const QRect screen = w->screen()->geometry();
  EXPECT_EQ(w->pos(), screen.topLeft() + app::CentredPosition(screen.size(), w->size()));
  EXPECT_EQ(w->Button1->text(), "Close Exhibit");
  w->Button1->click();
  EXPECT_TRUE(w->isHidden());
  EXPECT_TRUE(services_->calls().empty());
}

TEST_F(ExhibitWindowTest, ShowsTextAndPicturesAndEmptiesThePanelForAnythingElse) {
  Open({"notes.txt", "Fig1.BMP", "pic.gif", "..\\x.txt", "/etc/passwd", "missing.txt", "broken.bmp",
        "folder.txt", ""});
  fs::create_directories(Exhibits() + "folder.txt");
  WriteFileBytes(Exhibits() + "notes.txt", "Z\xFCrich\r\nline two\nthree\r\r\n");
  WritePicture("fig1.bmp", {40, 30});
  WritePicture("pic.gif", {40, 30});
  WriteFileBytes(Exhibits() + "broken.bmp", "BM no picture");
  TExhibitWnd* w = context_->ExhibitWnd;

  // Text after a picture hides it; a picture after a text hides the text.
  ASSERT_TRUE(ExhibitShow(2));
  ASSERT_TRUE(ExhibitShow(1));
  EXPECT_TRUE(w->Memo1->isVisible());
  EXPECT_EQ(w->Memo1->toPlainText(), "Z\u00FCrich\nline two\nthree\n");
  EXPECT_TRUE(w->ScrollBox1->isHidden());
  EXPECT_TRUE(w->Image1->isHidden());
  EXPECT_TRUE(w->Image1->pixmap().isNull());
  ASSERT_TRUE(ExhibitShow(2));  // Fig1.BMP is fig1.bmp: the kind and the name ignore case
  EXPECT_TRUE(w->ScrollBox1->isVisible());
  EXPECT_TRUE(w->Image1->isVisible());
  EXPECT_EQ(w->Image1->pixmap().size(), QSize(40, 30));
  EXPECT_EQ(w->Image1->size(), QSize(40, 30));
  EXPECT_TRUE(w->Memo1->isHidden());
  EXPECT_TRUE(w->Memo1->toPlainText().isEmpty());

  struct Case {
    int32_t record;
    const char* box;  // part of the box's text; nullptr: no box
  };
  const std::vector<Case> cases = {
      {3, nullptr},  // a kind it does not show
      {4, "The exhibit ..\\x.txt lies outside the exhibit folder."},
      {5, "The exhibit /etc/passwd lies outside the exhibit folder."},
      {6, "ex12345/missing.txt cannot be found."},
      {7, "ex12345/broken.bmp is no picture this window can show."},
      {8, "ex12345/folder.txt cannot be read."},
      {9, nullptr},  // no exhibit
  };
  // A box stands over the window once it is on screen, never inside show().
  bool in_show = false;
  services_->set_box_observer([&](const QString&, QWidget* owner) {
    EXPECT_EQ(owner, w);
    EXPECT_FALSE(in_show);
  });
  for (const Case& c : cases) {
    for (int32_t before : {1, 2}) {  // after a text and after a picture
      SCOPED_TRACE("record " + std::to_string(c.record) + " after " + std::to_string(before));
      w->hide();
      ASSERT_TRUE(ExhibitShow(before));
      w->hide();
      const size_t boxes = services_->CallsOf("MessageBox").size();
      if (c.box) services_->AnswerBox(platform::kResultOk, c.box);
      context_->Questions->WenDbf1->Go(c.record);
      in_show = true;
      w->show();
      in_show = false;
      ASSERT_TRUE(WaitForActivation(w));
      EXPECT_TRUE(w->isVisible()) << "the window shows in every case";
      ExpectEmptyPanel();
      EXPECT_EQ(services_->CallsOf("MessageBox").size(), boxes + (c.box ? 1 : 0));
      EXPECT_TRUE(services_->ScriptDone());
    }
  }
  EXPECT_TRUE(services_->CallsOf("ShellOpen").empty());
}

TEST_F(ExhibitWindowTest, StartsAProgramInTheExhibitFolderAndSaysWhenItCannot) {
  Open({"Fig1.bmp", "Setup.EXE", "gone.exe"});
  WritePicture("fig1.bmp", {20, 20});
  WriteFileBytes(Exhibits() + "setup.exe", "#!/bin/sh\n");
  TExhibitWnd* w = context_->ExhibitWnd;
  ASSERT_TRUE(ExhibitShow(1));
  w->hide();
  ASSERT_TRUE(ExhibitShow(2));
  const auto opened = services_->CallsOf("ShellOpen");
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].args, (QStringList{QString::fromStdString(Exhibits() + "setup.exe"), "",
                                         QString::fromStdString(folder() + "ex12345"), "5"}));
  ExpectEmptyPanel();
  EXPECT_TRUE(services_->CallsOf("MessageBox").empty());

  // A program that does not start, and one that is missing (never handed to the shell).
  services_->set_shell_open_result(platform::gui::kShellAccessDenied);
  services_->AnswerBox(
      platform::kResultOk,
      "The exhibit program " + QString::fromStdString(Exhibits()) + "setup.exe cannot be started.");
  w->hide();
  ASSERT_TRUE(ExhibitShow(2));
  services_->AnswerBox(platform::kResultOk, "ex12345/gone.exe cannot be found.");
  w->hide();
  ASSERT_TRUE(ExhibitShow(3));
  EXPECT_EQ(services_->CallsOf("ShellOpen").size(), 2u);
  EXPECT_TRUE(services_->ScriptDone());
}

TEST_F(ExhibitWindowTest, ShowingItWhileVisibleLoadsTheCurrentExhibitAgain) {
  Open({"a.txt", "Sub\\B.TXT", "c.txt"});
  WriteFileBytes(Exhibits() + "a.txt", "first");
  fs::create_directories(Exhibits() + "sub");
  WriteFileBytes(Exhibits() + "sub/b.txt", "second");  // in a folder of the exhibit folder
  TExhibitWnd* w = context_->ExhibitWnd;
  ASSERT_TRUE(ExhibitShow(1));
  EXPECT_EQ(w->Memo1->toPlainText(), "first");
  ASSERT_TRUE(ExhibitShow(2));
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->Memo1->toPlainText(), "second");
  // The box of a reload, too, comes with the activation.
  services_->AnswerBox(platform::kResultOk, "ex12345/c.txt cannot be found.");
  ASSERT_TRUE(ExhibitShow(3));
  EXPECT_TRUE(services_->ScriptDone());
  ExpectEmptyPanel();
}

}  // namespace
}  // namespace testing_support
