#include "components/core/rs_list_model.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <utility>

namespace components {

namespace {

constexpr char kColorCodes[] = "0123456789abcdef";
constexpr TColor kColors[16] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080,
                                0x808000, 0x808080, 0xC0C0C0, 0x0000FF, 0x00FF00, 0x00FFFF,
                                0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

bool LessNoCase(std::string_view a, std::string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(LowerAscii(x)) < static_cast<unsigned char>(LowerAscii(y));
  });
}

int ClampToInt(long long v) { return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX)); }

// Nearest whole number, halves to the even neighbour.
long long RoundHalfEven(double v) {
  double f = std::floor(v);
  const double d = v - f;
  if (d > 0.5 || (d == 0.5 && std::fmod(f, 2.0) != 0.0)) f += 1.0;
  return static_cast<long long>(f);
}

}  // namespace

std::optional<TColor> StyleCodeColor(char code) {
  for (int i = 0; i < 16; ++i) {
    if (kColorCodes[i] == code) return kColors[i];
  }
  return std::nullopt;
}

TLineStyle ParseLineStyle(std::string_view text, char style_ident) {
  TLineStyle style;
  std::size_t at = 0;
  while (true) {
    const std::size_t mark = text.find(style_ident, at);
    if (mark == std::string_view::npos || mark + 1 >= text.size()) break;
    const char code = text[mark + 1];
    if (code == 'B') {
      style.Bold = true;
    } else if (code == 'I') {
      style.Italic = true;
    } else if (code == 'U') {
      style.Underline = true;
    } else if (code == 'S') {
      style.StrikeOut = true;
    } else if (auto color = StyleCodeColor(code)) {
      style.Color = color;
    } else {
      break;
    }
    at = mark + 2;
  }
  return style;
}

std::vector<TGlyphMark> ParseGlyphMarks(std::string_view text, char glyph_ident) {
  std::vector<TGlyphMark> marks;
  std::size_t at = 0;
  while (true) {
    const std::size_t mark = text.find(glyph_ident, at);
    if (mark == std::string_view::npos || mark + 1 >= text.size()) break;
    const char code = text[mark + 1];
    if (code < '1' || code > '9') break;
    marks.push_back({code - '0', mark});
    at = mark + 2;
  }
  return marks;
}

