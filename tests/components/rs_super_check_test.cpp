// The check button, offscreen: groups among siblings, clicks, keys, focus, auto-size and what
// the box looks like, probed on grabbed pixels in a fixed font.
#include "components/gui/rs_super_check.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <QWidget>
#include <string>
#include <vector>

#include "platform/gui/text.h"

namespace components {
namespace {

using platform::gui::SansFontPixels;

const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);
const QColor kShadow(128, 128, 128);
const QColor kAqua(0, 255, 255);

bool Near(const QColor& a, const QColor& b, int tolerance = 40) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

bool ColorNear(const QImage& image, int x, int y, const QColor& color, int radius = 1) {
  for (int dy = -radius; dy <= radius; ++dy) {
    for (int dx = -radius; dx <= radius; ++dx) {
      const QPoint p(x + dx, y + dy);
      if (image.rect().contains(p) && Near(image.pixelColor(p), color)) return true;
    }
  }
  return false;
}

class RsSuperCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.resize(300, 200);
    window_.setFont(SansFontPixels(11));
    panel_ = new QWidget(&window_);
    panel_->setGeometry(0, 0, 150, 200);
    other_panel_ = new QWidget(&window_);
    other_panel_->setGeometry(150, 0, 150, 200);
  }

  // A control on parent with a caption and a group, logging its OnChange and OnClick.
  TrsSuperCheck* Make(QWidget* parent, const std::string& caption, int16_t group, int y) {
    auto* check = new TrsSuperCheck(parent);
    check->move(5, y);
    check->SetCaption(caption);
    check->SetGroupID(group);
    check->OnChange = [this](TrsSuperCheck* sender) {
      log_.push_back(sender->Caption() + (sender->Checked() ? "+" : "-"));
    };
    check->OnClick = [this](TrsSuperCheck* sender) {
      log_.push_back(sender->Caption() + " click");
    };
    return check;
  }

  void ShowActive() {
    window_.show();
    window_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
  }

  QImage Shot(QWidget* w) {
    QCoreApplication::processEvents();
    return w->grab().toImage();
  }

  QWidget window_;
  QWidget* panel_;
  QWidget* other_panel_;
  std::vector<std::string> log_;
};

TEST_F(RsSuperCheckTest, AGroupIsTheSiblingsWithTheSamePositiveGroupID) {
  TrsSuperCheck* a = Make(panel_, "A", 1, 0);
  TrsSuperCheck* b = Make(panel_, "B", 1, 20);
  TrsSuperCheck* c = Make(panel_, "C", 0, 40);
  TrsSuperCheck* d = Make(panel_, "D", 0, 60);
  TrsSuperCheck* e = Make(other_panel_, "E", 1, 0);
  a->SetChecked(true);
  c->SetChecked(true);
  e->SetChecked(true);
  log_.clear();
  b->SetChecked(true);
  EXPECT_EQ(log_, (std::vector<std::string>{"A-", "B+"})) << "the first's change comes first";
  EXPECT_FALSE(a->Checked());
  EXPECT_TRUE(e->Checked()) << "another parent";
  d->SetChecked(true);
  EXPECT_TRUE(c->Checked()) << "group 0 is no group";
  log_.clear();
  b->SetChecked(true);
  EXPECT_EQ(log_, (std::vector<std::string>{"B+"})) << "every store reports a change";
  // Joining the group while checked clears the rest of it.
  c->SetGroupID(1);
  EXPECT_FALSE(b->Checked());
  EXPECT_TRUE(c->Checked());
  // A control without a parent is a group of its own.
  TrsSuperCheck alone;
  alone.SetGroupID(1);
  alone.SetChecked(true);
  EXPECT_TRUE(alone.Checked());
  EXPECT_TRUE(c->Checked());
}

TEST_F(RsSuperCheckTest, ClicksSpaceAndEnter) {
  TrsSuperCheck* a = Make(panel_, "A", 1, 0);
  TrsSuperCheck* b = Make(panel_, "B", 1, 20);
  auto* edit = new QLineEdit(panel_);
  edit->move(5, 60);
  ShowActive();
  QTest::mouseClick(a, Qt::LeftButton, Qt::NoModifier, QPoint(3, 7));
  EXPECT_TRUE(a->hasFocus()) << "a click takes the focus";
  EXPECT_EQ(log_, (std::vector<std::string>{"A+", "A click"}));
  log_.clear();
  QTest::mouseClick(a, Qt::LeftButton, Qt::NoModifier, QPoint(3, 7));
  EXPECT_FALSE(a->Checked());

  a->SetGroupCanUnChk(false);
  a->SetChecked(true);
  log_.clear();
  QTest::mouseClick(a, Qt::LeftButton, Qt::NoModifier, QPoint(3, 7));
  EXPECT_TRUE(a->Checked()) << "radio behaviour";
  EXPECT_EQ(log_, (std::vector<std::string>{"A click"}));

  std::vector<char> keys;
  b->OnKeyPress = [&](TrsSuperCheck*, char& key) { keys.push_back(key); };
  b->setFocus();
  log_.clear();
  QTest::keyClick(b, Qt::Key_Space);
  EXPECT_TRUE(b->Checked());
  EXPECT_FALSE(a->Checked());
  EXPECT_EQ(log_, (std::vector<std::string>{"A-", "B+", "B click"}));
  QTest::keyClick(b, Qt::Key_X);
  EXPECT_EQ(keys, (std::vector<char>{' ', 'x'})) << "Space reaches OnKeyPress too";
  QTest::keyClick(b, Qt::Key_Return);
  EXPECT_TRUE(edit->hasFocus()) << "Enter moves to the next control";
  EXPECT_EQ(keys.size(), 2u) << "Enter is consumed";
}

