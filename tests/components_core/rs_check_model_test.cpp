#include "components/core/rs_check_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace components {
namespace {

struct Panel;

// A check control on a panel; every store of Checked is written to the panel's log.
class FakeCheck : public TrsCheckModel {
 public:
  FakeCheck(Panel* panel, std::string name);
  std::string name;

 protected:
  std::vector<TrsCheckModel*> GroupSiblings() override;
  void Changed() override;

 private:
  Panel* panel_;
};

struct Panel {
  std::vector<FakeCheck*> controls;
  std::vector<std::string>* log;
};

FakeCheck::FakeCheck(Panel* panel, std::string n) : name(std::move(n)), panel_(panel) {
  if (panel_) panel_->controls.push_back(this);
}

std::vector<TrsCheckModel*> FakeCheck::GroupSiblings() {
  if (!panel_) return {};
  return std::vector<TrsCheckModel*>(panel_->controls.begin(), panel_->controls.end());
}

void FakeCheck::Changed() {
  if (panel_) panel_->log->push_back(name + (Checked() ? "+" : "-"));
}

class CheckGroups : public ::testing::Test {
 protected:
  std::vector<std::string> log;
  Panel left{{}, &log};
  Panel right{{}, &log};
};

TEST_F(CheckGroups, CheckingOneUnchecksTheRestOfItsGroupFirst) {
  FakeCheck a(&left, "a"), b(&left, "b"), c(&left, "c");
  a.SetGroupID(1);
  b.SetGroupID(1);
  c.SetGroupID(2);
  a.SetChecked(true);
  c.SetChecked(true);
  log.clear();
  b.SetChecked(true);
  EXPECT_EQ(log, (std::vector<std::string>{"a-", "b+"}));
  EXPECT_FALSE(a.Checked());
  EXPECT_TRUE(c.Checked());

  log.clear();
  b.SetChecked(true);  // a store without a change still reports
  b.SetChecked(false);
  EXPECT_EQ(log, (std::vector<std::string>{"b+", "b-"}));
}

TEST_F(CheckGroups, GroupZeroAndOtherParentsAreIndependent) {
  FakeCheck a(&left, "a"), b(&left, "b"), other(&right, "other"), orphan(nullptr, "orphan");
  other.SetGroupID(1);
  orphan.SetGroupID(1);
  a.SetChecked(true);
  b.SetChecked(true);  // GroupID 0
  other.SetChecked(true);
  orphan.SetChecked(true);
  a.SetGroupID(1);
  EXPECT_TRUE(a.Checked() && b.Checked() && other.Checked() && orphan.Checked());
}

TEST_F(CheckGroups, JoiningAGroupCheckedClearsTheNewGroup) {
  FakeCheck a(&left, "a"), b(&left, "b");
  b.SetGroupID(3);
  b.SetChecked(true);
  a.SetChecked(true);
  log.clear();
  a.SetGroupID(3);
  EXPECT_EQ(log, (std::vector<std::string>{"b-", "a+"}));
}

TEST_F(CheckGroups, ClickUnchecksOnlyWithGroupCanUnChk) {
  FakeCheck a(&left, "a");
  a.ClickToggle();
  EXPECT_TRUE(a.Checked());
  a.SetGroupCanUnChk(false);
  log.clear();
  a.ClickToggle();
  EXPECT_TRUE(a.Checked());
  EXPECT_TRUE(log.empty());
  a.SetGroupCanUnChk(true);
  a.ClickToggle();
  EXPECT_FALSE(a.Checked());
}

TEST_F(CheckGroups, FocusFillReturnsToTheSavedFace) {
  FakeCheck a(&left, "a");
  a.SetLocator(TrsCheckModel::loFill);
  a.Enter();
  EXPECT_EQ(a.ColorFace(), 0xFFFF00u);
  a.SetColorFace(0x0000FF);
  a.Exit();
  EXPECT_EQ(a.ColorFace(), 0xFFFFFFu);  // saved at creation: never loaded

  a.SetColorFace(0x00FF00);
  a.Loaded();
  a.SetAutoCheck(true);
  a.Enter();
  EXPECT_TRUE(a.Checked());
  a.Exit();
  EXPECT_EQ(a.ColorFace(), 0x00FF00u);

  FakeCheck plain(&left, "plain");
  plain.Enter();
  EXPECT_EQ(plain.ColorFace(), 0xFFFFFFu);
  EXPECT_FALSE(plain.Checked());
}

TEST(CheckLayout, AutoSizeAndPlacement) {
  struct Case {
    TrsCheckModel::TAlignment alignment;
    bool auto_size_text, auto_size_box, round;
    int width, height, box_x, box_y, box_size, text_left, text_right;
    const char* name;
  };
  // A caption 12 x 16 on a control of 97 x 15.
  const Case cases[] = {
      {TrsCheckModel::taRightJustify, true, false, false, 34, 18, 0, 2, 13, 17, 34,
       "auto size: h + 2 high, w + h + 6 wide"},
      {TrsCheckModel::taLeftJustify, true, false, false, 34, 18, 21, 2, 13, 0, 17,
       "box at the right, caption left of it"},
      {TrsCheckModel::taRightJustify, false, false, false, 97, 15, 0, 1, 13, 17, 97,
       "fixed size keeps the control's"},
      {TrsCheckModel::taRightJustify, true, true, false, 34, 18, 0, 0, 18, 20, 34,
       "square box as high as the control"},
      {TrsCheckModel::taRightJustify, true, true, true, 34, 18, 0, 1, 18, 20, 34,
       "round box one pixel down"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeCheck check(nullptr, "x");
    check.SetAlignment(c.alignment);
    check.SetAutoSizeText(c.auto_size_text);
    check.SetAutoSizeBox(c.auto_size_box);
    if (c.round) check.SetCheckStyle(TrsCheckModel::csRound);
    const TrsCheckModel::TCheckLayout l = check.Layout(97, 15, 12, 16, true);
    EXPECT_EQ(l.Width, c.width);
    EXPECT_EQ(l.Height, c.height);
    EXPECT_EQ(l.BoxX, c.box_x);
    EXPECT_EQ(l.BoxY, c.box_y);
    EXPECT_EQ(l.BoxSize, c.box_size);
    EXPECT_EQ(l.TextLeft, c.text_left);
    EXPECT_EQ(l.TextRight, c.text_right);
    EXPECT_EQ(l.TextTop, 1);
    EXPECT_EQ(l.TextBottom, 17);
  }
  FakeCheck empty(nullptr, "x");
  EXPECT_EQ(empty.Layout(97, 15, 0, 16, false).Width, 97);
}

TEST(CheckCaption, AcceleratorMarkers) {
  struct Case {
    const char* caption;
    const char* text;
    int accel;
    const char* name;
  };
  const Case cases[] = {{"&Next", "Next", 0, "marked letter"},
                        {"A&&B", "A&B", -1, "doubled marker is a plain &"},
                        {"&&&x", "&x", 1, "doubled then marked"},
                        {"x&", "x", -1, "trailing marker marks nothing"},
                        {"A.", "A.", -1, "no marker"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TAccelCaption r = StripAccelerator(c.caption);
    EXPECT_EQ(r.Text, c.text);
    EXPECT_EQ(r.AccelIndex, c.accel);
  }
  EXPECT_TRUE(IsAccel('n', "&Next"));
  EXPECT_TRUE(IsAccel('N', "&next"));
  EXPECT_FALSE(IsAccel('e', "&Next"));
  EXPECT_FALSE(IsAccel('&', "A&&B"));
}

}  // namespace
}  // namespace components
