// The notes window with scripted dialogs: the default name, silent saves to the name
// confirmed last, cancelled dialogs, New, leaving the window, failed saves and opens, and the
// clipboard through the services. Under the Xvfb fixture: its screenshot.
#include "app/notes_window.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QTest>
#include <filesystem>
#include <optional>
#include <string>

#include "app/app_context.h"
#include "app/window_support.h"
#include "tests/app/app_fixture.h"
#include "tests/support/qt_test_main.h"

namespace testing_support {
namespace {

using platform::gui::TestServices;

class NotesTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    CreateWindows();
    context_->Values.DbfName = "AB12345.dbf";
    context_->Values.AppDir = folder();
    notes_ = context_->Notes;
    ASSERT_TRUE(ShowAndActivate(notes_));
  }

  // The notes file `name` in the program's folder: its bytes, or nothing when it is missing.
  std::optional<std::string> NotesFile(const std::string& name) {
    if (!std::filesystem::exists(folder() + name)) return std::nullopt;
    return ReadFileBytes(folder() + name);
  }
  QString Path(const std::string& name) { return QString::fromStdString(folder() + name); }
  size_t SaveDialogs() { return services_->CallsOf("SaveDialog").size(); }
  bool Saved() { return context_->Test.NotesSaved; }

  app::TNotes* notes_ = nullptr;
};

TEST_F(NotesTest, TheWindowItsMenusAndItsPlace) {
  EXPECT_EQ(notes_->windowTitle(), "Notes");
  EXPECT_EQ(notes_->size(), QSize(637, 458));
  EXPECT_EQ(notes_->RichEdit1->geometry().bottom(), 457) << "the editor fills the window";
  EXPECT_GT(notes_->RichEdit1->geometry().top(), 0) << "below the menu bar";
  struct Item {
    QAction* action;
    const char* caption;
    const char* shortcut;
  } items[] = {
      {notes_->New, "&New", ""},
      {notes_->Open, "&Open", ""},
      {notes_->Save1, "&Save", ""},
      {notes_->ExitNotes1, "Save &As", ""},
      {notes_->ExitNotes2, "E&xit Notes", ""},
      {notes_->Cut1, "Cut", "Ctrl+X"},
      {notes_->Copy1, "Copy", "Ctrl+C"},
      {notes_->Paste1, "Paste", "Ctrl+V"},
  };
  for (const Item& item : items) {
    EXPECT_EQ(item.action->text(), item.caption);
    EXPECT_EQ(item.action->shortcut().toString(), item.shortcut) << item.caption;
  }
  EXPECT_EQ(notes_->File1->title(), "&File");
  EXPECT_EQ(notes_->Edit1->title(), "&Edit");
  const QRect screen = notes_->screen()->geometry();
  EXPECT_EQ(notes_->pos(), screen.topLeft() + app::CentredPosition(screen.size(), notes_->size()));
}

TEST_F(NotesTest, TheFirstSaveOffersTheDefaultNameAndTheSecondIsSilent) {
  notes_->RichEdit1->setPlainText("a\nb");
  services_->AnswerSaveDialog(Path("notes12345.txt"));
  notes_->Save1Click();
  const auto dialogs = services_->CallsOf("SaveDialog");
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].args, (QStringList{"Velkor Notes", "text files|*.txt", ".txt",
                                          QString::fromStdString(folder()), "notes12345.txt"}));
  EXPECT_EQ(NotesFile("notes12345.txt"), "a\r\nb");
  EXPECT_TRUE(Saved());
  notes_->RichEdit1->setPlainText(QString::fromUtf8("a\nb\n\xc3\xa9"));
  notes_->Save1Click();
  EXPECT_EQ(SaveDialogs(), 1u) << "no dialog the second time";
  EXPECT_EQ(NotesFile("notes12345.txt"), "a\r\nb\r\n\xE9");
}

TEST_F(NotesTest, ACancelledDialogChangesNothing) {
  notes_->RichEdit1->setPlainText("kept");
  services_->AnswerSaveDialog(std::nullopt);  // Save
  services_->AnswerSaveDialog(std::nullopt);  // Save again: asks again
  services_->AnswerSaveDialog(std::nullopt);  // Save As
  services_->AnswerSaveDialog(std::nullopt);  // New
  services_->AnswerOpenDialog(std::nullopt);  // Open
  notes_->Save1Click();
  notes_->Save1Click();
  notes_->ExitNotes1Click();
  notes_->NewClick();
  notes_->OpenClick();
  EXPECT_EQ(SaveDialogs(), 4u);
  EXPECT_FALSE(Saved());
  EXPECT_EQ(notes_->RichEdit1->toPlainText(), "kept");
  EXPECT_TRUE(std::filesystem::is_empty(folder()));
}

TEST_F(NotesTest, NewSavesTheOldTextAndStartsEmptyLeavingNotesSavedAlone) {
  notes_->RichEdit1->setPlainText("old");
  services_->AnswerSaveDialog(Path("old.txt"));
  notes_->NewClick();
  EXPECT_EQ(NotesFile("old.txt"), "old");
  EXPECT_TRUE(notes_->RichEdit1->toPlainText().isEmpty());
  EXPECT_FALSE(Saved());
}

