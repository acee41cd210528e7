// The data-bound controls on a small table made with our engine: what they show for the
// current record and after moves, the check box's states, the memo's loading and its text,
// the edit's length, date masks and alignment, Escape, posting through a writable table, a
// table opened read-only that nothing changes, a data source that goes away, and (under the
// Xvfb fixture) a screenshot of a window with every control.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRect>
#include <QTest>
#include <QTextCursor>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "components/core/wen_common.h"
#include "components/core/wen_dataset.h"
#include "components/core/wen_dbf.h"
#include "components/gui/wen_check_box.h"
#include "components/gui/wen_edit.h"
#include "components/gui/wen_memo.h"
#include "components/gui/wen_text.h"
#include "engine/dates.h"
#include "engine/engine.h"
#include "engine/error.h"
#include "engine/work_area.h"
#include "platform/core/halt.h"
#include "platform/core/locale_settings.h"
#include "platform/gui/test_services.h"
#include "platform/gui/text.h"
#include "tests/support/qt_test_main.h"
#include "tests/support/temp_dir.h"

namespace components {
namespace {

using Lines = std::vector<std::string>;

struct Row {
  const char* name;
  bool flag;
  const char* answer;
  Lines note;  // empty: no memo (block 0)
  const char* when;
  const char* num;
};

// Three questions: NAME C(40), FLAG L, ANSWER C(5), NOTE M, WHEN D, NUM N(5).
const Row kRows[] = {
    {"Alpha", true, "TRUE", {"first line", "second line"}, "12/31/99", "1"},
    {"Beta", false, "yes", {"caf\xE9 only"}, "01/02/03", "22"},
    {"Gamma & <b>bold</b>", true, "true", {}, "07/04/76", "333"},
};

class WenControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine::ResetEngine();
    engine::AbortOnError = false;
    platform::ResetLocaleSettings();
    ResetClassLayer();
    InitClassLayer();
    engine::Century = false;
    engine::SetDateMode(0);
    engine::EpochYear = 1950;  // two-digit years 50..99 are 1950..1999
    platform::SetMessageHook([this](const std::string& text, const std::string&,
                                    platform::MessageIcon, platform::MessageButtons) {
      messages_.push_back(text);
      return platform::kResultOk;
    });
    MakeTable();
    window_ = std::make_unique<QWidget>();
    window_->resize(480, 320);
  }
  void TearDown() override {
    window_.reset();
    table_.reset();
    platform::SetMessageHook(nullptr);
    ResetClassLayer();
    engine::ResetEngine();
    platform::ResetLocaleSettings();
  }

  void MakeTable() {
    TWenDbf t;
    t.SetName("Questions");
    t.DbfFields = {"NAME, C, 40, 0", "FLAG, L, 1, 0", "ANSWER, C, 5, 0",
                   "NOTE, M, 10, 0", "WHEN, D, 8, 0", "NUM, N, 5, 0"};
    t.SetDbfFileName(dir_ / "questions.dbf");
    t.SetActive(true);
    ASSERT_TRUE(t.Active()) << engine::ErrorMsg;
    TWenDataSet* ds = t.DataSet();
    for (const Row& row : kRows) {
      ds->Append();
      ds->FieldByName("name")->SetText(row.name);
      ds->FieldByName("flag")->SetAsBoolean(row.flag);
      ds->FieldByName("answer")->SetText(row.answer);
      if (!row.note.empty()) ds->FieldByName("note")->SetLines(row.note);
      ds->FieldByName("when")->SetText(row.when);
      ds->FieldByName("num")->SetText(row.num);
      ASSERT_TRUE(ds->Post());
    }
  }

  // Opens the table (read-only when asked) as table_.
  void OpenTable(bool read_only = false) {
    table_.reset();
    table_ = std::make_unique<TWenDbf>();
    table_->SetName("Questions");
    table_->SetDbfFileName(dir_ / "questions.dbf");
    if (read_only) engine::OpenModeOverride = platform::kModeRead | platform::kShareDenyNone;
    table_->SetActive(true);
    engine::OpenModeOverride = 65535;
    ASSERT_TRUE(table_->Active()) << engine::ErrorMsg;
  }
  TWenDataSet* DataSet() const { return table_->DataSet(); }

