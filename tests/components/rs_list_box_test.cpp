// The check list box and its header, offscreen: clicks, keys, flags, and what the lines look
// like, probed on grabbed pixels in a fixed font.
#include "components/gui/rs_list_box.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <string>
#include <vector>

#include "components/gui/rs_super_check.h"
#include "platform/gui/text.h"
#include "tests/support/qt_test_main.h"

namespace components {
namespace {

using platform::gui::SansFontPixels;

const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);
const QColor kShadow(128, 128, 128);
const QColor kFace(192, 192, 192);
const QColor kNavy(0, 0, 128);  // clHighlight
const QColor kGreen(0, 128, 0);
const QColor kRed(255, 0, 0);

bool Near(const QColor& a, const QColor& b, int tolerance = 40) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

// Whether a pixel of colour lies within radius of (x, y): a stroke centre with a tolerance.
bool ColorNear(const QImage& image, int x, int y, const QColor& color, int radius = 1) {
  for (int dy = -radius; dy <= radius; ++dy) {
    for (int dx = -radius; dx <= radius; ++dx) {
      const QPoint p(x + dx, y + dy);
      if (image.rect().contains(p) && Near(image.pixelColor(p), color)) return true;
    }
  }
  return false;
}

// Pixels of colour in a rectangle.
int CountColor(const QImage& image, const QRect& area, const QColor& color, int tolerance = 60) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (image.rect().contains(x, y) && Near(image.pixelColor(x, y), color, tolerance)) ++n;
    }
  }
  return n;
}

// A shown window with a loaded check list of three lines, 13 pixels high.
class RsListBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.resize(320, 240);
    list_ = new TrsListBox(&window_);
    list_->setFont(SansFontPixels(11));
    list_->setGeometry(10, 10, 220, 120);
    list_->SetListStyle(TrsListModel::lsCheckbox);
    list_->SetItemHeight(13);
    list_->SetItems({"First", "Second", "Third"});
    list_->Loaded();
    window_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
  }

  // Clicks the viewport at x in the middle of line row.
  void ClickLine(int row, int x) {
    const int y = row * list_->ItemHeight() + list_->ItemHeight() / 2;
    QTest::mouseClick(list_->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
  }

  std::vector<bool> Flags() const {
    std::vector<bool> out;
    for (int i = 0; i < list_->Count(); ++i) out.push_back(list_->Checked(i));
    return out;
  }

  QImage Shot() {
    QCoreApplication::processEvents();
    return list_->viewport()->grab().toImage();
  }

  QWidget window_;
  TrsListBox* list_;
};

TEST_F(RsListBoxTest, AClickSelectsThenTogglesInTheBoxAreaThenReportsTheClick) {
  struct Case {
    bool auto_check;
    int x;
    bool toggles;
    const char* name;
  };
  const Case cases[] = {
      {false, 17, true, "ItemHeight + 4 is still the box area"},
      {false, 18, false, "one pixel further only selects"},
      {false, 0, true, "the left edge"},
      {true, 150, true, "AutoCheck: anywhere on the line"},
  };
  int row = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    list_->SetAutoCheck(c.auto_check);
    list_->UncheckAll();
    list_->SetItemIndex(-1);
    std::vector<std::pair<int, bool>> seen;  // ItemIndex and flag when OnClick runs
    list_->OnClick = [&](TrsListBox* sender) {
      EXPECT_EQ(sender, list_);
      seen.push_back({sender->ItemIndex(), sender->Checked(row)});
    };
    ClickLine(row, c.x);
    EXPECT_EQ(list_->ItemIndex(), row);
    EXPECT_EQ(list_->Checked(row), c.toggles);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], (std::pair<int, bool>{row, c.toggles})) << "selected and toggled first";
    row = (row + 1) % list_->Count();
  }
  // A click below the last line selects nothing and toggles nothing.
  list_->UncheckAll();
  int clicks = 0;
  list_->OnClick = [&](TrsListBox*) { ++clicks; };
  ClickLine(5, 5);
  EXPECT_EQ(Flags(), (std::vector<bool>{false, false, false}));
  EXPECT_EQ(clicks, 0);
}