TEST_F(RsSuperCheckTest, FocusFillAutoCheckAndTheAccelerator) {
  TrsSuperCheck* a = Make(panel_, "&Apples", 0, 0);
  TrsSuperCheck* b = Make(panel_, "&Bananas", 0, 20);
  b->SetLocator(TrsCheckModel::loFill);
  b->SetAutoCheck(true);
  ShowActive();
  a->setFocus();
  b->SetColorFace(0x0000FF);  // changed before the focus comes: the fill returns to white
  QTest::keyClick(&window_, Qt::Key_B, Qt::AltModifier);
  ASSERT_TRUE(b->hasFocus()) << "the accelerator takes the focus";
  EXPECT_TRUE(b->Checked()) << "AutoCheck on focus";
  EXPECT_EQ(b->ColorFace(), b->LocColor());
  EXPECT_TRUE(Near(Shot(b).pixelColor(6, 3), kAqua)) << "the face, above the mark";
  QTest::keyClick(&window_, Qt::Key_A, Qt::AltModifier);
  EXPECT_TRUE(a->hasFocus());
  EXPECT_FALSE(a->Checked()) << "the accelerator does not click";
  EXPECT_EQ(b->ColorFace(), 0xFFFFFFu) << "the colour saved when it was made";

  // A click on an unfocused AutoCheck control checks it: the focus does, the click does not
  // undo it.
  b->SetChecked(false);
  QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, QPoint(3, 7));
  EXPECT_TRUE(b->hasFocus());
  EXPECT_TRUE(b->Checked());
  QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, QPoint(3, 7));
  EXPECT_FALSE(b->Checked()) << "focused already: a plain click";
}

TEST_F(RsSuperCheckTest, AutoSizeFitsTheCaption) {
  TrsSuperCheck* a = Make(panel_, "A.", 0, 0);
  const QFontMetrics fm(a->font());
  EXPECT_EQ(a->height(), fm.height() + 2);
  EXPECT_EQ(a->width(), fm.horizontalAdvance("A.") + fm.height() + 6);
  a->SetCaption("&&Co");  // "&&" is one "&"
  EXPECT_EQ(a->width(), fm.horizontalAdvance("&Co") + fm.height() + 6);
  TrsSuperCheck* empty = Make(panel_, "", 0, 40);
  EXPECT_EQ(empty->size(), QSize(97, 15));
  TrsSuperCheck* fixed = Make(panel_, "", 0, 60);
  fixed->SetAutoSizeText(false);
  fixed->SetCaption("A much longer caption");
  EXPECT_EQ(fixed->size(), QSize(97, 15));
}

// The 13-pixel box at x = 0, y = (15 - 13) / 2 = 1: rings at 0 and 1, the marks in the box
// shrunk by 4 (4 ... 8 across, 5 ... 9 down).
TEST_F(RsSuperCheckTest, BoxesAndMarksStandWhereTheyAreDrawn) {
  TrsSuperCheck* a = Make(panel_, "A.", 0, 0);
  ASSERT_EQ(a->height(), 15);  // not shown: no focus rectangle
  struct Probe {
    int x, y;
  };
  struct Case {
    TrsCheckModel::TCheckStyle style;
    bool checked;
    std::vector<Probe> dark;
    std::vector<Probe> clear;
    const char* name;
  };
  const Case cases[] = {
      {TrsCheckModel::csSquareX, true, {{6, 7}, {4, 5}, {8, 5}}, {{6, 4}, {3, 7}}, "cross"},
      {TrsCheckModel::csSquareCheck, true, {{4, 8}, {6, 7}, {8, 5}}, {{8, 9}, {6, 4}}, "tick"},
      {TrsCheckModel::csSquareX, false, {}, {{6, 7}, {4, 5}}, "unchecked"},
      {TrsCheckModel::csRound, true, {{6, 7}}, {{6, 3}}, "dot"},
      {TrsCheckModel::csRound, false, {}, {{6, 7}}, "empty circle"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    a->SetCheckStyle(c.style);
    a->SetChecked(c.checked);
    const QImage shot = Shot(a);
    for (const Probe& p : c.dark)
      EXPECT_TRUE(ColorNear(shot, p.x, p.y, kBlack)) << p.x << "," << p.y;
    for (const Probe& p : c.clear)
      EXPECT_TRUE(Near(shot.pixelColor(p.x, p.y), kWhite)) << p.x << "," << p.y;
    if (c.style == TrsCheckModel::csRound) {
      EXPECT_TRUE(ColorNear(shot, 2, 3, kShadow)) << "the upper-left ring is shadowed";
    } else {
      EXPECT_TRUE(Near(shot.pixelColor(0, 7), kShadow));
      EXPECT_TRUE(Near(shot.pixelColor(1, 7), kBlack));
      EXPECT_TRUE(Near(shot.pixelColor(12, 7), kWhite));
    }
    // The caption right of the box.
    int ink = 0;
    for (int y = 0; y < shot.height(); ++y)
      for (int x = 17; x < shot.width(); ++x) ink += shot.pixelColor(x, y).lightness() < 100;
    EXPECT_GT(ink, 5);
  }
  // The mark's colour, and the box at the right with any other alignment.
  a->SetCheckStyle(TrsCheckModel::csSquareX);
  a->SetChecked(true);
  a->SetColorCheck(0x0000FF);
  a->SetAlignment(TrsCheckModel::taLeftJustify);
  const QImage shot = Shot(a);
  const int box = a->width() - 13;
  EXPECT_TRUE(ColorNear(shot, box + 6, 7, QColor(255, 0, 0)));
  EXPECT_TRUE(Near(shot.pixelColor(box, 3), kShadow));
}

}  // namespace
}  // namespace components
