#include "components/core/rs_list_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace components {
namespace {

// A fixed font: 7 pixels a character, 8 in bold.
int FixedWidth(std::string_view text, const TLineStyle& style) {
  return static_cast<int>(text.size()) * (style.Bold ? 8 : 7);
}

// A loaded list of the given width with the given lines.
struct LoadedList {
  explicit LoadedList(std::vector<std::string> lines = {}, int width = 100) {
    list.SetWidth(width);
    list.SetLines(std::move(lines));
    list.Loaded();
  }
  std::vector<bool> Flags() const {
    std::vector<bool> out;
    for (int i = 0; i < list.Count(); ++i) out.push_back(list.GetChecked(i));
    return out;
  }
  TrsListModel list{FixedWidth};
};

TEST(ListMarkup, StyleCodesAndStripping) {
  struct Case {
    const char* text;
    TLineStyle style;
    const char* stripped;
    const char* name;
  };
  const TColor green = 0x008000, yellow = 0x00FFFF, blue = 0xFF0000;
  const Case cases[] = {
      {"~B~2Total", {true, false, false, false, green}, "Total", "bold green"},
      {"~x~BTotal", {}, "Total", "unknown code ends styles, both pairs stripped"},
      {"~b~BX", {true, false, false, false, yellow}, "X", "lower-case b is yellow"},
      {"~I~U~SA", {false, true, true, true, {}}, "A", "styles add up"},
      {"~9A~cB", {false, false, false, false, blue}, "AB", "later colour wins, anywhere"},
      {"Total~", {}, "Total~", "marker in the last position stays"},
      {"~~B", {}, "B", "marker as code stops and strips as a pair"},
      {"^1 ~BA", {true, false, false, false, {}}, " A", "glyph pairs are stripped too"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ParseLineStyle(c.text), c.style);
    EXPECT_EQ(StripMarkers(c.text), c.stripped);
  }
  EXPECT_EQ(ParseLineStyle("#B#2x", '#'), (TLineStyle{true, false, false, false, green}));
}

TEST(ListMarkup, GlyphMarkers) {
  struct Case {
    const char* text;
    std::vector<TGlyphMark> marks;
    const char* name;
  };
  const Case cases[] = {
      {"^1 Item", {{1, 0}}, "glyph at the start"},
      {"^0^1", {}, "code 0 stops glyph processing"},
      {"a^5b^x^3", {{5, 1}}, "a non-digit code stops the rest"},
      {"^1^9x", {{1, 0}, {9, 2}}, "several glyphs"},
      {"x^", {}, "marker in the last position"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ParseGlyphMarks(c.text), c.marks);
  }
}

TEST(ListLayout, GlyphsStandWhereTheTextBeforeThemEnds) {
  LoadedList l({"^1 Item", "~Bab^2cd"});
  l.list.SetListStyle(TrsListModel::lsCheckbox);
  TrsListModel::TLineLayout first = l.list.LayoutLine(0);
  EXPECT_EQ(first.Glyphs, (std::vector<TrsListModel::TGlyphPlace>{{1, 20}}));
  EXPECT_EQ(first.Runs, (std::vector<TrsListModel::TTextRun>{{20, " Item"}}));
  // The glyph is placed by the plain font (2 x 7), the text is drawn bold.
  TrsListModel::TLineLayout second = l.list.LayoutLine(1);
  EXPECT_EQ(second.Glyphs, (std::vector<TrsListModel::TGlyphPlace>{{2, 34}}));
  EXPECT_TRUE(second.Style.Bold);
}

TEST(ListLayout, MarkersCountOnlyBeforeALinesMarkupEnd) {
  // A row whose markup ends after its glyph piece, then free text with marker characters.
  const std::string row = "^1 ab x^2 in ~B~/bin";
  const std::size_t end = 5;
  struct Case {
    std::size_t markup_end;
    std::vector<TrsListModel::TGlyphPlace> glyphs;
    bool bold;
    const char* text;
    const char* name;
  };
  const Case cases[] = {
      {end, {{1, 0}}, false, " ab x^2 in ~B~/bin", "the rest is drawn as it stands"},
      {kWholeLine, {{1, 0}, {2, 35}}, true, " ab x in bin", "the whole line by default"},
      {0, {}, false, "^1 ab x^2 in ~B~/bin", "no markup at all"},
      {2, {{1, 0}}, false, " ab x^2 in ~B~/bin", "an end right after a pair"},
      {1, {}, false, "^1 ab x^2 in ~B~/bin", "a marker cut from its code stays"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoadedList l;
    l.list.AddString(row, c.markup_end);
    const TrsListModel::TLineLayout layout = l.list.LayoutLine(0);
    EXPECT_EQ(layout.Glyphs, c.glyphs);
    EXPECT_EQ(layout.Style.Bold, c.bold);
    EXPECT_EQ(layout.Runs, (std::vector<TrsListModel::TTextRun>{{0, c.text}}));
    EXPECT_EQ(l.list.VisibleLine(0), c.text);
    EXPECT_EQ(l.list.MeasureLine(row, c.markup_end),
              static_cast<int>(std::string(c.text).size()) * (c.bold ? 8 : 7));
  }
}

TEST(ListLayout, AMarkupEndStaysWithItsLine) {
  LoadedList l({}, 50);
  l.list.AddString("b ^1x", 2);
  l.list.InsertString(0, "a ^1x");
  EXPECT_EQ(l.list.MarkupEnd(0), kWholeLine);
  EXPECT_EQ(l.list.MarkupEnd(1), 2u);
  // The extent measures each line with its own end: "b ^1x" is 5 characters wide.
  EXPECT_EQ(l.list.WidestLine(), 35);
  l.list.InsertString(0, "c");
  l.list.SetSorted(true);
  EXPECT_EQ(l.list.Lines(), (std::vector<std::string>{"a ^1x", "b ^1x", "c"}));
  EXPECT_EQ(l.list.MarkupEnd(1), 2u);
  EXPECT_TRUE(l.list.LayoutLine(1).Glyphs.empty());
  EXPECT_EQ(l.list.LayoutLine(0).Glyphs.size(), 1u);
  l.list.DeleteString(0);
  EXPECT_EQ(l.list.MarkupEnd(0), 2u);
  l.list.SetLines({"b ^1x"});
  EXPECT_EQ(l.list.MarkupEnd(0), kWholeLine);
}

TEST(ListTabs, TabValuesAndTheFiftyStopLimit) {
  LoadedList l;
  std::vector<std::string> tabs;
  for (int i = 1; i <= 60; ++i) tabs.push_back(std::to_string(i * 10));
  l.list.SetTabList(tabs);
  EXPECT_EQ(l.list.TabPositions().size(), 50u);
  EXPECT_EQ(l.list.TabPositions().back(), 2000);
  ASSERT_EQ(l.list.SeparatorPositions().size(), 60u);
  EXPECT_EQ(l.list.SeparatorPositions().back(), 2400);

  l.list.SetTabList({" 12", "-3", "abc", "+5", "7x", ""});
  EXPECT_EQ(l.list.TabPositions(), (std::vector<int>{48, -12, 0, 20, 0, 0}));
}

TEST(ListTabs, RunsStartAtTheTabStopsFromTheLineEdge) {
  LoadedList l({"ab\tcd\tef\tgh", "abcdefghijk\tx"});
  l.list.SetTabList({"10", "20"});  // stops at 40 and 80, then every 8 "x" widths (56)
  EXPECT_EQ(l.list.LayoutLine(0).Runs,
            (std::vector<TrsListModel::TTextRun>{{0, "ab"}, {40, "cd"}, {80, "ef"}, {112, "gh"}}));
  // Text past a stop goes on to the next stop right of it.
  EXPECT_EQ(l.list.LayoutLine(1).Runs,
            (std::vector<TrsListModel::TTextRun>{{0, "abcdefghijk"}, {80, "x"}}));
  EXPECT_EQ(l.list.MeasureLine("ab\tcd"), 54);
}

TEST(ListTabs, AutoClipCutsColumnsToTheirRoom) {
  struct Case {
    const char* text;
    bool check_box;
    const char* clipped;
    const char* name;
  };
  // Stops at 20 and 48: column 0 has 20 pixels, column 1 has 28.
  const Case cases[] = {
      {"ABCD\tE", false, "A\tE", "needs 28 of 20: ceil(8/7) + 1 characters go"},
      {"AB\tCDEF\tG", false, "AB\tCDE\tG", "equal width still loses one character"},
      {"A", false, "A", "no tab: nothing clipped"},
      {"AB\tCDEFGHIJ", false, "AB\tCDEFGHIJ", "the last column is never clipped"},
      {"A\tB", true, "\tB", "the check margin counts for column 0"},
      {"AB\t", false, "AB\t", "a trailing tab ends no column"},
      {"A\tB\tC\tDDDDDDDD\tE", false, "A\tB\tC\tDDDDDDDD\tE", "columns past the stops stay"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoadedList l;
    l.list.SetTabList({"5", "12"});
    l.list.SetAutoClip(true);
    if (c.check_box) l.list.SetListStyle(TrsListModel::lsCheckbox);
    EXPECT_EQ(l.list.ClipColumns(c.text, TLineStyle{}), c.clipped);
  }
}

TEST(ListFlags, FlagsStayWithTheirLinesAndAResetClearsThem) {
  LoadedList l({"a", "b", "c"});
  l.list.SetChecked(1, true);
  EXPECT_EQ(l.list.InsertString(0, "z"), 0);
  EXPECT_EQ(l.Flags(), (std::vector<bool>{false, false, true, false}));
  EXPECT_EQ(l.list.Line(2), "b");
  l.list.SetChecked(3, true);
  EXPECT_EQ(l.list.AddString("d"), 4);
  EXPECT_TRUE(l.list.DeleteString(0));
  EXPECT_EQ(l.list.Lines(), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(l.Flags(), (std::vector<bool>{false, true, true, false}));

  // Both end positions append an unchecked line and leave the others alone.
  EXPECT_EQ(l.list.InsertString(-1, "e"), 4);
  EXPECT_EQ(l.list.InsertString(l.list.Count(), "f"), 5);
  EXPECT_EQ(l.Flags(), (std::vector<bool>{false, true, true, false, false, false}));

  l.list.ResetContent();
  EXPECT_EQ(l.list.FlagCount(), 0);
  l.list.AddString("g");
  EXPECT_FALSE(l.list.GetChecked(0));
  l.list.CheckAll();
  l.list.SetLines({"h", "i"});
  EXPECT_EQ(l.Flags(), (std::vector<bool>{false, false}));
}

TEST(ListFlags, IndexesOutsideTheLinesChangeNothing) {
  LoadedList l({"a", "b"});
  l.list.SetChecked(0, true);
  EXPECT_FALSE(l.list.GetChecked(-1));
  EXPECT_FALSE(l.list.GetChecked(2));
  l.list.SetChecked(-1, true);
  l.list.SetChecked(2, true);
  EXPECT_EQ(l.list.InsertString(-2, "x"), -1);
  EXPECT_EQ(l.list.InsertString(3, "x"), -1);
  EXPECT_FALSE(l.list.DeleteString(-1));
  EXPECT_FALSE(l.list.DeleteString(2));
  EXPECT_FALSE(l.list.ToggleLine(-1));
  EXPECT_FALSE(l.list.ToggleLine(2));
  EXPECT_EQ(l.list.Lines(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(l.Flags(), (std::vector<bool>{true, false}));
}

TEST(ListFlags, LinesAddedWhileLoadingGetTheirFlagsAtLoaded) {
  TrsListModel list(FixedWidth);
  list.AddString("a");
  list.AddString("b");
  EXPECT_EQ(list.FlagCount(), 0);
  EXPECT_TRUE(list.ToggleLine(1));  // out of step: rebuilt first
  EXPECT_TRUE(list.GetChecked(1));
  list.Loaded();
  EXPECT_EQ(list.FlagCount(), 2);
  EXPECT_FALSE(list.GetChecked(1));
}

TEST(ListClicks, ClickTogglesOnTheBoxAreaUnlessAutoCheck) {
  struct Case {
    bool auto_check;
    int x;
    bool toggles;
    const char* name;
  };
  const Case cases[] = {{false, 17, true, "ItemHeight + 4 is on the box"},
                        {false, 18, false, "one pixel further only selects"},
                        {false, 0, true, "left edge"},
                        {true, 300, true, "AutoCheck toggles anywhere"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TrsListModel list;
    list.SetItemHeight(13);
    list.SetAutoCheck(c.auto_check);
    EXPECT_EQ(list.ClickToggles(c.x), c.toggles);
  }
}

TEST(ListClicks, MultiCheckOffKeepsOneLineChecked) {
  LoadedList l({"a", "b", "c"});
  l.list.ToggleLine(0);
  l.list.ToggleLine(2);
  EXPECT_EQ(l.Flags(), (std::vector<bool>{true, false, true}));
  l.list.ToggleLine(2);
  EXPECT_EQ(l.Flags(), (std::vector<bool>{true, false, false}));

  l.list.SetMultiCheck(false);
  l.list.CheckAll();
  l.list.ToggleLine(1);  // a checked line stays checked, all others clear
  EXPECT_EQ(l.Flags(), (std::vector<bool>{false, true, false}));
  l.list.ToggleLine(0);
  EXPECT_EQ(l.Flags(), (std::vector<bool>{true, false, false}));
}

TEST(ListExtent, FollowsTheWidestLineAndTheMargin) {
  LoadedList l({"short"}, 100);  // 35 pixels
  EXPECT_EQ(l.list.HorzExtent(), 0);
  l.list.AddString(std::string(20, 'w'));  // 140 pixels
  EXPECT_EQ(l.list.WidestLine(), 140);
  EXPECT_EQ(l.list.HorzExtent(), 140);
  EXPECT_TRUE(l.list.HorzScrollBarShown());
  l.list.SetListStyle(TrsListModel::lsCheckbox);
  EXPECT_EQ(l.list.HorzExtent(), 160);
  l.list.SetWidth(160);
  EXPECT_EQ(l.list.HorzExtent(), 0);
  l.list.SetWidth(100);
  l.list.AddString("~B" + std::string(20, 'w'));  // bold: 160 pixels
  EXPECT_EQ(l.list.HorzExtent(), 180);
  l.list.DeleteString(2);  // the widest line: the extent shrinks at once
  EXPECT_EQ(l.list.HorzExtent(), 160);
  l.list.SetHorzScrollBar(false);
  EXPECT_EQ(l.list.HorzExtent(), 0);
  l.list.SetHorzScrollBar(true);
  EXPECT_EQ(l.list.HorzExtent(), 160);
  l.list.ResetContent();
  EXPECT_EQ(l.list.HorzExtent(), 0);
}

TEST(ListTabs, AutosizeTabsRescalesWithHalvesToEven) {
  LoadedList l({}, 200);
  l.list.SetTabList({"10", "25", "5", "7"});
  l.list.SetAutosizeTabs(true);
  l.list.SetWidth(100);  // ratio 0.5: 5, 12.5, 2.5, 3.5
  EXPECT_EQ(l.list.TabList(), (std::vector<std::string>{"5", "12", "2", "4"}));
  EXPECT_EQ(l.list.TabPositions(), (std::vector<int>{20, 48, 8, 16}));
  EXPECT_EQ(l.list.DesignWidth(), 100);
  l.list.SetWidth(100);
  EXPECT_EQ(l.list.TabList()[1], "12");

  LoadedList fixed({}, 200);
  fixed.list.SetTabList({"10"});
  fixed.list.SetWidth(100);
  EXPECT_EQ(fixed.list.TabList()[0], "10");
}

TEST(ListHeader, SectionOfAPress) {
  LoadedList l;
  l.list.SetTabList({"0", "10", "20"});  // 0, 40, 80
  struct Case {
    int x;
    int section;
    const char* name;
  };
  const Case cases[] = {{5, 2, "a zero position is skipped"},
                        {40, 3, "a press on a position belongs to the next section"},
                        {100, 4, "right of all positions"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(l.list.HeaderSectionAt(c.x), c.section);
  }
  EXPECT_EQ(TrsListModel().HeaderSectionAt(10), 1);
}

TEST(ListLines, SortedListsPlaceLinesWithoutRegardToCase) {
  LoadedList l({"b", "A"});
  l.list.SetChecked(0, true);
  l.list.SetSorted(true);
  EXPECT_EQ(l.list.Lines(), (std::vector<std::string>{"A", "b"}));
  EXPECT_EQ(l.list.FlagCount(), 2);
  EXPECT_FALSE(l.list.GetChecked(1));
  l.list.SetChecked(1, true);
  EXPECT_EQ(l.list.AddString("a2"), 1);
  EXPECT_EQ(l.list.AddString("C"), 3);
  EXPECT_EQ(l.Flags(), (std::vector<bool>{false, false, true, false}));
}

}  // namespace
}  // namespace components