TEST_F(NotesTest, LeavingTheWindow) {
  // Empty and never saved: nothing is asked or written.
  notes_->ExitNotes2Click();
  EXPECT_TRUE(notes_->isHidden());
  EXPECT_EQ(SaveDialogs(), 0u);
  EXPECT_TRUE(std::filesystem::is_empty(folder()));

  // With text: the dialog, the save; later leavings save without asking, closing too.
  ASSERT_TRUE(ShowAndActivate(notes_));
  notes_->RichEdit1->setPlainText("first");
  services_->AnswerSaveDialog(Path("notes12345.txt"));
  notes_->ExitNotes2Click();
  EXPECT_TRUE(notes_->isHidden());
  EXPECT_EQ(NotesFile("notes12345.txt"), "first");
  EXPECT_TRUE(Saved());
  ASSERT_TRUE(ShowAndActivate(notes_));
  notes_->RichEdit1->setPlainText("second");
  notes_->close();
  EXPECT_TRUE(notes_->isHidden());
  EXPECT_EQ(NotesFile("notes12345.txt"), "second");
  EXPECT_EQ(SaveDialogs(), 1u);
  EXPECT_EQ(notes_->RichEdit1->toPlainText(), "second") << "the text survives hiding";
}

// Activation proposes the default name only until a name was confirmed: a silent save goes to
// the file chosen last, never over the default one.
TEST_F(NotesTest, SaveAfterSaveAsAndAnotherShowGoesToTheFileChosen) {
  notes_->RichEdit1->setPlainText("mine");
  services_->AnswerSaveDialog(Path("other.txt"));
  notes_->ExitNotes1Click();
  notes_->hide();
  ASSERT_TRUE(ShowAndActivate(notes_));
  notes_->RichEdit1->setPlainText("mine, later");
  notes_->Save1Click();
  EXPECT_EQ(NotesFile("other.txt"), "mine, later");
  EXPECT_EQ(NotesFile("notes12345.txt"), std::nullopt);
  services_->AnswerSaveDialog(std::nullopt);
  notes_->ExitNotes1Click();
  EXPECT_EQ(services_->CallsOf("SaveDialog").back().args[4], Path("other.txt"));
}

TEST_F(NotesTest, AFailedSaveSaysWhichFileAndChangesNothing) {
  WriteFileBytes(folder() + "plain", "a file, not a folder");
  const QString bad = Path("plain/notes.txt");
  notes_->RichEdit1->setPlainText("text");
  services_->AnswerSaveDialog(bad);
  services_->AnswerBox(platform::kResultOk, bad);
  notes_->Save1Click();
  EXPECT_FALSE(Saved());
  services_->AnswerSaveDialog(bad);
  services_->AnswerBox(platform::kResultOk, bad);
  notes_->NewClick();
  EXPECT_EQ(notes_->RichEdit1->toPlainText(), "text") << "New empties only after its save";

  // A character the ANSI code page lacks stops the save, named in the box.
  notes_->RichEdit1->setPlainText(QString::fromUtf8("a \xe4\xb8\xad b"));
  services_->AnswerSaveDialog(Path("notes12345.txt"));
  services_->AnswerBox(platform::kResultOk, QString::fromUtf8("\"\xe4\xb8\xad\""));
  notes_->Save1Click();
  EXPECT_FALSE(Saved());
  EXPECT_EQ(NotesFile("notes12345.txt"), std::nullopt);
  EXPECT_EQ(services_->CallsOf("MessageBox").size(), 3u);
}

TEST_F(NotesTest, OpenReplacesTheTextOrSaysItCannotRead) {
  WriteFileBytes(folder() + "old.txt", "x\r\ny \xE9\r\n");
  notes_->RichEdit1->setPlainText("before");
  services_->AnswerOpenDialog(Path("old.txt"));
  notes_->OpenClick();
  const auto dialogs = services_->CallsOf("OpenDialog");
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].args[1], "text files|*.txt");
  EXPECT_EQ(dialogs[0].args[3], QString::fromStdString(folder()));
  EXPECT_EQ(notes_->RichEdit1->toPlainText(), QString::fromUtf8("x\ny \xc3\xa9\n"));
  EXPECT_FALSE(notes_->RichEdit1->textCursor().hasSelection());

  std::filesystem::create_directory(folder() + "folder.txt");
  services_->AnswerOpenDialog(Path("folder.txt"));
  services_->AnswerBox(platform::kResultOk, Path("folder.txt"));
  notes_->OpenClick();
  EXPECT_EQ(notes_->RichEdit1->toPlainText(), QString::fromUtf8("x\ny \xc3\xa9\n"));
}

TEST_F(NotesTest, CutCopyAndPasteGoThroughTheServicesClipboard) {
  notes_->RichEdit1->setPlainText("one two");
  QTextCursor cursor = notes_->RichEdit1->textCursor();
  cursor.setPosition(4);
  cursor.setPosition(7, QTextCursor::KeepAnchor);
  notes_->RichEdit1->setTextCursor(cursor);
  QTest::keyClick(notes_->RichEdit1, Qt::Key_C, Qt::ControlModifier);
  ASSERT_EQ(services_->CallsOf("SetClipboard").size(), 1u) << "the key copies once";
  EXPECT_EQ(services_->CallsOf("SetClipboard")[0].args[0], "two");
  notes_->Cut1Click();
  EXPECT_EQ(notes_->RichEdit1->toPlainText(), "one ");
  notes_->Paste1Click();
  QTest::keyClick(notes_->RichEdit1, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(notes_->RichEdit1->toPlainText(), "one twotwo");
  EXPECT_EQ(services_->CallsOf("Clipboard").size(), 2u);
}

class X11NotesTest : public NotesTest {};

TEST_F(X11NotesTest, Screenshot) {
  notes_->RichEdit1->setPlainText(
      "Subnetting: practise /27 and /28 masks.\nReview the OSI layers.");
  ASSERT_TRUE(QTest::qWaitForWindowExposed(notes_));
  QCoreApplication::processEvents();
  EXPECT_TRUE(
      notes_->grab().toImage().save(QString::fromStdString(ArtefactDir() + "app_notes.png")));
}

}  // namespace
}  // namespace testing_support
