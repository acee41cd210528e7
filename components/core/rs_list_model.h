// The Qt-free half of the check list box TrsListBox and its header TrsListHeader: the lines and
// their check flags, the "~" style and "^" glyph markup written into a line's text, tab stops
// and column clipping, the horizontal extent and the click decision. Text is measured through a
// callback, so the widget that draws the lines supplies its font metrics and everything else is
// decided here.
//
// A line may end its markup early: markers count only before the line's markup end, and the
// text from there on is drawn as it stands (a "^" or "~" in it is itself). A line's markup end
// is the whole line unless it is given when the line is added or inserted.
//
// Coordinates are pixels from a line's left edge. Tab stops are taken from that edge too (the
// separators stand just left of them), while the text itself starts at TextOffset(), which is
// CheckMargin() in check-box style.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "components/core/rs_dyn_array.h"

namespace components {

// A colour in the platform layout $00BBGGRR (blue in the high byte).
using TColor = uint32_t;

// The font a line's style codes ask for, on top of the list's own font.
struct TLineStyle {
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
  std::optional<TColor> Color;  // replaces the font colour (and the highlight text colour)

  bool operator==(const TLineStyle&) const = default;
};

// Width in pixels of text (which holds no tab character) in the list's font with style applied.
using TTextWidthFn = std::function<int(std::string_view text, const TLineStyle& style)>;

// The colour of a style code "0" ... "9", "a" ... "f"; nullopt for any other character.
std::optional<TColor> StyleCodeColor(char code);

// The style of a line: each style marker followed by a character applies that code, from the
// left, until the end of the text or the first code that is none of B, I, U, S and the colour
// codes. Styles add up; a later colour replaces an earlier one.
TLineStyle ParseLineStyle(std::string_view text, char style_ident = '~');

// One glyph marker of a line: glyph Slot (1 ... 9) at byte Position of the raw text.
struct TGlyphMark {
  int Slot;
  std::size_t Position;

  bool operator==(const TGlyphMark&) const = default;
};

// The glyph markers of a line, from the left, up to the first marker whose code is not 1 ... 9.
std::vector<TGlyphMark> ParseGlyphMarks(std::string_view text, char glyph_ident = '^');

// The text with every marker pair of either kind removed, scanning from the left; a marker in
// the last position stays.
std::string StripMarkers(std::string_view text, char style_ident = '~', char glyph_ident = '^');

// A line's markup end standing for the whole line.
inline constexpr std::size_t kWholeLine = std::string_view::npos;

// The markup part of a line: its first markup_end bytes (the whole line when it is shorter).
std::string_view MarkupPart(std::string_view raw, std::size_t markup_end);
// The line as drawn before clipping: the markup part stripped, then the rest as it stands.
std::string VisibleText(std::string_view raw, std::size_t markup_end, char style_ident = '~',
                        char glyph_ident = '^');

// The integer value of a TabList line: optional blanks, an optional sign and decimal digits;
// 0 for anything else.
int TabValue(std::string_view line);

class TrsListModel {
 public:
  enum TListStyle { lsCheckbox, lsStandard };
  enum TCheckStyle { csSquareX, csSquareCheck, csThinX };
  enum TSepStyle { spNone, spVert, spHorz, spBoth };

  static constexpr int kMaxTabs = 50;

  // A piece of a line between tabs, drawn at X.
  struct TTextRun {
    int X;
    std::string Text;
    bool operator==(const TTextRun&) const = default;
  };
  // A glyph to draw: slot 1 ... 9 at X (the widget skips empty slots and centres vertically).
  struct TGlyphPlace {
    int Slot;
    int X;
    bool operator==(const TGlyphPlace&) const = default;
  };
  // Everything needed to draw a line's text and glyphs.
  struct TLineLayout {
    TLineStyle Style;
    std::vector<TTextRun> Runs;
    std::vector<TGlyphPlace> Glyphs;
  };

  // A model that is still loading: line changes do not touch the flags or the extent until
  // Loaded(). Without a text-width function every text measures 0.
  explicit TrsListModel(TTextWidthFn text_width = {});

