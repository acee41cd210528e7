// The question window's answers and references, the book jump through a recording key sender,
// the help book, the clipboard copies, the notes and Start Over.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QKeySequence>
#include <QListWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/notes_window.h"
#include "app/question_window.h"
#include "components/gui/send_keys.h"
#include "platform/gui/application.h"
#include "tests/app/app_fixture.h"
#include "tests/support/qt_test_main.h"
#include "tests/support/recording_key_backend.h"

namespace testing_support {
namespace {

using components::TKeyEvent;

// One topic of a record: its name, help context and page; an empty name leaves it out.
struct Topic {
  std::string name;
  int help = 0;
  int page = 0;
};

samples::QuestionRecord RefsRow(const std::array<Topic, 3>& topics, const std::string& chapter = "",
                                const std::string& feedback = "") {
  samples::QuestionRecord row =
      QuestionItemRow({"Answer A", "Answer B", "Answer C", "Answer D"}, "AC");
  row.memos["QUESTION"] = {"Which lights?"};
  for (int i = 0; i < 3; ++i) {
    const std::string n = std::to_string(i + 1);
    if (topics[i].name.empty()) continue;
    row.texts["TOPIC" + n] = topics[i].name;
    row.numbers["TOP" + n + "HELP"] = topics[i].help;
    row.numbers["TOP" + n + "ACROPG"] = topics[i].page;
  }
  if (!chapter.empty()) row.texts["CHAPTER"] = chapter;
  if (!feedback.empty()) row.memos["FEEDBACK"] = {feedback};
  return row;
}

// Only the second topic: line 0 of the list shows it, with its own help context and page.
samples::QuestionRecord SecondTopicOnly() {
  return RefsRow({Topic{"", 0, 0}, Topic{"Lights at night", 12, 3}, Topic{"", 0, 0}});
}

TKeyEvent Down(uint32_t k) { return {true, k}; }
TKeyEvent Up(uint32_t k) { return {false, k}; }

class QuestionRefsTest : public AppTest {
 protected:
  app::TQuestions& Window() { return *context_->Questions; }
  // The window's key sender on the recording backend; the viewer's window is there, and its
  // Go To Page window opens on Ctrl+5 when `dialog` is set.
  void RecordKeys(const std::string& title, bool dialog) {
    keys_.window_title = title;
    if (dialog) {
      keys_.on_key = [this](uint32_t keysym, bool press) {
        if (keysym == '5' && press) keys_.windows["Go To Page"] = 43;
      };
    }
    Window().SendKeys1 = std::make_unique<components::TSendKeys>(&keys_);
  }
  QStringList ShellOpenArgs() {
    const auto calls = services_->CallsOf("ShellOpen");
    return calls.size() == 1 ? calls[0].args
                             : QStringList{"ShellOpen calls:", QString::number(calls.size())};
  }
  std::vector<std::string> Lines(QListWidget* list) {
    std::vector<std::string> lines;
    for (int i = 0; i < list->count(); ++i) lines.push_back(list->item(i)->text().toStdString());
    return lines;
  }