std::string StripMarkers(std::string_view text, char style_ident, char glyph_ident) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((text[i] == style_ident || text[i] == glyph_ident) && i + 1 < text.size()) {
      ++i;  // the pair goes
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string_view MarkupPart(std::string_view raw, std::size_t markup_end) {
  return raw.substr(0, std::min(markup_end, raw.size()));
}

std::string VisibleText(std::string_view raw, std::size_t markup_end, char style_ident,
                        char glyph_ident) {
  const std::string_view markup = MarkupPart(raw, markup_end);
  std::string text = StripMarkers(markup, style_ident, glyph_ident);
  text.append(raw.substr(markup.size()));
  return text;
}

int TabValue(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  if (i < line.size() && line[i] == '+') {
    ++i;  // from_chars takes '-' but not '+'
    if (i < line.size() && line[i] == '-') return 0;
  }
  int value = 0;
  const char* first = line.data() + i;
  const char* last = line.data() + line.size();
  const auto [end, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || end != last) return 0;
  return value;
}

TrsListModel::TrsListModel(TTextWidthFn text_width) : text_width_(std::move(text_width)) {}

void TrsListModel::SetTextWidth(TTextWidthFn text_width) {
  text_width_ = std::move(text_width);
  FontChanged();
}

void TrsListModel::FontChanged() { RecomputeExtent(); }

void TrsListModel::Loaded() {
  loading_ = false;
  ApplyTabStops();
  RecomputeExtent();
  RebuildFlags();
  design_width_ = width_;
}

// ---- lines ----

std::string TrsListModel::VisibleLine(int index) const {
  return VisibleText(Line(index), MarkupEnd(index), style_ident_, glyph_ident_);
}

int TrsListModel::AddPosition(std::string_view s) const {
  if (!sorted_) return Count();
  const auto it =
      std::upper_bound(lines_.begin(), lines_.end(), s,
                       [](std::string_view a, const std::string& b) { return LessNoCase(a, b); });
  return static_cast<int>(it - lines_.begin());
}

int TrsListModel::AddString(std::string s, std::size_t markup_end) {
  const int pos = AddPosition(s);  // before s is moved from
  return InsertString(pos, std::move(s), markup_end);
}

int TrsListModel::InsertString(int pos, std::string s, std::size_t markup_end) {
  if (pos == -1) pos = Count();
  if (pos < 0 || pos > Count()) return -1;
  if (!loading_) GrowExtent(s, markup_end);
  lines_.insert(lines_.begin() + pos, std::move(s));
  markup_ends_.insert(markup_ends_.begin() + pos, markup_end);
  if (!loading_) {
    const unsigned char unchecked = 0;
    if (FlagCount() != Count() - 1) {
      RebuildFlags();  // out of step with the lines
    } else if (pos < FlagCount()) {
      flags_.Insert(pos, &unchecked);
    } else {
      flags_.Add(&unchecked);
    }
  }
  return pos;
}

bool TrsListModel::DeleteString(int pos) {
  if (pos < 0 || pos >= Count()) return false;
  // The widest line going away shrinks the extent at once; other deletions measure one line.
  const bool was_widest =
      Measuring() && MeasureLine(lines_[pos], markup_ends_[pos]) >= widest_line_;
  lines_.erase(lines_.begin() + pos);
  markup_ends_.erase(markup_ends_.begin() + pos);
  if (!loading_) {
    if (pos < FlagCount() && FlagCount() == Count() + 1) {
      flags_.Delete(pos);
    } else {
      RebuildFlags();
    }
  }
  if (was_widest) RecomputeExtent();
  return true;
}

void TrsListModel::ResetContent() {
  lines_.clear();
  markup_ends_.clear();
  RecomputeExtent();
  if (!loading_) RebuildFlags();
}

void TrsListModel::SetLines(std::vector<std::string> lines) {
  lines_ = std::move(lines);
  markup_ends_.assign(lines_.size(), kWholeLine);
  if (sorted_) {
    std::stable_sort(lines_.begin(), lines_.end(),
                     [](const std::string& a, const std::string& b) { return LessNoCase(a, b); });
  }
  RecomputeExtent();
  if (!loading_) RebuildFlags();
}

void TrsListModel::SetSorted(bool value) {
  if (sorted_ == value) return;
  sorted_ = value;
  if (!sorted_) return;
  // Each line keeps its markup end through the sort.
  std::vector<std::size_t> order(lines_.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
    return LessNoCase(lines_[a], lines_[b]);
  });
  std::vector<std::string> lines;
  std::vector<std::size_t> ends;
  lines.reserve(order.size());
  ends.reserve(order.size());
  for (const std::size_t i : order) {
    lines.push_back(std::move(lines_[i]));
    ends.push_back(markup_ends_[i]);
  }
  lines_ = std::move(lines);
  markup_ends_ = std::move(ends);
  RecomputeExtent();
  if (!loading_) RebuildFlags();
}

// ---- check flags ----

bool TrsListModel::GetChecked(int index) const {
  if (index < 0 || index >= FlagCount()) return false;
  return *static_cast<const unsigned char*>(flags_.ItemPtr(index)) != 0;
}

void TrsListModel::SetChecked(int index, bool value) {
  if (index < 0 || index >= FlagCount()) return;
  *static_cast<unsigned char*>(flags_.ItemPtr(index)) = value ? 1 : 0;
}

void TrsListModel::CheckAll() {
  for (int i = 0; i < FlagCount(); ++i) SetChecked(i, true);
}

void TrsListModel::UncheckAll() {
  for (int i = 0; i < FlagCount(); ++i) SetChecked(i, false);
}

bool TrsListModel::ToggleLine(int index) {
  if (index < 0 || index >= Count()) return false;
  if (index >= FlagCount() || !multi_check_) RebuildFlags();
  auto* flag = static_cast<unsigned char*>(flags_.ItemPtr(index));
  *flag = *flag ? 0 : 1;
  return true;
}

void TrsListModel::RebuildFlags() {
  flags_.Clear();
  const unsigned char unchecked = 0;
  for (std::size_t i = 0; i < lines_.size(); ++i) flags_.Add(&unchecked);
}

// ---- properties ----

void TrsListModel::SetListStyle(TListStyle value) {
  if (list_style_ == value) return;
  list_style_ = value;
  RecomputeExtent();
}