TEST_F(RsListBoxTest, AHandlerThatClearsTheSelectionDoesNotStopTheToggle) {
  list_->OnClick = [](TrsListBox* sender) { sender->SetItemIndex(-1); };
  ClickLine(1, 5);
  EXPECT_EQ(list_->ItemIndex(), -1);
  EXPECT_TRUE(list_->selectedItems().isEmpty());
  EXPECT_EQ(Flags(), (std::vector<bool>{false, true, false}));
}

TEST_F(RsListBoxTest, MultiCheckOffKeepsOneLineCheckedAndSpaceToggles) {
  list_->SetMultiCheck(false);
  list_->SetChecked(0, true);
  list_->SetChecked(2, true);
  ClickLine(2, 5);  // a checked line stays checked, every other one clears
  EXPECT_EQ(Flags(), (std::vector<bool>{false, false, true}));
  ClickLine(1, 5);
  EXPECT_EQ(Flags(), (std::vector<bool>{false, true, false}));

  list_->SetMultiCheck(true);
  list_->setFocus();
  int clicks = 0;
  list_->OnClick = [&](TrsListBox*) { ++clicks; };
  QTest::keyClick(list_, Qt::Key_Space);
  EXPECT_EQ(Flags(), (std::vector<bool>{false, false, false}));
  QTest::keyClick(list_, Qt::Key_Down);  // the list's own handling moves the line: a click
  EXPECT_EQ(list_->ItemIndex(), 2);
  EXPECT_EQ(clicks, 1);
  QTest::keyClick(list_, Qt::Key_Space);
  EXPECT_EQ(Flags(), (std::vector<bool>{false, false, true}));
  EXPECT_EQ(clicks, 1) << "Space toggles without a click";
  list_->SetItemIndex(-1);
  QTest::keyClick(list_, Qt::Key_Space);
  EXPECT_EQ(Flags(), (std::vector<bool>{false, false, true})) << "no current line: nothing";
}

// Space goes to OnKeyDown and OnKeyPress, then to the list's own handling (which searches for
// a line starting with a blank), and only then toggles: the line current after that one.
TEST_F(RsListBoxTest, SpaceRunsTheKeyEventsAndTheListsOwnHandlingThenToggles) {
  list_->SetItems({"First", " blank first", "Third"});
  list_->SetItemIndex(0);
  list_->setFocus();
  std::vector<std::string> log;
  list_->OnKeyDown = [&](TrsListBox* sender, int& key, TShiftState shift) {
    EXPECT_EQ(sender, list_);
    log.push_back("down " + std::to_string(key) + " shift " + std::to_string(shift));
  };
  list_->OnKeyPress = [&](TrsListBox*, char& key) {
    log.push_back(std::string("press '") + key + "' line " + std::to_string(list_->ItemIndex()) +
                  (list_->Checked(1) ? " checked" : " unchecked"));
  };
  list_->OnKeyUp = [&](TrsListBox*, int& key, TShiftState) {
    log.push_back("up " + std::to_string(key));
  };
  QTest::keyClick(list_, Qt::Key_Space);
  EXPECT_EQ(list_->ItemIndex(), 1) << "the list's own handling moved the line";
  EXPECT_EQ(Flags(), (std::vector<bool>{false, true, false}));
  const std::string space = std::to_string(Qt::Key_Space);
  EXPECT_EQ(log, (std::vector<std::string>{"down " + space + " shift 0",
                                           "press ' ' line 0 unchecked", "up " + space}));

  // Keys without a character reach OnKeyDown only; Shift shows in the shift state.
  log.clear();
  QTest::keyClick(list_, Qt::Key_Down, Qt::ShiftModifier);
  const std::string down =
      "down " + std::to_string(Qt::Key_Down) + " shift " + std::to_string(ssShift);
  EXPECT_NE(std::find(log.begin(), log.end(), down), log.end());
  for (const std::string& entry : log) EXPECT_NE(entry.rfind("press", 0), 0u) << entry;

  // A handler that swallows the key stops the list's handling and the toggle.
  list_->SetItemIndex(0);
  list_->OnKeyUp = nullptr;
  list_->OnKeyPress = [](TrsListBox*, char& key) { key = '\0'; };
  QTest::keyClick(list_, Qt::Key_Space);
  EXPECT_EQ(list_->ItemIndex(), 0);
  EXPECT_EQ(Flags(), (std::vector<bool>{false, true, false}));
  list_->OnKeyPress = nullptr;
  list_->OnKeyDown = [](TrsListBox*, int& key, TShiftState) { key = 0; };
  QTest::keyClick(list_, Qt::Key_Space);
  EXPECT_EQ(Flags(), (std::vector<bool>{false, true, false}));
  // A handler may type another character: "x" made a Space toggles.
  list_->OnKeyDown = nullptr;
  list_->OnKeyPress = [](TrsListBox*, char& key) {
    if (key == 'x') key = ' ';
  };
  list_->SetItemIndex(2);
  QTest::keyClick(list_, Qt::Key_X);
  EXPECT_EQ(Flags(), (std::vector<bool>{false, true, true}));
}