  RecordingBackend keys_;  // outlives the windows' key sender
};

TEST_F(QuestionRefsTest, TheMenusCarryTheirShortcutsAndTheClipboardEditIsHidden) {
  QuestionStart({RefsRow({})});
  app::TQuestions& w = Window();
  const std::vector<std::pair<QString, QString>> menus = {{"&File", "E&xit"},
                                                          {"&Edit", "Copy"},
                                                          {"&Edit", "Copy Question to Clipboard"},
                                                          {"&Options", "&Open Notes"},
                                                          {"&Options", "Start Over"}};
  std::vector<std::pair<QString, QString>> found;
  for (QAction* menu : w.MainMenu1->actions()) {
    for (QAction* item : menu->menu()->actions()) found.emplace_back(menu->text(), item->text());
  }
  EXPECT_EQ(found, menus);
  EXPECT_EQ(w.Copy1->shortcut(), QKeySequence("Ctrl+C"));
  EXPECT_EQ(w.CopyQuestiontoClipboard1->shortcut(), QKeySequence("Ctrl+B"));
  EXPECT_TRUE(w.OpenNotes1->shortcut().isEmpty());
  EXPECT_TRUE(w.StartOver1->shortcut().isEmpty());
  EXPECT_EQ(w.RichEdit7->geometry(), QRect(16, 96, 601, 89));
  EXPECT_TRUE(w.RichEdit7->isHidden());
}

TEST_F(QuestionRefsTest, ShowAnswersColoursTheCorrectAnswersAndShowsAnExplanationOnly) {
  QuestionStart({RefsRow({}, "", "Both lights are right."), RefsRow({})});
  app::TQuestions& w = Window();
  QTextEdit* const edits[] = {w.RichEdit1, w.RichEdit2, w.RichEdit3, w.RichEdit4, w.RichEdit5};
  auto colours = [&] {
    std::string marks;
    for (QTextEdit* edit : edits)
      marks += edit->palette().color(QPalette::Base) == QColor(255, 255, 0) ? 'Y' : '-';
    return marks;
  };
  w.ShowAnswersBtn->click();
  EXPECT_EQ(colours(), "Y-Y--") << "checka and checkc";
  EXPECT_FALSE(w.FeedBackEdit->isHidden());
  EXPECT_EQ(w.FeedBackEdit->toPlainText(), "Both lights are right.");
  EXPECT_TRUE(w.ListBox2->isHidden() && w.ChapterRef->isHidden() && w.GoToBtn->isHidden());

  w.WenDbf1->Go(2);
  EXPECT_EQ(colours(), "-----") << "a move whitens them";
  w.ShowAnswersBtn->click();
  EXPECT_TRUE(w.FeedBackEdit->isHidden()) << "an empty explanation";
}

TEST_F(QuestionRefsTest, ReferencesShowTheChapterOrTheTopicList) {
  struct Case {
    std::string show_chapter, show_links;
    samples::QuestionRecord row;
    bool chapter, list;
    std::vector<std::string> lines;
    const char* name;
  };
  const Topic none;
  const Case cases[] = {
      {"1", "0", RefsRow({Topic{"Signals", 1, 2}}, "Chapter 2"), true, false, {}, "chapter only"},
      {"1", "0", RefsRow({}), true, false, {}, "the chapter even when empty"},
      {"1",
       "1",
       RefsRow({Topic{"Signals", 1, 2}}, "Chapter 2"),
       false,
       true,
       {"Signals"},
       "the list takes the chapter's place"},
      {"1", "1", RefsRow({}, "Chapter 2"), false, false, {}, "no topic: nothing"},
      {"0",
       "1",
       RefsRow({Topic{"Signals", 1, 2}, none, Topic{"Lamps", 3, 4}}),
       false,
       true,
       {"Signals", "Lamps"},
       "empty topics are left out"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    TestDefinition def;
    def.show_chapter = c.show_chapter;
    def.show_links = c.show_links;
    RefsStart("practice", def, {c.row});
    app::TQuestions& w = Window();
    w.ShowAnswersBtn->click();
    ASSERT_FALSE(w.ShowRefsBtn->isHidden());
    w.ShowRefsBtn->click();
    EXPECT_EQ(!w.ChapterRef->isHidden(), c.chapter);
    EXPECT_EQ(!w.ListBox2->isHidden(), c.list);
    EXPECT_EQ(!w.GoToBtn->isHidden(), c.list);
    EXPECT_TRUE(w.FeedBackEdit->isHidden());
    EXPECT_EQ(Lines(w.ListBox2), c.lines);
    if (c.list) {
      EXPECT_EQ(w.ListBox2->currentRow(), 0);
      EXPECT_EQ(w.ListBox2Topic(0), 1);
    }
  }
}

TEST_F(QuestionRefsTest, TheBookJumpTypesIntoTheViewerAndItsGoToPageWindowOnly) {
  RefsStart("practice", {}, {SecondTopicOnly()});
  app::TQuestions& w = Window();
  RecordKeys("Acrobat Reader - [practice.pdf]", true);
  w.ShowRefsBtn->click();
  ASSERT_EQ(Lines(w.ListBox2), std::vector<std::string>{"Lights at night"});
  EXPECT_EQ(w.ListBox2Topic(0), 2);
  w.GoToBtn->click();
  EXPECT_EQ(ShellOpenArgs(),
            (QStringList{QString::fromStdString(folder() + "practice.pdf"), "", "", "5"}));
  const std::vector<std::pair<RecordingBackend::XWindowHandle, TKeyEvent>> expected = {
      {42, Down(components::kKeyControl)},
      {42, Down('5')},
      {42, Up('5')},
      {42, Up(components::kKeyControl)},
      {43, Down('3')},
      {43, Up('3')},
      {43, Down(components::kKeyReturn)},
      {43, Up(components::kKeyReturn)}};
  EXPECT_EQ(keys_.sent, expected) << "top2acropg's page to Go To Page, after Ctrl+5 to the viewer";

  // A double click on the line jumps the same way.
  keys_.sent.clear();
  keys_.windows.clear();
  const QRect line = w.ListBox2->visualItemRect(w.ListBox2->item(0));
  QTest::mousePress(w.ListBox2->viewport(), Qt::LeftButton, {}, line.center());
  QTest::mouseRelease(w.ListBox2->viewport(), Qt::LeftButton, {}, line.center());
  QTest::mouseDClick(w.ListBox2->viewport(), Qt::LeftButton, {}, line.center());
  EXPECT_EQ(services_->CallsOf("ShellOpen").size(), 2u);
  EXPECT_EQ(keys_.sent, expected);

  // No line selected: nothing.
  w.ListBox2->clearSelection();
  keys_.sent.clear();
  w.GoToBtn->click();
  EXPECT_EQ(services_->CallsOf("ShellOpen").size(), 2u);
  EXPECT_TRUE(keys_.sent.empty());
}

TEST_F(QuestionRefsTest, NoKeysWithoutTheViewerAndNoPageWithoutItsDialog) {
  RefsStart("practice", {}, {SecondTopicOnly()});
  app::TQuestions& w = Window();
  RecordKeys("Acrobat Reader - [practice.pdf]", false);
  w.ShowRefsBtn->click();

  services_->set_shell_open_result(platform::gui::kShellFileNotFound);
  w.GoToBtn->click();
  EXPECT_EQ(services_->CallsOf("ShellOpen").size(), 1u);
  EXPECT_TRUE(keys_.calls.empty()) << "the viewer did not start: no window is looked for";

  services_->set_shell_open_result(platform::gui::kShellOk);
  QElapsedTimer timer;
  timer.start();
  w.GoToBtn->click();
  EXPECT_GE(timer.elapsed(), app::TQuestions::kGoToPageWaitMs);
  EXPECT_EQ(keys_.events, (std::vector<TKeyEvent>{Down(components::kKeyControl), Down('5'), Up('5'),
                                                  Up(components::kKeyControl)}))
      << "no Go To Page window: no page keys";

  // No viewer window: no Ctrl+5, and no wait for the dialog.
  keys_.window_title = "Another window";
  keys_.events.clear();
  keys_.calls.clear();
  w.GoToBtn->click();
  EXPECT_EQ(keys_.calls, std::vector<std::string>{"find Acrobat Reader - [practice.pdf]"});
  EXPECT_TRUE(keys_.events.empty());
}

TEST_F(QuestionRefsTest, TheBookFoundUnderAnotherCaseIsTheViewersTitle) {
  RefsStart("practice", {}, {SecondTopicOnly()});
  WriteFileBytes(folder() + "Practice.PDF", "%PDF-1.4\n");
  RecordKeys("Acrobat Reader - [Practice.PDF]", true);
  Window().ShowRefsBtn->click();
  Window().GoToBtn->click();
  EXPECT_EQ(ShellOpenArgs()[0], QString::fromStdString(folder() + "Practice.PDF"));
  EXPECT_EQ(keys_.sent.size(), 8u);
  EXPECT_EQ(keys_.active, 43u);
}

TEST_F(QuestionRefsTest, ABookPathOf120CharactersReachesTheShellWhole) {
  const std::string base(120 - folder().size() - 4, 'b');
  RefsStart(base, {}, {SecondTopicOnly()});
  RecordKeys("none", false);
  Window().ShowRefsBtn->click();
  Window().GoToBtn->click();
  ASSERT_EQ(folder().size() + base.size() + 4, 120u);
  EXPECT_EQ(ShellOpenArgs()[0], QString::fromStdString(folder() + base + ".pdf"));
}

TEST_F(QuestionRefsTest, TheHelpBookOpensAtTheTopicsContext) {
  TestDefinition def;
  def.format = "Help";
  RefsStart("practice", def, {SecondTopicOnly()});
  app::TQuestions& w = Window();
  RecordKeys("Acrobat Reader - [practice.pdf]", true);
  w.ShowRefsBtn->click();
  w.GoToBtn->click();
  auto help = services_->CallsOf("Help");
  ASSERT_EQ(help.size(), 1u);
  EXPECT_EQ(help[0].args, (QStringList{QString::fromStdString(folder() + "practice.hlp"), "12"}));
  EXPECT_TRUE(services_->CallsOf("ShellOpen").empty());
  EXPECT_TRUE(keys_.calls.empty());

  services_->set_help_result({false, "Cannot show the help file practice.hlp"});
  services_->AnswerBox(platform::kResultOk, "Cannot show the help file practice.hlp");
  w.GoToBtn->click();
  EXPECT_EQ(services_->CallsOf("Help").size(), 2u);

  // A context that is no whole number: the conversion's box, and no help request.
  w.top2help->setText("12x");
  services_->AnswerBox(platform::kResultOk, "'12x' is not a valid integer value");
  w.GoToBtn->click();
  EXPECT_EQ(services_->CallsOf("Help").size(), 2u);
  EXPECT_TRUE(services_->ScriptDone());
}

// The formats of a rich text's characters: whether all are black and none bold.
bool BlackAndRegular(const QTextBlock& block) {
  for (auto it = block.begin(); !it.atEnd(); ++it) {
    const QTextCharFormat format = it.fragment().charFormat();
    if (format.foreground().color() != QColor(Qt::black)) return false;
    if (format.fontWeight() > QFont::Normal) return false;
  }
  return true;
}

TEST_F(QuestionRefsTest, CopyPutsTheSelectionOnTheClipboardAndTheQuestionInBlackRegular) {
  QuestionStart({RefsRow({})});
  app::TQuestions& w = Window();
  auto select = [](QTextEdit* edit, int from, int to) {
    QTextCursor cursor = edit->textCursor();
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    edit->setTextCursor(cursor);
    edit->setFocus();
  };
  struct Way {
    const char* name;
    std::function<void()> copy;
  };
  const Way ways[] = {
      {"the menu", [&] { w.Copy1->trigger(); }},
      {"the edit's Ctrl+C",
       [&] { QTest::keyClick(w.focusWidget(), Qt::Key_C, Qt::ControlModifier); }},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    const size_t before = services_->CallsOf("SetClipboard").size();
    select(w.RichEdit6, 0, 5);
    way.copy();
    auto copies = services_->CallsOf("SetClipboard");
    ASSERT_EQ(copies.size(), before + 1);
    EXPECT_EQ(copies.back().args[0], "Which");
    QTextDocument pasted;
    pasted.setHtml(copies.back().args[1]);
    EXPECT_EQ(pasted.toPlainText(), "Which");
    EXPECT_TRUE(BlackAndRegular(pasted.firstBlock()));
    EXPECT_EQ(w.RichEdit6->palette().color(QPalette::Text), QColor(Qt::white));
    EXPECT_TRUE(w.RichEdit6->font().bold());

    // Answer A's edit takes the user's typing, and with it its own copy key.
    select(w.RichEdit1, 7, 8);
    way.copy();
    copies = services_->CallsOf("SetClipboard");
    ASSERT_EQ(copies.size(), before + 2);
    EXPECT_EQ(copies.back().args[0], "A");
  }
  // Another control focused: nothing.
  w.rsSuperCheck1->setFocus();
  const size_t before = services_->CallsOf("SetClipboard").size();
  w.Copy1->trigger();
  EXPECT_EQ(services_->CallsOf("SetClipboard").size(), before);
}

TEST_F(QuestionRefsTest, CopyQuestionPutsQuestionAnswersAndExplanationInOrder) {
  QuestionStart({RefsRow({}, "", "Both lights are right.")});
  Window().CopyQuestiontoClipboard1->trigger();
  const auto copies = services_->CallsOf("SetClipboard");
  ASSERT_EQ(copies.size(), 1u);
  const QStringList paragraphs = {"Which lights?", "Answer A", "Answer B",
                                  "Answer C",      "Answer D", "Both lights are right."};
  EXPECT_EQ(copies[0].args[0].split('\n'), paragraphs);
  QTextDocument pasted;
  pasted.setHtml(copies[0].args[1]);
  QStringList blocks;
  for (QTextBlock b = pasted.firstBlock(); b.isValid(); b = b.next()) blocks << b.text();
  EXPECT_EQ(blocks, paragraphs);
  EXPECT_TRUE(BlackAndRegular(pasted.firstBlock())) << "the question is black, not bold";
}

TEST_F(QuestionRefsTest, OpenNotesShowsTheNotesWindowWhenThereIsOne) {
  QuestionStart({RefsRow({})});
  Window().OpenNotes1->trigger();
  EXPECT_TRUE(context_->Notes->isVisible());
  EXPECT_TRUE(WaitForActivation(context_->Notes));
  context_->Notes->hide();
  context_->Notes = nullptr;  // a build without notes
  Window().OpenNotes1->trigger();
}

TEST_F(QuestionRefsTest, StartOverEndsTheProgramOnlyOnceTheNewOneStarted) {
  QuestionStart({RefsRow({})});
  Window().StartOver1->trigger();
  std::vector<std::string> kinds;
  for (const std::string& kind : services_->CallKinds()) {
    if (kind == "Restart" || kind == "Quit") kinds.push_back(kind);
  }
  EXPECT_EQ(kinds, (std::vector<std::string>{"Restart", "Quit"}));
  EXPECT_TRUE(services_->CallsOf("Restart")[0].args.isEmpty());

  TearDown();
  SetUp();
  QuestionStart({RefsRow({})});
  services_->set_restart_result({false, "Cannot start /x/Velkorin: no such file"});
  services_->AnswerBox(platform::kResultOk, "Cannot start /x/Velkorin: no such file");
  Window().StartOver1->trigger();
  EXPECT_EQ(services_->CallsOf("Restart").size(), 1u);
  EXPECT_TRUE(services_->CallsOf("Quit").empty()) << "the test goes on";
  EXPECT_FALSE(platform::gui::TerminateRequested());
  EXPECT_TRUE(Window().isVisible());
}

}  // namespace
}  // namespace testing_support