void TrsListModel::SetCheck3D(bool value) {
  if (check_3d_ == value) return;
  check_3d_ = value;
  RecomputeExtent();
}

void TrsListModel::SetCheckMargin(int value) {
  if (check_margin_ == value) return;
  check_margin_ = value;
  RecomputeExtent();
}

void TrsListModel::SetAutoClip(bool value) {
  if (auto_clip_ == value) return;
  auto_clip_ = value;
  RecomputeExtent();
}

void TrsListModel::SetHorzScrollBar(bool value) {
  if (horz_scroll_bar_ == value) return;
  horz_scroll_bar_ = value;
  RecomputeExtent();
}

void TrsListModel::SetTabStops(bool value) {
  if (tab_stops_ == value) return;
  tab_stops_ = value;
  RecomputeExtent();
}

void TrsListModel::SetGlyphIdent(char value) {
  if (glyph_ident_ == value) return;
  glyph_ident_ = value;
  RecomputeExtent();
}

void TrsListModel::SetStyleIdent(char value) {
  if (style_ident_ == value) return;
  style_ident_ = value;
  RecomputeExtent();
}

// ---- tabs ----

void TrsListModel::SetTabList(std::vector<std::string> lines) {
  tab_list_ = std::move(lines);
  ApplyTabStops();
  RecomputeExtent();  // every width depends on the tab stops
}

void TrsListModel::ApplyTabStops() {
  const std::size_t count = std::min<std::size_t>(tab_list_.size(), kMaxTabs);
  tab_positions_.clear();
  for (std::size_t i = 0; i < count; ++i) {
    tab_positions_.push_back(ClampToInt(static_cast<long long>(TabValue(tab_list_[i])) * 4));
  }
}

std::vector<int> TrsListModel::SeparatorPositions() const {
  std::vector<int> positions;
  positions.reserve(tab_list_.size());
  for (const std::string& line : tab_list_) {
    positions.push_back(ClampToInt(static_cast<long long>(TabValue(line)) * 4));
  }
  return positions;
}

// ---- size and extent ----

void TrsListModel::SetWidth(int width) {
  width_ = width;
  if (autosize_tabs_ && !loading_ && design_width_ >= 1 && width >= 1 && width != design_width_) {
    const double ratio = static_cast<double>(width) / design_width_;
    for (std::size_t i = 0; i < tab_positions_.size(); ++i) {
      const long long scaled = RoundHalfEven(TabValue(tab_list_[i]) * ratio);
      tab_list_[i] = std::to_string(ClampToInt(scaled));
    }
    ApplyTabStops();
    design_width_ = width;
    RecomputeExtent();
  } else {
    DecideScrollBar();
  }
}

void TrsListModel::RecomputeExtent() {
  if (!Measuring()) {
    horz_extent_ = 0;
    return;
  }
  widest_line_ = 0;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    widest_line_ = std::max(widest_line_, MeasureLine(lines_[i], markup_ends_[i]));
  }
  DecideScrollBar();
}

void TrsListModel::GrowExtent(std::string_view raw, std::size_t markup_end) {
  if (!Measuring()) return;
  widest_line_ = std::max(widest_line_, MeasureLine(raw, markup_end));
  DecideScrollBar();
}

void TrsListModel::DecideScrollBar() {
  if (!Measuring()) {
    horz_extent_ = 0;
    return;
  }
  const long long needed = static_cast<long long>(widest_line_) + TextOffset();
  horz_extent_ = needed <= width_ ? 0 : ClampToInt(needed);
}

// ---- drawing ----

int TrsListModel::TextWidth(std::string_view text, const TLineStyle& style) const {
  if (text.empty() || !text_width_) return 0;
  return text_width_(text, style);
}

// Tabs follow the platform's tabbed-text rules: one tab position means a stop at every
// multiple of it; several mean the next position right of x, and past the last one (or with
// none) a stop every 8 widths of "x".
int TrsListModel::NextTabStop(int x, std::size_t& next) const {
  const std::vector<int>& stops = tab_positions_;
  if (stops.size() >= 2) {
    while (next < stops.size() && stops[next] <= x) ++next;
    if (next < stops.size()) return stops[next++];
  }
  int interval = stops.size() == 1 ? stops[0] : 0;
  if (interval < 1) interval = 8 * TextWidth("x", TLineStyle{});
  if (interval < 1) return x;
  const long long q = x >= 0 ? x / interval : -((-static_cast<long long>(x) - 1) / interval) - 1;
  return ClampToInt((q + 1) * interval);
}

