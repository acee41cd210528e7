// The masked edit, offscreen: every way the user changes the text goes through the mask (or
// through MaxLength without one), nothing changes when EditCanModify refuses, validation on
// exit and on Enter, and the caption label.
#include "components/gui/wen_mask_edit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QLabel>
#include <QMimeData>
#include <QPointer>
#include <QTest>
#include <QWidget>
#include <string>

#include "platform/core/halt.h"
#include "platform/core/locale_settings.h"
#include "platform/gui/test_services.h"

namespace components {
namespace {

const char kInvalidInput[] = "Invalid input value. Use Escape key to abandon changes.";

class TestMaskEdit : public TWenCustomMaskEdit {
 public:
  using TWenCustomMaskEdit::TWenCustomMaskEdit;
  bool can_modify = true;
  int asked = 0;
  int changes = 0;
  // The application delivers drops only during a drag; tests hand them over directly.
  void DeliverDrop(QDropEvent* event) { dropEvent(event); }

 protected:
  bool EditCanModify() override {
    ++asked;
    return can_modify;
  }
  void Change() override { ++changes; }
};

class WenMaskEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ResetLocaleSettings();
    window_.resize(320, 200);
    edit_ = new TestMaskEdit(&window_);
    edit_->setGeometry(100, 20, 120, 24);
    other_ = new QLineEdit(&window_);
    other_->setGeometry(100, 120, 120, 24);
    window_.show();
    window_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
    edit_->setFocus();
    QCoreApplication::processEvents();
    ASSERT_TRUE(edit_->hasFocus());
  }
  void TearDown() override { platform::ResetLocaleSettings(); }

  size_t Beeps() const { return services_.CallsOf("Beep").size(); }
  void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(edit_, key, mods);
  }
  void Commit(const QString& text) {
    QInputMethodEvent event;
    event.setCommitString(text);
    QCoreApplication::sendEvent(edit_, &event);
  }
  void Drop(const QString& text) {
    QMimeData mime;
    mime.setText(text);
    QDropEvent event(QPointF(2, 12), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    edit_->DeliverDrop(&event);
  }

  platform::gui::TestServices services_;
  QWidget window_;
  TestMaskEdit* edit_ = nullptr;
  QLineEdit* other_ = nullptr;
};