  // A control on the window bound to `field` of table_, placed at `geometry`.
  template <typename Control>
  Control* Bound(const char* field, const QRect& geometry = {}) {
    auto* control = new Control(window_.get());
    control->SetDataSource(table_.get());
    control->SetDataField(field);
    if (geometry.isValid()) control->setGeometry(geometry);
    return control;
  }

  void ShowAndActivate() {
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  }
  void Focus(QWidget* w) {
    w->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    ASSERT_TRUE(w->hasFocus());
  }
  size_t Beeps() const { return services_.CallsOf("Beep").size(); }

  testing_support::TempDir dir_;
  platform::gui::TestServices services_;
  std::unique_ptr<TWenDbf> table_;
  std::unique_ptr<QWidget> window_;
  Lines messages_;
};

TEST_F(WenControlsTest, ControlsShowTheCurrentRecordAndFollowRecordMoves) {
  OpenTable();
  auto* edit = Bound<TWenEdit>("name");
  auto* memo = Bound<TWenMemo>("note");
  auto* check = Bound<TWenCheckBox>("flag");
  auto* text = Bound<TWenText>("name");
  ASSERT_EQ(edit->GetField(), DataSet()->FieldByName("name"));
  EXPECT_EQ(text->GetField(), DataSet()->FieldByName("name"));

  table_->GoTop();
  EXPECT_EQ(edit->text(), "Alpha");
  EXPECT_EQ(memo->Lines(), (Lines{"first line", "second line"}));
  EXPECT_EQ(check->checkState(), Qt::Checked);
  EXPECT_EQ(text->Caption(), "Alpha");

  table_->Go(2);
  EXPECT_EQ(edit->text(), "Beta");
  EXPECT_EQ(memo->Text(), "caf\xE9 only");
  EXPECT_EQ(memo->toPlainText(), QString::fromUtf8("café only"));
  EXPECT_EQ(check->checkState(), Qt::Unchecked);
  EXPECT_EQ(text->text(), "Beta");

  EXPECT_TRUE(table_->Next());
  EXPECT_EQ(edit->text(), "Gamma & <b>bold</b>");
  EXPECT_TRUE(memo->Text().empty()) << "no memo: empty once loaded";
  EXPECT_TRUE(memo->MemoLoaded());
  EXPECT_EQ(check->checkState(), Qt::Checked);
  // The label shows markup and "&" as they stand.
  EXPECT_EQ(text->textFormat(), Qt::PlainText);
  EXPECT_EQ(text->text(), "Gamma & <b>bold</b>");
  EXPECT_FALSE(text->hasScaledContents());

  EXPECT_FALSE(table_->Next());  // at the end: the same record again
  EXPECT_EQ(edit->text(), "Gamma & <b>bold</b>");
  EXPECT_TRUE(messages_.empty());
}

TEST_F(WenControlsTest, AnEditOnACharacterFieldOfWidth40GetsMaxLength40AndNoTrailingBlanks) {
  OpenTable();
  auto* edit = Bound<TWenEdit>("name");
  table_->GoTop();
  EXPECT_EQ(edit->MaxLength(), 40);
  EXPECT_EQ(edit->text(), "Alpha");
  EXPECT_EQ(edit->GetText(), "Alpha");
  EXPECT_FALSE(edit->IsMasked());
  EXPECT_TRUE(edit->isReadOnly()) << "read-only until the link edits";

  auto* num = Bound<TWenEdit>("num");
  EXPECT_EQ(num->MaxLength(), 5);
  EXPECT_EQ(num->text(), "1");
  // Unbound: no length limit, no text.
  edit->SetDataField("");
  EXPECT_EQ(edit->MaxLength(), 0);
  EXPECT_TRUE(edit->text().isEmpty());
}