int TrsListModel::LayoutRuns(std::string_view text, int x, const TLineStyle& style,
                             std::vector<TTextRun>* runs) const {
  std::size_t next = 0;
  std::size_t start = 0;
  while (true) {
    const std::size_t tab = text.find('\t', start);
    const std::string_view piece =
        text.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start);
    if (!piece.empty()) {
      if (runs) runs->push_back({x, std::string(piece)});
      x = ClampToInt(static_cast<long long>(x) + TextWidth(piece, style));
    }
    if (tab == std::string_view::npos) break;
    x = NextTabStop(x, next);
    start = tab + 1;
  }
  return x;
}

int TrsListModel::MeasureLine(std::string_view raw, std::size_t markup_end) const {
  const TLineStyle style = ParseLineStyle(MarkupPart(raw, markup_end), style_ident_);
  std::string text = VisibleText(raw, markup_end, style_ident_, glyph_ident_);
  if (auto_clip_) text = ClipColumns(text, style);
  return LayoutRuns(text, 0, style, nullptr);
}

std::string TrsListModel::ClipColumns(std::string_view text, const TLineStyle& style) const {
  std::string out;
  std::size_t start = 0;
  std::size_t n = 0;
  while (true) {
    const std::size_t tab = text.find('\t', start);
    // A tab that is the text's last character does not end a column.
    if (tab == std::string_view::npos || tab + 1 == text.size()) break;
    std::string column(text.substr(start, tab - start));
    ClipColumn(column, n, style);
    out += column;
    out += '\t';
    start = tab + 1;
    ++n;
  }
  out.append(text.substr(start));
  return out;
}

// Cuts column n so that it ends clear of the next tab stop. Columns past the tab positions
// have no room to keep to and stay whole.
void TrsListModel::ClipColumn(std::string& column, std::size_t n, const TLineStyle& style) const {
  if (n >= tab_positions_.size()) return;
  const int margin = n == 0 && list_style_ == lsCheckbox ? check_margin_ : 0;
  const long long room = n == 0 ? tab_positions_[0]
                                : static_cast<long long>(tab_positions_[n]) - tab_positions_[n - 1];
  long long needed = static_cast<long long>(TextWidth(column, style)) + margin;
  if (room > needed) return;
  const int x_width = TextWidth("X", style);
  if (x_width >= 1) {
    const long long k = (needed - room + x_width - 1) / x_width;
    const std::size_t cut =
        static_cast<std::size_t>(std::min<long long>(k + 1, static_cast<long long>(column.size())));
    column.erase(column.size() - cut);
    return;
  }
  // A font whose "X" has no width gives no character count: cut one character at a time.
  while (!column.empty() && room <= needed) {
    column.pop_back();
    needed = static_cast<long long>(TextWidth(column, style)) + margin;
  }
}

TrsListModel::TLineLayout TrsListModel::LayoutLine(std::string_view raw, int text_x,
                                                   std::size_t markup_end) const {
  const std::string_view markup = MarkupPart(raw, markup_end);
  TLineLayout layout;
  layout.Style = ParseLineStyle(markup, style_ident_);
  std::string text = VisibleText(raw, markup_end, style_ident_, glyph_ident_);
  if (auto_clip_) text = ClipColumns(text, layout.Style);
  LayoutRuns(text, text_x, layout.Style, &layout.Runs);
  // A glyph stands where the text before its marker ends, measured in the list's plain font;
  // it takes no room of its own and covers the text at that place.
  for (const TGlyphMark& mark : ParseGlyphMarks(markup, glyph_ident_)) {
    const std::string before =
        StripMarkers(markup.substr(0, mark.Position), style_ident_, glyph_ident_);
    layout.Glyphs.push_back({mark.Slot, LayoutRuns(before, text_x, TLineStyle{}, nullptr)});
  }
  return layout;
}

int TrsListModel::HeaderSectionAt(int x) const {
  const std::vector<int> positions = SeparatorPositions();
  for (std::size_t i = 0; i < positions.size(); ++i) {
    if (positions[i] != 0 && positions[i] > x) return static_cast<int>(i) + 1;
  }
  return static_cast<int>(positions.size()) + 1;
}

}  // namespace components