  TrsListModel(const TrsListModel&) = delete;
  TrsListModel& operator=(const TrsListModel&) = delete;

  // Replaces the measuring function (a font change) and re-measures every line.
  void SetTextWidth(TTextWidthFn text_width);
  // The font changed behind the same function: re-measures every line.
  void FontChanged();

  // Ends loading, once the maker has set the properties: applies the tab stops, re-measures
  // the lines, rebuilds all flags unchecked and records the design width.
  void Loaded();
  bool Loading() const { return loading_; }

  // ---- lines ----
  int Count() const { return static_cast<int>(lines_.size()); }
  const std::vector<std::string>& Lines() const { return lines_; }
  // The line at index; requires 0 <= index < Count().
  const std::string& Line(int index) const { return lines_.at(static_cast<std::size_t>(index)); }

  // The markup end of the line at index (kWholeLine unless the line was given one); requires
  // 0 <= index < Count().
  std::size_t MarkupEnd(int index) const {
    return markup_ends_.at(static_cast<std::size_t>(index));
  }
  // The line at index as drawn before clipping (VisibleText).
  std::string VisibleLine(int index) const;

  // Where AddString would put s: the end, or its sorted place when Sorted().
  int AddPosition(std::string_view s) const;
  // Adds s at AddPosition(s) with an unchecked flag and its markup end; returns its index.
  int AddString(std::string s, std::size_t markup_end = kWholeLine);
  // Inserts s at pos with an unchecked flag and its markup end; -1 or Count() appends. Returns
  // the index, or -1 (nothing changed) when pos is outside -1 ... Count().
  int InsertString(int pos, std::string s, std::size_t markup_end = kWholeLine);
  // Removes the line at pos and its flag; false (nothing changed) when pos is out of range.
  bool DeleteString(int pos);
  // Removes every line.
  void ResetContent();
  // Replaces all lines (a reset, then each line added, markup to its end); every flag ends
  // unchecked.
  void SetLines(std::vector<std::string> lines);

  // Sorted lists place added lines in case-insensitive order; switching it on sorts the lines
  // and rebuilds all flags unchecked.
  bool Sorted() const { return sorted_; }
  void SetSorted(bool value);

  // ---- check flags ----
  int FlagCount() const { return static_cast<int>(flags_.Count()); }
  // False for an index outside the flags.
  bool GetChecked(int index) const;
  // Stores the flag; an index outside the flags changes nothing.
  void SetChecked(int index, bool value);
  void CheckAll();
  void UncheckAll();

  // ---- clicks ----
  // Whether a left press at x (after the list has selected the line) toggles the line: always
  // with AutoCheck, else when x <= ItemHeight + 4.
  bool ClickToggles(int x) const { return auto_check_ || x <= item_height_ + 4; }
  // Toggles the line at index (a click or Space on the current line); with MultiCheck off all
  // other flags are cleared first. Returns false, changing nothing, for an index out of range.
  bool ToggleLine(int index);

  // ---- properties ----
  TListStyle ListStyle() const { return list_style_; }
  void SetListStyle(TListStyle value);
  TCheckStyle CheckStyle() const { return check_style_; }
  void SetCheckStyle(TCheckStyle value) { check_style_ = value; }
  bool Check3D() const { return check_3d_; }
  void SetCheck3D(bool value);
  int CheckMargin() const { return check_margin_; }
  void SetCheckMargin(int value);
  bool MultiCheck() const { return multi_check_; }
  void SetMultiCheck(bool value) { multi_check_ = value; }
  bool AutoCheck() const { return auto_check_; }
  void SetAutoCheck(bool value) { auto_check_ = value; }
  bool AutoClip() const { return auto_clip_; }
  void SetAutoClip(bool value);
  bool AutosizeTabs() const { return autosize_tabs_; }
  void SetAutosizeTabs(bool value) { autosize_tabs_ = value; }
  bool HorzScrollBar() const { return horz_scroll_bar_; }
  void SetHorzScrollBar(bool value);
  bool TabStops() const { return tab_stops_; }
  void SetTabStops(bool value);
  char GlyphIdent() const { return glyph_ident_; }
  void SetGlyphIdent(char value);
  char StyleIdent() const { return style_ident_; }
  void SetStyleIdent(char value);
  TSepStyle Separators() const { return separators_; }
  void SetSeparators(TSepStyle value) { separators_ = value; }
  int ItemHeight() const { return item_height_; }
  void SetItemHeight(int value) { item_height_ = value; }