TEST_F(WenControlsTest, ADateFieldGetsTheDateMaskOfTheDateModeAndCentury) {
  struct Case {
    const char* name;
    uint8_t mode;
    bool century;
    const char* mask;
    const char* shown;  // 1999-12-31 (the first record)
  };
  const Case cases[] = {
      {"american", 0, false, "@D99/99/99;1;_", "12/31/99"},
      {"american with century", 0, true, "@D99/99/9999;1;_", "12/31/1999"},
      {"ansi", 1, false, "@D99/99/99;1;_", "99.12.31"},
      {"ansi with century", 1, true, "@D9999/99/99;1;_", "1999.12.31"},
      {"british", 2, false, "@D99/99/99;1;_", "31/12/99"},
      {"italian", 3, false, "@D99/99/99;1;_", "31-12-99"},
      {"german with century", 5, true, "@D99/99/9999;1;_", "31.12.1999"},
  };
  OpenTable();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    engine::Century = c.century;
    engine::SetDateMode(c.mode);
    EXPECT_EQ(TWenEdit::DateMask(c.mode, c.century), c.mask);
    auto* edit = Bound<TWenEdit>("when");
    table_->GoTop();  // the record is read again in this mode
    EXPECT_EQ(edit->EditMaskStyle(), dBaseStyle);
    EXPECT_EQ(edit->EditMask(), c.mask);
    EXPECT_TRUE(edit->IsMasked());
    EXPECT_TRUE(edit->Mask().DataBound());
    EXPECT_EQ(edit->text(), c.shown);
    EXPECT_EQ(edit->MaxLength(), static_cast<int>(std::string(c.shown).size()));
    delete edit;
  }
}

TEST_F(WenControlsTest, ACheckBoxOnACharacterFieldIsCheckedForTrueInAnyCaseNotForYes) {
  OpenTable();
  auto* check = Bound<TWenCheckBox>("answer");
  EXPECT_EQ(check->ValueChecked(), "true");
  EXPECT_EQ(check->ValueUnChecked(), "false");
  table_->Go(1);  // "TRUE"
  EXPECT_EQ(check->checkState(), Qt::Checked);
  table_->Go(2);  // "yes"
  EXPECT_EQ(check->checkState(), Qt::Unchecked);
  table_->Go(3);  // "true"
  EXPECT_EQ(check->checkState(), Qt::Checked);

  // ValueChecked is what counts, and setting it redisplays.
  table_->Go(2);
  check->SetValueChecked("YES");
  EXPECT_EQ(check->checkState(), Qt::Checked);
  check->SetValueUnChecked("yes");  // never compared
  EXPECT_EQ(check->checkState(), Qt::Checked);
}

TEST_F(WenControlsTest, ACheckBoxWithoutFieldIsGreyAndAnUnknownFieldRaises57348) {
  OpenTable();
  auto* check = new TWenCheckBox(window_.get());
  EXPECT_EQ(check->checkState(), Qt::Unchecked) << "after creation";
  check->SetDataSource(table_.get());
  table_->GoTop();
  EXPECT_EQ(check->checkState(), Qt::PartiallyChecked);
  EXPECT_EQ(check->GetField(), nullptr);

  try {
    check->SetDataField("nothere");
    ADD_FAILURE() << "no exception";
  } catch (const EWendalError& e) {
    EXPECT_STREQ(e.what(), "Field 'nothere' not found");
  }

  // Bound to a closed source, the name is looked up when the source opens.
  table_->SetActive(false);
  EXPECT_EQ(check->GetField(), nullptr);
  EXPECT_EQ(check->DataField(), "nothere");
  EXPECT_THROW(table_->SetActive(true), EWendalError);
}