TEST_F(RsListBoxTest, MouseEventsFireAfterTheSelectionAndBeforeTheToggle) {
  std::vector<std::string> log;
  const auto record = [&](const char* what) {
    return [&, what](TrsListBox* sender, TMouseButton button, TShiftState shift, int x, int y) {
      EXPECT_EQ(sender, list_);
      log.push_back(std::string(what) + " " + std::to_string(button) + " shift " +
                    std::to_string(shift) + " at " + std::to_string(x) + "," + std::to_string(y) +
                    " line " + std::to_string(list_->ItemIndex()) +
                    (list_->Checked(1) ? " checked" : " unchecked"));
    };
  };
  list_->OnMouseDown = record("down");
  list_->OnMouseUp = record("up");
  list_->OnClick = [&](TrsListBox*) { log.push_back("click"); };
  list_->OnMouseMove = [&](TrsListBox*, TShiftState shift, int x, int y) {
    log.push_back("move shift " + std::to_string(shift) + " at " + std::to_string(x) + "," +
                  std::to_string(y));
  };
  const int y = list_->ItemHeight() + list_->ItemHeight() / 2;  // line 1
  QTest::mouseMove(list_->viewport(), QPoint(30, y));
  QTest::mouseClick(list_->viewport(), Qt::LeftButton, Qt::ControlModifier, QPoint(5, y));
  const std::string at = "," + std::to_string(y);
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log[0], "move shift 0 at 30" + at);
  EXPECT_EQ(log[1],
            "down 0 shift " + std::to_string(ssCtrl | ssLeft) + " at 5" + at + " line 1 unchecked");
  EXPECT_EQ(log[2], "click");
  EXPECT_EQ(log[3], "up 0 shift " + std::to_string(ssCtrl) + " at 5" + at + " line 1 checked");
  EXPECT_TRUE(list_->Checked(1));

  // The right button: the events, no toggle, no click.
  log.clear();
  QTest::mouseClick(list_->viewport(), Qt::RightButton, Qt::NoModifier, QPoint(5, y));
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], "down 1 shift " + std::to_string(ssRight) + " at 5" + at + " line 1 checked");
  EXPECT_EQ(log[1], "up 1 shift 0 at 5" + at + " line 1 checked");
  EXPECT_TRUE(list_->Checked(1));
}