TEST_F(WenMaskEditTest, TypingGoesThroughTheMask) {
  edit_->SetEditMask("99/99/99;1;_");
  EXPECT_EQ(edit_->text(), "__/__/__");
  EXPECT_EQ(edit_->MaxLength(), 8);
  QTest::keyClicks(edit_, "1/5");
  EXPECT_EQ(edit_->text(), "1_/5_/__") << "a separator jumps to the next one";
  EXPECT_EQ(edit_->selectedText(), "_") << "the caret selects the character it replaces";
  QTest::keyClicks(edit_, "x");
  EXPECT_EQ(Beeps(), 1u);
  Key(Qt::Key_Home);
  QTest::keyClicks(edit_, "123199");
  EXPECT_EQ(edit_->text(), "12/31/99");
  EXPECT_EQ(edit_->GetText(), "12/31/99");
  EXPECT_TRUE(edit_->Modified());
  Key(Qt::Key_Backspace);
  Key(Qt::Key_Left);
  Key(Qt::Key_Left);
  EXPECT_EQ(edit_->text(), "12/31/9_");
  EXPECT_EQ(edit_->cursorPosition(), 4) << "over the literal";
  Key(Qt::Key_Backspace, Qt::ControlModifier);  // no word deletion: one position
  EXPECT_EQ(edit_->text(), "12/_1/9_");
  Key(Qt::Key_Delete, Qt::ControlModifier);
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(edit_->text(), "12/_1/9_") << "Qt's own editing keys change nothing";
  Key(Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(edit_->selectedText(), "_1");
  EXPECT_EQ(Beeps(), 1u);
}

TEST_F(WenMaskEditTest, TextsWrittenByCodeAreFormattedAndNeverCut) {
  edit_->SetEditMask("!99/99;0;_");
  edit_->changes = 0;
  edit_->setText("5");  // Qt's own setter is a text write as well
  EXPECT_EQ(edit_->text(), "__/_5");
  EXPECT_EQ(edit_->GetText(), "5");
  EXPECT_EQ(edit_->changes, 1);
  EXPECT_FALSE(edit_->Modified());
  edit_->SetEditMask("99;0;_");
  edit_->SetText("12345");
  EXPECT_EQ(edit_->text(), "12345");
  EXPECT_EQ(edit_->GetText(), "12345");

  // Without a mask, MaxLength limits what the user enters, not what code writes.
  edit_->SetEditMask("");
  edit_->SetMaxLength(3);
  edit_->SetText("abcdef");
  EXPECT_EQ(edit_->text(), "abcdef");
  edit_->end(false);
  QTest::keyClicks(edit_, "g");
  EXPECT_EQ(edit_->text(), "abcdef");
  edit_->selectAll();
  QTest::keyClicks(edit_, "wxyz");
  EXPECT_EQ(edit_->text(), "wxy");
  edit_->clear();
  services_.SetClipboardText("12345\nsecond line");
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(edit_->text(), "123");
  edit_->SetMaxLength(0);
  edit_->clear();
  Key(Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_EQ(edit_->text(), "12345") << "a single line takes the first line";
  Commit(QString::fromUtf8("\u00e9t\u00e9"));
  EXPECT_EQ(edit_->text(), QString::fromUtf8("12345\u00e9t\u00e9"));
  EXPECT_EQ(Beeps(), 0u);
}

TEST_F(WenMaskEditTest, NothingChangesWhenEditCanModifyRefuses) {
  for (const char* mask : {"999;0;_", ""}) {
    SCOPED_TRACE(*mask ? "masked" : "plain");
    edit_->SetEditMask(mask);
    edit_->SetText("123");
    edit_->can_modify = false;
    edit_->asked = 0;
    services_.SetClipboardText("9");
    edit_->setCursorPosition(1);
    QTest::keyClicks(edit_, "5");
    Key(Qt::Key_Delete);
    Key(Qt::Key_Backspace);
    Key(Qt::Key_V, Qt::ControlModifier);
    Key(Qt::Key_Insert, Qt::ShiftModifier);
    Key(Qt::Key_Z, Qt::ControlModifier);
    Key(Qt::Key_Backspace, Qt::ControlModifier);
    Key(Qt::Key_Delete, Qt::ControlModifier);
    Commit("7");
    Drop("8");
    edit_->selectAll();
    Key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(edit_->text(), "123");
    EXPECT_EQ(edit_->GetText(), "123");
    EXPECT_FALSE(edit_->Modified());
    EXPECT_GE(edit_->asked, 8);
    EXPECT_EQ(Beeps(), 0u);
    EXPECT_EQ(services_.ClipboardText(), "123") << "a refused cut still copies";
    edit_->can_modify = true;
  }

  // A read-only edit is not even asked.
  edit_->SetEditMask("999;0;_");
  edit_->setReadOnly(true);
  edit_->asked = 0;
  QTest::keyClicks(edit_, "5");
  Key(Qt::Key_Delete);
  EXPECT_EQ(edit_->text(), "123");
  EXPECT_EQ(edit_->asked, 0);
  EXPECT_EQ(Beeps(), 0u);
}

TEST_F(WenMaskEditTest, ClipboardInputMethodsAndDrops) {
  edit_->SetEditMask("99/99/99;1;_");
  Key(Qt::Key_Home);
  services_.SetClipboardText("12x45");
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(edit_->text(), "12/45/__") << "checked position by position";
  edit_->selectAll();
  Key(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(services_.ClipboardText(), "12/45/__");
  edit_->setSelection(3, 2);
  Key(Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(services_.ClipboardText(), "45");
  EXPECT_EQ(edit_->text(), "12/__/__");

  Key(Qt::Key_Home);
  Commit("9a8");
  EXPECT_EQ(edit_->text(), "98/__/__") << "composed text is typed";
  EXPECT_EQ(Beeps(), 1u);
  Drop("01/01");
  EXPECT_EQ(edit_->text(), "01/01/__") << "a drop pastes where it lands";
  EXPECT_TRUE(edit_->Modified());
}

// The middle button pastes the primary selection that the services give, where it clicks,
// through the same checks as any paste.
TEST_F(WenMaskEditTest, TheMiddleButtonPastesTheSelectionOfTheServices) {
  auto middle_click = [&](int x) { QTest::mouseClick(edit_, Qt::MiddleButton, {}, QPoint(x, 12)); };
  edit_->SetEditMask("99/99/99;1;_");
  services_.set_selection_text(QString("12/34"));
  middle_click(2);
  EXPECT_EQ(edit_->text(), "12/34/__");
  EXPECT_TRUE(edit_->Modified());
  EXPECT_EQ(services_.CallsOf("Selection").size(), 1u);

  edit_->SetEditMask("");
  edit_->SetText("xy");
  services_.set_selection_text(QString("ab\ncd"));
  middle_click(118);
  EXPECT_EQ(edit_->text(), "xyab") << "a plain edit takes the first line at the click";

  // No selection on the platform, a refusing EditCanModify, a read-only edit: no change.
  services_.set_selection_text(std::nullopt);
  middle_click(2);
  services_.set_selection_text(QString("zz"));
  edit_->can_modify = false;
  middle_click(2);
  edit_->can_modify = true;
  edit_->setReadOnly(true);
  edit_->asked = 0;
  middle_click(2);
  EXPECT_EQ(edit_->text(), "xyab");
  EXPECT_EQ(edit_->asked, 0);
}

TEST_F(WenMaskEditTest, AFailedValidationOnExitTakesTheFocusBack) {
  platform::Locale().ShortDateFormat = "MM/dd/yy";
  edit_->SetEditMaskStyle(dBaseStyle);
  edit_->SetEditMask("@D");
  EXPECT_EQ(edit_->text(), "__/__/__");
  other_->setFocus();
  edit_->setFocus();  // the old value is taken on entry
  QTest::keyClicks(edit_, "133199");
  EXPECT_EQ(edit_->text(), "13/31/99");

  services_.AnswerBox(platform::kResultOk, kInvalidInput);
  other_->setFocus();
  ASSERT_EQ(services_.CallsOf("MessageBox").size(), 1u);
  EXPECT_EQ(services_.CallsOf("MessageBox")[0].args[2].toInt(), platform::kIconStop);
  EXPECT_EQ(Beeps(), 1u);
  EXPECT_TRUE(services_.ScriptDone());
  QCoreApplication::processEvents();
  EXPECT_TRUE(edit_->hasFocus()) << "a queued call takes the focus back";
  EXPECT_EQ(edit_->cursorPosition(), 0);
  EXPECT_EQ(edit_->selectedText(), "1");

  // Re-entering kept the old value: Escape abandons the changes, and the exit is free.
  Key(Qt::Key_Escape);
  EXPECT_EQ(edit_->text(), "__/__/__");
  EXPECT_FALSE(edit_->Modified());
  other_->setFocus();
  EXPECT_EQ(services_.CallsOf("MessageBox").size(), 1u);

  // A valid date leaves without a word.
  edit_->setFocus();
  QTest::keyClicks(edit_, "123199");
  other_->setFocus();
  QCoreApplication::processEvents();
  EXPECT_TRUE(other_->hasFocus());
  EXPECT_EQ(edit_->GetText(), "12/31/99");
  EXPECT_EQ(services_.CallsOf("MessageBox").size(), 1u);
}

TEST_F(WenMaskEditTest, EnterValidates) {
  edit_->SetEditMask("000;0;_");
  QTest::keyClicks(edit_, "1");
  services_.AnswerBox(platform::kResultOk, kInvalidInput);
  Key(Qt::Key_Return);
  EXPECT_TRUE(services_.ScriptDone());
  EXPECT_TRUE(edit_->hasFocus());
  EXPECT_EQ(edit_->cursorPosition(), 1) << "at the first failing position";
  QTest::keyClicks(edit_, "23");
  Key(Qt::Key_Return);
  EXPECT_EQ(edit_->GetText(), "123");
  EXPECT_EQ(services_.CallsOf("MessageBox").size(), 1u);
  QCoreApplication::processEvents();
  EXPECT_TRUE(edit_->hasFocus());
}

TEST_F(WenMaskEditTest, MultipleChoiceAndZero) {
  edit_->SetEditMaskStyle(dBaseStyle);
  edit_->SetEditMask("@M Yes;No");
  EXPECT_EQ(edit_->text(), " Yes");
  Key(Qt::Key_Space);
  EXPECT_EQ(edit_->GetText(), "No");
  QTest::keyClicks(edit_, "Yes");
  services_.SetClipboardText("Yes");
  Key(Qt::Key_V, Qt::ControlModifier);
  Key(Qt::Key_Insert, Qt::ShiftModifier);
  Key(Qt::Key_Delete);
  Key(Qt::Key_Backspace);
  EXPECT_EQ(edit_->text(), "No");
  Key(Qt::Key_Space);
  EXPECT_EQ(edit_->text(), " Yes");
  EXPECT_EQ(Beeps(), 0u);

  other_->setFocus();
  edit_->SetEditMask("@Z 999");
  edit_->SetText("0");
  EXPECT_EQ(edit_->text(), "0__");
  edit_->setFocus();
  EXPECT_EQ(edit_->text(), "___") << "a zero is blanked on entry";
  EXPECT_FALSE(edit_->Modified());
}

TEST_F(WenMaskEditTest, CaptionLabel) {
  edit_->SetName("Amount");
  EXPECT_EQ(edit_->Caption(), "");
  edit_->SetCaption("Amount:");
  QPointer<QLabel> label = edit_->CaptionLabel();
  ASSERT_TRUE(label);
  EXPECT_EQ(label->objectName(), "AmountCaption");
  EXPECT_EQ(label->parentWidget(), &window_);
  EXPECT_TRUE(label->isVisible());
  EXPECT_EQ(edit_->CaptionPos(), cpLeft) << "a new label leaves the detached position";
  EXPECT_EQ(label->x() + label->width(), 96) << "it ends 4 pixels left of the edit";
  EXPECT_EQ(label->y(), 24);
  EXPECT_TRUE(label->alignment() & Qt::AlignRight);

  edit_->setGeometry(150, 60, 100, 24);
  EXPECT_EQ(label->x() + label->width(), 146);
  EXPECT_EQ(label->y(), 64);
  edit_->SetCaptionPos(cpBottomLeft);
  EXPECT_EQ(label->pos(), QPoint(150, 88));
  edit_->SetCaption("A much longer caption");
  edit_->SetCaptionPos(cpTopRight);
  EXPECT_EQ(label->x() + label->width(), 250);
  EXPECT_EQ(label->y(), 60 - label->height() - 4);
  edit_->SetName("Price");
  EXPECT_EQ(label->objectName(), "PriceCaption");
  edit_->SetCaption("<b>plain</b>");
  EXPECT_EQ(label->textFormat(), Qt::PlainText);
  edit_->SetCaption("");
  EXPECT_FALSE(label);
  EXPECT_EQ(edit_->CaptionLabel(), nullptr);

  // A label of that name on the window is taken over.
  auto* panel = new QWidget(&window_);
  auto* existing = new QLabel("old", panel);
  existing->setObjectName("QtyCaption");
  existing->move(5, 5);
  edit_->SetName("Qty");
  edit_->SetCaption("Qty");
  EXPECT_EQ(edit_->CaptionLabel(), existing);
  EXPECT_EQ(existing->text(), "Qty");
  EXPECT_EQ(edit_->CaptionPos(), cpTopRight);
  EXPECT_EQ(existing->parentWidget(), &window_) << "placed beside the edit, on its parent";
}

}  // namespace
}  // namespace components