  // ---- tabs ----
  const std::vector<std::string>& TabList() const { return tab_list_; }
  // Copies the lines and applies the tab stops.
  void SetTabList(std::vector<std::string> lines);
  // The tab stops in use: value x 4 of the first (at most 50) TabList lines.
  const std::vector<int>& TabPositions() const { return tab_positions_; }
  // One separator (and header groove) position per TabList line: value x 4.
  std::vector<int> SeparatorPositions() const;

  // ---- size and extent ----
  int Width() const { return width_; }
  // The control's width changed: rescales the tabs with AutosizeTabs and re-decides the
  // scroll bar.
  void SetWidth(int width);
  int DesignWidth() const { return design_width_; }
  int WidestLine() const { return widest_line_; }
  // The horizontal scroll extent: 0 while every line fits (or without HorzScrollBar), else
  // widest line + margin.
  int HorzExtent() const { return horz_extent_; }
  bool HorzScrollBarShown() const { return horz_extent_ > 0; }

  // ---- drawing ----
  // Where a line's text starts: CheckMargin in check-box style, else 0.
  int TextOffset() const { return list_style_ == lsCheckbox ? check_margin_ : 0; }
  // The width of a line as drawn from x = 0: styles applied, markers stripped, columns clipped
  // with AutoClip, tabs expanded. Markers count only before markup_end.
  int MeasureLine(std::string_view raw, std::size_t markup_end = kWholeLine) const;
  // Cuts each column of stripped text (but the last) to the room between its tab stops.
  std::string ClipColumns(std::string_view text, const TLineStyle& style) const;
  // The runs and glyphs of raw text whose text starts at text_x (TextOffset() for a list line;
  // the header passes its own start). Markers count only before markup_end.
  TLineLayout LayoutLine(std::string_view raw, int text_x,
                         std::size_t markup_end = kWholeLine) const;
  TLineLayout LayoutLine(int index) const {
    return LayoutLine(Line(index), TextOffset(), MarkupEnd(index));
  }

  // The header section a left press at x falls into: 1 + the index of the first non-zero
  // separator position right of x; TabList line count + 1 right of all of them.
  int HeaderSectionAt(int x) const;

 private:
  int TextWidth(std::string_view text, const TLineStyle& style) const;
  int NextTabStop(int x, std::size_t& next) const;
  int LayoutRuns(std::string_view text, int x, const TLineStyle& style,
                 std::vector<TTextRun>* runs) const;
  void ClipColumn(std::string& column, std::size_t n, const TLineStyle& style) const;
  void ApplyTabStops();
  void RebuildFlags();
  bool Measuring() const { return horz_scroll_bar_ && !loading_; }
  void RecomputeExtent();
  void GrowExtent(std::string_view raw, std::size_t markup_end);
  void DecideScrollBar();

  TTextWidthFn text_width_;
  bool loading_ = true;
  std::vector<std::string> lines_;
  std::vector<std::size_t> markup_ends_;  // one per line
  bool sorted_ = false;
  TrsDynArray flags_{1};

  TListStyle list_style_ = lsStandard;
  TCheckStyle check_style_ = csSquareX;
  bool check_3d_ = true;
  int check_margin_ = 20;
  bool multi_check_ = true;
  bool auto_check_ = false;
  bool auto_clip_ = false;
  bool autosize_tabs_ = false;
  bool horz_scroll_bar_ = true;
  bool tab_stops_ = true;
  char glyph_ident_ = '^';
  char style_ident_ = '~';
  TSepStyle separators_ = spNone;
  int item_height_ = 16;

  std::vector<std::string> tab_list_;
  std::vector<int> tab_positions_;
  int width_ = 0;
  int design_width_ = 0;
  int widest_line_ = 0;
  int horz_extent_ = 0;
};

}  // namespace components