// A list made in code whose maker never calls Loaded leaves its loading state when shown: its
// flags work, and a late Loaded changes nothing.
TEST(RsListBoxLoading, AListMadeInCodeEndsItsLoadingWhenFirstShown) {
  QWidget window;
  window.resize(200, 120);
  auto* list = new TrsListBox(&window);
  list->setGeometry(5, 5, 150, 100);
  list->SetListStyle(TrsListModel::lsCheckbox);
  list->SetItems({"One", "Two"});
  list->SetChecked(1, true);
  EXPECT_TRUE(list->Model().Loading());
  EXPECT_FALSE(list->Checked(1)) << "no flags while loading";
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_FALSE(list->Model().Loading());
  list->SetChecked(1, true);
  EXPECT_TRUE(list->Checked(1));
  list->Loaded();
  EXPECT_TRUE(list->Checked(1)) << "loading ends once";
  list->AddItem("Three");
  EXPECT_EQ(list->Count(), 3);
  EXPECT_FALSE(list->Checked(2));
}

TEST_F(RsListBoxTest, FlagsFollowTheLinesAndTheRowsStayInStep) {
  list_->SetChecked(0, true);
  list_->SetChecked(2, true);
  EXPECT_EQ(list_->InsertItem(3, "Fourth"), 3) << "the end position appends";
  EXPECT_EQ(Flags(), (std::vector<bool>{true, false, true, false}));
  EXPECT_EQ(list_->InsertItem(-1, "Fifth"), 4);
  EXPECT_EQ(list_->InsertItem(7, "Nowhere"), -1);
  EXPECT_EQ(list_->InsertItem(-2, "Nowhere"), -1);
  EXPECT_TRUE(list_->DeleteItem(0));
  EXPECT_FALSE(list_->DeleteItem(-1));
  EXPECT_EQ(list_->Items(), (std::vector<std::string>{"Second", "Third", "Fourth", "Fifth"}));
  EXPECT_EQ(Flags(), (std::vector<bool>{false, true, false, false}));
  EXPECT_EQ(list_->count(), list_->Count());
  EXPECT_FALSE(list_->Checked(-1));
  EXPECT_FALSE(list_->Checked(4));
  list_->SetChecked(4, true);  // past the end: nothing
  EXPECT_EQ(list_->Count(), 4);
  list_->CheckAll();
  EXPECT_EQ(Flags(), (std::vector<bool>{true, true, true, true}));
  list_->ClearItems();
  EXPECT_EQ(list_->count(), 0);
  list_->AddItem("Again");
  EXPECT_EQ(Flags(), (std::vector<bool>{false}));
}

TEST_F(RsListBoxTest, TabsRescaleWithTheWidthAndTheExtentFollowsTheWidestLine) {
  list_->SetAutosizeTabs(true);
  list_->SetTabList({"10", "25"});
  list_->resize(330, 120);  // design width 220: x 1.5
  EXPECT_EQ(list_->TabList(), (std::vector<std::string>{"15", "38"})) << "37.5 rounds to even";
  EXPECT_EQ(list_->Model().TabPositions(), (std::vector<int>{60, 152}));

  EXPECT_FALSE(list_->horizontalScrollBar()->isVisible());
  list_->AddItem(std::string(80, 'W'));
  QCoreApplication::processEvents();
  EXPECT_GT(list_->Model().HorzExtent(), list_->width());
  EXPECT_TRUE(list_->horizontalScrollBar()->isVisible());
  EXPECT_GT(list_->horizontalScrollBar()->maximum(), 0);
  list_->SetHorzScrollBar(false);
  QCoreApplication::processEvents();
  EXPECT_FALSE(list_->horizontalScrollBar()->isVisible());
}