TEST_F(WenControlsTest, AMemoWithoutAutoDisplayShowsMemoUntilDoubleClicked) {
  OpenTable();
  auto* memo = new TWenMemo(window_.get());
  memo->setGeometry(10, 10, 300, 100);
  EXPECT_TRUE(memo->AutoDisplay());
  EXPECT_FALSE(memo->WritableBlobs());
  EXPECT_TRUE(memo->isReadOnly());
  memo->SetAutoDisplay(false);
  memo->SetDataSource(table_.get());
  memo->SetDataField("note");
  ShowAndActivate();

  table_->GoTop();
  EXPECT_EQ(memo->toPlainText(), "(Memo)");
  EXPECT_FALSE(memo->MemoLoaded());
  // Typing into an unloaded memo is swallowed.
  Focus(memo);
  QTest::keyClicks(memo, "xy");
  EXPECT_EQ(memo->toPlainText(), "(Memo)");

  QTest::mouseDClick(memo->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
  EXPECT_TRUE(memo->MemoLoaded());
  EXPECT_EQ(memo->Text(), "first line\r\nsecond line");

  table_->Go(2);
  EXPECT_EQ(memo->toPlainText(), "(Memo)");
  QTest::keyClick(memo, Qt::Key_Return);  // Enter loads too
  EXPECT_EQ(memo->Text(), "caf\xE9 only");

  table_->Go(3);  // no memo: empty once loaded
  EXPECT_EQ(memo->toPlainText(), "(Memo)");
  QTest::mouseDClick(memo->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
  EXPECT_TRUE(memo->MemoLoaded());
  EXPECT_EQ(memo->toPlainText(), "");

  // Turning AutoDisplay on loads.
  table_->GoTop();
  EXPECT_EQ(memo->toPlainText(), "(Memo)");
  memo->SetAutoDisplay(true);
  EXPECT_EQ(memo->Text(), "first line\r\nsecond line");
}

TEST_F(WenControlsTest, AMemosTextIsItsLinesJoinedByCrLfWithNoLineEndAfterTheLast) {
  auto* memo = new TWenMemo(window_.get());
  struct Case {
    const char* shown;
    Lines lines;
    const char* text;
  };
  const Case cases[] = {
      {"", {}, ""},
      {"one", {"one"}, "one"},
      {"one\ntwo", {"one", "two"}, "one\r\ntwo"},
      {"one\n\nthree", {"one", "", "three"}, "one\r\n\r\nthree"},
      {"one\n", {"one"}, "one"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    memo->setPlainText(c.shown);
    EXPECT_EQ(memo->Lines(), c.lines);
    EXPECT_EQ(memo->Text(), c.text);
  }
}

TEST_F(WenControlsTest, EscapeRestoresTheStoredValue) {
  OpenTable();
  auto* edit = Bound<TWenEdit>("name", {10, 10, 200, 24});
  auto* memo = Bound<TWenMemo>("note", {10, 50, 300, 100});
  auto* check = Bound<TWenCheckBox>("flag", {10, 160, 100, 20});
  ShowAndActivate();
  table_->GoTop();

  Focus(edit);
  edit->end(false);
  QTest::keyClicks(edit, "ZZ");
  EXPECT_EQ(edit->text(), "AlphaZZ");
  EXPECT_EQ(DataSet()->State(), stEdit);
  EXPECT_TRUE(edit->DataLink().IsModified());
  QTest::keyClick(edit, Qt::Key_Escape);
  EXPECT_EQ(edit->text(), "Alpha");
  EXPECT_FALSE(edit->DataLink().IsModified());
  EXPECT_EQ(edit->selectedText(), "Alpha");

  Focus(memo);
  memo->moveCursor(QTextCursor::End);
  QTest::keyClicks(memo, "!!");
  EXPECT_EQ(memo->Text(), "first line\r\nsecond line!!");
  QTest::keyClick(memo, Qt::Key_Escape);
  EXPECT_EQ(memo->Text(), "first line\r\nsecond line");

  Focus(check);
  QTest::keyClick(check, Qt::Key_Space);
  EXPECT_EQ(check->checkState(), Qt::Unchecked);
  QTest::keyClick(check, Qt::Key_Escape);
  EXPECT_EQ(check->checkState(), Qt::Checked);

  DataSet()->Cancel();
  EXPECT_EQ(Beeps(), 0u);
}

TEST_F(WenControlsTest, EditsThroughAWritableTableArePosted) {
  OpenTable();
  auto* edit = Bound<TWenEdit>("name", {10, 10, 200, 24});
  auto* memo = Bound<TWenMemo>("note", {10, 50, 300, 100});
  auto* check = Bound<TWenCheckBox>("flag", {10, 160, 100, 20});
  auto* answer = Bound<TWenCheckBox>("answer", {120, 160, 100, 20});
  auto* when = Bound<TWenEdit>("when", {10, 190, 100, 24});
  auto* text = Bound<TWenText>("name", {10, 220, 200, 20});
  ShowAndActivate();
  table_->Go(2);

  Focus(edit);
  edit->selectAll();
  QTest::keyClicks(edit, "Omega");
  EXPECT_FALSE(edit->isReadOnly());
  EXPECT_EQ(DataSet()->State(), stEdit);

  Focus(memo);  // leaving the edit stored its text: the label shows it
  EXPECT_EQ(text->text(), "Omega");
  memo->moveCursor(QTextCursor::End);
  QTest::keyClick(memo, Qt::Key_Return);
  QTest::keyClicks(memo, "added");

  Focus(check);
  QTest::keyClick(check, Qt::Key_Space);  // unchecked -> checked
  EXPECT_EQ(check->checkState(), Qt::Checked);
  QTest::mouseClick(answer, Qt::LeftButton, Qt::NoModifier, QPoint(8, 10));  // "yes" -> "true"
  EXPECT_EQ(answer->checkState(), Qt::Checked);

  Focus(when);
  QTest::keyClick(when, Qt::Key_Home);
  QTest::keyClicks(when, "071489");  // over "01/02/03": the literals are stepped over
  EXPECT_EQ(when->text(), "07/14/89");

  ASSERT_TRUE(DataSet()->Post());
  EXPECT_EQ(DataSet()->State(), stBrowse);
  EXPECT_TRUE(edit->isReadOnly());
  EXPECT_TRUE(memo->isReadOnly());

  // Read back through a fresh component.
  OpenTable();
  table_->Go(2);
  EXPECT_EQ(DataSet()->FieldByName("name")->GetText(), "Omega");
  EXPECT_EQ(DataSet()->FieldByName("note")->GetLines(), (Lines{"caf\xE9 only", "added"}));
  EXPECT_TRUE(DataSet()->FieldByName("flag")->GetAsBoolean());
  EXPECT_EQ(DataSet()->FieldByName("answer")->GetText(), "true");
  EXPECT_EQ(DataSet()->FieldByName("when")->GetText(), "07/14/89");
  table_->Go(1);
  EXPECT_EQ(DataSet()->FieldByName("name")->GetText(), "Alpha") << "other records unchanged";
  EXPECT_EQ(Beeps(), 0u);
  EXPECT_TRUE(messages_.empty());
}

// The middle button pastes the primary selection of the services: the link goes into edit
// mode first, and the pasted text is posted like a typed one.
TEST_F(WenControlsTest, TheMiddleButtonPastesTheSelectionAndThePasteIsPosted) {
  OpenTable();
  auto* edit = Bound<TWenEdit>("name", {10, 10, 200, 24});
  auto* when = Bound<TWenEdit>("when", {10, 50, 100, 24});
  ShowAndActivate();
  table_->GoTop();
  EXPECT_TRUE(edit->isReadOnly());
  services_.set_selection_text(QString(" Zeta"));
  QTest::mouseClick(edit, Qt::MiddleButton, {}, QPoint(195, 12));
  EXPECT_EQ(edit->text(), "Alpha Zeta");
  EXPECT_EQ(DataSet()->State(), stEdit);
  services_.set_selection_text(QString("07/04"));
  QTest::mouseClick(when, Qt::MiddleButton, {}, QPoint(2, 12));
  EXPECT_EQ(when->text(), "07/04/99") << "through the date mask";
  Focus(edit);
  ASSERT_TRUE(DataSet()->Post());

  OpenTable();
  table_->GoTop();
  EXPECT_EQ(DataSet()->FieldByName("name")->GetText(), "Alpha Zeta");
  EXPECT_EQ(DataSet()->FieldByName("when")->GetText(), "07/04/99");
}

TEST_F(WenControlsTest, AnInvalidDateIsNotStoredAndKeepsTheFocusUntilEscape) {
  OpenTable();
  auto* when = Bound<TWenEdit>("when", {10, 10, 100, 24});
  auto* other = Bound<TWenEdit>("name", {10, 50, 200, 24});
  ShowAndActivate();
  table_->GoTop();
  Focus(when);
  QTest::keyClick(when, Qt::Key_Home);
  QTest::keyClicks(when, "13");
  EXPECT_EQ(when->text(), "13/31/99");
  EXPECT_EQ(DataSet()->State(), stEdit);

  services_.AnswerBox(platform::kResultOk,
                      "Invalid input value. Use Escape key to abandon changes");
  other->setFocus(Qt::TabFocusReason);
  EXPECT_TRUE(services_.ScriptDone());
  EXPECT_EQ(when->text(), "13/31/99") << "kept as typed";
  EXPECT_EQ(DataSet()->FieldByName("when")->GetText(), "12/31/99") << "not stored";
  QCoreApplication::processEvents();
  EXPECT_TRUE(when->hasFocus()) << "the focus comes back";

  QTest::keyClick(when, Qt::Key_Escape);
  EXPECT_EQ(when->text(), "12/31/99");
  other->setFocus(Qt::TabFocusReason);
  QCoreApplication::processEvents();
  EXPECT_TRUE(other->hasFocus());
  EXPECT_EQ(services_.CallsOf("MessageBox").size(), 1u);
  DataSet()->Cancel();
}

TEST_F(WenControlsTest, ATableOpenedReadOnlyIsNeverChangedThroughTheControls) {
  OpenTable(/*read_only=*/true);
  EXPECT_FALSE(DataSet()->CanModify());
  auto* edit = Bound<TWenEdit>("name", {10, 10, 200, 24});
  auto* when = Bound<TWenEdit>("when", {220, 10, 100, 24});
  auto* memo = Bound<TWenMemo>("note", {10, 50, 300, 100});
  auto* check = Bound<TWenCheckBox>("flag", {10, 160, 100, 20});
  ShowAndActivate();
  table_->GoTop();
  services_.SetClipboardText("pasted");
  services_.set_selection_text(QString("selected"));

  auto unchanged = [&](const char* step) {
    SCOPED_TRACE(step);
    EXPECT_EQ(edit->text(), "Alpha");
    EXPECT_EQ(when->text(), "12/31/99");
    EXPECT_EQ(memo->Text(), "first line\r\nsecond line");
    EXPECT_EQ(check->checkState(), Qt::Checked);
    EXPECT_EQ(DataSet()->State(), stBrowse);
    EXPECT_FALSE(edit->DataLink().Editing());
  };

  for (TWenEdit* e : {edit, when}) {
    Focus(e);
    e->setCursorPosition(1);
    QTest::keyClicks(e, "7x");
    QTest::keyClick(e, Qt::Key_Backspace);
    QTest::keyClick(e, Qt::Key_Delete);
    QTest::keyClick(e, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(e, Qt::Key_Insert, Qt::ShiftModifier);
    QTest::mouseClick(e, Qt::MiddleButton, {}, QPoint(2, 12));
    e->selectAll();
    QTest::keyClick(e, Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(e, Qt::Key_Delete);
    unchanged("edit");
    EXPECT_TRUE(e->isReadOnly());
  }

  Focus(memo);
  memo->moveCursor(QTextCursor::End);
  QTest::keyClicks(memo, "typed");
  QTest::keyClick(memo, Qt::Key_Return);
  QTest::keyClick(memo, Qt::Key_Backspace);
  QTest::keyClick(memo, Qt::Key_V, Qt::ControlModifier);
  memo->selectAll();
  QTest::keyClick(memo, Qt::Key_X, Qt::ControlModifier);
  QTest::keyClick(memo, Qt::Key_Delete);
  unchanged("memo");

  Focus(check);
  QTest::keyClick(check, Qt::Key_Space);
  QTest::mouseClick(check, Qt::LeftButton);
  unchanged("check box");

  Focus(edit);  // leaving stores nothing
  unchanged("after leaving");
  EXPECT_EQ(Beeps(), 0u);
  EXPECT_TRUE(messages_.empty());
  // Cut copied the selection; nothing else reached the services but the clipboard and the
  // primary selection.
  for (const auto& call : services_.calls()) {
    EXPECT_TRUE(call.kind == "SetClipboard" || call.kind == "Clipboard" || call.kind == "Selection")
        << call.kind;
  }
}

TEST_F(WenControlsTest, ARightAlignedEditIsLeftAlignedWhileFocused) {
  OpenTable();
  auto* num = Bound<TWenEdit>("num", {10, 10, 120, 24});
  num->SetAlignment(taRightJustify);
  auto* other = Bound<TWenEdit>("name", {10, 50, 120, 24});
  EXPECT_EQ(num->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
  ShowAndActivate();
  table_->GoTop();
  Focus(other);
  EXPECT_EQ(num->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
  Focus(num);
  EXPECT_TRUE(num->IsFocused());
  EXPECT_EQ(num->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
  Focus(other);
  EXPECT_FALSE(num->IsFocused());
  EXPECT_EQ(num->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
  num->SetAlignment(taCenter);
  EXPECT_EQ(num->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);

  // A masked edit paints left-aligned.
  auto* when = Bound<TWenEdit>("when");
  when->SetAlignment(taRightJustify);
  EXPECT_EQ(when->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
}

TEST_F(WenControlsTest, AMemoCarriesACaptionLabel) {
  auto* memo = new TWenMemo(window_.get());
  memo->SetName("QuestionMemo");
  memo->setGeometry(100, 40, 200, 80);
  EXPECT_EQ(memo->CaptionPos(), cpDetached);
  window_->show();  // moves of a hidden control arrive when it is shown
  memo->SetCaption("Question");
  QLabel* label = memo->CaptionLabel();
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->objectName(), "QuestionMemoCaption");
  EXPECT_EQ(memo->CaptionPos(), cpLeft);
  EXPECT_EQ(label->geometry().right() + 1, 100 - 4);
  EXPECT_EQ(label->y(), 44);
  memo->SetCaptionPos(cpTopLeft);
  EXPECT_EQ(label->x(), 100);
  EXPECT_EQ(label->y(), 40 - label->height() - 4);
  memo->move(120, 60);
  EXPECT_EQ(label->x(), 120);
  memo->SetName("Other");
  EXPECT_EQ(label->objectName(), "OtherCaption");
  memo->SetCaption("");
  EXPECT_EQ(memo->CaptionLabel(), nullptr);
  EXPECT_TRUE(memo->Caption().isEmpty());
}

TEST_F(WenControlsTest, AFreedDataSourceLeavesTheControlsUnbound) {
  OpenTable();
  auto* edit = Bound<TWenEdit>("name");
  auto* memo = Bound<TWenMemo>("note");
  auto* check = Bound<TWenCheckBox>("flag");
  auto* text = Bound<TWenText>("name");
  table_->GoTop();
  table_.reset();
  EXPECT_EQ(edit->DataSource(), nullptr);
  EXPECT_EQ(memo->DataSource(), nullptr);
  EXPECT_EQ(check->DataSource(), nullptr);
  EXPECT_EQ(text->DataSource(), nullptr);
  EXPECT_EQ(edit->GetField(), nullptr);
  EXPECT_TRUE(edit->text().isEmpty());
  EXPECT_TRUE(memo->Text().empty());
  EXPECT_EQ(check->checkState(), Qt::PartiallyChecked);
  EXPECT_TRUE(text->text().isEmpty());
  EXPECT_EQ(edit->DataField(), "name") << "the name stays for a new source";

  // A new source binds the same field names again.
  OpenTable();
  edit->SetDataSource(table_.get());
  EXPECT_EQ(edit->text(), "Alpha");
}

TEST_F(WenControlsTest, ControlsFreedBeforeTheirSourceLeaveIt) {
  OpenTable();
  auto* edit = Bound<TWenEdit>("name");
  auto* memo = Bound<TWenMemo>("note");
  auto* check = Bound<TWenCheckBox>("flag");
  auto* text = Bound<TWenText>("name");
  EXPECT_EQ(table_->DataLinks().size(), 4u);
  delete edit;
  delete memo;
  delete check;
  delete text;
  EXPECT_TRUE(table_->DataLinks().empty());
  table_->Go(2);
}

// ---- Under the Xvfb fixture ----

class X11WenControls : public WenControlsTest {};

TEST_F(X11WenControls, AWindowWithEveryBoundControlIsSaved) {
  OpenTable();
  window_->resize(460, 300);
  window_->setWindowTitle("Data-bound controls");
  QPalette palette = window_->palette();
  palette.setColor(QPalette::Window, platform::gui::ColorFromBgr(0x8000000F));
  window_->setPalette(palette);
  window_->setAutoFillBackground(true);
  window_->setFont(platform::gui::SansFont(8));

  auto* name = Bound<TWenEdit>("name");
  name->SetName("NameEdit");
  name->setGeometry(90, 12, 220, 22);
  name->SetCaption("Name");
  auto* num = Bound<TWenEdit>("num");
  num->SetName("NumEdit");
  num->setGeometry(90, 42, 120, 22);
  num->SetAlignment(taRightJustify);
  num->SetCaption("Number");
  auto* when = Bound<TWenEdit>("when");
  when->SetName("WhenEdit");
  when->setGeometry(300, 42, 100, 22);
  when->SetCaption("Date");
  auto* memo = Bound<TWenMemo>("note");
  memo->SetName("NoteMemo");
  memo->setGeometry(90, 74, 340, 90);
  memo->SetCaption("Note");
  auto* flag = Bound<TWenCheckBox>("flag");
  flag->setText("Flag");
  flag->setGeometry(90, 174, 120, 22);
  auto* grey = Bound<TWenCheckBox>("");
  grey->setText("No field");
  grey->setGeometry(220, 174, 120, 22);
  auto* text = Bound<TWenText>("name", {90, 206, 340, 20});
  auto* focus = new QLineEdit(window_.get());
  focus->setGeometry(90, 240, 120, 22);

  window_->show();
  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  table_->GoTop();
  focus->setFocus();
  QCoreApplication::processEvents();
  EXPECT_FALSE(num->IsFocused());
  EXPECT_EQ(grey->checkState(), Qt::PartiallyChecked);

  const QImage shot = window_->grab().toImage();
  const std::string path = testing_support::ArtefactDir() + "components_data_controls.png";
  ASSERT_TRUE(shot.save(QString::fromStdString(path)));

  // The right-aligned number is drawn at the right end of its edit.
  const QRect r = num->geometry();
  int left_dark = 0, right_dark = 0;
  for (int y = r.top() + 3; y < r.bottom() - 2; ++y) {
    for (int x = r.left() + 3; x < r.right() - 2; ++x) {
      if (shot.pixelColor(x, y).lightness() >= 100) continue;
      (x < r.center().x() ? left_dark : right_dark)++;
    }
  }
  EXPECT_EQ(left_dark, 0);
  EXPECT_GT(right_dark, 5);
  // The name and the label's text are drawn.
  int label_dark = 0;
  const QRect t = text->geometry();
  for (int y = t.top(); y <= t.bottom(); ++y)
    for (int x = t.left(); x <= t.right(); ++x)
      if (shot.pixelColor(x, y).lightness() < 100) ++label_dark;
  EXPECT_GT(label_dark, 20);
}

}  // namespace
}  // namespace components