// The check box of line 0 at ItemHeight 20: the square is 0 ... 19, its frame rings at 1 and 2,
// the thin cross in 3 ... 16, the thick marks in 5 ... 14.
TEST_F(RsListBoxTest, CheckGlyphsAndFramesStandWhereTheyAreDrawn) {
  list_->SetItemHeight(20);
  list_->SetItems({"Checked", "Unchecked"});
  list_->SetChecked(0, true);
  list_->SetItemIndex(-1);
  struct Probe {
    int x, y;
  };
  struct Case {
    TrsListModel::TCheckStyle style;
    std::vector<Probe> dark;   // stroke centres
    std::vector<Probe> clear;  // inside the box, away from every stroke
    const char* name;
  };
  const Case cases[] = {
      {TrsListModel::csSquareX, {{7, 7}, {12, 12}, {7, 12}, {12, 7}}, {{5, 9}, {9, 5}}, "cross"},
      {TrsListModel::csSquareCheck, {{5, 12}, {9, 10}, {12, 7}}, {{7, 7}, {12, 12}}, "tick"},
      {TrsListModel::csThinX, {{6, 6}, {13, 13}, {6, 13}, {13, 6}}, {{9, 4}, {4, 9}}, "thin"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    list_->SetCheckStyle(c.style);
    const QImage shot = Shot();
    for (const Probe& p : c.dark)
      EXPECT_TRUE(ColorNear(shot, p.x, p.y, kBlack)) << p.x << "," << p.y;
    for (const Probe& p : c.clear)
      EXPECT_TRUE(Near(shot.pixelColor(p.x, p.y), kWhite)) << p.x << "," << p.y;
    // The unchecked line's box is empty.
    EXPECT_TRUE(Near(shot.pixelColor(9, 20 + 9), kWhite));
  }
  // The 3-D frame: outer ring shadow and highlight, inner ring black and button face.
  QImage shot = Shot();
  EXPECT_TRUE(Near(shot.pixelColor(0, 10), kWhite));
  EXPECT_TRUE(Near(shot.pixelColor(1, 10), kShadow));
  EXPECT_TRUE(Near(shot.pixelColor(10, 1), kShadow));
  EXPECT_TRUE(Near(shot.pixelColor(18, 10), kWhite));
  EXPECT_TRUE(Near(shot.pixelColor(2, 10), kBlack));
  EXPECT_TRUE(Near(shot.pixelColor(10, 2), kBlack));
  EXPECT_TRUE(Near(shot.pixelColor(17, 10), kFace));
  EXPECT_TRUE(Near(shot.pixelColor(10, 17), kFace));
  // Flat: a black frame one pixel in, the square's edge in the line's colour (here selected).
  list_->SetCheck3D(false);
  list_->SetItemIndex(0);
  shot = Shot();
  EXPECT_TRUE(Near(shot.pixelColor(0, 10), kNavy));
  EXPECT_TRUE(Near(shot.pixelColor(1, 10), kBlack));
  EXPECT_TRUE(Near(shot.pixelColor(18, 10), kBlack));
  EXPECT_TRUE(Near(shot.pixelColor(2, 10), kWhite));
  // Standard style: no box, the text starts at the edge.
  list_->SetListStyle(TrsListModel::lsStandard);
  shot = Shot();
  EXPECT_FALSE(ColorNear(shot, 1, 30, kBlack, 0)) << "no frame";
  EXPECT_GT(CountColor(shot, QRect(0, 20, 12, 20), kBlack), 5) << "text at x = 0";
}

TEST_F(RsListBoxTest, StyleCodesGlyphsAndSeparatorsShowInTheLines) {
  list_->SetListStyle(TrsListModel::lsStandard);
  list_->SetItemHeight(16);
  QImage glyph(8, 8, QImage::Format_RGB32);
  glyph.fill(QColor(128, 128, 0));  // olive: the bottom-left pixel, transparent
  QPainter(&glyph).fillRect(2, 2, 4, 4, kRed);
  list_->Glyphs().SetGlyph(1, glyph);
  list_->SetItems(
      {"~B~2Total", "~x~BTotal", "Total", "^1      Item", "^0^1    Item", "~9Red\tcol", "Total"});
  list_->SetTabList({"25"});
  list_->SetSeparators(TrsListModel::spVert);
  list_->SetItemIndex(6);
  const QImage shot = Shot();
  auto line = [](int row) { return QRect(0, row * 16, 90, 16); };

  EXPECT_GT(CountColor(shot, line(0), kGreen, 30), 10) << "~B~2 is green";
  EXPECT_EQ(CountColor(shot, line(0), kBlack, 30), 0);
  const int bold = CountColor(shot, line(0), kGreen, 30);
  const int plain_x = CountColor(shot, line(1), kBlack, 30);
  const int plain = CountColor(shot, line(2), kBlack, 30);
  EXPECT_EQ(plain_x, plain) << "~x ends the codes before ~B: plain";
  EXPECT_GT(bold, plain) << "bold draws more ink";

  // Glyph 1 at the start of line 3, centred in the line, its olive pixels in the line colour.
  EXPECT_TRUE(Near(shot.pixelColor(4, 3 * 16 + 7), kRed));
  EXPECT_TRUE(Near(shot.pixelColor(0, 3 * 16 + 4), kWhite));
  EXPECT_TRUE(Near(shot.pixelColor(7, 3 * 16 + 11), kWhite));
  EXPECT_EQ(CountColor(shot, line(4), kRed, 30), 0) << "^0 stops glyphs";
  EXPECT_EQ(CountColor(shot, line(4), QColor(128, 128, 0), 10), 0);

  EXPECT_GT(CountColor(shot, line(5), kRed, 30), 5) << "~9 is red";
  // The separator stands 3 pixels left of the tab stop (100), in every line.
  for (int row = 0; row < 7; ++row)
    EXPECT_TRUE(Near(shot.pixelColor(97, row * 16 + 8), kShadow)) << row;
  // The selected line: highlight behind, highlight text in front.
  EXPECT_TRUE(Near(shot.pixelColor(150, 6 * 16 + 8), kNavy));
  EXPECT_GT(CountColor(shot, line(6), kWhite, 40), 10);
}

TEST_F(RsListBoxTest, MarkersPastALinesMarkupEndAreDrawnAsText) {
  list_->SetListStyle(TrsListModel::lsStandard);
  list_->SetItemHeight(16);
  QImage glyph(8, 8, QImage::Format_RGB32);
  glyph.fill(kRed);
  glyph.setPixelColor(0, 7, QColor(128, 128, 0));
  list_->Glyphs().SetGlyph(1, glyph);
  list_->ClearItems();
  list_->AddItem("^1 ~9Red ^1", 3);
  list_->InsertItem(0, "^1 ~9Red ^1");
  const QImage shot = Shot();
  auto line = [](int row) { return QRect(0, row * 16, 200, 16); };
  // The whole line is markup by default: red text and two glyphs.
  EXPECT_GT(CountColor(shot, line(0), kRed, 30), 64 + 5);
  // Only the first glyph is markup; the rest stands as written, in the list's font colour.
  EXPECT_EQ(CountColor(shot, line(1), kRed, 30), 64 - 1);
  EXPECT_GT(CountColor(shot, line(1), kBlack, 30), 10);
  EXPECT_EQ(list_->item(1)->text(), " ~9Red ^1");
  EXPECT_EQ(list_->item(0)->text(), " Red ");
  EXPECT_EQ(list_->MarkupEnd(1), 3u);
}

TEST_F(RsListBoxTest, TheHeaderDrawsLikeALineAndReportsSections) {
  auto* header = new TrsListHeader(&window_);
  header->move(10, 140);
  header->resize(220, 19);
  header->setFont(SansFontPixels(11));
  header->show();
  list_->SetTabList({"10", "20"});  // 40 and 80
  list_->SetRealListHeader(header);
  EXPECT_EQ(header->ListBox(), list_);
  EXPECT_EQ(header->BorderStyle(), bsSingle) << "the list's border";
  header->SetCaption("~2Name\tScore");

  std::vector<int> sections;
  header->OnClickSection = [&](TrsListHeader* sender, int section) {
    EXPECT_EQ(sender, header);
    sections.push_back(section);
  };
  QTest::mousePress(header, Qt::LeftButton, Qt::NoModifier, QPoint(10, 9));
  EXPECT_EQ(header->PressedSection(), 1);
  QCoreApplication::processEvents();
  QImage shot = header->grab().toImage();
  // Grooves at 40 - 3 ... 40 - 1 and 80 - 3 ... 80 - 1; the one of tab index 1 is pressed.
  EXPECT_TRUE(Near(shot.pixelColor(37, 9), kShadow));
  EXPECT_TRUE(Near(shot.pixelColor(38, 9), kBlack));
  EXPECT_TRUE(Near(shot.pixelColor(39, 9), kWhite));
  EXPECT_TRUE(Near(shot.pixelColor(79, 9), kShadow));
  // The caption in the list's markup, from x = 2 + CheckMargin.
  EXPECT_GT(CountColor(shot, QRect(22, 2, 18, 15), kGreen, 30), 5);
  EXPECT_EQ(CountColor(shot, QRect(3, 3, 17, 13), kGreen, 30), 0);
  QTest::mouseRelease(header, Qt::LeftButton, Qt::NoModifier, QPoint(10, 9));
  EXPECT_EQ(header->PressedSection(), -1);

  QTest::mouseClick(header, Qt::LeftButton, Qt::NoModifier, QPoint(50, 9));
  QTest::mouseClick(header, Qt::LeftButton, Qt::NoModifier, QPoint(200, 9));
  EXPECT_EQ(sections, (std::vector<int>{1, 2, 3}));

  delete list_;
  EXPECT_EQ(header->ListBox(), nullptr);
  QTest::mouseClick(header, Qt::LeftButton, Qt::NoModifier, QPoint(200, 9));
  EXPECT_EQ(sections.back(), 1) << "without a list the header is one section";
}

// A window with both controls, kept as a screenshot for inspection.
TEST(RsCheckControlsScreenshot, AWindowWithBothControlsIsSaved) {
  QWidget window;
  window.resize(360, 220);
  QPalette palette = window.palette();
  palette.setColor(QPalette::Window, platform::gui::ColorFromBgr(0x8000000F));
  window.setPalette(palette);
  window.setAutoFillBackground(true);
  window.setFont(SansFontPixels(11));

  auto* header = new TrsListHeader(&window);
  header->setGeometry(10, 10, 220, 19);
  auto* list = new TrsListBox(&window);
  list->setGeometry(10, 29, 220, 110);
  list->SetListStyle(TrsListModel::lsCheckbox);
  list->SetCheckStyle(TrsListModel::csSquareCheck);
  list->SetItemHeight(16);
  list->SetTabList({"30"});
  list->SetSeparators(TrsListModel::spVert);
  QImage glyph(10, 10, QImage::Format_RGB32);
  glyph.fill(QColor(128, 128, 0));
  QPainter(&glyph).fillRect(1, 1, 8, 8, QColor(0, 160, 0));
  list->Glyphs().SetGlyph(1, glyph);
  list->SetItems({"Objective 1\t~B12", "~9Objective 2\t7", "^1   Objective 3\t~2ok"});
  list->SetRealListHeader(header);
  header->SetCaption("~BObjective\tCount");
  list->Loaded();
  list->SetChecked(0, true);
  list->SetChecked(2, true);
  list->SetItemIndex(1);

  const char* captions[] = {"&A.", "B.", "C."};
  TrsSuperCheck::TCheckStyle styles[] = {TrsSuperCheck::csSquareX, TrsSuperCheck::csSquareCheck,
                                         TrsSuperCheck::csRound};
  for (int i = 0; i < 3; ++i) {
    auto* check = new TrsSuperCheck(&window);
    check->move(250, 20 + 25 * i);
    check->SetCaption(captions[i]);
    check->SetCheckStyle(styles[i]);
    check->SetChecked(i != 1);
  }
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QCoreApplication::processEvents();
  const QImage shot = window.grab().toImage();
  const std::string path = testing_support::ArtefactDir() + "components_check_controls.png";
  ASSERT_TRUE(shot.save(QString::fromStdString(path)));
  EXPECT_EQ(shot.size(), QSize(360, 220));
}

}  // namespace
}  // namespace components
